#include "library/ErrorInfo.h"

#include "library/ComObject.h"
#include "library/Conversions.h"
#include "library/Owners.h"

#include <mutex>
#include <string>

namespace fillahead::library {
namespace {

std::mutex helpFileMutex;
std::wstring helpFile;

std::wstring libraryHelpFile() {
    const std::lock_guard<std::mutex> lock(helpFileMutex);
    return helpFile;
}

// The system's text for an HRESULT, without the trailing line break.
Text SystemMessage(HRESULT hr) {
    wchar_t buffer[512] = {};
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, static_cast<DWORD>(hr), 0, buffer, 512, nullptr);
    while (length > 0 && (buffer[length - 1] == L'\n' || buffer[length - 1] == L'\r' ||
                          buffer[length - 1] == L' ' || buffer[length - 1] == L'.')) {
        --length;
    }
    if (length == 0) {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
        return u"Automation error " + Text(code, code + wcslen(code));
    }
    return Text(buffer, buffer + length);
}

} // namespace

HRESULT ReportError(const AutomationError& error, const ErrorSource& from) noexcept {
    const auto hr = static_cast<HRESULT>(error.hresult());
    try {
        ComPtr<ICreateErrorInfo> create;
        if (FAILED(CreateErrorInfo(&create))) {
            return hr;
        }
        const Text& description = error.description();
        const std::wstring text(description.begin(), description.end());
        create->SetGUID(from.iid);
        create->SetSource(const_cast<LPOLESTR>(from.source));
        create->SetDescription(const_cast<LPOLESTR>(text.c_str()));
        if (const std::wstring help = libraryHelpFile(); !help.empty()) {
            create->SetHelpFile(const_cast<LPOLESTR>(help.c_str()));
        }
        ComPtr<IErrorInfo> info;
        if (SUCCEEDED(create.As(&info))) {
            SetErrorInfo(0, info.Get());
        }
    } catch (...) {
        SetErrorInfo(0, nullptr);
    }
    return hr;
}

void SetLibraryHelpFile(TextView path) {
    const std::lock_guard<std::mutex> lock(helpFileMutex);
    helpFile.assign(path.begin(), path.end());
}

void ThrowIfFailed(HRESULT hr) {
    if (SUCCEEDED(hr)) {
        return;
    }
    UniqueBstr description;
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, &info) == S_OK && info) {
        info->GetDescription(description.put());
    }
    throw ErrorOfResult(hr, Text(TextOf(description.get())));
}

AutomationError ErrorOfResult(HRESULT hr, Text description) {
    const auto code = static_cast<std::uint32_t>(hr);
    if (description.empty()) {
        if ((code & 0xFFFF0000u) == 0x800A0000u) {
            return AutomationError(static_cast<std::int32_t>(code & 0xFFFFu));
        }
        description = SystemMessage(hr);
    }
    return AutomationError::fromHResult(code, std::move(description));
}

} // namespace fillahead::library
