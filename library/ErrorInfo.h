// The COM boundary of every method: the body runs as ordinary C++; an
// AutomationError leaves as its HRESULT (0x800A0000 | number for VB error
// numbers) with an IErrorInfo carrying the description, so that a VB caller
// sees Err.Number and Err.Description; anything else becomes E_UNEXPECTED.
// No C++ exception ever crosses the boundary.
#pragma once

#include <windows.h>

#include "platform/AutomationError.h"

#include <oleauto.h>

namespace fillahead::library {

// Who raised an error, for IErrorInfo: the interface and the source text
// a VB caller reads in Err.Source.
struct ErrorSource {
    const IID& iid;
    const wchar_t* source;
};

// Publishes the error through SetErrorInfo and returns its HRESULT.
HRESULT ReportError(const AutomationError& error, const ErrorSource& from) noexcept;

// The help file the library's errors name from now on (VB's App.HelpFile);
// none until a control sets it.
void SetLibraryHelpFile(TextView path);

template <typename Body>
HRESULT ComBoundary(const ErrorSource& from, Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (const AutomationError& error) {
        return ReportError(error, from);
    } catch (...) {
        SetErrorInfo(0, nullptr);
        return E_UNEXPECTED;
    }
}

// The target of an [out] parameter; a null pointer raises E_POINTER.
template <typename T>
T& OutParameter(T* pointer) {
    if (pointer == nullptr) {
        throw AutomationError(static_cast<std::int32_t>(E_POINTER), u"Invalid pointer");
    }
    return *pointer;
}

// Raises the failure an HRESULT of a system call stands for, with the
// description of the thread's IErrorInfo when there is one.
void ThrowIfFailed(HRESULT hr);

// The failure an HRESULT stands for, with a description: the given one, else
// the standard one of a VB error number, else the system's text.
AutomationError ErrorOfResult(HRESULT hr, Text description);

} // namespace fillahead::library
