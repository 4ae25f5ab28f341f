#include "platform/win32/ErrorTrace.h"

#include <windows.h>

#include "platform/AutomationError.h"
#include "platform/Text.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace fillahead::win32 {
namespace {

// The last two parts of the source path ("engine/BufferStore.cpp"): enough to
// find the step, without the build machine's folders.
std::string shortSourcePath(const char* file) {
    const std::string path(file ? file : "");
    std::size_t cut = path.find_last_of("/\\");
    if (cut != std::string::npos && cut > 0) {
        const std::size_t previous = path.find_last_of("/\\", cut - 1);
        cut = previous == std::string::npos ? 0 : previous + 1;
    } else {
        cut = 0;
    }
    return path.substr(cut);
}

void writeToDebugger(const AutomationError& error, ErrorSite site) {
    try {
        Text line = u"Fillahead: ignored error " + toText(error.number()) + u" (" +
                    error.description() + u") at " + fromUtf8(shortSourcePath(site.file)) + u":" +
                    toText(site.line) + u"\n";
        OutputDebugStringW(reinterpret_cast<const wchar_t*>(line.c_str()));
    } catch (...) {
        // A trace that cannot be formatted (out of memory) is dropped.
    }
}

} // namespace

bool TraceWanted() {
#ifndef NDEBUG
    return true;
#else
    wchar_t value[8] = {};
    const DWORD length = GetEnvironmentVariableW(L"FILLAHEAD_TRACE", value, 8);
    return length > 0 && !(length == 1 && value[0] == L'0');
#endif
}

void TraceIgnoredErrorsWhenWanted() {
    static const bool installed = [] {
        if (TraceWanted()) {
            SetIgnoredErrorObserver(&writeToDebugger);
            return true;
        }
        return false;
    }();
    (void)installed;
}

} // namespace fillahead::win32
