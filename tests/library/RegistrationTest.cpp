// Registration as users do it, with regsvr32: machine-wide and per user, each
// checked by the keys it writes, by a fresh client process creating the
// engine, and by a listing of the registry before and after that shows
// unregistering left nothing behind.
#include <windows.h>

#include "library/generated/FillaheadLib.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <set>
#include <string>
#include <vector>

namespace fillahead::library::testing {
namespace {

const wchar_t kClsid[] = L"{5AC1BBD0-DAC6-4296-BC10-591C53664171}";

// A path of this machine as Wine's programs see it (drive Z: is /).
std::wstring WindowsPath(const char* path) {
    std::wstring result = L"Z:";
    for (const char* c = path; *c != '\0'; ++c) {
        result += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return result;
}

const std::wstring& Dll() {
    static const std::wstring path = WindowsPath(FILLAHEAD_LIBRARY_DLL);
    return path;
}

// Runs a program of this Wine and waits for its exit code.
DWORD Run(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        ADD_FAILURE() << "cannot start the program (error " << GetLastError() << ")";
        return 0xFFFFFFFF;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

DWORD Regsvr32(const std::wstring& options) {
    return Run(L"regsvr32.exe /s " + options + L" \"" + Dll() + L"\"");
}

DWORD FreshClient() {
    return Run(L"\"" + WindowsPath(FILLAHEAD_FRESH_CLIENT) + L"\"");
}

// Every key and value under a key, one line each, for comparing listings.
void List(HKEY key, const std::wstring& path, std::set<std::wstring>& lines) {
    lines.insert(path + L"\\");
    wchar_t name[512];
    BYTE data[4096];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 512;
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &dataLength) !=
            ERROR_SUCCESS) {
            break;
        }
        std::wstring line =
            path + L"\\" + std::wstring(name, nameLength) + L"=" + std::to_wstring(type) + L":";
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            line +=
                std::wstring(reinterpret_cast<const wchar_t*>(data), dataLength / sizeof(wchar_t));
        } else {
            line += std::to_wstring(dataLength) + L" bytes";
        }
        lines.insert(line);
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 512;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        HKEY child = nullptr;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            List(child, path + L"\\" + name, lines);
            RegCloseKey(child);
        }
    }
}

// The classes of both hives.
std::set<std::wstring> ListClasses() {
    std::set<std::wstring> lines;
    for (const auto& [hive, name] :
         {std::pair{HKEY_LOCAL_MACHINE, L"HKLM"}, std::pair{HKEY_CURRENT_USER, L"HKCU"}}) {
        HKEY classes = nullptr;
        if (RegOpenKeyExW(hive, L"Software\\Classes", 0, KEY_READ, &classes) == ERROR_SUCCESS) {
            List(classes, std::wstring(name) + L"\\Software\\Classes", lines);
            RegCloseKey(classes);
        }
    }
    return lines;
}

// What `after` holds beyond `before`, one line each. Registering may create
// the standard parent keys; left empty, they may stay.
std::wstring Added(const std::set<std::wstring>& before, const std::set<std::wstring>& after) {
    static const std::set<std::wstring> parents = {
        L"HKCU\\Software\\Classes\\",           L"HKCU\\Software\\Classes\\CLSID\\",
        L"HKCU\\Software\\Classes\\TypeLib\\",  L"HKCU\\Software\\Classes\\Interface\\",
        L"HKLM\\Software\\Classes\\CLSID\\",    L"HKLM\\Software\\Classes\\TypeLib\\",
        L"HKLM\\Software\\Classes\\Interface\\"};
    std::wstring added;
    for (const std::wstring& line : after) {
        if (before.count(line) == 0 && parents.count(line) == 0) {
            added += line + L"\n";
        }
    }
    return added;
}

std::wstring Value(HKEY hive, const std::wstring& key, const wchar_t* name = nullptr) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    if (RegGetValueW(hive, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return L"<none>";
    }
    return buffer;
}

