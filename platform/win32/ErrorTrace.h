// The trace of swallowed errors on Windows: every error that a step run under
// "errors ignored" drops is written to the debugger output (DebugView, a
// debugger's output window), one line each, in debug builds or when the
// environment variable FILLAHEAD_TRACE is set to anything but "0".
// The other lines of the control's debug output share the switch.
#pragma once

namespace fillahead::win32 {

// Installs the trace when it is wanted; later calls change nothing.
void TraceIgnoredErrorsWhenWanted();

// Whether the trace is wanted now: always in a debug build, else while
// FILLAHEAD_TRACE is set to anything but "0". The control's line about the
// path a bound control took follows it too.
bool TraceWanted();

} // namespace fillahead::win32
