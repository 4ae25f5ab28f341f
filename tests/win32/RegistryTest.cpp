// The registry realisations read and write where VB and Windows keep them.
#include "platform/win32/Registry.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace fillahead::win32 {
namespace {

const wchar_t kKey[] = L"Software\\VB and VBA Program Settings\\FillaheadTest\\PropertySection";

TEST(Registry, SettingsLiveWhereVbKeepsThem) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\FillaheadTest");
    RegistrySettingsStore store;
    EXPECT_EQ(store.GetSetting(u"FillaheadTest", u"PropertySection", u"GlobalBufferSize", u"1"),
              u"1");
    store.SaveSetting(u"FillaheadTest", u"PropertySection", u"GlobalBufferSize", u"12");

    // What VB's GetSetting would read: a REG_SZ under the VB key.
    wchar_t value[16] = {};
    DWORD size = sizeof value;
    DWORD type = 0;
    ASSERT_EQ(
        RegGetValueW(HKEY_CURRENT_USER, kKey, L"GlobalBufferSize", RRF_RT_ANY, &type, value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(value), L"12");

    // And what an existing installation wrote is found.
    const std::wstring folder = L"C:\\Shared\\Buffers\\";
    RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"GlobalBufferLocation", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    EXPECT_EQ(store.GetSetting(u"FillaheadTest", u"PropertySection", u"GlobalBufferLocation", u""),
              u"C:\\Shared\\Buffers\\");
    store.SaveSetting(u"FillaheadTest", u"PropertySection", u"Empty", u"");
    EXPECT_EQ(store.GetSetting(u"FillaheadTest", u"PropertySection", u"Empty", u"default"), u"");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\FillaheadTest");
}

TEST(Registry, CommonFilesFolderComesFromTheLocalMachineKey) {
    wchar_t expected[MAX_PATH] = {};
    DWORD size = sizeof expected;
    ASSERT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           L"CommonFilesDir", RRF_RT_REG_SZ, nullptr, expected, &size),
              ERROR_SUCCESS);
    const std::wstring wide(expected);
    EXPECT_EQ(RegistrySystemFolders().CommonFilesFolder(), Text(wide.begin(), wide.end()));
    EXPECT_NE(wide.find(L"Common Files"), std::wstring::npos);
}

} // namespace
} // namespace fillahead::win32
