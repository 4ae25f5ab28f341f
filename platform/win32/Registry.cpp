#include "platform/win32/Registry.h"

#include <windows.h>

#include "platform/AutomationError.h"
#include "platform/win32/Handles.h"

#include <string>

namespace fillahead::win32 {
namespace {

std::wstring wide(TextView text) {
    return std::wstring(text.begin(), text.end());
}

std::wstring settingsKey(TextView application, TextView section) {
    return L"Software\\VB and VBA Program Settings\\" + wide(application) + L"\\" + wide(section);
}

// Reads a REG_SZ or REG_EXPAND_SZ value in two steps, its size and then the
// value, dropping the terminating character. False when it cannot be read or
// is empty.
bool readString(HKEY key, const wchar_t* name, Text& value) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0 ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS) {
        return false;
    }
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') {
        buffer.pop_back();
    }
    value.assign(buffer.begin(), buffer.end());
    return true;
}

} // namespace

Text RegistrySettingsStore::GetSetting(TextView application, TextView section, TextView key,
                                       TextView defaultValue) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, settingsKey(application, section).c_str(), 0,
                      KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
        return Text(defaultValue);
    }
    const UniqueRegistryKey opened(raw);
    Text value;
    return readString(opened.get(), wide(key).c_str(), value) ? value : Text(defaultValue);
}

void RegistrySettingsStore::SaveSetting(TextView application, TextView section, TextView key,
                                        TextView value) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsKey(application, section).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
        throw AutomationError(error::InvalidProcedureCall,
                              u"Cannot write the setting " + Text(key) + u" to the registry");
    }
    const UniqueRegistryKey created(raw);
    const std::wstring data = wide(value);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(created.get(), wide(key).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()), bytes) != ERROR_SUCCESS) {
        throw AutomationError(error::InvalidProcedureCall,
                              u"Cannot write the setting " + Text(key) + u" to the registry");
    }
}

Text RegistrySystemFolders::CommonFilesFolder() {
    // Read access is all this needs; asking for full access on the local
    // machine's key fails for every process that is not elevated.
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
        return u"0";
    }
    const UniqueRegistryKey opened(raw);
    Text folder;
    return readString(opened.get(), L"CommonFilesDir", folder) && !folder.empty() ? folder : u"0";
}

} // namespace fillahead::win32
