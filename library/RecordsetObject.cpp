#include "library/RecordsetObject.h"

#include "library/Conversions.h"
#include "library/DispatchRecordset.h"
#include "library/Enumerator.h"
#include "library/ErrorInfo.h"
#include "platform/AutomationError.h"

namespace fillahead::library {
namespace {

constexpr wchar_t kSource[] = L"FillaheadLib.Recordset";

template <typename T, typename Make>
void setOut(T* target, Make&& make) {
    T& out = OutParameter(target);
    out = T{};
    out = make();
}

// A VARIANT out-parameter filled from a portable Variant.
void setOutVariant(VARIANT* target, const fillahead::Variant& value) {
    VARIANT& out = OutParameter(target);
    VariantInit(&out);
    ToVariant(value, &out);
}

bool isArray(const VARIANT& value) {
    const VARIANT* v = &value;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT)) {
        v = V_VARIANTREF(v);
    }
    return (V_VT(v) & VT_ARRAY) != 0;
}

} // namespace

// --- The record set. ---

ComPtr<IDispatch> RecordsetDispatch(std::shared_ptr<fillahead::Recordset> recordset) {
    // A host's own record set goes back as the host's object.
    if (const auto hosts = std::dynamic_pointer_cast<DispatchRecordset>(recordset)) {
        return ComPtr<IDispatch>(hosts->Dispatch());
    }
    return MakeObject<IDispatch, RecordsetObject>(std::move(recordset));
}

std::shared_ptr<fillahead::Recordset> RecordsetOf(IDispatch* object) {
    if (object == nullptr) {
        return nullptr;
    }
    ComPtr<IRecordsetAccess> ours;
    if (SUCCEEDED(object->QueryInterface(__uuidof(IRecordsetAccess),
                                         reinterpret_cast<void**>(ours.GetAddressOf())))) {
        return ours->Recordset();
    }
    return DispatchRecordset::Over(object);
}

RecordsetObject::RecordsetObject(std::shared_ptr<fillahead::Recordset> recordset)
    : recordset_(std::move(recordset)) {}

template <typename Body>
HRESULT RecordsetObject::call(Body&& body) {
    return ComBoundary({IID__FillaheadRecordset, kSource}, std::forward<Body>(body));
}

std::shared_ptr<fillahead::Recordset> RecordsetObject::Recordset() {
    return recordset_;
}

HRESULT RecordsetObject::get_Fields(_FillaheadFields** Fields) {
    return call([&] {
        setOut(Fields,
               [&] { return MakeObject<_FillaheadFields, FieldsObject>(recordset_).Detach(); });
    });
}

HRESULT RecordsetObject::get_State(LONG* State) {
    return call([&] { setOut(State, [&] { return LONG{recordset_->State()}; }); });
}

HRESULT RecordsetObject::get_Filter(VARIANT* Criteria) {
    return call([&] { setOutVariant(Criteria, recordset_->Filter()); });
}

HRESULT RecordsetObject::put_Filter(VARIANT Criteria) {
    return call([&] {
        const fillahead::Variant criteria = VariantOf(Criteria);
        if (criteria.isNumeric()) {
            recordset_->SetFilter(criteria.toLong());
        } else {
            recordset_->SetFilter(criteria.toText());
        }
    });
}

HRESULT RecordsetObject::get_RecordCount(LONG* Count) {
    return call([&] { setOut(Count, [&] { return LONG{recordset_->RecordCount()}; }); });
}

HRESULT RecordsetObject::get_AbsolutePosition(LONG* Position) {
    return call([&] { setOut(Position, [&] { return LONG{recordset_->AbsolutePosition()}; }); });
}

HRESULT RecordsetObject::get_BOF(VARIANT_BOOL* Value) {
    return call([&] { setOut(Value, [&] { return ToVariantBool(recordset_->IsBOF()); }); });
}

HRESULT RecordsetObject::get_EOF(VARIANT_BOOL* Value) {
    return call([&] { setOut(Value, [&] { return ToVariantBool(recordset_->IsEOF()); }); });
}

HRESULT RecordsetObject::Open(VARIANT Source) {
    return call([&] {
        const fillahead::Variant source =
            IsMissing(Source) ? fillahead::Variant() : VariantOf(Source);
        if (source.isEmpty()) {
            recordset_->Open();
        } else {
            recordset_->Open(source.toText());
        }
    });
}

HRESULT RecordsetObject::Close() {
    return call([&] { recordset_->Close(); });
}

HRESULT RecordsetObject::AddNew(VARIANT FieldList, VARIANT Values) {
    return call([&] {
        if (IsMissing(FieldList)) {
            // A row of Nulls, the way the original layer adds one.
            const Text first = recordset_->FieldCount() > 0 ? recordset_->Field(0).name : Text();
            recordset_->AddNew(first, fillahead::Variant::null());
            return;
        }
        if (IsMissing(Values) || isArray(FieldList) || isArray(Values)) {
            throw AutomationError(error::InvalidArgument,
                                  u"AddNew takes one field name and its value.");
        }
        recordset_->AddNew(VariantOf(FieldList).toText(), VariantOf(Values));
    });
}

HRESULT RecordsetObject::Update(VARIANT Fields, VARIANT Values) {
    return call([&] {
        if (!IsMissing(Fields)) {
            if (IsMissing(Values) || isArray(Fields) || isArray(Values)) {
                throw AutomationError(error::InvalidArgument,
                                      u"Update takes one field name and its value.");
            }
            recordset_->SetFieldValue(VariantOf(Fields).toText(), VariantOf(Values));
        }
        recordset_->Update();
    });
}

