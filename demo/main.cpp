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

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
    SetProcessDPIAware();
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
