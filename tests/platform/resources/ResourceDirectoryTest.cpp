// Where the engine's resources are looked for: beside the engine library in a build tree, in the
// installed layout under the library folder, every place named when none is there, paths that
// are not UTF-8 refused; and the engine library found through its own address.
#include "ResourceDirectory.h"
#include "Corvena_Core.h"
#include "ScratchDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A tree of the test's own with the engine library's folder in it.
class ScratchTree : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(root / "lib"); }

    ScratchDirectory scratch;
    const fs::path root = scratch.directory;
    const std::string library = (root / "lib" / "libCorvena_Core.so.1").string();
};

TEST_F(ScratchTree, BuildTreeBundleBesideTheLibraryComesFirst) {
    fs::create_directories(root / "lib" / "Resources.bundle");
    fs::create_directories(root / "lib" / "corvena" / "Resources.bundle");
    const ResourceLookup found =
        ResourceDirectory::firstExisting(ResourceDirectory::candidates(library));
    ASSERT_TRUE(found.found) << found.error;
    EXPECT_EQ(found.path, (fs::canonical(root / "lib") / "Resources.bundle").string());
}

TEST_F(ScratchTree, InstalledLayoutIsFoundUnderTheLibraryFolder) {
    fs::create_directories(root / "lib" / "corvena" / "Resources.bundle");
    const ResourceLookup found =
        ResourceDirectory::firstExisting(ResourceDirectory::candidates(library));
    ASSERT_TRUE(found.found) << found.error;
    EXPECT_EQ(found.path, (fs::canonical(root / "lib") / "corvena" / "Resources.bundle").string());
}

TEST_F(ScratchTree, MissingBundleNamesEveryPlaceLookedAt) {
    std::ofstream(root / "lib" / "Resources.bundle") << "a file, not a directory";
    const std::vector<std::string> candidates = ResourceDirectory::candidates(library);
    const ResourceLookup found = ResourceDirectory::firstExisting(candidates);
    EXPECT_FALSE(found.found);
    EXPECT_EQ(found.error.rfind("no resource directory", 0), 0u) << found.error;
    for (const std::string& candidate : candidates)
        EXPECT_NE(found.error.find(candidate), std::string::npos) << found.error;
}

TEST_F(ScratchTree, PathThatIsNotUtf8IsRefusedWithItsBytesShown) {
    const fs::path bad = root / "lib\xff" / "Resources.bundle";
    fs::create_directories(bad);
    const ResourceLookup found = ResourceDirectory::firstExisting({bad.string()});
    EXPECT_FALSE(found.found);
    EXPECT_NE(found.error.find("not valid UTF-8"), std::string::npos) << found.error;
    EXPECT_NE(found.error.find("lib\\xff"), std::string::npos) << found.error;
}

TEST(ResourceLookup, EngineLibraryIsFoundThroughItsOwnAddress) {
    const ResourceLookup found =
        ResourceDirectory::locate(reinterpret_cast<const void*>(&CreateDspObject));
    const std::string expected =
        (fs::canonical(CORVENA_TEST_LIBRARY_DIR) / "Resources.bundle").string();
    if (found.found)
        EXPECT_EQ(found.path, expected);
    else
        EXPECT_NE(found.error.find(expected), std::string::npos)
            << "looked beside the engine library: " << found.error;
    EXPECT_FALSE(ResourceDirectory::locate(nullptr).found);
}

TEST(ResourceLookup, Utf8ValidationFollowsRfc3629) {
    EXPECT_TRUE(ResourceDirectory::isValidUtf8("/home/gr\xc3\xbc\xc3\x9f"
                                               "e/\xe2\x82\xac/\xf0\x9f\x8e\xb9"));
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xc0\xaf"));         // overlong '/'
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\xf4\x90\x80\x80")); // above U+10FFFF
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("ab\xe2\x82"));       // cut short
    EXPECT_FALSE(ResourceDirectory::isValidUtf8("\x80"));             // lone continuation
}

} // namespace
