// Finds the engine's resource directory, Resources.bundle, from the file the engine library was
// loaded from: beside it in a build tree (<build>/lib/Resources.bundle), or in the engine's own
// folder under the library directory of an installation (<libdir>/corvena/Resources.bundle).
// Nothing is configured: the library's location is the only input, so a build tree and an
// installed copy each find their own files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ResourceLookup {
    bool found = false;
    std::string path;  // absolute, valid UTF-8, when found
    std::string error; // one line saying what was looked for and where, when not
};

class ResourceDirectory {
public:
    static constexpr const char* bundleName = "Resources.bundle";
    static constexpr const char* installSubdirectory = "corvena";

    // `addressInLibrary` is any function of the engine library (CreateDspObject); dladdr names
    // the file that holds it.
    static ResourceLookup locate(const void* addressInLibrary);

    // The directories searched, in order, for an engine library file at `libraryFile`.
    static std::vector<std::string> candidates(const std::string& libraryFile);

    // The first candidate that is a directory, checked for valid UTF-8 (the engine takes the
    // path as UTF-8 text).
    static ResourceLookup firstExisting(const std::vector<std::string>& candidates);

    static bool isValidUtf8(std::string_view text);
};
