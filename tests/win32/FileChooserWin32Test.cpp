// The common open-file dialog: the record GetOpenFileNameW gets, how its
// answer is read, and the real dialog on the session's display, answered
// with real key strokes.
#include "platform/win32/FileChooserWin32.h"

#include <windows.h>

#include "designtime/FileCommonDialog.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

namespace fillahead::win32 {
namespace {

using fillahead::testing::TempFolder;

std::wstring wide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

TEST(OpenFileNameRecord, HandsTheDialogTerminatedBuffersOfTheRecordsRoom) {
    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE | OFN_NOCHANGEDIR;
    const Text longest(1024, u'n');
    OpenFileNameRecord record(dialog.BuildRecord(longest, u""));
    const OPENFILENAMEW& native = record.Get();
    EXPECT_EQ(native.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(native.hwndOwner, nullptr);
    EXPECT_EQ(native.lpstrFilter, nullptr); // no items: no filter
    EXPECT_EQ(native.nMaxFile, 1024u);
    EXPECT_EQ(std::wstring(native.lpstrFile), wide(longest)); // and it ends there
    EXPECT_EQ(native.nMaxFileTitle, 512u);
    EXPECT_EQ(native.lpstrFileTitle[0], L'\0');
    EXPECT_EQ(native.lpstrInitialDir, nullptr);
    EXPECT_EQ(native.lpstrDefExt, nullptr);
    EXPECT_EQ(std::wstring(native.lpstrTitle), L"win32_dialog_tests"); // the program's name
    EXPECT_EQ(native.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                                               OFN_NOCHANGEDIR));

    dialog.Filter = u"Buffers|*.xml";
    dialog.FilterIndex = 1;
    dialog.OwnerWindow = 0x10;
    dialog.InitialFolder = u"C:\\Start";
    OpenFileNameRecord filtered(dialog.BuildRecord(u"a.xml", u""));
    EXPECT_EQ(std::wstring(filtered.Get().lpstrFilter, 16),
              std::wstring(L"Buffers\0*.xml\0\0", 16));
    EXPECT_EQ(filtered.Get().nFilterIndex, 1u);
    EXPECT_EQ(filtered.Get().hwndOwner, reinterpret_cast<HWND>(0x10));
    EXPECT_EQ(std::wstring(filtered.Get().lpstrInitialDir), L"C:\\Start");
}

TEST(OpenFileNameRecord, ReadsTheAnswerAloneOutOfWhatTheDialogLeft) {
    OpenFileRecord asked;
    asked.file = u"C:\\a\\long\\initial\\name.xml" + Text(1024 - 26, u'\0');
    asked.fileTitle = Text(512, u'\0');
    asked.flags = OFN_FILEMUSTEXIST;
    OpenFileNameRecord record(asked);
    OPENFILENAMEW& native = record.Get();
    // One file written over the start of the initial name, as the dialog
    // writes it: the rest of the initial name is still behind it.
    std::wcscpy(native.lpstrFile, L"C:\\b.xml");
    native.nFileOffset = 3;
    std::wcscpy(native.lpstrFileTitle, L"b.xml");
    native.nFilterIndex = 2;
    native.Flags |= OFN_READONLY;
    OpenFileRecord answer = asked;
    record.ReadAnswer(answer);
    EXPECT_EQ(answer.file, u"C:\\b.xml" + Text(1024 - 8, u'\0'));
    EXPECT_EQ(answer.fileTitle, u"b.xml" + Text(512 - 5, u'\0'));
    EXPECT_EQ(answer.filterIndex, 2u);
    EXPECT_EQ(answer.flags, static_cast<std::uint32_t>(OFN_FILEMUSTEXIST | OFN_READONLY));

    // Several files: the folder and the names, up to the pair of NULs.
    const wchar_t several[] = L"C:\\d\0a.xml\0b.xml\0";
    std::copy(std::begin(several), std::end(several), native.lpstrFile);
    native.nFileOffset = 5;
    record.ReadAnswer(answer);
    EXPECT_EQ(answer.file, Text(u"C:\\d\0a.xml\0b.xml", 16) + Text(1024 - 16, u'\0'));
}

// Answers the next dialog with that caption as a user would, with real key
// strokes from xdotool: a Unix program, which Wine starts like any other
// (without a handle to wait for), on the session's display. A dialog still open after the time
// given is cancelled, so that a test fails rather than waits for ever.
class KeyboardUser {
public:
    KeyboardUser(const std::wstring& caption, const std::wstring& keys) : caption_(caption) {
        // Bounded in time: a dialog that never shows must not leave it
        // waiting behind the test.
        std::wstring command =
            L"Z:\\usr\\bin\\timeout 30 xdotool search --sync --onlyvisible --name \"^" + caption +
            L"$\" windowfocus --sync sleep 0.3 " + keys;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        started_ = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process) != 0;
        if (process.hProcess != nullptr) {
            CloseHandle(process.hProcess);
        }
        if (process.hThread != nullptr) {
            CloseHandle(process.hThread);
        }
        watchdog_ = std::thread([this] {
            std::unique_lock lock(mutex_);
            if (!done_.wait_for(lock, std::chrono::seconds(30), [this] { return finished_; })) {
                timedOut_ = true;
                if (HWND dialog = FindWindowW(nullptr, caption_.c_str())) {
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                }
            }
        });
    }
    ~KeyboardUser() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        watchdog_.join();
    }
    KeyboardUser(const KeyboardUser&) = delete;
    KeyboardUser& operator=(const KeyboardUser&) = delete;

