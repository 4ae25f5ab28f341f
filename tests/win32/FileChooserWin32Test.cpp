// The common open-file dialog: the record GetOpenFileNameW gets, how its
// answer is read, and the real dialog answered with real key strokes.
#include "platform/win32/FileChooserWin32.h"

#include <windows.h>

#include "designtime/FileCommonDialog.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

namespace fillahead::win32 {
namespace {

TEST(OpenFileNameRecord, HandsOverTerminatedBuffersAndReadsTheAnswerAlone) {
    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.Flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE | OFN_NOCHANGEDIR;
    const Text initial = u"C:\\a\\long\\initial\\name" + Text(1024 - 22, u'n');
    OpenFileNameRecord record(dialog.BuildRecord(initial, u""));
    OPENFILENAMEW& native = record.Get();
    EXPECT_EQ(native.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(native.hwndOwner, nullptr);
    EXPECT_EQ(native.lpstrFilter, nullptr); // no items: no filter
    EXPECT_EQ(native.nMaxFile, 1024u);
    EXPECT_EQ(std::wstring(native.lpstrFile), std::wstring(initial.begin(), initial.end()));
    EXPECT_EQ(native.nMaxFileTitle, 512u);
    EXPECT_EQ(std::wstring(native.lpstrTitle), L"win32_dialog_tests"); // the program's name
    EXPECT_EQ(native.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                                               OFN_NOCHANGEDIR));

    // Several files written over the start of the initial name, the rest of
    // it still behind them.
    const wchar_t several[] = L"C:\\d\0a.xml\0b.xml\0";
    std::copy(std::begin(several), std::end(several), native.lpstrFile);
    native.nFileOffset = 5;
    native.Flags |= OFN_READONLY;
    OpenFileRecord answer;
    answer.file.resize(1024);
    answer.fileTitle.resize(512, u'x');
    record.ReadAnswer(answer);
    EXPECT_EQ(answer.file, Text(u"C:\\d\0a.xml\0b.xml", 16) + Text(1024 - 16, u'\0'));
    EXPECT_EQ(answer.fileTitle, Text(512, u'\0'));
    EXPECT_EQ(answer.flags, static_cast<std::uint32_t>(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY |
                                                       OFN_NOCHANGEDIR | OFN_READONLY));
}

// The dialog with that caption, answered with key strokes from xdotool, a
// Unix program that Wine starts like any other (without a handle to wait
// for) on the session's display. A dialog still open after 30 seconds is
// cancelled, so that the test fails rather than waits for ever.
bool OpenFileAnswered(FileCommonDialog& dialog, Text& name, const std::wstring& keys) {
    static std::wstring caption;
    caption = std::wstring(dialog.DialogTitle.begin(), dialog.DialogTitle.end());
    std::wstring command = L"Z:\\usr\\bin\\timeout 30 xdotool search --sync --onlyvisible --name "
                           L"\"^" +
                           caption + L"$\" windowfocus --sync sleep 0.3 " + keys;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "xdotool did not start";
        return false;
    }
    for (HANDLE handle : {process.hProcess, process.hThread}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    // A thread timer, which the dialog's own message loop dispatches.
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 30000, [](HWND, UINT, UINT_PTR, DWORD) {
        ADD_FAILURE() << "the dialog was not answered";
        PostMessageW(FindWindowW(nullptr, caption.c_str()), WM_COMMAND, IDCANCEL, 0);
    });
    const bool chosen = dialog.OpenFile(name);
    KillTimer(nullptr, watchdog);
    return chosen;
}

TEST(Win32FileChooser, TheRealDialogReturnsWhatTheUserChose) {
    // A folder whose name is outside every ANSI code page.
    const fillahead::testing::TempFolder temp;
    const std::filesystem::path folder = temp.path() / L"Буфер Ωμέγα";
    std::filesystem::create_directory(folder);
    for (const wchar_t* file : {L"a.xml", L"b.xml"}) {
        std::ofstream(folder / file) << "<xml/>";
    }
    const Text path = folder.u16string();

    FileCommonDialog dialog(std::make_shared<Win32FileChooser>());
    dialog.DialogTitle = u"Pick a buffer";
    // Started at a longer name than the answer: nothing of it may trail.
    Text name = path + u"\\a-name-much-longer-than-the-one-picked-in-the-end.xml";
    ASSERT_TRUE(OpenFileAnswered(dialog, name, L"key ctrl+a type --args 1 b.xml key Return"));
    EXPECT_EQ(name, path + u"\\b.xml");

    dialog.MultiSelect = true;
    ASSERT_TRUE(OpenFileAnswered(dialog, name,
                                 L"key ctrl+a type --args 1 \"\\\"a.xml\\\" \\\"b.xml\\\"\" "
                                 L"key Return"));
    EXPECT_EQ(name, path + u";a.xml;b.xml");
    EXPECT_EQ(dialog.InitialFolder, path);

    EXPECT_FALSE(OpenFileAnswered(dialog, name, L"key Escape"));
    EXPECT_EQ(name, u"");
}

} // namespace
} // namespace fillahead::win32
