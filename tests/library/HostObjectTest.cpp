// Host objects reached through IDispatch, against objects that answer only
// what a test gives them: the published DISPIDs of a known kind before any
// lookup by name, the lookup when the object numbers a member otherwise, an
// extender looked through to its control, a value written back in the type
// the object holds it in, the host's own errors, a DISPID that is only
// likely asked by name first, and an event interface that is only guessed
// taken from the control's own answer.
#include <windows.h>

#include "library/DispatchHostObject.h"
#include "library/HostEventSink.h"
#include "platform/AutomationError.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fillahead::library {
namespace {

constexpr IID kTextBoxInterface = {
    0x33AD4EE1, 0x6699, 0x11CF, {0xB7, 0x0C, 0x00, 0xAA, 0x00, 0x60, 0xD3, 0x93}};
// Access's _Textbox, and IDataCombo.
constexpr IID kAccessTextBoxInterface = {
    0x3B06E946, 0xE47C, 0x11CD, {0x87, 0x01, 0x00, 0xAA, 0x00, 0x3F, 0x0F, 0x07}};
constexpr IID kDataComboInterface = {
    0xF0D2F21A, 0xCCB0, 0x11D0, {0xA3, 0x16, 0x00, 0xAA, 0x00, 0x68, 0x8B, 0x10}};

// An object with members by DISPID (values it holds), names it answers
// GetIDsOfNames for, and the interfaces it answers besides IDispatch.
class FakeObject final : public IDispatch {
public:
    std::map<DISPID, VARIANT> members;
    std::map<std::wstring, DISPID> names;
    std::vector<IID> interfaces;
    // Members that take a value only in the type they hold.
    bool strictTypes = false;
    // Invoke fails with this exception (wCode) for a member of this number.
    std::map<DISPID, WORD> raises;

    ~FakeObject() {
        for (auto& [id, value] : members) {
            VariantClear(&value);
        }
    }
    void Set(DISPID id, const VARIANT& value) {
        VariantClear(&members[id]);
        VariantCopy(&members[id], const_cast<VARIANT*>(&value));
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
        }
        for (const IID& answered : interfaces) {
            if (iid == answered) {
                *out = static_cast<IDispatch*>(this);
            }
        }
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* list, UINT, LCID,
                                            DISPID* ids) override {
        ++lookups;
        const auto found = names.find(list[0]);
        if (found == names.end()) {
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        if (const auto raise = raises.find(id); raise != raises.end()) {
            *exception = EXCEPINFO{};
            exception->wCode = raise->second;
            exception->bstrDescription = SysAllocString(L"The host refused");
            return DISP_E_EXCEPTION;
        }
        const auto member = members.find(id);
        if (member == members.end()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if ((flags & DISPATCH_PROPERTYPUT) != 0) {
            if (strictTypes && V_VT(&params->rgvarg[0]) != V_VT(&member->second)) {
                return DISP_E_TYPEMISMATCH;
            }
            Set(id, params->rgvarg[0]);
            return S_OK;
        }
        VariantInit(result);
        return VariantCopy(result, &member->second);
    }

    int lookups = 0;
};

VARIANT text(const wchar_t* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(value);
    return v;
}

VARIANT object(IDispatch* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = value;
    return v;
}

std::int32_t errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const AutomationError& error) {
        return error.number();
    }
    return 0;
}

TEST(DispatchHostObject, AKnownKindIsAskedByItsPublishedDispidsAndOtherNamesByLookup) {
    FakeObject box;
    box.interfaces = {kTextBoxInterface};
    VARIANT value = text(L"London");
    box.Set(0x1000B, value); // Text, published
    VariantClear(&value);
    value = text(L"Text1");
    box.Set(77, value); // Name, numbered otherwise by this object
    VariantClear(&value);
    box.names = {{L"Name", 77}};
    const auto host = DispatchHostObject::Of(&box);

    // Before the kind is known, a name the object does not know fails.
    EXPECT_EQ(errorOf([&] { host->GetProperty(u"Text"); }), error::NotSupported);
    ASSERT_TRUE(host->Implements(ControlInterface::TextBox));
    EXPECT_FALSE(host->Implements(ControlInterface::ComboBox));
    box.lookups = 0;
    EXPECT_EQ(host->GetProperty(u"Text").toText(), u"London");
    EXPECT_EQ(box.lookups, 0);
    // The published number of Name is refused: the name is looked up once.
    EXPECT_EQ(host->GetProperty(u"Name").toText(), u"Text1");
    EXPECT_EQ(host->GetProperty(u"name").toText(), u"Text1");
    EXPECT_EQ(box.lookups, 1);
    host->PutProperty(u"Text", u"Paris");
    EXPECT_EQ(std::wstring(V_BSTR(&box.members[0x1000B])), L"Paris");
}

TEST(DispatchHostObject, AnExtenderIsLookedThroughToTheControlItHolds) {
    FakeObject box;
    box.interfaces = {kTextBoxInterface};
    FakeObject extender;
    extender.names = {{L"Object", 5}};
    const VARIANT inner = object(&box);
    extender.Set(5, inner);
    const auto host = DispatchHostObject::Of(&extender);
    EXPECT_TRUE(host->Implements(ControlInterface::TextBox));
    // Still the extender: its identity, its members.
    EXPECT_EQ(host->Identity(), static_cast<IUnknown*>(&extender));

    FakeObject plain;
    EXPECT_FALSE(DispatchHostObject::Of(&plain)->Implements(ControlInterface::TextBox));
}

