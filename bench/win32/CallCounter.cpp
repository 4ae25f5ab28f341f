#include "bench/win32/CallCounter.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace fillahead::bench {
namespace {

CallCounts counts{};

// One counting stand-in per function: Id keeps functions of the same
// signature apart.
template <typename Function, CallKind Kind, int Id>
struct Counted;

template <typename Result, typename... Args, CallKind Kind, int Id>
struct Counted<Result (*)(Args...), Kind, Id> {
    static inline Result (*original)(Args...) = nullptr;
    static Result call(Args... args) {
        ++counts[static_cast<std::size_t>(Kind)];
        return original(args...);
    }
};

struct Entry {
    const char* name;
    void** original;
    void* replacement;
};

template <typename Function, CallKind Kind, int Id>
Entry counted(const char* name) {
    using Stand = Counted<Function, Kind, Id>;
    return {name, reinterpret_cast<void**>(&Stand::original),
            reinterpret_cast<void*>(&Stand::call)};
}

#define FILLAHEAD_COUNTED(function, kind)                                                          \
    counted<decltype(&::function), CallKind::kind, __LINE__>(#function)

// Imported by name from user32 and gdi32.
std::vector<Entry>& imported() {
    static std::vector<Entry> entries = {
        FILLAHEAD_COUNTED(SetWindowPos, Placement),
        FILLAHEAD_COUNTED(ShowWindow, Placement),
        FILLAHEAD_COUNTED(MoveWindow, Placement),
        FILLAHEAD_COUNTED(SetScrollInfo, ScrollBar),
        FILLAHEAD_COUNTED(GetScrollInfo, ScrollBar),
        FILLAHEAD_COUNTED(GetScrollBarInfo, ScrollBar),
        FILLAHEAD_COUNTED(SelectObject, Selection),
        FILLAHEAD_COUNTED(InvalidateRect, Invalidation),
        FILLAHEAD_COUNTED(RedrawWindow, Invalidation),
        FILLAHEAD_COUNTED(UpdateWindow, Invalidation),
        FILLAHEAD_COUNTED(CreateFontIndirectW, GdiObject),
        FILLAHEAD_COUNTED(CreateCompatibleDC, GdiObject),
        FILLAHEAD_COUNTED(CreateCompatibleBitmap, GdiObject),
        FILLAHEAD_COUNTED(GetForegroundWindow, Foreground),
        FILLAHEAD_COUNTED(GetDeviceCaps, Dpi),
        FILLAHEAD_COUNTED(GetDpiForWindow, Dpi),
        FILLAHEAD_COUNTED(GetDpiForSystem, Dpi),
    };
    return entries;
}

BOOL(WINAPI* originalRedrawWindow)(HWND, const RECT*, HRGN, UINT) = &::RedrawWindow;
FARPROC(WINAPI* originalGetProcAddress)(HMODULE, LPCSTR) = nullptr;

// Functions the program looks up at run time (those newer systems add)
// are counted too.
FARPROC WINAPI countingGetProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC found = originalGetProcAddress(module, name);
    if (found == nullptr || reinterpret_cast<std::uintptr_t>(name) <= 0xFFFF) {
        return found; // not found, or by ordinal
    }
    for (Entry& entry : imported()) {
        if (std::strcmp(entry.name, name) == 0) {
            *entry.original = reinterpret_cast<void*>(found);
            return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(entry.replacement));
        }
    }
    return found;
}

void redirect(ULONG_PTR& slot, void* replacement, void** original) {
    DWORD protection = 0;
    if (!VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &protection)) {
        throw std::runtime_error("the import table cannot be changed");
    }
    *original = reinterpret_cast<void*>(slot);
    slot = reinterpret_cast<ULONG_PTR>(replacement);
    VirtualProtect(&slot, sizeof slot, protection, &protection);
}

} // namespace

void InstallCallCounters() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) {
        throw std::runtime_error("no import table");
    }
    auto* descriptor = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
    for (; descriptor->Name != 0; ++descriptor) {
        const DWORD lookup = descriptor->OriginalFirstThunk != 0 ? descriptor->OriginalFirstThunk
                                                                 : descriptor->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + descriptor->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            const char* name =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            auto& slot = reinterpret_cast<ULONG_PTR&>(slots->u1.Function);
            if (std::strcmp(name, "GetProcAddress") == 0) {
                void* original = nullptr;
                redirect(slot, reinterpret_cast<void*>(&countingGetProcAddress), &original);
                originalGetProcAddress = reinterpret_cast<FARPROC(WINAPI*)(HMODULE, LPCSTR)>(
                    reinterpret_cast<void (*)()>(original));
                continue;
            }
            for (Entry& entry : imported()) {
                if (std::strcmp(entry.name, name) == 0) {
                    redirect(slot, entry.replacement, entry.original);
                    if (std::strcmp(name, "RedrawWindow") == 0) {
                        originalRedrawWindow =
                            reinterpret_cast<decltype(originalRedrawWindow)>(*entry.original);
                    }
                }
            }
        }
    }
    if (originalGetProcAddress == nullptr) {
        throw std::runtime_error("GetProcAddress is not imported");
    }
}

const CallCounts& CountedCalls() {
    return counts;
}

BOOL UncountedRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags) {
    return originalRedrawWindow(window, rect, region, flags);
}

} // namespace fillahead::bench
