#include "library/Registration.h"

#include "library/ComObject.h"
#include "library/Dispatch.h"
#include "library/ErrorInfo.h"
#include "platform/AutomationError.h"
#include "platform/win32/Handles.h"
#include "platform/win32/WindowClass.h"

#include <oleauto.h>

#include <string>
#include <vector>

// oleaut32 exports these (Windows Vista and later), but mingw-w64's
// oleauto.h does not declare them.
extern "C" {
HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpFolder);
HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libid, WORD major, WORD minor, LCID locale,
                                        SYSKIND kind);
}

namespace fillahead::library {
namespace {

using win32::UniqueRegistryKey;

std::wstring wide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

[[noreturn]] void registryFailure(LSTATUS status, const std::wstring& key) {
    throw AutomationError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(status)),
                          u"The registry key " + Text(key.begin(), key.end()) +
                              u" cannot be written.");
}

UniqueRegistryKey createKey(HKEY parent, const std::wstring& path) {
    HKEY raw = nullptr;
    const LSTATUS status =
        RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_CREATE_SUB_KEY,
                        nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS) {
        registryFailure(status, path);
    }
    return UniqueRegistryKey(raw);
}

void setString(HKEY parent, const std::wstring& path, const wchar_t* name,
               const std::wstring& value) {
    const UniqueRegistryKey key = createKey(parent, path);
    const LSTATUS status =
        RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS) {
        registryFailure(status, path);
    }
}

// The default value of a key, empty when there is none.
std::wstring defaultValue(HKEY parent, const std::wstring& path) {
    wchar_t buffer[256] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(parent, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return {};
    }
    return buffer;
}

void deleteTree(HKEY parent, const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(parent, path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        registryFailure(status, path);
    }
    // RegDeleteTree leaves the key itself when it is given as a path.
    const LSTATUS last = RegDeleteKeyW(parent, path.c_str());
    if (last != ERROR_SUCCESS && last != ERROR_FILE_NOT_FOUND) {
        registryFailure(last, path);
    }
}

UniqueRegistryKey classesRoot(RegistrationScope scope) {
    const HKEY hive = scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    return createKey(hive, L"Software\\Classes");
}

SYSKIND moduleSysKind() {
    return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
}

GUID guidOf(std::string_view braced) {
    GUID guid{};
    const std::wstring text = wide(braced);
    ThrowIfFailed(CLSIDFromString(text.c_str(), &guid));
    return guid;
}

std::wstring folderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

void registerTypeLibrary(RegistrationScope scope, const std::wstring& modulePath) {
    ComPtr<ITypeLib> library;
    ThrowIfFailed(LoadOwnTypeLibrary(&library));
    std::wstring path = modulePath;
    std::wstring helpFolder = folderOf(modulePath);
    if (scope == RegistrationScope::Machine) {
        ThrowIfFailed(RegisterTypeLib(library.Get(), path.data(), helpFolder.data()));
    } else {
        ThrowIfFailed(RegisterTypeLibForUser(library.Get(), path.data(), helpFolder.data()));
    }
}

bool typeLibraryRegistered(const TypeLibraryEntry& entry, const GUID& libid) {
    BSTR path = nullptr;
    const HRESULT hr =
        QueryPathOfRegTypeLib(libid, entry.major, entry.minor, LOCALE_NEUTRAL, &path);
    SysFreeString(path);
    return SUCCEEDED(hr);
}

// Not being registered counts as unregistered (UnRegisterTypeLib itself
// fails then).
void unregisterTypeLibrary(RegistrationScope scope) {
    const TypeLibraryEntry& entry = TypeLibrary();
    const GUID libid = guidOf(entry.libid);
    if (!typeLibraryRegistered(entry, libid)) {
        return;
    }
    ThrowIfFailed(
        scope == RegistrationScope::Machine
            ? UnRegisterTypeLib(libid, entry.major, entry.minor, LOCALE_NEUTRAL, moduleSysKind())
            : UnRegisterTypeLibForUser(libid, entry.major, entry.minor, LOCALE_NEUTRAL,
                                       moduleSysKind()));
}

