#include "Zelvar_WavetableCache.h"
#include "Zelvar_WavetableProvider.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

namespace {

constexpr int tableLength = 2048;
constexpr int tableCount = 500;
constexpr size_t valueCount = 500 * 2049;
constexpr uintmax_t fileBytes = 8196000;

// The Fourier series, summed directly for one sample of one table.
double sawtoothFormula(int k, int j) {
    const double x = 2.0 * std::numbers::pi * j / tableLength;
    if (k == tableCount - 1)
        return 1.0 - (j % (tableLength - 1)) * 2.0 / (tableLength - 1);
    double sum = 0.0;
    for (int h = 1; h <= k + 1; ++h)
        sum += std::sin(h * x) / h;
    return 2.0 / std::numbers::pi * sum;
}

double triangleFormula(int k, int j) {
    const double x = 2.0 * std::numbers::pi * j / tableLength;
    double sum = 0.0;
    for (int i = 0; i <= k; ++i) {
        const double h = 2.0 * i + 1.0;
        sum += ((i % 2 == 0) ? 1.0 : -1.0) * std::sin(h * x) / (h * h);
    }
    return 8.0 / (std::numbers::pi * std::numbers::pi) * sum;
}

double at(const double* set, int k, int j) {
    return set[static_cast<size_t>(k) * 2049 + j];
}

// Every table, at every 61st sample and the guard sample, against the series.
void expectSetsMatchFormulas(const double* sawtooth, const double* triangle) {
    double worstSawtooth = 0.0;
    double worstTriangle = 0.0;
    std::vector<int> samples;
    for (int j = 0; j < tableLength; j += 61)
        samples.push_back(j);
    samples.push_back(tableLength);
    for (int k = 0; k < tableCount; ++k) {
        for (int j : samples) {
            worstSawtooth =
                std::max(worstSawtooth, std::fabs(at(sawtooth, k, j) - sawtoothFormula(k, j)));
            worstTriangle =
                std::max(worstTriangle, std::fabs(at(triangle, k, j) - triangleFormula(k, j)));
        }
    }
    EXPECT_LT(worstSawtooth, 1e-12);
    EXPECT_LT(worstTriangle, 1e-12);
}

std::vector<double> readLittleEndianDoubles(const std::string& path) {
    std::vector<double> values;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return values;
    uint8_t bytes[8];
    while (std::fread(bytes, 1, 8, file) == 8) {
        uint64_t bits = 0;
        for (int b = 7; b >= 0; --b)
            bits = (bits << 8) | bytes[b];
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
    }
    std::fclose(file);
    return values;
}

std::string tempDirectory(const std::string& name) {
    const std::string directory = ::testing::TempDir() + "corvena_wt_" + name;
    std::filesystem::create_directories(directory);
    return directory;
}

class WavetableSets : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        computed = new Zelvar_WavetableProvider(tableLength, tableCount);
        computed->createSawtoothUpWavetable();
        computed->createTriangleWavetable();
    }
    static void TearDownTestSuite() {
        delete computed;
        computed = nullptr;
    }
    static bool sameSets(const Zelvar_WavetableProvider& provider) {
        return provider.getSawtoothWavetable() != nullptr &&
               provider.getTriangleWavetable() != nullptr &&
               std::memcmp(provider.getSawtoothWavetable(), computed->getSawtoothWavetable(),
                           valueCount * sizeof(double)) == 0 &&
               std::memcmp(provider.getTriangleWavetable(), computed->getTriangleWavetable(),
                           valueCount * sizeof(double)) == 0;
    }
    static Zelvar_WavetableProvider* computed;
};

Zelvar_WavetableProvider* WavetableSets::computed = nullptr;

} // namespace

TEST_F(WavetableSets, ComputedTablesMatchTheirFourierSeries) {
    expectSetsMatchFormulas(computed->getSawtoothWavetable(), computed->getTriangleWavetable());
}

