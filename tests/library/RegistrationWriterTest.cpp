// The registration table's writers with tables of test classes: the keys of
// an ActiveX control class (the control of the library registers that way),
// their complete removal, ProgIDs that belong to another class left alone,
// and the manifest of the same table.
#include <windows.h>

#include "library/ControlObject.h"
#include "library/Manifest.h"
#include "library/Registration.h"
#include "library/generated/FillaheadLib.h"
#include "platform/AutomationError.h"

#include <gtest/gtest.h>

#include <string>

namespace fillahead::library {
namespace {

const wchar_t kScratch[] = L"Software\\FillaheadTests\\Classes";

constexpr TypeLibraryEntry kTestLibrary = {"TestLib", "{11111111-2222-3333-4444-555555555555}", 3,
                                           1, "Test.chm"};
constexpr ClassEntry kTestClasses[] = {
    {.name = "TestControl",
     .clsid = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}",
     .description = "Test <control> & co",
     .progId = "TestLib.TestControl.3",
     .versionIndependentProgId = "TestLib.TestControl",
     .threadingModel = "Apartment",
     .control = true,
     .miscStatus =
         0x00020181, // recomposeonresize, insideout, activatewhenvisible, setclientsitefirst
     .toolboxBitmap = 101},
};
constexpr InterfaceEntry kTestInterfaces[] = {
    {"_TestControl", "{99999999-8888-7777-6666-555555555555}", InterfaceKind::Dual},
    {"__TestControl", "{99999999-8888-7777-6666-444444444444}", InterfaceKind::Dispinterface},
};

// Every key and default or named value below a key, one line each, in order.
void Render(HKEY key, const std::wstring& path, std::wstring& out) {
    wchar_t name[256];
    wchar_t data[512];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data), &dataLength) != ERROR_SUCCESS) {
            break;
        }
        out += path + L" [" + (nameLength == 0 ? L"" : name) + L"] = " + data + L"\n";
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS) {
            break;
        }
        const std::wstring child = path.empty() ? name : path + L"\\" + name;
        HKEY opened = nullptr;
        RegOpenKeyExW(key, name, 0, KEY_READ, &opened);
        out += child + L"\n";
        Render(opened, child, out);
        RegCloseKey(opened);
    }
}

class ScratchClasses : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\FillaheadTests");
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &root, nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(root);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\FillaheadTests");
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\FillaheadTests");
    }
    std::wstring rendered() {
        std::wstring out;
        Render(root, L"", out);
        return out;
    }

    HKEY root = nullptr;
};

TEST_F(ScratchClasses, AControlClassGetsItsControlKeysAndLosesThemAll) {
    WriteClassKeys(root, kTestClasses, kTestLibrary, L"C:\\Lib\\Test.dll");
    const std::wstring clsid = L"CLSID\\{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";
    EXPECT_EQ(
        rendered(),
        L"CLSID\n" + clsid + L"\n" + clsid + L" [] = Test <control> & co\n" + clsid +
            L"\\Control\n" + clsid + L"\\Implemented Categories\n" + clsid +
            L"\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}\n" + clsid +
            L"\\InprocServer32\n" + clsid + L"\\InprocServer32 [] = C:\\Lib\\Test.dll\n" + clsid +
            L"\\InprocServer32 [ThreadingModel] = Apartment\n" + clsid + L"\\MiscStatus\n" + clsid +
            L"\\MiscStatus [] = 0\n" + clsid + L"\\MiscStatus\\1\n" + clsid +
            L"\\MiscStatus\\1 [] = 131457\n" + clsid + L"\\ProgID\n" + clsid +
            L"\\ProgID [] = TestLib.TestControl.3\n" + clsid + L"\\ToolboxBitmap32\n" + clsid +
            L"\\ToolboxBitmap32 [] = C:\\Lib\\Test.dll, 101\n" + clsid + L"\\TypeLib\n" + clsid +
            L"\\TypeLib [] = {11111111-2222-3333-4444-555555555555}\n" + clsid + L"\\Version\n" +
            clsid + L"\\Version [] = 3.1\n" + clsid + L"\\VersionIndependentProgID\n" + clsid +
            L"\\VersionIndependentProgID [] = TestLib.TestControl\n"
            L"TestLib.TestControl\n"
            L"TestLib.TestControl [] = Test <control> & co\n"
            L"TestLib.TestControl\\CLSID\n"
            L"TestLib.TestControl\\CLSID [] = {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\n"
            L"TestLib.TestControl\\CurVer\n"
            L"TestLib.TestControl\\CurVer [] = TestLib.TestControl.3\n"
            L"TestLib.TestControl.3\n"
            L"TestLib.TestControl.3 [] = Test <control> & co\n"
            L"TestLib.TestControl.3\\CLSID\n"
            L"TestLib.TestControl.3\\CLSID [] = {AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}\n");

    RemoveClassKeys(root, kTestClasses);
    EXPECT_EQ(rendered(), L"CLSID\n"); // the standard parent key may stay
}

