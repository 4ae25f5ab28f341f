// The record set as an automation object: Fillahead.Recordset hands out the
// engine's record set through _FillaheadRecordset, with its fields through
// _FillaheadFields and _FillaheadField. Each object is a thin view over the
// portable fillahead::Recordset: it translates arguments and results, and
// the record set's own errors (3001, 3021, 3265, ...) reach the caller as
// they are.
#pragma once

#include <windows.h>

#include "library/ComObject.h"
#include "library/Dispatch.h"
#include "library/generated/FillaheadLib.h"
#include "platform/Recordset.h"

#include <memory>

namespace fillahead::library {

// How the library recognises its own record set behind an IDispatch that a
// host hands back (in-process only; not in the type library).
struct IRecordsetAccess : public IUnknown {
    virtual std::shared_ptr<fillahead::Recordset> STDMETHODCALLTYPE Recordset() = 0;
};

} // namespace fillahead::library

__CRT_UUID_DECL(fillahead::library::IRecordsetAccess, 0x32b39af7, 0xd1fa, 0x44bb, 0xac, 0xf1, 0xeb,
                0xd8, 0xa5, 0x71, 0x51, 0x1e)

namespace fillahead::library {

// The automation object of a record set: for a host's own record set the
// host's object, else a new object of ours each call.
ComPtr<IDispatch> RecordsetDispatch(std::shared_ptr<fillahead::Recordset> recordset);

// The record set behind an automation object a host sets as an engine's
// Recordset: no object gives no record set, one of ours gives its record set,
// any other object with a record set's members is driven late-bound
// (library/DispatchRecordset.h). An object without them raises type
// mismatch (13).
std::shared_ptr<fillahead::Recordset> RecordsetOf(IDispatch* object);

// The automation object an engine's or control's Recordset property hands
// out: the same object as long as the record set stays the same, so that a
// host asking twice gets one object.
class RecordsetHandout {
public:
    // A new reference for the caller; null for no record set.
    IDispatch* HandOut(const std::shared_ptr<fillahead::Recordset>& current);
    void Reset() noexcept;

private:
    ComPtr<IDispatch> object_;
    std::weak_ptr<fillahead::Recordset> recordset_;
};

class RecordsetObject final
    : public ComObject<Dispatch<_FillaheadRecordset>, ISupportErrorInfo, IRecordsetAccess> {
public:
    explicit RecordsetObject(std::shared_ptr<fillahead::Recordset> recordset);

    std::shared_ptr<fillahead::Recordset> STDMETHODCALLTYPE Recordset() override;

    HRESULT STDMETHODCALLTYPE get_Fields(_FillaheadFields** Fields) override;
    HRESULT STDMETHODCALLTYPE get_State(LONG* State) override;
    HRESULT STDMETHODCALLTYPE get_Filter(VARIANT* Criteria) override;
    HRESULT STDMETHODCALLTYPE put_Filter(VARIANT Criteria) override;
    HRESULT STDMETHODCALLTYPE get_RecordCount(LONG* Count) override;
    HRESULT STDMETHODCALLTYPE get_AbsolutePosition(LONG* Position) override;
    HRESULT STDMETHODCALLTYPE get_BOF(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE get_EOF(VARIANT_BOOL* Value) override;
    HRESULT STDMETHODCALLTYPE Open(VARIANT Source) override;
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE AddNew(VARIANT FieldList, VARIANT Values) override;
    HRESULT STDMETHODCALLTYPE Update(VARIANT Fields, VARIANT Values) override;
    HRESULT STDMETHODCALLTYPE Delete(LONG AffectRecords) override;
    HRESULT STDMETHODCALLTYPE MoveFirst() override;
    HRESULT STDMETHODCALLTYPE MoveNext() override;
    HRESULT STDMETHODCALLTYPE MoveLast() override;
    HRESULT STDMETHODCALLTYPE Save(BSTR Destination, LONG PersistFormat) override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    template <typename Body>
    HRESULT call(Body&& body);

    std::shared_ptr<fillahead::Recordset> recordset_;
};

class FieldsObject final : public ComObject<Dispatch<_FillaheadFields>, ISupportErrorInfo> {
public:
    explicit FieldsObject(std::shared_ptr<fillahead::Recordset> recordset);

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT Index, _FillaheadField** Field) override;
    HRESULT STDMETHODCALLTYPE get_Count(LONG* Count) override;
    HRESULT STDMETHODCALLTYPE Append(BSTR Name, LONG Type, LONG DefinedSize, LONG Attrib) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** Enumerator) override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    template <typename Body>
    HRESULT call(Body&& body);

    std::shared_ptr<fillahead::Recordset> recordset_;
};

// One field by name: it reads and writes the current row of the record set
// it came from, whatever row that is at the time.
class FieldObject final : public ComObject<Dispatch<_FillaheadField>, ISupportErrorInfo> {
public:
    FieldObject(std::shared_ptr<fillahead::Recordset> recordset, Text name);

    HRESULT STDMETHODCALLTYPE get_Value(VARIANT* Value) override;
    HRESULT STDMETHODCALLTYPE put_Value(VARIANT Value) override;
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* Name) override;
    HRESULT STDMETHODCALLTYPE get_Type(LONG* Type) override;
    HRESULT STDMETHODCALLTYPE get_DefinedSize(LONG* DefinedSize) override;

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override;

private:
    template <typename Body>
    HRESULT call(Body&& body);
    FieldDefinition definition() const;

    std::shared_ptr<fillahead::Recordset> recordset_;
    Text name_;
};

} // namespace fillahead::library