TEST_F(WavetableSets, ShapesHaveTheirLandmarks) {
    const double* saw = computed->getSawtoothWavetable();
    const double* tri = computed->getTriangleWavetable();
    for (int k : {0, 48, 498}) {
        EXPECT_NEAR(at(saw, k, 0), 0.0, 1e-12);
        EXPECT_NEAR(at(saw, k, tableLength / 2), 0.0, 1e-12);
        EXPECT_NEAR(at(saw, k, tableLength), 0.0, 1e-12); // guard sample = phase 1
    }
    // With 499 harmonics the falling ramp reaches 0.5 at a quarter cycle.
    EXPECT_NEAR(at(saw, 498, tableLength / 4), 0.5, 2e-3);
    EXPECT_NEAR(at(tri, 499, tableLength / 4), 1.0, 1e-3);
    EXPECT_NEAR(at(tri, 499, 3 * tableLength / 4), -1.0, 1e-3);
    EXPECT_DOUBLE_EQ(at(tri, 0, tableLength / 4), 8.0 / (std::numbers::pi * std::numbers::pi));
    EXPECT_EQ(at(saw, 499, 0), 1.0);
    EXPECT_EQ(at(saw, 499, tableLength - 1), 1.0); // the plain ramp repeats every N - 1 samples
}

TEST_F(WavetableSets, WrittenFilesHaveTheHeaderlessLittleEndianLayout) {
    const std::string directory = tempDirectory("write");
    Zelvar_WavetableProvider provider(tableLength, tableCount);
    ASSERT_TRUE(provider.setBundleDirectoryPath(directory.c_str()));
    provider.createSawtoothUpWavetable();
    provider.createTriangleWavetable();
    ASSERT_TRUE(provider.writeTriangleWavetableFile());
    ASSERT_TRUE(provider.writeSawtoothWavetableFile());
    const std::string triangle = directory + "/data0.wt";
    const std::string sawtooth = directory + "/data1.wt";
    EXPECT_EQ(std::filesystem::file_size(triangle), fileBytes);
    EXPECT_EQ(std::filesystem::file_size(sawtooth), fileBytes);
    const std::vector<double> triangleValues = readLittleEndianDoubles(triangle);
    const std::vector<double> sawtoothValues = readLittleEndianDoubles(sawtooth);
    ASSERT_EQ(triangleValues.size(), valueCount);
    ASSERT_EQ(sawtoothValues.size(), valueCount);
    EXPECT_EQ(std::memcmp(triangleValues.data(), computed->getTriangleWavetable(),
                          valueCount * sizeof(double)),
              0);
    EXPECT_EQ(std::memcmp(sawtoothValues.data(), computed->getSawtoothWavetable(),
                          valueCount * sizeof(double)),
              0);

    // Writing again replaces the file rather than appending to it.
    ASSERT_TRUE(provider.writeTriangleWavetableFile());
    EXPECT_EQ(std::filesystem::file_size(triangle), fileBytes);

    Zelvar_WavetableProvider reader(tableLength, tableCount);
    ASSERT_TRUE(reader.setBundleDirectoryPath(directory.c_str()));
    reader.createWavetable();
    EXPECT_TRUE(sameSets(reader));
}

TEST_F(WavetableSets, BuildProducesFilesThatMatchTheFormulas) {
    const std::string directory = CORVENA_TEST_RESOURCES_DIR;
    ASSERT_EQ(std::filesystem::file_size(directory + "/data0.wt"), fileBytes);
    ASSERT_EQ(std::filesystem::file_size(directory + "/data1.wt"), fileBytes);
    Zelvar_WavetableProvider provider(tableLength, tableCount);
    ASSERT_TRUE(provider.setBundleDirectoryPath(directory.c_str()));
    ::testing::internal::CaptureStdout();
    provider.createWavetable();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(sameSets(provider));
    expectSetsMatchFormulas(provider.getSawtoothWavetable(), provider.getTriangleWavetable());
}

