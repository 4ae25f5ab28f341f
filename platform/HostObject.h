// HostObject: an object of the host reached late-bound, the way VB reaches
// an Object variable: a form, a control, a control's extender, the key-code
// object of an MSForms key event. On Windows it is an IDispatch; natively a
// simulated host stands in (platform/simulated).
//
// Contract of every member:
// - Failure is an AutomationError, never a C++ error of another kind: a
//   member the object does not have is error 438, a refused call carries the
//   error the host reported. Callers that ignore errors catch exactly these.
// - Object values travel inside a Variant as a shared_ptr to a HostObject
//   (or nothing); asHostObject() takes them out.
// - Everything runs on the host's user-interface thread.
#pragma once

#include "platform/Text.h"
#include "platform/Variant.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace fillahead {

// A dispatch identifier (DISPID).
using DispatchId = std::int32_t;

// Dispatch identifiers of members known by number: the control reads the
// first three that way; a container's realisation answers the last two.
inline constexpr DispatchId kDispidValue = 0;      // IReturnInteger.Value
inline constexpr DispatchId kDispidComboText = 15; // DataCombo, DBCombo: Text
inline constexpr DispatchId kDispidExtenderName = static_cast<DispatchId>(0x80010000);
inline constexpr DispatchId kDispidExtenderParent = static_cast<DispatchId>(0x80010008);
inline constexpr DispatchId kDispidAmbientUserMode = -709; // DISPID_AMBIENT_USERMODE

// The control interfaces a bound control is recognised by (QueryInterface
// with the published interface identifier on Windows). The .NET Windows
// Forms text box has none: it is recognised by its type's name.
enum class ControlInterface {
    TextBox,       // intrinsic VB TextBox (_TextBox)
    ComboBox,      // intrinsic VB ComboBox (_ComboBox)
    FormsTextBox,  // MSForms TextBox (IMdcText)
    AccessTextBox, // Access form TextBox (_Textbox)
    DataCombo,     // data-list DataCombo (IDataCombo)
    DBCombo,       // DBCombo (IDBCombo)
};

class HostObject;

// The events of a bound control, in the three forms the hosts raise them.
// Each kind raises one form only:
// - intrinsic TextBox and ComboBox, DataCombo, DBCombo: key code and shift
//   as 16-bit integers by reference (a by-value Shift arrives as a copy);
// - MSForms TextBox: the key code is an object whose Value (DISPID 0) the
//   handler may rewrite, the shift state comes by value;
// - Access TextBox: both are VARIANTs by reference holding Integers.
// A handler may release the connection it was called through.
class HostControlEvents {
public:
    virtual ~HostControlEvents() = default;
    virtual void Change() = 0;
    virtual void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift) = 0;
    virtual void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift) = 0;
    virtual void KeyDown(HostObject& KeyCode, std::int16_t Shift) = 0;
    virtual void KeyUp(HostObject& KeyCode, std::int16_t Shift) = 0;
    virtual void KeyDown(Variant& KeyCode, Variant& Shift) = 0;
    virtual void KeyUp(Variant& KeyCode, Variant& Shift) = 0;
};

// A live event connection (a connection-point cookie on Windows): the events
// reach the sink until this object is destroyed.
class EventConnection {
public:
    virtual ~EventConnection() = default;
};

class HostObject : public Object {
public:
    // A property by name (GetIDsOfNames, then Invoke with DISPATCH_PROPERTYGET).
    virtual Variant GetProperty(TextView name) = 0;
    virtual void PutProperty(TextView name, const Variant& value) = 0;
    // A property by dispatch identifier, for members that are known by
    // number only (an extender's Name, a combo's text).
    virtual Variant GetProperty(DispatchId id) = 0;
    virtual void PutProperty(DispatchId id, const Variant& value) = 0;
    // A method by name (VB's CallByName with VbMethod).
    virtual Variant CallMethod(TextView name, const std::vector<Variant>& arguments = {}) = 0;

    // VB's TypeName: the class name from the object's type information,
    // "Object" when it publishes none.
    virtual Text TypeName() = 0;
    // The object's identity (its IUnknown on Windows): two references to one
    // object answer the same value as long as either is held.
    virtual const void* Identity() const = 0;
    // Whether the object implements that control interface. Never fails.
    virtual bool Implements(ControlInterface kind) = 0;
    // Connects a sink to the events of that interface; raises when the
    // object has no such events or refuses the connection.
    virtual std::unique_ptr<EventConnection> ConnectEvents(ControlInterface kind,
                                                           HostControlEvents& sink) = 0;
};

// VB's Is: both nothing, or the same object.
bool SameObject(const std::shared_ptr<HostObject>& a, const std::shared_ptr<HostObject>& b);

// The object inside a Variant: nothing for Empty and for an object variable
// set to Nothing; anything else that is not a host object raises 424
// (Object required).
std::shared_ptr<HostObject> asHostObject(const Variant& value);

// The object a reference refers to; raises 91 (Object variable not set)
// when it refers to nothing, as a member call on Nothing does in VB.
HostObject& objectOf(const std::shared_ptr<HostObject>& reference);

// A property that holds an object (a form's ActiveControl, an extender's
// Parent): the object or nothing.
std::shared_ptr<HostObject> objectProperty(HostObject& object, TextView name);

} // namespace fillahead
