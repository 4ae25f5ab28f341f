// Fillahead demo: an address card whose fields remember what was typed,
// through the registered FillaheadControl.
//
//   FillaheadDemo.exe [--buffers FOLDER] [--settings FILE] [--transcript FILE]
//
// --buffers keeps the history in FOLDER instead of where the settings say;
// --settings keeps the control's settings in FILE instead of the user's
// application data folder; --transcript writes what the user would have
// seen, one line each.
#include <windows.h>

#include "demo/DemoForm.h"

#include <shellapi.h>

#include <string>

namespace {

fillahead::demo::DemoOptions parseOptions() {
    fillahead::demo::DemoOptions options;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; arguments != nullptr && i + 1 < count; ++i) {
        const std::wstring name = arguments[i];
        if (name == L"--buffers") {
            options.bufferFolder = arguments[++i];
        } else if (name == L"--settings") {
            options.settingsFile = arguments[++i];
        } else if (name == L"--transcript") {
            options.transcriptFile = arguments[++i];
        }
    }
    LocalFree(arguments);
    return options;
}

// Per-monitor DPI awareness where Windows offers it (Windows 10 1703 and
// later), else the system DPI.
void becomeDpiAware() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto setContext = reinterpret_cast<SetContext>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (setContext == nullptr || !setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) {
        SetProcessDPIAware();
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    becomeDpiAware();
    // The control and the system's property frame are OLE objects.
    if (FAILED(OleInitialize(nullptr))) {
        return 1;
    }
    int result = 1;
    {
        fillahead::demo::DemoForm form(parseOptions());
        if (form.Create(instance, show)) {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                // The dialog manager: Tab, mnemonics, Return for OK.
                if (IsWindow(form.Window()) && IsDialogMessageW(form.Window(), &message)) {
                    continue;
                }
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            result = static_cast<int>(message.wParam);
        }
    }
    OleUninitialize();
    return result;
}