bool KeyExists(HKEY hive, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(hive, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(opened);
    return true;
}

std::wstring RegisteredTypeLibrary() {
    BSTR path = nullptr;
    if (FAILED(QueryPathOfRegTypeLib(LIBID_FillaheadLib, 2, 0, LOCALE_NEUTRAL, &path))) {
        return L"<not registered>";
    }
    std::wstring result(path, SysStringLen(path));
    SysFreeString(path);
    while (!result.empty() && result.back() == L'\0') {
        result.pop_back();
    }
    return result;
}

// The registry is listed once before the first test (a listing takes
// seconds under Wine); each test leaves it as it found it.
class Registration : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Regsvr32(L"/u");
        Regsvr32(L"/u /n /i:user");
        before_ = ListClasses();
    }
    static void TearDownTestSuite() {
        Regsvr32(L"/u");
        Regsvr32(L"/u /n /i:user");
    }
    static void ExpectNothingLeft() { EXPECT_EQ(Added(before_, ListClasses()), L""); }

private:
    static inline std::set<std::wstring> before_;
};

TEST_F(Registration, MachineWideLetsAFreshClientCreateTheEngineAndLeavesNothingWhenUndone) {
    ASSERT_EQ(FreshClient(), 1u) << "the engine was creatable before registration";
    ASSERT_EQ(Regsvr32(L""), 0u);

    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring clsid = classes + L"CLSID\\" + kClsid;
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, clsid + L"\\InprocServer32"), Dll());
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, clsid + L"\\InprocServer32", L"ThreadingModel"),
              L"Apartment");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, clsid + L"\\ProgID"), L"FillaheadLib.Fillahead.2");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, clsid + L"\\VersionIndependentProgID"),
              L"FillaheadLib.Fillahead");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, classes + L"FillaheadLib.Fillahead\\CLSID"), kClsid);
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, classes + L"FillaheadLib.Fillahead\\CurVer"),
              L"FillaheadLib.Fillahead.2");
    EXPECT_EQ(Value(HKEY_LOCAL_MACHINE, classes + L"FillaheadLib.Fillahead.2\\CLSID"), kClsid);
    EXPECT_EQ(RegisteredTypeLibrary(), Dll());
    // Nothing is marked safe for scripting or initialisation, and the engine
    // is no control.
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, clsid + L"\\Implemented Categories"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, clsid + L"\\Control"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, clsid));

    EXPECT_EQ(FreshClient(), 0u);

    ASSERT_EQ(Regsvr32(L"/u"), 0u);
    ExpectNothingLeft();
    EXPECT_EQ(RegisteredTypeLibrary(), L"<not registered>");
    EXPECT_EQ(FreshClient(), 1u);
    // Unregistering again finds nothing to remove and succeeds.
    EXPECT_EQ(Regsvr32(L"/u"), 0u);
}

// Wine reads classes from the machine-wide hive only, so a per-user class
// cannot be created here; the keys prove the registration.
TEST_F(Registration, PerUserWritesUnderTheUsersClassesAndLeavesNothingWhenUndone) {
    ASSERT_EQ(Regsvr32(L"/n /i:user"), 0u);

    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring clsid = classes + L"CLSID\\" + kClsid;
    EXPECT_EQ(Value(HKEY_CURRENT_USER, clsid + L"\\InprocServer32"), Dll());
    EXPECT_EQ(Value(HKEY_CURRENT_USER, clsid + L"\\InprocServer32", L"ThreadingModel"),
              L"Apartment");
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + L"FillaheadLib.Fillahead\\CLSID"), kClsid);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, classes + L"FillaheadLib.Fillahead.2\\CLSID"), kClsid);
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, clsid));
    EXPECT_EQ(RegisteredTypeLibrary(), Dll());

    ASSERT_EQ(Regsvr32(L"/u /n /i:user"), 0u);
    ExpectNothingLeft();
    EXPECT_EQ(RegisteredTypeLibrary(), L"<not registered>");
}

TEST_F(Registration, TheEntryPointsAreExportedAndDllInstallKnowsItsScopes) {
    const HMODULE library = LoadLibraryW(Dll().c_str());
    ASSERT_NE(library, nullptr);
    for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                             "DllUnregisterServer", "DllInstall"}) {
        EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
    }
    using Install = HRESULT(WINAPI*)(BOOL, LPCWSTR);
    const auto install =
        reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(library, "DllInstall")));
    EXPECT_EQ(install(TRUE, L"everyone"), E_INVALIDARG);

    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    const auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
    void* factory = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(getClassObject(IID_IDispatch, IID_IClassFactory, &factory),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    using CanUnload = HRESULT(WINAPI*)();
    const auto canUnload = reinterpret_cast<CanUnload>(
        reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
    EXPECT_EQ(canUnload(), S_OK);
    FreeLibrary(library);
}

} // namespace
} // namespace fillahead::library::testing
