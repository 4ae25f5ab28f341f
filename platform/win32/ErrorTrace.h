// The trace of swallowed errors on Windows: every error that a step run under
// "errors ignored" drops is written to the debugger output (DebugView, a
// debugger's output window), one line each, in debug builds or when the
// environment variable FILLAHEAD_TRACE is set to anything but "0".
#pragma once

namespace fillahead::win32 {

// Installs the trace when it is wanted; later calls change nothing.
void TraceIgnoredErrorsWhenWanted();

} // namespace fillahead::win32
