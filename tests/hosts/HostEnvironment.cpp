// The environment of the form host tests: one apartment for the program,
// and at its end the check that every object of the library was released,
// so that it agrees to be unloaded.
#include <windows.h>

#include <gtest/gtest.h>
#include <objbase.h>

namespace fillahead::hosts::testing {
namespace {

class Apartment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};

class EverythingReleased : public ::testing::Environment {
public:
    void TearDown() override {
        const HMODULE library = GetModuleHandleW(L"FillaheadLib2.dll");
        ASSERT_NE(library, nullptr) << "the tests never loaded FillaheadLib2.dll";
        using CanUnload = HRESULT(WINAPI*)();
        const auto canUnload = reinterpret_cast<CanUnload>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_EQ(canUnload(), S_OK) << "objects of FillaheadLib2.dll are still alive";
    }
};

// Torn down in reverse order: the check runs while the apartment still exists.
[[maybe_unused]] ::testing::Environment* const apartment =
    ::testing::AddGlobalTestEnvironment(new Apartment);
[[maybe_unused]] ::testing::Environment* const released =
    ::testing::AddGlobalTestEnvironment(new EverythingReleased);

} // namespace
} // namespace fillahead::hosts::testing
