// The receiver of a bound host control's Change, KeyDown and KeyUp events.
//
// Hosts call an event interface in one of two ways: through its vtable (an
// interface derived from IUnknown, one method per event, as the intrinsic
// controls of VB publish theirs) or through IDispatch::Invoke with the
// events' DISPIDs. The receiver answers both: QueryInterface for the event
// interface gives an object with that vtable layout, and its IDispatch
// takes Invoke. Methods other than the three are answered S_OK and ignored;
// on 32-bit Windows each pops exactly its own arguments, so the layout must
// be known.
//
// The layout comes from the control's class information (IProvideClassInfo:
// the class's source interface, its methods, their slots, arguments and
// DISPIDs) where the control publishes it, else from the kind's published
// table (library/HostKinds.h).
//
// Key codes go back to the host: a key code the control clears reaches the
// host as 0 through a by-reference argument (or the MSForms key code
// object's Value), so the host drops the key. An Access text box's key
// arguments are handed over as copies: Access gets nothing back.
#pragma once

#include <windows.h>

#include "library/HostKinds.h"
#include "platform/HostObject.h"

#include <oaidl.h>

#include <memory>
#include <vector>

namespace fillahead::library {

// How a control's events reach the receiver.
struct EventLayout {
    IID events{};
    bool vtable = false;
    // The vtable interface derives from IDispatch (its slots 3 to 6).
    bool derivesFromDispatch = false;
    // Per method after IUnknown's (and IDispatch's) own: the 32-bit stack
    // words its arguments take.
    std::vector<int> words;
    // Method indices into words (vtable only); -1 for none.
    int change = -1;
    int keyDown = -1;
    int keyUp = -1;
    DISPID changeId = DISPID_UNKNOWN;
    DISPID keyDownId = DISPID_UNKNOWN;
    DISPID keyUpId = DISPID_UNKNOWN;
    // The form the key events' arguments take (through Invoke).
    KeyArguments keys = KeyArguments::Integers;
};

// The layout the control publishes, or the kind's published one; a kind
// whose event interface is only guessed takes the control's default source
// (IProvideClassInfo2::GetGUID) when the control names one. Raises
// AutomationError for a vtable layout the receiver cannot answer (a key
// event whose arguments are not two 16-bit integers by reference, or a
// method with more arguments than any event has).
EventLayout EventLayoutOf(IUnknown& control, const HostKind& kind);

// Connects sink to the control's events until the returned connection is
// destroyed. Raises AutomationError when the control has no connection
// point for its events or refuses the connection; the description says why.
std::unique_ptr<EventConnection> ConnectHostEvents(IUnknown& control, const HostKind& kind,
                                                   HostControlEvents& sink);

} // namespace fillahead::library