void unregister(RegistrationScope scope) {
    const UniqueRegistryKey root = classesRoot(scope);
    RemoveClassKeys(root.get(), Classes());
    unregisterTypeLibrary(scope);
}

HRESULT asResult(const AutomationError& error) {
    return static_cast<HRESULT>(error.hresult());
}

} // namespace

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(win32::ModuleInstance(), path.data(),
                                                static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw AutomationError(static_cast<std::int32_t>(HRESULT_FROM_WIN32(GetLastError())),
                                  u"The library's own path cannot be read.");
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void WriteClassKeys(HKEY root, std::span<const ClassEntry> classes,
                    const TypeLibraryEntry& typeLibrary, const std::wstring& modulePath) {
    const std::wstring version =
        std::to_wstring(typeLibrary.major) + L"." + std::to_wstring(typeLibrary.minor);
    for (const ClassEntry& entry : classes) {
        const std::wstring clsid = wide(entry.clsid);
        const std::wstring key = L"CLSID\\" + clsid;
        const std::wstring description = wide(entry.description);
        setString(root, key, nullptr, description);
        setString(root, key + L"\\InprocServer32", nullptr, modulePath);
        setString(root, key + L"\\InprocServer32", L"ThreadingModel", wide(entry.threadingModel));
        setString(root, key + L"\\ProgID", nullptr, wide(entry.progId));
        setString(root, key + L"\\VersionIndependentProgID", nullptr,
                  wide(entry.versionIndependentProgId));
        setString(root, key + L"\\TypeLib", nullptr, wide(typeLibrary.libid));
        setString(root, key + L"\\Version", nullptr, version);
        if (entry.control) {
            createKey(root, key + L"\\Control");
            createKey(root, key + L"\\Implemented Categories\\" + wide(kCategoryControl));
            setString(root, key + L"\\MiscStatus", nullptr, L"0");
            setString(root, key + L"\\MiscStatus\\1", nullptr, std::to_wstring(entry.miscStatus));
            if (entry.toolboxBitmap != 0) {
                setString(root, key + L"\\ToolboxBitmap32", nullptr,
                          modulePath + L", " + std::to_wstring(entry.toolboxBitmap));
            }
        }
        setString(root, wide(entry.progId), nullptr, description);
        setString(root, wide(entry.progId) + L"\\CLSID", nullptr, clsid);
        const std::wstring independent = wide(entry.versionIndependentProgId);
        setString(root, independent, nullptr, description);
        setString(root, independent + L"\\CLSID", nullptr, clsid);
        setString(root, independent + L"\\CurVer", nullptr, wide(entry.progId));
    }
}

void RemoveClassKeys(HKEY root, std::span<const ClassEntry> classes) {
    for (const ClassEntry& entry : classes) {
        const std::wstring clsid = wide(entry.clsid);
        // A ProgID taken over by another class since is not ours to remove.
        for (const std::string_view progId : {entry.progId, entry.versionIndependentProgId}) {
            const std::wstring key = wide(progId);
            if (_wcsicmp(defaultValue(root, key + L"\\CLSID").c_str(), clsid.c_str()) == 0) {
                deleteTree(root, key);
            }
        }
        deleteTree(root, L"CLSID\\" + clsid);
    }
}

HRESULT RegisterServer(RegistrationScope scope) noexcept {
    try {
        const std::wstring modulePath = ModulePath();
        registerTypeLibrary(scope, modulePath);
        const UniqueRegistryKey root = classesRoot(scope);
        WriteClassKeys(root.get(), Classes(), TypeLibrary(), modulePath);
        return S_OK;
    } catch (const AutomationError& error) {
        ignoreErrors([&] { unregister(scope); });
        return asResult(error);
    } catch (...) {
        ignoreErrors([&] { unregister(scope); });
        return E_UNEXPECTED;
    }
}

HRESULT UnregisterServer(RegistrationScope scope) noexcept {
    try {
        unregister(scope);
        return S_OK;
    } catch (const AutomationError& error) {
        return asResult(error);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace fillahead::library