TEST_F(ScratchClasses, AProgIdTakenOverByAnotherClassIsNotRemoved) {
    WriteClassKeys(root, kTestClasses, kTestLibrary, L"C:\\Lib\\Test.dll");
    HKEY progId = nullptr;
    ASSERT_EQ(RegOpenKeyExW(root, L"TestLib.TestControl\\CLSID", 0, KEY_SET_VALUE, &progId),
              ERROR_SUCCESS);
    const wchar_t other[] = L"{00000000-1111-2222-3333-444444444444}";
    RegSetValueExW(progId, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other), sizeof other);
    RegCloseKey(progId);

    RemoveClassKeys(root, kTestClasses);
    EXPECT_EQ(rendered(),
              L"CLSID\n"
              L"TestLib.TestControl\n"
              L"TestLib.TestControl [] = Test <control> & co\n"
              L"TestLib.TestControl\\CLSID\n"
              L"TestLib.TestControl\\CLSID [] = {00000000-1111-2222-3333-444444444444}\n"
              L"TestLib.TestControl\\CurVer\n"
              L"TestLib.TestControl\\CurVer [] = TestLib.TestControl.3\n");
}

GUID GuidOf(std::string_view braced) {
    const std::wstring text(braced.begin(), braced.end());
    GUID guid{};
    EXPECT_EQ(CLSIDFromString(text.c_str(), &guid), S_OK) << text;
    return guid;
}

// The table and the type library take their identifiers from one file; this
// proves they still read them alike.
TEST(RegistrationTable, NamesTheTypeLibrarysOwnIdentifiers) {
    EXPECT_TRUE(IsEqualGUID(GuidOf(TypeLibrary().libid), LIBID_FillaheadLib));
    const GUID classes[] = {CLSID_Fillahead, CLSID_FillaheadControl, CLSID_FillaheadPage,
                            CLSID_WindowForm};
    ASSERT_EQ(Classes().size(), std::size(classes));
    for (std::size_t i = 0; i < std::size(classes); ++i) {
        EXPECT_TRUE(IsEqualGUID(GuidOf(Classes()[i].clsid), classes[i])) << Classes()[i].name;
    }
    // The registry's MiscStatus is what the control answers.
    EXPECT_EQ(Classes()[1].miscStatus, kControlMiscStatus);
    const GUID interfaces[] = {IID__Fillahead,          DIID___Fillahead,
                               IID__FillaheadRecordset, IID__FillaheadFields,
                               IID__FillaheadField,     IID__FillaheadControl,
                               DIID___FillaheadControl, IID__FillaheadPage,
                               IID__FillaheadPageField, IID__WindowForm};
    ASSERT_EQ(Interfaces().size(), std::size(interfaces));
    for (std::size_t i = 0; i < std::size(interfaces); ++i) {
        EXPECT_TRUE(IsEqualGUID(GuidOf(Interfaces()[i].iid), interfaces[i]))
            << Interfaces()[i].name;
    }
}

TEST(Manifest, DescribesClassesTypeLibraryAndInterfacesOfItsTable) {
    const std::string manifest =
        AssemblyManifest(kTestLibrary, kTestClasses, kTestInterfaces, "x86");
    const auto has = [&](const std::string& part) {
        return manifest.find(part) != std::string::npos;
    };
    EXPECT_TRUE(has("<assemblyIdentity type=\"win32\" name=\"FillaheadLib2\" version=\"2.0.0.0\" "
                    "processorArchitecture=\"x86\"/>"));
    EXPECT_TRUE(has("<typelib tlbid=\"{11111111-2222-3333-4444-555555555555}\" version=\"3.1\""));
    // Attribute text escaped; the control's OLEMISC flags by name.
    EXPECT_TRUE(
        has("progid=\"TestLib.TestControl.3\" description=\"Test &lt;control&gt; &amp; co\" "
            "miscStatus=\"recomposeonresize,insideout,activatewhenvisible,"
            "setclientsitefirst\">\r\n      <progid>TestLib.TestControl</progid>"));
    // Dual interfaces marshal through the type library, dispinterfaces as IDispatch.
    EXPECT_TRUE(has("name=\"_TestControl\" iid=\"{99999999-8888-7777-6666-555555555555}\" "
                    "proxyStubClsid32=\"{00020424-0000-0000-C000-000000000046}\""));
    EXPECT_TRUE(has("name=\"__TestControl\" iid=\"{99999999-8888-7777-6666-444444444444}\" "
                    "proxyStubClsid32=\"{00020420-0000-0000-C000-000000000046}\""));
}

} // namespace
} // namespace fillahead::library
