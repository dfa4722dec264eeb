// The WAV writer: samples read back through libsndfile as written in every format, dither that
// is triangular, unbiased and the same every time, bytes that do not depend on when they were
// written, and a target that is replaced only by a finished file, and only if it is a file.
#include "WavFileWriter.h"
#include "ScratchDirectory.h"
#include "TpdfDither.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class WavFileWriterTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return scratch.path(name); }
    std::vector<std::string> entries() const { return scratch.entries(); }
    static std::string bytesOf(const std::string& file) { return ScratchDirectory::bytesOf(file); }

    static bool writeFile(const std::string& file, uint32_t rate, SampleFormat format,
                          const std::vector<float>& left, const std::vector<float>& right) {
        WavFileWriter writer;
        std::string error;
        return writer.open(file, rate, format, error) &&
               writer.write(left.data(), right.data(), uint32_t(left.size()), error) &&
               writer.commit(error);
    }

    ScratchDirectory scratch;
};

struct ReadBack {
    SF_INFO info{};
    std::vector<float> floats;
    std::vector<int> ints;
};

ReadBack readBack(const std::string& file) {
    ReadBack result;
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &result.info);
    if (sound == nullptr)
        return result;
    result.floats.resize(size_t(result.info.frames) * 2);
    sf_readf_float(sound, result.floats.data(), result.info.frames);
    sf_seek(sound, 0, SEEK_SET);
    result.ints.resize(size_t(result.info.frames) * 2);
    sf_readf_int(sound, result.ints.data(), result.info.frames);
    sf_close(sound);
    return result;
}

TEST_F(WavFileWriterTest, FloatSamplesComeBackExactlyAndTheBytesCarryNoTime) {
    std::vector<float> left(1000), right(1000);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = float(std::sin(0.01 * double(i)));
        right[i] = -1.5f + float(i) * 1e-3f; // beyond full scale stays as it is
    }
    ASSERT_TRUE(writeFile(path("a.wav"), 48000, SampleFormat::float32, left, right));
    const ReadBack r = readBack(path("a.wav"));
    EXPECT_EQ(r.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(r.info.channels, 2);
    EXPECT_EQ(r.info.samplerate, 48000);
    ASSERT_EQ(r.info.frames, 1000);
    for (size_t i = 0; i < left.size(); ++i) {
        ASSERT_EQ(r.floats[2 * i], left[i]) << i;
        ASSERT_EQ(r.floats[2 * i + 1], right[i]) << i;
    }
    const std::string bytes = bytesOf(path("a.wav"));
    // libsndfile's PEAK chunk holds the time of writing; in its place stays a PAD chunk of
    // zeros, so the header is the same 88 bytes every time.
    EXPECT_EQ(bytes.find("PEAK"), std::string::npos);
    EXPECT_EQ(bytes.size(), 88 + 8000u);
    EXPECT_EQ(bytes.substr(48, 4), "PAD ");
}

