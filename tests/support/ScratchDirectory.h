// A fresh directory for one test, named after it and removed with it, for tests that write
// files and then check what is there and what is not.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class ScratchDirectory {
public:
    ScratchDirectory(); // for the test that is running
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    std::string path(const std::string& name) const;
    std::vector<std::string> entries() const; // the names in it, sorted

    static std::string bytesOf(const std::string& file);

    const std::filesystem::path directory;
};
