// The published identifiers of the host controls the control binds to
// through COM: the interfaces a kind is recognised by, its event interface
// with the layout hosts call it through, and the dispatch identifiers of the
// properties and events the control uses.
//
// A value marked sure is used as it is; one that is only likely or a guess
// is looked up at run time first (GetIDsOfNames, the object's class
// information) and used only when the lookup fails. A kind that is not in
// the table is never bound through COM.
#pragma once

#include <windows.h>

#include "platform/HostObject.h"
#include "platform/Text.h"

#include <oaidl.h>

#include <span>

namespace fillahead::library {

// How certain a published value is.
enum class Published { Sure, Likely };

struct PublishedDispid {
    const char16_t* name;
    DISPID id;
    Published confidence;
};

// One method of an event interface called through its vtable, in vtable
// order after IUnknown's three: its name and how many 32-bit stack words its
// arguments take (a stdcall method pops them itself on 32-bit Windows).
struct EventMethod {
    const char16_t* name;
    int words;
};

// How a kind hands its KeyDown and KeyUp arguments to the sinks.
enum class KeyArguments {
    // Key code and shift as Integers by reference (a by-value Shift arrives
    // as a copy): the intrinsic controls, DataCombo, DBCombo.
    Integers,
    // The key code as an object whose Value (DISPID 0) the sink may
    // rewrite, the shift state by value: MSForms.
    ReturnInteger,
    // Both as Variants by reference holding Integers: Access.
    Variants,
};

struct HostKind {
    ControlInterface kind;
    const char16_t* name; // as the host's documentation names it
    // The interfaces that identify the kind, the current one first.
    std::span<const IID> interfaces;
    // The event interface and whether hosts call it through its vtable (an
    // interface derived from IUnknown) or through IDispatch (a dispinterface).
    IID events;
    bool vtableEvents;
    // The event interface's methods, in vtable order (vtable events only).
    std::span<const EventMethod> eventMethods;
    DISPID change;
    DISPID keyDown;
    DISPID keyUp;
    std::span<const PublishedDispid> properties;
    KeyArguments keyArguments = KeyArguments::Integers;
    // The event interface's identifier is only a guess: the one the control
    // names as its default source (IProvideClassInfo2) comes first.
    bool eventsGuessed = false;
};

// The kind's identifiers; null for a kind not served through COM.
const HostKind* HostKindOf(ControlInterface kind) noexcept;

// The published dispatch identifier of a property of the kind, or null.
const PublishedDispid* PublishedProperty(const HostKind& kind, TextView name) noexcept;

// The events the control handles, by the names every host gives them.
inline constexpr char16_t kChangeEvent[] = u"Change";
inline constexpr char16_t kKeyDownEvent[] = u"KeyDown";
inline constexpr char16_t kKeyUpEvent[] = u"KeyUp";

} // namespace fillahead::library