TEST_F(WavFileWriterTest, SixteenBitsAreDitheredWithoutBiasAndTheSameEveryTime) {
    const size_t frames = 20000;
    std::vector<float> silence(frames, 0.0f), quarter(frames, 0.25f);
    ASSERT_TRUE(writeFile(path("a.wav"), 44100, SampleFormat::pcm16, silence, quarter));
    ASSERT_TRUE(writeFile(path("b.wav"), 44100, SampleFormat::pcm16, silence, quarter));
    EXPECT_EQ(bytesOf(path("a.wav")), bytesOf(path("b.wav")));
    const ReadBack r = readBack(path("a.wav"));
    EXPECT_EQ(r.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    double silenceSum = 0.0, quarterSum = 0.0;
    int zeros = 0;
    for (size_t i = 0; i < frames; ++i) {
        const int s = r.ints[2 * i] >> 16;
        const int q = r.ints[2 * i + 1] >> 16;
        ASSERT_LE(std::abs(s), 1) << i;
        ASSERT_LE(std::fabs(q - 0.25 * 32767), 1.5) << i;
        silenceSum += s;
        quarterSum += q;
        zeros += s == 0;
    }
    // Triangular over two bits: silence stays zero three times in four (|d| < 1/2), and the
    // mean is the signal's own.
    EXPECT_NEAR(silenceSum / frames, 0.0, 0.02);
    EXPECT_NEAR(quarterSum / frames, 0.25 * 32767, 0.02);
    EXPECT_NEAR(double(zeros) / frames, 0.75, 0.02);
}

TEST_F(WavFileWriterTest, IntegerFormatsRoundAndClip) {
    const std::vector<float> left = {0.5f, 1.0f, 2.0f, -1.0f, -3.0f, NAN, 1.0f / 8388607.0f};
    const std::vector<float> right(left.size(), 0.0f);
    ASSERT_TRUE(writeFile(path("a.wav"), 44100, SampleFormat::pcm24, left, right));
    const ReadBack r = readBack(path("a.wav"));
    EXPECT_EQ(r.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    const int expected[] = {4194304, 8388607, 8388607, -8388607, -8388608, 0, 1};
    for (size_t i = 0; i < left.size(); ++i)
        EXPECT_EQ(r.ints[2 * i] / 256, expected[i]) << i;

    ASSERT_TRUE(writeFile(path("b.wav"), 44100, SampleFormat::pcm16, {5.0f, -5.0f}, {0, 0}));
    const ReadBack clipped = readBack(path("b.wav"));
    EXPECT_EQ(clipped.ints[0] >> 16, 32767);
    EXPECT_EQ(clipped.ints[2] >> 16, -32768);
}

TEST(TpdfDitherTest, TriangularWithinOneBitEitherWay) {
    TpdfDither dither, twin;
    double sum = 0.0, squares = 0.0;
    int nearEdge = 0;
    const int n = 200000;
    for (int i = 0; i < n; ++i) {
        const double d = dither.next();
        ASSERT_EQ(d, twin.next());
        ASSERT_GT(d, -1.0);
        ASSERT_LT(d, 1.0);
        sum += d;
        squares += d * d;
        nearEdge += std::fabs(d) > 0.9;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.01);
    EXPECT_NEAR(squares / n, 1.0 / 6.0, 0.005);     // the variance of a triangle over (−1, 1)
    EXPECT_NEAR(double(nearEdge) / n, 0.01, 0.002); // the tails hold (0.1)² of it
    EXPECT_NE(TpdfDither(1).next(), TpdfDither(2).next());
}

TEST_F(WavFileWriterTest, NothingAppearsUnderTheNameUntilCommitAndFailuresLeaveNothing) {
    const std::vector<float> samples(100, 0.1f);
    std::string error;
    {
        WavFileWriter writer;
        ASSERT_TRUE(writer.open(path("out.wav"), 44100, SampleFormat::float32, error)) << error;
        ASSERT_TRUE(writer.write(samples.data(), samples.data(), 100, error));
        ASSERT_EQ(entries().size(), 1u);
        EXPECT_EQ(entries()[0].rfind(".out.wav.", 0), 0u) << "hidden, beside the target";
        EXPECT_FALSE(fs::exists(path("out.wav")));
        ASSERT_TRUE(writer.commit(error)) << error;
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"out.wav"});
    const std::string first = bytesOf(path("out.wav"));

    // A render that is abandoned, explicitly or by going out of scope, leaves the old file.
    {
        WavFileWriter writer;
        ASSERT_TRUE(writer.open(path("out.wav"), 44100, SampleFormat::pcm16, error));
        writer.write(samples.data(), samples.data(), 100, error);
        writer.discard();
        WavFileWriter forgotten;
        ASSERT_TRUE(forgotten.open(path("out.wav"), 44100, SampleFormat::pcm16, error));
    }
    EXPECT_EQ(entries(), std::vector<std::string>{"out.wav"});
    EXPECT_EQ(bytesOf(path("out.wav")), first);
}

TEST_F(WavFileWriterTest, AReplacedFileKeepsItsPermissionsAndALinkKeepsPointing) {
    const std::vector<float> samples(10, 0.0f);
    ASSERT_TRUE(writeFile(path("real.wav"), 44100, SampleFormat::float32, samples, samples));
    ASSERT_EQ(chmod(path("real.wav").c_str(), 0640), 0);
    fs::create_symlink("real.wav", scratch.directory / "link.wav");
    const std::vector<float> longer(500, 0.0f);
    ASSERT_TRUE(writeFile(path("link.wav"), 44100, SampleFormat::float32, longer, longer));
    EXPECT_TRUE(fs::is_symlink(scratch.directory / "link.wav"));
    EXPECT_EQ(readBack(path("real.wav")).info.frames, 500);
    struct stat status;
    ASSERT_EQ(stat(path("real.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}

TEST_F(WavFileWriterTest, RefusesWhatIsNotAWritableFile) {
    fs::create_directory(scratch.directory / "folder");
    const struct {
        std::string target;
        std::string message;
    } cases[] = {
        {path("folder"), "it is a directory"},
        {path("folder") + "/", "it is a directory"},
        {"/dev/null", "it is not a regular file"},
        {path("missing") + "/out.wav", "cannot create a file in " + path("missing")},
        {path("out.wav") + "/x.wav", "cannot write it: Not a directory"},
    };
    std::ofstream(path("out.wav")) << "old";
    for (const auto& c : cases) {
        WavFileWriter writer;
        std::string error;
        EXPECT_FALSE(writer.open(c.target, 44100, SampleFormat::float32, error)) << c.target;
        EXPECT_NE(error.find(c.message), std::string::npos)
            << c.target << ": \"" << error << "\" lacks \"" << c.message << "\"";
    }
    EXPECT_EQ(entries(), (std::vector<std::string>{"folder", "out.wav"}));
    EXPECT_EQ(bytesOf(path("out.wav")), "old");
}

TEST(WavFileWriterCapacityTest, ThirtyTwoBitSizesBoundTheFrames) {
    EXPECT_EQ(WavFileWriter::capacityFrames(SampleFormat::float32), (0xFFFFFFFFull - 4096) / 8);
    EXPECT_EQ(WavFileWriter::capacityFrames(SampleFormat::pcm24), (0xFFFFFFFFull - 4096) / 6);
    EXPECT_EQ(WavFileWriter::capacityFrames(SampleFormat::pcm16), (0xFFFFFFFFull - 4096) / 4);
}

} // namespace
