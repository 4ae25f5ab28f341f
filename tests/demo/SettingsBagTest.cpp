// The demo's settings file: what the control writes into its property bag
// comes back from the file in the types it was written in, and a file that
// is damaged is reported and left alone, with nothing of it taken.
#include "demo/ControlHost.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fillahead::demo {
namespace {

VARIANT text(const wchar_t* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(value);
    return v;
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

class SettingsFile : public ::testing::Test {
protected:
    testing::TempFolder folder;
    std::wstring path = (folder.path() / "settings.txt").wstring();
    std::wstring error;
};

TEST_F(SettingsFile, KeepsTextsNumbersBooleansAndBytesInTheirTypes) {
    const ComPtr<SettingsBag> written = Make<SettingsBag>();
    VARIANT name = text(L"Tab\there, line\nthere, back\\slash, \u00e9t\u00e9");
    VARIANT flag;
    VariantInit(&flag);
    V_VT(&flag) = VT_BOOL;
    V_BOOL(&flag) = VARIANT_TRUE;
    VARIANT size;
    VariantInit(&size);
    V_VT(&size) = VT_R8;
    V_R8(&size) = 2.5;
    VARIANT bytes;
    VariantInit(&bytes);
    V_VT(&bytes) = VT_ARRAY | VT_UI1;
    V_ARRAY(&bytes) = SafeArrayCreateVector(VT_UI1, 0, 3);
    unsigned char* data = nullptr;
    SafeArrayAccessData(V_ARRAY(&bytes), reinterpret_cast<void**>(&data));
    data[0] = 0x00;
    data[1] = 0x7F;
    data[2] = 0xFF;
    SafeArrayUnaccessData(V_ARRAY(&bytes));
    EXPECT_EQ(written->Write(L"Group", &name), S_OK);
    EXPECT_EQ(written->Write(L"CaptureReturnKey", &flag), S_OK);
    EXPECT_EQ(written->Write(L"Size", &size), S_OK);
    EXPECT_EQ(written->Write(L"Fillahead", &bytes), S_OK);
    VARIANT object;
    VariantInit(&object);
    V_VT(&object) = VT_UNKNOWN;
    V_UNKNOWN(&object) = written.Get();
    EXPECT_EQ(written->Write(L"Engine", &object), E_NOTIMPL) << "objects are refused";
    ASSERT_TRUE(written->Save(path, error)) << std::string(error.begin(), error.end());

    const ComPtr<SettingsBag> read = Make<SettingsBag>();
    ASSERT_TRUE(read->Load(path, error));
    VARIANT value;
    VariantInit(&value);
    ASSERT_EQ(read->Read(L"group", &value, nullptr), S_OK) << "keys without case";
    EXPECT_EQ(std::wstring(V_BSTR(&value)), std::wstring(V_BSTR(&name)));
    VariantClear(&value);
    ASSERT_EQ(read->Read(L"CaptureReturnKey", &value, nullptr), S_OK);
    EXPECT_EQ(V_VT(&value), VT_BOOL);
    EXPECT_EQ(V_BOOL(&value), VARIANT_TRUE);
    VariantClear(&value);
    ASSERT_EQ(read->Read(L"Size", &value, nullptr), S_OK);
    EXPECT_EQ(V_VT(&value), VT_R8);
    EXPECT_EQ(V_R8(&value), 2.5) << "written in the invariant locale";
    VariantClear(&value);
    ASSERT_EQ(read->Read(L"Fillahead", &value, nullptr), S_OK);
    ASSERT_EQ(V_VT(&value), VT_ARRAY | VT_UI1);
    SafeArrayAccessData(V_ARRAY(&value), reinterpret_cast<void**>(&data));
    EXPECT_EQ(V_ARRAY(&value)->rgsabound[0].cElements, 3u);
    EXPECT_EQ(data[2], 0xFF);
    SafeArrayUnaccessData(V_ARRAY(&value));
    VariantClear(&value);
    EXPECT_EQ(read->Read(L"Engine", &value, nullptr), E_INVALIDARG) << "never written";
    VariantClear(&name);
    VariantClear(&bytes);
}

TEST_F(SettingsFile, AMissingFileIsAFirstRunADamagedOneIsReportedAndLeftAlone) {
    const ComPtr<SettingsBag> bag = Make<SettingsBag>();
    EXPECT_TRUE(bag->Load(path, error)) << "no file yet";
    EXPECT_TRUE(bag->Empty());

    for (const std::string& damaged :
         {std::string("not a settings file\n"),
          std::string("Fillahead demo settings 1\nGroup\t8\tOrders\nSize\t3\tnot a number\n"),
          std::string("Fillahead demo settings 1\nBytes\t8209\tabc\n"),
          std::string("Fillahead demo settings 1\nGroup\t8\tA\ngroup\t8\tB\n"),
          std::string("Fillahead demo settings 1\nGroup\t8\tbad escape \\q\n")}) {
        {
            std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
            out << damaged;
        }
        error.clear();
        EXPECT_FALSE(bag->Load(path, error)) << damaged;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(bag->Empty()) << "nothing of a damaged file is taken: " << damaged;
        EXPECT_EQ(contents(path), damaged) << "the file is left as it was";
    }
}

} // namespace
} // namespace fillahead::demo
