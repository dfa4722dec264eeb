#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

fs::path directoryForThisTest() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    return fs::path(::testing::TempDir()) /
           ("corvena_" + std::string(test != nullptr ? test->test_suite_name() : "scratch") + "_" +
            (test != nullptr ? test->name() : "") + "_" + std::to_string(getpid()));
}

} // namespace

ScratchDirectory::ScratchDirectory() : directory(directoryForThisTest()) {
    fs::remove_all(directory);
    fs::create_directories(directory);
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
}

std::string ScratchDirectory::path(const std::string& name) const {
    return (directory / name).string();
}

std::vector<std::string> ScratchDirectory::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ScratchDirectory::bytesOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
