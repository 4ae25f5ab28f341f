// Saving replaces the file in one step: a failure at any step, or a process
// killed in the middle, leaves the old file whole and the folder clean.
#include "platform/AutomationError.h"
#include "platform/recordset/AtomicFile.h"
#include "platform/recordset/MemoryRecordset.h"
#include "tests/platform/recordset/RecordsetTesting.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#endif

namespace fillahead {
namespace {

using testkit::fill;
using testkit::readBytes;
using testkit::render;
using testkit::TemporaryFolder;
using testkit::writeBytes;

class FailingStep {
public:
    explicit FailingStep(ReplaceStep step) {
        setReplaceFailureHookForTesting([step](ReplaceStep now) { return now == step; });
    }
    ~FailingStep() { setReplaceFailureHookForTesting(nullptr); }
};

std::string saveError(Recordset& records, const Text& path) {
    try {
        records.Save(path);
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), error::WritingFile);
        return toUtf8(e.description());
    }
    return "saved";
}

TEST(AtomicSave, AFailureAtAnyStepKeepsTheOldFileAndLeavesNoTemporary) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    fill(records, {u"old"});
    records.Save(path);
    const std::string old = readBytes(path);
    records.AddNew(u"SavedStringField", u"new");

    for (const ReplaceStep step : {ReplaceStep::Create, ReplaceStep::Write, ReplaceStep::Flush,
                                   ReplaceStep::Close, ReplaceStep::Rename}) {
        SCOPED_TRACE(static_cast<int>(step));
        const FailingStep failing(step);
        const std::string description = saveError(records, path);
        EXPECT_NE(description.find("Cannot save '" + toUtf8(path) + "': "), std::string::npos)
            << description;
        EXPECT_EQ(readBytes(path), old);
        EXPECT_EQ(folder.names(), std::vector<std::string>{"buffer.xml"});
        EXPECT_EQ(render(records), "old\nnew\n");
        // A first save that fails leaves no file at all.
        EXPECT_NE(saveError(records, folder.path("fresh.xml")), "saved");
        EXPECT_EQ(folder.names(), std::vector<std::string>{"buffer.xml"});
    }
    records.Save(path);
    records.Close();
    records.Open(path);
    EXPECT_EQ(render(records), "old\nnew\n");
}

TEST(AtomicSave, FailuresTheSystemReportsNameTheFile) {
    TemporaryFolder folder;
    MemoryRecordset records;
    fill(records, {u"value"});
    const Text inMissingFolder = folder.path("missing") + kFolderSeparator + u"buffer.xml";
    EXPECT_NE(saveError(records, inMissingFolder).find("missing"), std::string::npos);

    // The rename cannot replace a folder: the temporary goes again.
    std::filesystem::create_directory(toPath(folder.path("taken.xml")));
    std::filesystem::create_directory(toPath(folder.path("taken.xml") + kFolderSeparator + u"x"));
    const std::string description = saveError(records, folder.path("taken.xml"));
    EXPECT_NE(description.find("replacing the old file failed"), std::string::npos) << description;
    EXPECT_EQ(folder.names(), std::vector<std::string>{"taken.xml"});
}

// The rename is forced to disk after it is done; when that fails the save
// says so, though the new content is in place.
TEST(AtomicSave, TheRenameIsForcedToDiskAfterIt) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    fill(records, {u"old"});
    std::vector<ReplaceStep> steps;
    setReplaceFailureHookForTesting([&](ReplaceStep step) {
        steps.push_back(step);
        return false;
    });
    records.Save(path);
    setReplaceFailureHookForTesting(nullptr);
    EXPECT_EQ(steps, (std::vector<ReplaceStep>{ReplaceStep::Create, ReplaceStep::Write,
                                               ReplaceStep::Flush, ReplaceStep::Close,
                                               ReplaceStep::Rename, ReplaceStep::FlushFolder}));

    records.AddNew(u"SavedStringField", u"new");
    {
        const FailingStep failing(ReplaceStep::FlushFolder);
        const std::string description = saveError(records, path);
        EXPECT_NE(description.find("forcing the replacement to disk failed"), std::string::npos)
            << description;
    }
    EXPECT_EQ(folder.names(), std::vector<std::string>{"buffer.xml"});
    MemoryRecordset reloaded;
    reloaded.Open(path);
    EXPECT_EQ(render(reloaded), "old\nnew\n");
}

