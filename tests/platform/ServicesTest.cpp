// The file system, the settings file and the property bag.
#include "platform/AutomationError.h"
#include "platform/FileSystem.h"
#include "platform/Path.h"
#include "platform/PropertyBag.h"
#include "platform/SettingsStore.h"
#include "tests/support/Errors.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

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

TEST(FileSettingsStore, KeepsValuesPerApplicationAndSectionInOneFile) {
    TempFolder root;
    FileSettingsStore store(root.path());
    EXPECT_EQ(store.GetSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u"1"), u"1");
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u"5");
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferLocation",
                      u" /data/Fillahead/\\ \nnext ");
    store.SaveSetting(u"Fillahead", u"Other", u"GlobalBufferSize", u"9");
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u"6");

    FileSettingsStore reopened(root.path());
    EXPECT_EQ(reopened.GetSetting(u"Fillahead", u"propertysection", u"globalbuffersize", u""),
              u"6");
    EXPECT_EQ(reopened.GetSetting(u"Fillahead", u"PropertySection", u"GlobalBufferLocation", u""),
              u" /data/Fillahead/\\ \nnext ");
    EXPECT_EQ(reopened.GetSetting(u"Fillahead", u"Other", u"GlobalBufferSize", u""), u"9");
    EXPECT_EQ(reopened.GetSetting(u"Another", u"PropertySection", u"GlobalBufferSize", u"d"), u"d");
    EXPECT_TRUE(std::filesystem::exists(root.path() / "Fillahead" / "settings.ini"));
    EXPECT_FALSE(std::filesystem::exists(root.path() / "Fillahead" / "settings.ini.tmp"));
}

// Each save writes a temporary of its own: a name another program's save
// (or anything else) holds does not stand in the way, and none is left.
TEST(FileSettingsStore, SavesThroughATemporaryOfTheirOwn) {
    TempFolder root;
    FileSettingsStore store(root.path());
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u"2");
    std::filesystem::create_directory(root.path() / "Fillahead" / "settings.ini.tmp");
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u"3");
    EXPECT_EQ(store.GetSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u""), u"3");
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root.path() / "Fillahead")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"settings.ini", "settings.ini.tmp"}));
}

#ifndef _WIN32
// Two programs saving the same setting over and over: no save fails, and
// the file always holds one of the values whole.
TEST(FileSettingsStore, TwoProgramsSavingAtOnceNeitherFailNorTearTheFile) {
    TempFolder root;
    FileSettingsStore(root.path()).SaveSetting(u"Fillahead", u"S", u"Key", u"start");
    const auto saver = [&](const Text& value) {
        const pid_t child = fork();
        if (child == 0) {
            int status = 0;
            try {
                FileSettingsStore store(root.path());
                for (int i = 0; i < 300; ++i) {
                    store.SaveSetting(u"Fillahead", u"S", u"Key", value + toText(i % 10));
                }
            } catch (...) {
                status = 1;
            }
            _exit(status); // never back into the test runner
        }
        return child;
    };
    const pid_t first = saver(u"first value ");
    const pid_t second = saver(u"second value ");
    FileSettingsStore reader(root.path());
    for (int i = 0; i < 300; ++i) {
        const Text value = reader.GetSetting(u"Fillahead", u"S", u"Key", u"");
        ASSERT_TRUE(value == u"start" ||
                    (value.size() == 13 && value.starts_with(u"first value ")) ||
                    (value.size() == 14 && value.starts_with(u"second value ")))
            << toUtf8(value);
    }
    for (const pid_t child : {first, second}) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
}
#endif

TEST(FileSettingsStore, ADamagedFileLosesOnlyWhatIsDamaged) {
    TempFolder root;
    std::filesystem::create_directories(root.path() / "Fillahead");
    std::ofstream(root.path() / "Fillahead" / "settings.ini", std::ios::binary)
        << "garbage before any section\n[PropertySection]\nno equals sign\n"
           "GlobalBufferSize=3\n\xFF\xFE\n";
    FileSettingsStore store(root.path());
    EXPECT_EQ(store.GetSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u""), u"3");
    store.SaveSetting(u"Fillahead", u"PropertySection", u"GlobalBufferLocation", u"x");
    EXPECT_EQ(store.GetSetting(u"Fillahead", u"PropertySection", u"GlobalBufferSize", u""), u"3");
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