HRESULT RecordsetObject::Delete(LONG AffectRecords) {
    return call([&] { recordset_->Delete(AffectRecords); });
}

HRESULT RecordsetObject::MoveFirst() {
    return call([&] { recordset_->MoveFirst(); });
}

HRESULT RecordsetObject::MoveNext() {
    return call([&] { recordset_->MoveNext(); });
}

HRESULT RecordsetObject::MoveLast() {
    return call([&] { recordset_->MoveLast(); });
}

HRESULT RecordsetObject::Save(BSTR Destination, LONG PersistFormat) {
    return call([&] { recordset_->Save(Text(TextOf(Destination)), PersistFormat); });
}

HRESULT RecordsetObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__FillaheadRecordset ? S_OK : S_FALSE;
}

// --- Its fields. ---

FieldsObject::FieldsObject(std::shared_ptr<fillahead::Recordset> recordset)
    : recordset_(std::move(recordset)) {}

template <typename Body>
HRESULT FieldsObject::call(Body&& body) {
    return ComBoundary({IID__FillaheadFields, kSource}, std::forward<Body>(body));
}

HRESULT FieldsObject::get_Item(VARIANT Index, _FillaheadField** Field) {
    return call([&] {
        setOut(Field, [&] {
            const fillahead::Variant index = VariantOf(Index);
            std::size_t position = 0;
            if (index.isNumeric()) {
                const std::int32_t number = index.toLong();
                if (number < 0 || static_cast<std::size_t>(number) >= recordset_->FieldCount()) {
                    throw AutomationError(error::ItemNotFound);
                }
                position = static_cast<std::size_t>(number);
            } else {
                const auto found = recordset_->FindField(index.toText());
                if (!found) {
                    throw AutomationError(error::ItemNotFound);
                }
                position = *found;
            }
            return MakeObject<_FillaheadField, FieldObject>(recordset_,
                                                            recordset_->Field(position).name)
                .Detach();
        });
    });
}

HRESULT FieldsObject::get_Count(LONG* Count) {
    return call(
        [&] { setOut(Count, [&] { return static_cast<LONG>(recordset_->FieldCount()); }); });
}

HRESULT FieldsObject::Append(BSTR Name, LONG Type, LONG DefinedSize, LONG Attrib) {
    return call([&] { recordset_->AppendField({Text(TextOf(Name)), Type, DefinedSize, Attrib}); });
}

HRESULT FieldsObject::get__NewEnum(IUnknown** Enumerator) {
    return call([&] {
        setOut(Enumerator, [&] {
            auto items = std::make_shared<ObjectEnumerator::Items>();
            for (std::size_t i = 0; i < recordset_->FieldCount(); ++i) {
                items->push_back(
                    MakeObject<IDispatch, FieldObject>(recordset_, recordset_->Field(i).name));
            }
            return MakeObject<IUnknown, ObjectEnumerator>(
                       std::shared_ptr<const ObjectEnumerator::Items>(std::move(items)))
                .Detach();
        });
    });
}

HRESULT FieldsObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__FillaheadFields ? S_OK : S_FALSE;
}

// --- One field. ---

FieldObject::FieldObject(std::shared_ptr<fillahead::Recordset> recordset, Text name)
    : recordset_(std::move(recordset)), name_(std::move(name)) {}

template <typename Body>
HRESULT FieldObject::call(Body&& body) {
    return ComBoundary({IID__FillaheadField, kSource}, std::forward<Body>(body));
}

FieldDefinition FieldObject::definition() const {
    const auto index = recordset_->FindField(name_);
    if (!index) {
        throw AutomationError(error::ItemNotFound);
    }
    return recordset_->Field(*index);
}

HRESULT FieldObject::get_Value(VARIANT* Value) {
    return call([&] { setOutVariant(Value, recordset_->FieldValue(name_)); });
}

HRESULT FieldObject::put_Value(VARIANT Value) {
    return call([&] { recordset_->SetFieldValue(name_, VariantOf(Value)); });
}

HRESULT FieldObject::get_Name(BSTR* Name) {
    return call([&] { setOut(Name, [&] { return ToBstr(definition().name); }); });
}

HRESULT FieldObject::get_Type(LONG* Type) {
    return call([&] { setOut(Type, [&] { return LONG{definition().type}; }); });
}

HRESULT FieldObject::get_DefinedSize(LONG* DefinedSize) {
    return call([&] { setOut(DefinedSize, [&] { return LONG{definition().definedSize}; }); });
}

HRESULT FieldObject::InterfaceSupportsErrorInfo(REFIID iid) {
    return iid == IID__FillaheadField ? S_OK : S_FALSE;
}

IDispatch* RecordsetHandout::HandOut(const std::shared_ptr<fillahead::Recordset>& current) {
    if (!current) {
        return nullptr;
    }
    if (!object_ || recordset_.lock() != current) {
        object_ = RecordsetDispatch(current);
        recordset_ = current;
    }
    IDispatch* handedOut = nullptr;
    object_.CopyTo(&handedOut);
    return handedOut;
}

void RecordsetHandout::Reset() noexcept {
    object_.Reset();
    recordset_.reset();
}

} // namespace fillahead::library