// Fails the run instead of hanging it when a read blocks (a FIFO in a file's place).
class HangGuard {
public:
    explicit HangGuard(std::chrono::seconds limit)
        : watcher([this, limit] {
              std::unique_lock<std::mutex> lock(mutex);
              if (!done.wait_for(lock, limit, [this] { return finished; })) {
                  std::fprintf(stderr, "loading the wavetables blocked for %lld s\n",
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~HangGuard() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        done.notify_all();
        watcher.join();
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::thread watcher;
};

void writeBytes(const std::string& path, const void* data, size_t bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    if (bytes > 0) {
        ASSERT_EQ(std::fwrite(data, 1, bytes, file), bytes);
    }
    std::fclose(file);
}

// A damaged installation: whatever sits where the sawtooth file should be, loading neither
// hangs nor takes it; one line names the file (stdout keeps the designed "File Open Error" for a
// file that cannot be opened) and the set is computed, so the engine sounds as it should.
TEST_F(WavetableSets, DamagedFilesAreReportedAndTheSetIsComputedInstead) {
    const double* good = computed->getSawtoothWavetable();
    std::vector<double> poisoned(good, good + valueCount);
    poisoned[123456] = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> huge(good, good + valueCount);
    huge[7] = 1e300;
    std::vector<unsigned char> plusOne(fileBytes + 1, 0);
    std::memcpy(plusOne.data(), good, fileBytes);

    struct Case {
        std::string name;
        std::function<void(const std::string&)> make;
        std::string stderrWords;
    };
    const std::vector<Case> cases = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); },
         "is not a regular file"},
        {"directory", [](const std::string& p) { std::filesystem::create_directory(p); },
         "is not a regular file"},
        {"empty", [](const std::string& p) { writeBytes(p, nullptr, 0); },
         "has 0 bytes, 8196000 expected"},
        {"1001", [&](const std::string& p) { writeBytes(p, good, 1001); },
         "has 1001 bytes, 8196000 expected"},
        {"short", [&](const std::string& p) { writeBytes(p, good, 3000 * sizeof(double)); },
         "has 24000 bytes, 8196000 expected"},
        {"plus-one", [&](const std::string& p) { writeBytes(p, plusOne.data(), plusOne.size()); },
         "has 8196001 bytes, 8196000 expected"},
        {"nan", [&](const std::string& p) { writeBytes(p, poisoned.data(), fileBytes); },
         "holds values no waveform has"},
        {"huge", [&](const std::string& p) { writeBytes(p, huge.data(), fileBytes); },
         "holds values no waveform has"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string directory = tempDirectory("damaged-" + c.name);
        const std::string path = directory + "/data1.wt";
        std::filesystem::remove_all(path);
        c.make(path);
        Zelvar_WavetableProvider provider(tableLength, tableCount);
        ASSERT_TRUE(provider.setSawtoothWavetablePath(path.c_str()));
        ::testing::internal::CaptureStderr();
        ::testing::internal::CaptureStdout();
        {
            HangGuard guard(std::chrono::seconds(20));
            EXPECT_FALSE(provider.readSawtoothWavetableFile());
        }
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_NE(said.find(c.stderrWords), std::string::npos) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "one line: " << said;
        EXPECT_EQ(provider.getSawtoothWavetable(), nullptr) << "nothing of the file is kept";

        ::testing::internal::CaptureStderr();
        provider.setTriangleWavetablePath(CORVENA_TEST_RESOURCES_DIR "/data0.wt");
        {
            HangGuard guard(std::chrono::seconds(20));
            provider.createWavetable();
        }
        ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(sameSets(provider)) << "the engine plays the computed set";
    }
}

// A plugin host creates many engines in one process: they share one copy of each set, which
// lives as long as some engine holds it.
TEST_F(WavetableSets, EnginesOfOneProcessShareOneCopyOfEachSet) {
    const std::string directory = CORVENA_TEST_RESOURCES_DIR;
    auto first = std::make_unique<Zelvar_WavetableProvider>(tableLength, tableCount);
    auto second = std::make_unique<Zelvar_WavetableProvider>(tableLength, tableCount);
    ASSERT_TRUE(first->setBundleDirectoryPath(directory.c_str()));
    ASSERT_TRUE(second->setBundleDirectoryPath(directory.c_str()));
    first->createWavetable();
    second->createWavetable();
    EXPECT_EQ(first->getSawtoothWavetable(), second->getSawtoothWavetable());
    EXPECT_EQ(first->getTriangleWavetable(), second->getTriangleWavetable());
    EXPECT_TRUE(sameSets(*second));

    // A computed set is shared the same way, and the computed and loaded sets are distinct.
    Zelvar_WavetableProvider missingA(tableLength, tableCount), missingB(tableLength, tableCount);
    ASSERT_TRUE(missingA.setBundleDirectoryPath(tempDirectory("share-none").c_str()));
    ASSERT_TRUE(missingB.setBundleDirectoryPath(tempDirectory("share-none").c_str()));
    ::testing::internal::CaptureStdout();
    missingA.createWavetable();
    missingB.createWavetable();
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(missingA.getSawtoothWavetable(), missingB.getSawtoothWavetable());
    EXPECT_NE(missingA.getSawtoothWavetable(), first->getSawtoothWavetable());

    const size_t held = Zelvar_WavetableCache::liveSetCount();
    first.reset();
    EXPECT_EQ(Zelvar_WavetableCache::liveSetCount(), held) << "the second engine still holds them";
    second.reset();
    EXPECT_EQ(Zelvar_WavetableCache::liveSetCount(), held - 2) << "released with the last holder";
}

TEST_F(WavetableSets, MissingFilesPrintTheErrorAndAreComputedInstead) {
    Zelvar_WavetableProvider provider(tableLength, tableCount);
    ASSERT_TRUE(provider.setBundleDirectoryPath(tempDirectory("empty").c_str()));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(provider.readTriangleWavetableFile());
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File Open Error\n");
    EXPECT_EQ(provider.getTriangleWavetable(), nullptr); // a bare read leaves the set absent

    ::testing::internal::CaptureStdout();
    provider.createWavetable();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File Open Error\nFile Open Error\n");
    EXPECT_TRUE(sameSets(provider));
}

TEST(WavetableProvider, PathsThatDoNotFitAreRefused) {
    Zelvar_WavetableProvider provider;
    const std::string fits(246, 'd'); // + "/data0.wt" = 255 bytes
    EXPECT_TRUE(provider.setBundleDirectoryPath(fits.c_str()));
    EXPECT_EQ(std::strlen(provider.getTriangleWavetablePath()), 255u);
    EXPECT_EQ(std::string(provider.getSawtoothWavetablePath()), fits + "/data1.wt");
    const std::string tooLong(247, 'd');
    EXPECT_FALSE(provider.setBundleDirectoryPath(tooLong.c_str()));
    EXPECT_STREQ(provider.getTriangleWavetablePath(), "");
    EXPECT_STREQ(provider.getSawtoothWavetablePath(), "");
    EXPECT_FALSE(provider.setBundleDirectoryPath(nullptr));
    EXPECT_FALSE(provider.setSawtoothWavetablePath(std::string(256, 'p').c_str()));
    EXPECT_TRUE(provider.setSawtoothWavetablePath(std::string(255, 'p').c_str()));

    // A refused directory loads nothing from a truncated path: the sets are computed.
    ASSERT_FALSE(provider.setBundleDirectoryPath(tooLong.c_str()));
    ::testing::internal::CaptureStdout();
    provider.createWavetable();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "File Open Error\nFile Open Error\n");
    EXPECT_NE(provider.getSawtoothWavetable(), nullptr);
    EXPECT_NE(provider.getTriangleWavetable(), nullptr);
}
