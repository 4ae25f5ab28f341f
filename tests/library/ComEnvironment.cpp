// The environment of the COM test programs: one apartment for the program,
// and at its end the check that every object was released, so that the
// library agrees to be unloaded.
#include "tests/library/ComTesting.h"

namespace fillahead::library::testing {
namespace {

class EverythingReleased : public ::testing::Environment {
public:
    void TearDown() override {
        const HMODULE library = GetModuleHandleW(L"FillaheadLib2.dll");
        ASSERT_NE(library, nullptr) << "the tests never loaded FillaheadLib2.dll";
        using CanUnload = HRESULT(WINAPI*)();
        const auto canUnload = reinterpret_cast<CanUnload>(
            reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
        ASSERT_NE(canUnload, nullptr);
        EXPECT_HR(S_OK, canUnload()) << "objects of FillaheadLib2.dll are still alive";
    }
};

// Torn down in reverse order: the check runs while the apartment still exists.
[[maybe_unused]] ::testing::Environment* const apartment =
    ::testing::AddGlobalTestEnvironment(new Apartment);
[[maybe_unused]] ::testing::Environment* const released =
    ::testing::AddGlobalTestEnvironment(new EverythingReleased);

} // namespace
} // namespace fillahead::library::testing
