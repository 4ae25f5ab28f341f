// AutomationError: a failure as an automation client sees it, a VB error
// number with its description. Every layer raises it; the COM boundary turns
// it into an HRESULT and IErrorInfo.
//
// The two error styles of the system:
// - no trapping: plain C++, the exception leaves the procedure at once;
// - errors ignored step by step: each step runs inside ignoreErrors(), and a
//   condition inside testIgnoringErrors(), where a failing test counts as
//   passed. Only AutomationError is swallowed; anything else is a bug and
//   propagates.
#pragma once

#include "platform/Text.h"

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

namespace fillahead {

// VB run-time and data-access error numbers used across the system.
namespace error {
inline constexpr std::int32_t InvalidProcedureCall = 5;
inline constexpr std::int32_t Overflow = 6;
inline constexpr std::int32_t OutOfMemory = 7;
inline constexpr std::int32_t SubscriptOutOfRange = 9;
inline constexpr std::int32_t TypeMismatch = 13;
inline constexpr std::int32_t FileNotFound = 53;
inline constexpr std::int32_t FileAlreadyExists = 58;
inline constexpr std::int32_t PermissionDenied = 70;
inline constexpr std::int32_t PathFileAccessError = 75;
inline constexpr std::int32_t PathNotFound = 76;
inline constexpr std::int32_t ObjectNotSet = 91;
inline constexpr std::int32_t InvalidUseOfNull = 94;
inline constexpr std::int32_t InvalidFileFormat = 321;
inline constexpr std::int32_t ObjectRequired = 424;
// An event handler failed with something other than an automation error.
inline constexpr std::int32_t HandlerFailed = 440; // "Automation error"
inline constexpr std::int32_t NotSupported = 438;
// Data-access errors (the record set service).
inline constexpr std::int32_t InvalidArgument = 3001;
inline constexpr std::int32_t OpeningFile = 3002;
inline constexpr std::int32_t ReadingFile = 3003;
inline constexpr std::int32_t WritingFile = 3004;
inline constexpr std::int32_t NoCurrentRecord = 3021;
inline constexpr std::int32_t NotAllowedInContext = 3219;
inline constexpr std::int32_t ItemNotFound = 3265;
inline constexpr std::int32_t AlreadyInCollection = 3367;
inline constexpr std::int32_t ObjectClosed = 3704;
inline constexpr std::int32_t ObjectOpen = 3705;
} // namespace error

// The standard description of a VB or data-access error number, or a generic
// "Application-defined or object-defined error" for numbers without one.
Text standardDescription(std::int32_t number);

class AutomationError : public std::exception {
public:
    // An error with its standard description.
    explicit AutomationError(std::int32_t number);
    AutomationError(std::int32_t number, Text description);

    // The error an HRESULT stands for: a FACILITY_CONTROL code 0x800A0000 | n
    // is VB error n; any other failure keeps the HRESULT as its number, the
    // way VB's Err.Number reports it.
    static AutomationError fromHResult(std::uint32_t hresult, Text description);

    std::int32_t number() const noexcept { return number_; }
    const Text& description() const noexcept { return description_; }
    // 0x800A0000 | number for VB numbers (0 to 65535), else the number itself.
    std::uint32_t hresult() const noexcept;

    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::int32_t number_;
    Text description_;
    std::string what_;
};

// Where a swallowed error came from: the file and line of the ignoreErrors or
// testIgnoringErrors call that dropped it.
struct ErrorSite {
    const char* file = "";
    int line = 0;
};

// Told of every error that a step run under "errors ignored" swallows, so that
// a developer whose list never shows can see why. There is none by default;
// the Windows build sends them to the debugger output in debug builds or when
// the environment variable FILLAHEAD_TRACE is set. The observer is called on
// the thread that swallowed the error, must not throw, and is set once at
// start-up (the setter is safe to call from any thread).
using IgnoredErrorObserver = void (*)(const AutomationError& error, ErrorSite site);
void SetIgnoredErrorObserver(IgnoredErrorObserver observer) noexcept;
// Hands a swallowed error to the observer, if any.
void reportIgnoredError(const AutomationError& error, ErrorSite site) noexcept;

// Runs one step; an AutomationError ends the step and is dropped (and shown
// to the observer). Returns true when the step ran to its end.
template <typename Step>
bool ignoreErrors(Step&& step, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    try {
        std::forward<Step>(step)();
        return true;
    } catch (const AutomationError& failure) {
        reportIgnoredError(failure, ErrorSite{file, line});
        return false;
    }
}

// Evaluates a condition the way a test under "errors ignored" does: when the
// evaluation fails with an AutomationError the test counts as passed.
template <typename Condition>
bool testIgnoringErrors(Condition&& condition, const char* file = __builtin_FILE(),
                        int line = __builtin_LINE()) {
    try {
        return static_cast<bool>(std::forward<Condition>(condition)());
    } catch (const AutomationError& failure) {
        reportIgnoredError(failure, ErrorSite{file, line});
        return true;
    }
}

} // namespace fillahead
