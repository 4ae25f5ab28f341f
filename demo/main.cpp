// Fillahead demo: an address card whose fields remember what was typed.
//
//   FillaheadDemo.exe [--buffers FOLDER] [--transcript FILE]
//
// --buffers keeps the history in FOLDER instead of the shared buffer folder;
// --transcript writes what was offered, taken and stored, one line each.
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
    fillahead::demo::DemoForm form(parseOptions());
    if (!form.Create(instance, show)) {
        return 1;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (form.PreTranslate(message) || IsDialogMessageW(form.Window(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
