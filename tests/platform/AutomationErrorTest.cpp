#include "platform/AutomationError.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace fillahead {
namespace {

TEST(AutomationError, MapsToAndFromControlFacilityHResults) {
    const AutomationError overflow(error::Overflow);
    EXPECT_EQ(overflow.hresult(), 0x800A0006u);
    EXPECT_EQ(overflow.description(), u"Overflow");
    EXPECT_STREQ(overflow.what(), "Overflow");
    EXPECT_EQ(AutomationError(error::InvalidArgument).hresult(), 0x800A0BB9u);

    const AutomationError fromVb = AutomationError::fromHResult(0x800A000Du, u"Type mismatch");
    EXPECT_EQ(fromVb.number(), 13);
    const AutomationError other = AutomationError::fromHResult(0x80004005u, u"Unspecified");
    EXPECT_EQ(other.number(), static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(other.hresult(), 0x80004005u);
}

TEST(ErrorStyles, AFailingStepDoesNotSkipTheNextStep) {
    std::string trace;
    const bool first = ignoreErrors([&] {
        trace += "a";
        throw AutomationError(error::FileNotFound);
        trace += "never";
    });
    const bool second = ignoreErrors([&] { trace += "b"; });
    EXPECT_FALSE(first);
    EXPECT_TRUE(second);
    EXPECT_EQ(trace, "ab");
}

TEST(ErrorStyles, OnlyAutomationErrorsAreSwallowed) {
    EXPECT_THROW(ignoreErrors([] { throw std::logic_error("a bug"); }), std::logic_error);
    EXPECT_THROW(testIgnoringErrors([]() -> bool { throw std::logic_error("a bug"); }),
                 std::logic_error);
}

TEST(ErrorStyles, AFailingTestCountsAsPassed) {
    EXPECT_TRUE(testIgnoringErrors([]() -> bool { throw AutomationError(error::Overflow); }));
    EXPECT_TRUE(testIgnoringErrors([] { return true; }));
    EXPECT_FALSE(testIgnoringErrors([] { return false; }));
}

// The observer sees each swallowed error once, with the place of the step that
// dropped it; errors that propagate are not reported.
TEST(ErrorStyles, SwallowedErrorsReachTheObserver) {
    static std::vector<std::pair<std::int32_t, int>> seen;
    seen.clear();
    SetIgnoredErrorObserver([](const AutomationError& failure, ErrorSite site) {
        seen.emplace_back(failure.number(), site.line);
        EXPECT_NE(std::string(site.file).find("AutomationErrorTest"), std::string::npos);
    });
    const int stepLine = __LINE__ + 1;
    ignoreErrors([] { throw AutomationError(error::PathNotFound); });
    const int testLine = __LINE__ + 1;
    testIgnoringErrors([]() -> bool { throw AutomationError(error::Overflow); });
    ignoreErrors([] {});
    EXPECT_THROW(ignoreErrors([] { throw std::logic_error("a bug"); }), std::logic_error);
    SetIgnoredErrorObserver(nullptr);
    ignoreErrors([] { throw AutomationError(error::FileNotFound); });

    const std::vector<std::pair<std::int32_t, int>> expected{{error::PathNotFound, stepLine},
                                                             {error::Overflow, testLine}};
    EXPECT_EQ(seen, expected);
}

} // namespace
} // namespace fillahead
