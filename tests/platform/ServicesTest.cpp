// The file system and the property bag.
#include "platform/AutomationError.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/PropertyBag.h"
#include "tests/support/Errors.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

namespace fillahead {
namespace {

using testing::TempFolder;

using testing::errorOf;

void writeFile(const std::filesystem::path& file, std::size_t bytes) {
    std::ofstream(file, std::ios::binary) << std::string(bytes, 'x');
}

TEST(FileSystem, FoldersAndFilesAsTheBufferStoreUsesThem) {
    TempFolder root;
    PortableFileSystem fs;
    const Text folder = root.text("buffers");
    EXPECT_FALSE(fs.FolderExists(folder));
    fs.CreateFolder(folder + kFolderSeparator); // a trailing separator names the same folder
    EXPECT_TRUE(fs.FolderExists(folder));
    EXPECT_EQ(errorOf([&] { fs.CreateFolder(folder); }), error::FileAlreadyExists);
    EXPECT_EQ(errorOf([&] { fs.CreateFolder(root.text("a") + kFolderSeparator + u"b"); }),
              error::PathNotFound);
    EXPECT_EQ(errorOf([&] { fs.GetFolder(root.text("missing")); }), error::PathNotFound);

    writeFile(root.path() / "buffers" / "b.xml", 100);
    writeFile(root.path() / "buffers" / "A.xml", 20);
    std::filesystem::create_directory(root.path() / "buffers" / "sub");
    writeFile(root.path() / "buffers" / "sub" / "inner.xml", 7);
    const auto when = std::filesystem::file_time_type::clock::now() - std::chrono::hours(2);
    std::filesystem::last_write_time(root.path() / "buffers" / "b.xml", when);

    const FolderSnapshot snapshot = fs.GetFolder(folder);
    EXPECT_EQ(snapshot.Size, 127u); // subfolders count too
    ASSERT_EQ(snapshot.Files.size(), 2u);
    EXPECT_EQ(snapshot.Files[0].Path, fromPath(root.path() / "buffers" / "A.xml"));
    EXPECT_EQ(snapshot.Files[1].Path, fromPath(root.path() / "buffers" / "b.xml"));
    // File systems keep times at their own resolution.
    const auto drift = snapshot.Files[1].DateLastModified - when;
    EXPECT_LT(std::chrono::abs(drift), std::chrono::seconds(2));
    EXPECT_LT(snapshot.Files[1].DateLastModified, snapshot.Files[0].DateLastModified);

    EXPECT_EQ(snapshot.Files[0].Size, 20u);
    EXPECT_EQ(snapshot.Files[1].Size, 100u);

    // Moving never replaces a file.
    const Text kept = snapshot.Files[1].Path + u".kept";
    fs.MoveFile(snapshot.Files[1].Path, kept);
    EXPECT_FALSE(fs.FileExists(snapshot.Files[1].Path));
    EXPECT_EQ(std::filesystem::file_size(toPath(kept)), 100u);
    EXPECT_EQ(errorOf([&] { fs.MoveFile(snapshot.Files[0].Path, kept); }),
              error::FileAlreadyExists);
    EXPECT_EQ(std::filesystem::file_size(toPath(kept)), 100u);
    EXPECT_EQ(errorOf([&] { fs.MoveFile(snapshot.Files[1].Path, kept + u"2"); }),
              error::FileNotFound);

    EXPECT_TRUE(fs.FileExists(snapshot.Files[0].Path));
    EXPECT_FALSE(fs.FileExists(folder));
    fs.RemoveFile(snapshot.Files[0].Path);
    EXPECT_FALSE(fs.FileExists(snapshot.Files[0].Path));
    EXPECT_EQ(errorOf([&] { fs.RemoveFile(snapshot.Files[0].Path); }), error::FileNotFound);
}

struct Settings final : Persistable, Object {
    void WriteProperties(PropertyBag& bag) override {
        bag.WriteProperty(u"Inner", 1, 0);
        bag.WriteProperty(u"Skipped", 0, 0);
    }
};

TEST(PropertyBag, WritesOnlyValuesThatDifferFromTheDefaultAndNestsObjects) {
    MemoryPropertyBag bag;
    bag.WriteProperty(u"Same", 8, 8);
    bag.WriteProperty(u"SameAsNumber", std::int16_t{8}, 8.0);
    bag.WriteProperty(u"Different", 9, 8);
    bag.WriteProperty(u"Always", u"");
    bag.WriteProperty(u"Object", Variant(std::shared_ptr<Object>(std::make_shared<Settings>())));
    EXPECT_EQ(bag.Render(), "Different=9\nAlways=\nObject={\n  Inner=1\n}\n");
    EXPECT_EQ(bag.ReadProperty(u"different", 0).toLong(), 9);
    EXPECT_EQ(bag.ReadProperty(u"Same", 8).toLong(), 8);
    EXPECT_TRUE(bag.ReadProperty(u"Object", Variant()).isObject());
}

} // namespace
} // namespace fillahead