// A file the user made read-only is not replaced, on any platform: the save
// fails as Windows fails it, and the file and the folder stay as they were.
TEST(AtomicSave, AReadOnlyFileIsRefused) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    MemoryRecordset records;
    fill(records, {u"old"});
    records.Save(path);
    const std::string old = readBytes(path);
    const auto writable = std::filesystem::perms::owner_write |
                          std::filesystem::perms::group_write |
                          std::filesystem::perms::others_write;
    std::filesystem::permissions(toPath(path), writable, std::filesystem::perm_options::remove);
    records.AddNew(u"SavedStringField", u"new");

    const std::string description = saveError(records, path);
    EXPECT_NE(description.find("Cannot save '" + toUtf8(path) + "': replacing the old file failed"),
              std::string::npos)
        << description;
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"buffer.xml"});

    // Writable again, it is replaced as before.
    std::filesystem::permissions(toPath(path), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    records.Save(path);
    MemoryRecordset reloaded;
    reloaded.Open(path);
    EXPECT_EQ(render(reloaded), "old\nnew\n");
}

TEST(AtomicSave, StaleTemporariesAreRemovedYoungOnesKept) {
    TemporaryFolder folder;
    const std::vector<std::string> names = {"a.xml.1f-0.fillahead-tmp", "b.xml.2e-3.fillahead-tmp",
                                            "keep.xml", "note.tmp"};
    for (const std::string& name : names) {
        writeBytes(folder.path(name), "partial");
    }
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const char* name : {"a.xml.1f-0.fillahead-tmp", "keep.xml", "note.tmp"}) {
        std::filesystem::last_write_time(toPath(folder.path(name)), old);
    }
    EXPECT_TRUE(isTemporaryFileName(u"a.xml.1f-0.fillahead-tmp"));

    MemoryRecordset records;
    fill(records, {u"x"});
    records.Save(folder.path("buffer.xml"));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"b.xml.2e-3.fillahead-tmp", "buffer.xml",
                                                        "keep.xml", "note.tmp"}));
    // Loading cleans up too; taking back what the record set saved reads
    // nothing, the folder included.
    writeBytes(folder.path("c.xml.1-1.fillahead-tmp"), "partial");
    std::filesystem::last_write_time(toPath(folder.path("c.xml.1-1.fillahead-tmp")), old);
    records.Close();
    records.Open(folder.path("buffer.xml"));
    EXPECT_EQ(folder.names().size(), 5U);
    MemoryRecordset loading;
    loading.AppendField({u"SavedStringField", 8, 255, -1});
    loading.Open(folder.path("buffer.xml"));
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"b.xml.2e-3.fillahead-tmp", "buffer.xml",
                                                        "keep.xml", "note.tmp"}));
}

#ifndef _WIN32
// A child process saves two large record sets in turn until it is killed at
// a random moment; the file must then load whole, as one of the two.
TEST(AtomicSave, KillingASaveNeverLeavesATornOrMissingFile) {
    TemporaryFolder folder;
    const Text path = folder.path("buffer.xml");
    std::vector<Text> first;
    std::vector<Text> second;
    for (int i = 0; i < 20000; ++i) {
        first.push_back(u"first " + toText(i) + u" Ünïcode value of some length");
        if (i < 15000) {
            second.push_back(u"second " + toText(i));
        }
    }
    MemoryRecordset a;
    MemoryRecordset b;
    fill(a, first);
    fill(b, second);
    a.Save(path);
    const std::string renderedA = render(a);
    const std::string renderedB = render(b);

    std::mt19937 random(11);
    for (int round = 0; round < 25; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            try {
                for (;;) {
                    a.Save(path);
                    b.Save(path);
                }
            } catch (...) {
            }
            _exit(1); // never back into the test runner
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        MemoryRecordset loaded;
        loaded.Open(path);
        const std::string rendered = render(loaded);
        ASSERT_TRUE(rendered == renderedA || rendered == renderedB) << "round " << round;
        for (const std::string& name : folder.names()) {
            EXPECT_TRUE(name == "buffer.xml" || isTemporaryFileName(fromUtf8(name))) << name;
        }
    }
}
#endif

} // namespace
} // namespace fillahead
