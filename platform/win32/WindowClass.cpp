#include "platform/win32/WindowClass.h"

#include "platform/AutomationError.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace fillahead::win32 {

HINSTANCE ModuleInstance() {
    return reinterpret_cast<HINSTANCE>(&__ImageBase);
}

WindowClass::WindowClass(WNDCLASSEXW windowClass) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.hInstance = ModuleInstance();
    atom_ = RegisterClassExW(&windowClass);
    if (atom_ == 0 && GetLastError() == ERROR_CLASS_ALREADY_EXISTS) {
        WNDCLASSEXW existing{};
        existing.cbSize = sizeof existing;
        atom_ = static_cast<ATOM>(
            GetClassInfoExW(windowClass.hInstance, windowClass.lpszClassName, &existing));
    }
    if (atom_ == 0) {
        throw AutomationError(error::OutOfMemory);
    }
}

WindowClass::~WindowClass() {
    // Fails while windows of the class remain; the next load takes it over.
    UnregisterClassW(MAKEINTATOM(atom_), ModuleInstance());
}

} // namespace fillahead::win32
