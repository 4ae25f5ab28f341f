// DispatchHostObject: an object of the host (a form, a control, an
// extender) reached through its IDispatch, the way VB reaches an Object
// variable.
//
// - Properties by name: a control whose kind is known (Implements answered
//   true) uses the kind's published dispatch identifiers; any other name is
//   looked up once with GetIDsOfNames and remembered by this object. A
//   published identifier the object refuses is looked up by name after all.
// - TypeName is VB's: the name of the object's type information without a
//   leading underscore, "Object" for an object that publishes none.
// - Identity is the object's IUnknown, so that two reads of one control
//   compare equal however the host handed them out.
// - Implements tests the kind's published interfaces with QueryInterface;
//   an extender that does not answer them is looked through, to the control
//   its Object property holds, for the test and for the events.
//
// - A value written back that the object refuses as a type mismatch is
//   written again in the type the property reads as (an int, VT_INT, for
//   the MSForms key code object's Value).
//
// Failures are AutomationErrors with VB's numbers (438 for a member the
// object lacks) or the host's own error and description. Single-threaded,
// like the apartment the objects live in.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "library/HostKinds.h"
#include "platform/HostObject.h"

#include <oaidl.h>

#include <memory>
#include <optional>
#include <vector>

namespace fillahead::library {

class DispatchHostObject final : public HostObject {
public:
    // The object behind any interface pointer of it; nothing for null.
    static std::shared_ptr<DispatchHostObject> Of(IUnknown* object);

    Variant GetProperty(TextView name) override;
    void PutProperty(TextView name, const Variant& value) override;
    Variant GetProperty(DispatchId id) override;
    void PutProperty(DispatchId id, const Variant& value) override;
    Variant CallMethod(TextView name, const std::vector<Variant>& arguments = {}) override;
    Text TypeName() override;
    const void* Identity() const override { return identity_.Get(); }
    bool Implements(ControlInterface kind) override;
    std::unique_ptr<EventConnection> ConnectEvents(ControlInterface kind,
                                                   HostControlEvents& sink) override;

    // The object's IDispatch (null when it has none) and identity.
    IDispatch* Dispatch() const noexcept { return dispatch_.Get(); }
    IUnknown* Unknown() const noexcept { return identity_.Get(); }

    DispatchHostObject(ComPtr<IUnknown> identity, ComPtr<IDispatch> dispatch);

private:
    struct KnownMember {
        Text name;
        DISPID id;
    };
    IDispatch& dispatch();
    // The identifier of a member; fromTable tells a published one.
    DISPID idOf(TextView name, bool& fromTable);
    DISPID lookUp(TextView name);
    Variant read(TextView name, WORD flags, std::vector<VARIANT>& arguments);
    Variant invoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments, TextView member);
    HRESULT dispatchInvoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments, VARIANT* result,
                           EXCEPINFO& exception);
    // A put the object refused as a type mismatch, tried again in the type
    // the property reads as.
    HRESULT tryInvoke(DISPID id, WORD flags, std::vector<VARIANT>& arguments, VARIANT* result,
                      EXCEPINFO& exception);
    // The value converted to the type the property holds; false when that
    // type is unknown, the same, or not a plain value.
    bool retypedAsHeld(DISPID id, VARIANT& value);
    // The object (this one, or the control inside an extender) that answers
    // one of the kind's interfaces; null for none.
    ComPtr<IUnknown> implementerOf(const HostKind& kind);

    ComPtr<IUnknown> identity_;
    ComPtr<IDispatch> dispatch_;
    std::optional<Text> typeName_;
    std::vector<KnownMember> known_;
    // The kind learnt from Implements, and the object that implements it.
    const HostKind* kind_ = nullptr;
    ComPtr<IUnknown> implementer_;
};

// Automation values of host calls as portable Variants and back: objects
// travel as DispatchHostObjects (nothing as an empty object reference);
// everything else converts as library/Conversions.h does.
Variant HostValueOf(const VARIANT& value);
void ToHostVariant(const Variant& value, VARIANT* out);

} // namespace fillahead::library
