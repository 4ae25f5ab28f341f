#include "platform/AutomationError.h"

#include <atomic>

namespace fillahead {

namespace {
std::atomic<IgnoredErrorObserver> ignoredErrorObserver{nullptr};
} // namespace

void SetIgnoredErrorObserver(IgnoredErrorObserver observer) noexcept {
    ignoredErrorObserver.store(observer, std::memory_order_release);
}

void reportIgnoredError(const AutomationError& error, ErrorSite site) noexcept {
    if (const IgnoredErrorObserver observer =
            ignoredErrorObserver.load(std::memory_order_acquire)) {
        observer(error, site);
    }
}

Text standardDescription(std::int32_t number) {
    switch (number) {
    case error::InvalidProcedureCall:
        return u"Invalid procedure call or argument";
    case error::Overflow:
        return u"Overflow";
    case error::OutOfMemory:
        return u"Out of memory";
    case error::SubscriptOutOfRange:
        return u"Subscript out of range";
    case error::TypeMismatch:
        return u"Type mismatch";
    case error::FileNotFound:
        return u"File not found";
    case error::FileAlreadyExists:
        return u"File already exists";
    case error::PermissionDenied:
        return u"Permission denied";
    case error::PathFileAccessError:
        return u"Path/File access error";
    case error::PathNotFound:
        return u"Path not found";
    case error::ObjectNotSet:
        return u"Object variable or With block variable not set";
    case error::InvalidUseOfNull:
        return u"Invalid use of Null";
    case error::HandlerFailed:
        return u"Automation error";
    case error::InvalidFileFormat:
        return u"Invalid file format";
    case error::ObjectRequired:
        return u"Object required";
    case error::NotSupported:
        return u"Object doesn't support this property or method";
    case error::InvalidArgument:
        return u"Arguments are of the wrong type, are out of acceptable range, or are in "
               u"conflict with one another.";
    case error::OpeningFile:
        return u"File could not be opened.";
    case error::ReadingFile:
        return u"File could not be read.";
    case error::WritingFile:
        return u"Write to file failed.";
    case error::NoCurrentRecord:
        return u"Either BOF or EOF is True, or the current record has been deleted. Requested "
               u"operation requires a current record.";
    case error::NotAllowedInContext:
        return u"Operation is not allowed in this context.";
    case error::ItemNotFound:
        return u"Item cannot be found in the collection corresponding to the requested name or "
               u"ordinal.";
    case error::AlreadyInCollection:
        return u"Object is already in collection. Cannot append.";
    case error::ObjectClosed:
        return u"Operation is not allowed when the object is closed.";
    case error::ObjectOpen:
        return u"Operation is not allowed when the object is open.";
    default:
        return u"Application-defined or object-defined error";
    }
}

AutomationError::AutomationError(std::int32_t number)
    : AutomationError(number, standardDescription(number)) {}

AutomationError::AutomationError(std::int32_t number, Text description)
    : number_(number), description_(std::move(description)), what_(toUtf8(description_)) {}

AutomationError AutomationError::fromHResult(std::uint32_t hresult, Text description) {
    if ((hresult & 0xFFFF0000u) == 0x800A0000u) {
        return AutomationError(static_cast<std::int32_t>(hresult & 0xFFFFu),
                               std::move(description));
    }
    return AutomationError(static_cast<std::int32_t>(hresult), std::move(description));
}

std::uint32_t AutomationError::hresult() const noexcept {
    if (number_ >= 0 && number_ <= 0xFFFF) {
        return 0x800A0000u | static_cast<std::uint32_t>(number_);
    }
    return static_cast<std::uint32_t>(number_);
}

} // namespace fillahead
