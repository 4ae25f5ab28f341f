// The COM boundary every method runs behind: an AutomationError becomes its
// HRESULT with IErrorInfo, anything else E_UNEXPECTED without a stale
// description, and a failing system call comes back as an AutomationError.
#include "library/ComObject.h"
#include "library/ErrorInfo.h"
#include "library/Owners.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace fillahead::library {
namespace {

const IID kSomeInterface = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};

struct Reported {
    std::wstring source;
    std::wstring description;
    GUID guid{};
};

Reported CurrentError() {
    Reported reported;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) != S_OK || !info) {
        reported.description = L"<none>";
        return reported;
    }
    UniqueBstr source;
    UniqueBstr description;
    info->GetSource(source.put());
    info->GetDescription(description.put());
    info->GetGUID(&reported.guid);
    reported.source = source.get() ? source.get() : L"";
    reported.description = description.get() ? description.get() : L"";
    return reported;
}

TEST(ComBoundary, AnAutomationErrorBecomesItsHResultAndErrorInfo) {
    const HRESULT hr = ComBoundary({kSomeInterface, L"FillaheadLib.Test"},
                                   [] { throw AutomationError(error::NoCurrentRecord); });
    EXPECT_EQ(hr, static_cast<HRESULT>(0x800A0BCD));
    const Reported reported = CurrentError();
    EXPECT_EQ(reported.source, L"FillaheadLib.Test");
    EXPECT_EQ(reported.description, L"Either BOF or EOF is True, or the current record has been "
                                    L"deleted. Requested operation requires a current record.");
    EXPECT_TRUE(IsEqualGUID(reported.guid, kSomeInterface));

    // A number beyond VB's range travels as the HRESULT it is.
    EXPECT_EQ(
        ComBoundary({kSomeInterface, L"x"},
                    [] { throw AutomationError(static_cast<std::int32_t>(E_POINTER), u"p"); }),
        E_POINTER);
}

TEST(ComBoundary, AnythingElseIsUnexpectedAndLeavesNoStaleDescription) {
    ComBoundary({kSomeInterface, L"x"}, [] { throw AutomationError(error::Overflow); });
    EXPECT_EQ(ComBoundary({kSomeInterface, L"x"}, [] { throw std::logic_error("a bug"); }),
              E_UNEXPECTED);
    EXPECT_EQ(CurrentError().description, L"<none>");
    EXPECT_EQ(ComBoundary({kSomeInterface, L"x"}, [] { throw 42; }), E_UNEXPECTED);
    EXPECT_EQ(ComBoundary({kSomeInterface, L"x"}, [] {}), S_OK);
}

TEST(ComBoundary, FailedSystemCallsBecomeAutomationErrorsWithText) {
    SetErrorInfo(0, nullptr);
    try {
        ThrowIfFailed(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        FAIL() << "no error raised";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.hresult(),
                  static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
        EXPECT_FALSE(e.description().empty());
    }
    try {
        ThrowIfFailed(static_cast<HRESULT>(0x800A0005));
        FAIL() << "no error raised";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.number(), 5);
        EXPECT_EQ(e.description(), u"Invalid procedure call or argument");
    }
    EXPECT_NO_THROW(ThrowIfFailed(S_FALSE));
}

} // namespace
} // namespace fillahead::library
