// The settings file: values per application and section, saves that never
// tear the file, and damage that loses only what is damaged.
#include "platform/simulated/FileSettingsStore.h"

#include "platform/Path.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fillahead {
namespace {

using testing::TempFolder;

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

} // namespace
} // namespace fillahead