    bool Started() const { return started_; }
    bool TimedOut() {
        const std::lock_guard lock(mutex_);
        return timedOut_;
    }

private:
    std::wstring caption_;
    bool started_ = false;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool timedOut_ = false;
    std::thread watchdog_;
};

// A folder whose name is outside any ANSI code page, with files in it.
struct PickFolder {
    TempFolder temp;
    std::filesystem::path folder = temp.path() / std::filesystem::path(L"Буфер Ωμέγα");
    PickFolder() {
        std::filesystem::create_directory(folder);
        for (const wchar_t* name : {L"a.xml", L"b.xml", L"chosen.xml"}) {
            std::ofstream(folder / name) << "<xml/>";
        }
    }
    Text Path() const { return Text(folder.u16string()); }
};

TEST(Win32FileChooser, TheRealDialogReturnsThePathTheUserTyped) {
    PickFolder pick;
    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.DialogTitle = u"Pick one buffer";
    // Started at a name longer than the answer: nothing of it may trail.
    Text name = pick.Path() + u"\\a-name-much-longer-than-the-one-picked-in-the-end.xml";
    Text title;
    bool chosen = false;
    {
        KeyboardUser user(L"Pick one buffer",
                          L"key ctrl+a type --delay 30 --args 1 chosen.xml key Return");
        ASSERT_TRUE(user.Started());
        chosen = dialog.OpenFile(name, title);
        EXPECT_FALSE(user.TimedOut());
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(name, pick.Path() + u"\\chosen.xml");
    EXPECT_EQ(title, name);
    EXPECT_EQ(dialog.FilterIndex, 0);
    EXPECT_EQ(dialog.Filter, u"");
    EXPECT_NE(dialog.Flags & OFN_FILEMUSTEXIST, 0);
}

TEST(Win32FileChooser, SeveralFilesComeBackAsTheFolderAndTheirNames) {
    PickFolder pick;
    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.DialogTitle = u"Pick two buffers";
    dialog.MultiSelect = true;
    Text name = pick.Path() + u"\\";
    bool chosen = false;
    {
        KeyboardUser user(
            L"Pick two buffers",
            L"key ctrl+a type --delay 30 --args 1 \"\\\"a.xml\\\" \\\"b.xml\\\"\" key Return");
        ASSERT_TRUE(user.Started());
        chosen = dialog.OpenFile(name);
        EXPECT_FALSE(user.TimedOut());
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(name, pick.Path() + u";a.xml;b.xml");
    EXPECT_EQ(dialog.InitialFolder, pick.Path());
}

TEST(Win32FileChooser, EscapeCancelsTheRealDialog) {
    PickFolder pick;
    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.DialogTitle = u"Pick nothing";
    Text name = pick.Path() + u"\\chosen.xml";
    bool chosen = true;
    {
        KeyboardUser user(L"Pick nothing", L"key Escape");
        ASSERT_TRUE(user.Started());
        chosen = dialog.OpenFile(name);
        EXPECT_FALSE(user.TimedOut());
    }
    EXPECT_FALSE(chosen);
    EXPECT_EQ(name, u"");
    EXPECT_EQ(dialog.FilterIndex, -1);
}

} // namespace
} // namespace fillahead::win32