TEST(DispatchHostObject, AValueIsWrittenBackInTheTypeTheObjectHoldsIt) {
    FakeObject keyCode; // as the MSForms key code object: Value is an int
    keyCode.strictTypes = true;
    VARIANT held;
    VariantInit(&held);
    V_VT(&held) = VT_INT;
    V_INT(&held) = 40;
    keyCode.Set(kDispidValue, held);
    const auto host = DispatchHostObject::Of(&keyCode);
    EXPECT_EQ(host->GetProperty(kDispidValue).toInteger(), 40);
    host->PutProperty(kDispidValue, std::int32_t{0});
    EXPECT_EQ(V_VT(&keyCode.members[kDispidValue]), VT_INT);
    EXPECT_EQ(V_INT(&keyCode.members[kDispidValue]), 0);
    // A value that cannot take the held type is refused as a type mismatch.
    EXPECT_EQ(errorOf([&] { host->PutProperty(kDispidValue, u"forty"); }), error::TypeMismatch);
}

TEST(DispatchHostObject, FailuresCarryTheHostsErrorsAndObjectsComeBackAsHostObjects) {
    FakeObject form;
    FakeObject box;
    form.names = {{L"ActiveControl", 2}, {L"Refuses", 3}};
    const VARIANT active = object(&box);
    form.Set(2, active);
    form.raises[3] = 1234;
    const auto host = DispatchHostObject::Of(&form);
    EXPECT_EQ(errorOf([&] { host->GetProperty(u"Missing"); }), error::NotSupported);
    try {
        host->GetProperty(u"Refuses");
        ADD_FAILURE() << "no error";
    } catch (const AutomationError& error) {
        EXPECT_EQ(error.number(), 1234);
        EXPECT_EQ(error.description(), u"The host refused");
    }
    const std::shared_ptr<HostObject> control = objectProperty(*host, u"ActiveControl");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->Identity(), static_cast<IUnknown*>(&box));
    // Two reads of one control are the same object.
    EXPECT_TRUE(SameObject(control, objectProperty(*host, u"ActiveControl")));
    const VARIANT nothing = object(nullptr);
    form.Set(2, nothing);
    EXPECT_EQ(objectProperty(*host, u"ActiveControl"), nullptr);
    EXPECT_EQ(host->TypeName(), u"Object");
}

// Access's DISPIDs are only likely: the object's own number for a name comes
// first, the published one when it does not know the name.
TEST(DispatchHostObject, ALikelyDispidIsAskedByNameFirst) {
    FakeObject numbered;
    numbered.interfaces = {kAccessTextBoxInterface};
    numbered.names = {{L"Text", 900}};
    VARIANT value = text(L"own number");
    numbered.Set(900, value);
    VariantClear(&value);
    value = text(L"published number");
    numbered.Set(0x10B, value);
    VariantClear(&value);
    const auto host = DispatchHostObject::Of(&numbered);
    ASSERT_TRUE(host->Implements(ControlInterface::AccessTextBox));
    EXPECT_EQ(host->GetProperty(u"Text").toText(), u"own number");

    FakeObject unnamed;
    unnamed.interfaces = {kAccessTextBoxInterface};
    value = text(L"published number");
    unnamed.Set(0x10B, value);
    VariantClear(&value);
    value = text(L"");
    unnamed.Set(0x68, value); // OnKeyDown
    VariantClear(&value);
    const auto fallback = DispatchHostObject::Of(&unnamed);
    ASSERT_TRUE(fallback->Implements(ControlInterface::AccessTextBox));
    EXPECT_EQ(fallback->GetProperty(u"Text").toText(), u"published number");
    fallback->PutProperty(u"OnKeyDown", u"[Event Procedure]");
    EXPECT_EQ(std::wstring(V_BSTR(&unnamed.members[0x68])), L"[Event Procedure]");
}

// A control that names its default source without publishing its class.
class NamedSource final : public IProvideClassInfo2 {
public:
    GUID source{};
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2
                   ? static_cast<IProvideClassInfo2*>(this)
                   : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** info) override {
        *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* guid) override {
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
            return E_INVALIDARG;
        }
        *guid = source;
        return S_OK;
    }
};

TEST(HostEventLayout, AGuessedEventInterfaceGivesWayToTheOneTheControlNames) {
    const HostKind& dataCombo = *HostKindOf(ControlInterface::DataCombo);
    const HostKind& forms = *HostKindOf(ControlInterface::FormsTextBox);
    NamedSource control;
    control.source = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    const EventLayout named = EventLayoutOf(control, dataCombo);
    EXPECT_TRUE(named.events == control.source);
    EXPECT_FALSE(named.vtable);
    EXPECT_EQ(named.changeId, 1);
    EXPECT_EQ(named.keyDownId, -602);
    EXPECT_EQ(named.keys, KeyArguments::Integers);

    // A published event interface is kept, and a control that names none
    // gets the guess.
    const EventLayout kept = EventLayoutOf(control, forms);
    EXPECT_TRUE(kept.events == forms.events);
    EXPECT_EQ(kept.keys, KeyArguments::ReturnInteger);
    FakeObject silent;
    silent.interfaces = {kDataComboInterface};
    EXPECT_TRUE(EventLayoutOf(silent, dataCombo).events == dataCombo.events);
    EXPECT_EQ(EventLayoutOf(silent, *HostKindOf(ControlInterface::AccessTextBox)).keys,
              KeyArguments::Variants);
}

} // namespace
} // namespace fillahead::library
