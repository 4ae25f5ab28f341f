// The portable text and error types agree with what Windows itself does.
#include <windows.h>

#include "platform/AutomationError.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace fillahead {
namespace {

std::wstring widen(const Text& text) {
    return std::wstring(text.begin(), text.end());
}

// Only well-formed input: how many U+FFFD a malformed sequence gives differs
// between Windows versions (and Wine), while ours follows the Unicode practice.
TEST(TextWin32, Utf8ConversionAgreesWithMultiByteToWideChar) {
    const std::string samples[] = {"", "plain", "caf\xC3\xA9 \xE2\x82\xAC",
                                   "\xF0\x90\x90\x80 outside the BMP", "\xEF\xBF\xBD"};
    for (const std::string& utf8 : samples) {
        SCOPED_TRACE(utf8);
        const int length =
            MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(length), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                            length);
        EXPECT_EQ(widen(fromUtf8(utf8)), wide);
    }
}

TEST(TextWin32, HResultsAreThoseOfTheControlFacility) {
    EXPECT_EQ(static_cast<HRESULT>(AutomationError(error::Overflow).hresult()),
              MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6));
    EXPECT_EQ(AutomationError::fromHResult(static_cast<std::uint32_t>(E_FAIL), u"").hresult(),
              static_cast<std::uint32_t>(E_FAIL));
}

TEST(TextWin32, FoldingAgreesWithTheSystemForPlainLetters) {
    // CharLowerBuffW lowers by the system tables; for letters whose simple
    // folding is their lower case both must agree.
    std::wstring text = L"ÀÉÎÕÜ ΑΒΓ ДОБРЫЙ ĀŁŐ";
    const Text folded = foldCase(Text(text.begin(), text.end()));
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    EXPECT_EQ(widen(folded), text);
}

} // namespace
} // namespace fillahead
