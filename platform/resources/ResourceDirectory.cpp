#include "ResourceDirectory.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>

namespace {

std::string directoryOf(const std::string& file) {
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : file.substr(0, slash);
}

// Symbolic links in the folder are resolved so the engine gets one stable absolute path; the
// library file's own links (libX.so.1 -> libX.so.1.0.0) stay in the same folder anyway.
std::string absoluteDirectory(const std::string& directory) {
    char resolved[PATH_MAX];
    if (realpath(directory.c_str(), resolved) != nullptr)
        return resolved;
    return directory;
}

bool isDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Bytes that are not printable ASCII are shown as \xNN so a message about a bad path is itself
// readable text.
std::string printable(const std::string& text) {
    std::string out;
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            out += char(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            out += escaped;
        }
    }
    return out;
}

} // namespace

std::vector<std::string> ResourceDirectory::candidates(const std::string& libraryFile) {
    const std::string folder = absoluteDirectory(directoryOf(libraryFile));
    std::vector<std::string> list{folder + "/" + bundleName,
                                  folder + "/" + installSubdirectory + "/" + bundleName};
#ifdef CORVENA_INSTALLED_RESOURCE_DIR
    const std::string installed = CORVENA_INSTALLED_RESOURCE_DIR;
    if (installed != list[0] && installed != list[1])
        list.push_back(installed);
#endif
    return list;
}

ResourceLookup ResourceDirectory::firstExisting(const std::vector<std::string>& candidates) {
    ResourceLookup lookup;
    for (const std::string& candidate : candidates) {
        if (!isDirectory(candidate))
            continue;
        if (!isValidUtf8(candidate)) {
            lookup.error =
                "the resource directory path is not valid UTF-8: " + printable(candidate);
            return lookup;
        }
        lookup.found = true;
        lookup.path = candidate;
        return lookup;
    }
    lookup.error = "no resource directory: looked for";
    for (size_t i = 0; i < candidates.size(); ++i)
        lookup.error += (i == 0 ? " " : ", ") + printable(candidates[i]);
    return lookup;
}

ResourceLookup ResourceDirectory::locate(const void* addressInLibrary) {
    Dl_info info{};
    if (addressInLibrary == nullptr || dladdr(addressInLibrary, &info) == 0 ||
        info.dli_fname == nullptr || info.dli_fname[0] == '\0') {
        ResourceLookup lookup;
        lookup.error = "no resource directory: cannot tell which file the engine library was "
                       "loaded from";
        return lookup;
    }
    return firstExisting(candidates(info.dli_fname));
}

// RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
bool ResourceDirectory::isValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t codePoint = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xe0) == 0xc0) {
            length = 2;
            codePoint = lead & 0x1f;
        } else if ((lead & 0xf0) == 0xe0) {
            length = 3;
            codePoint = lead & 0x0f;
        } else if ((lead & 0xf8) == 0xf0) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size())
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3f);
        }
        static constexpr uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < smallest[length] || codePoint > 0x10ffff ||
            (codePoint >= 0xd800 && codePoint <= 0xdfff))
            return false;
        i += length;
    }
    return true;
}
