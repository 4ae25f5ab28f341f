// The record set the engine matches against, and the fields it uses.
#include "engine/Fillahead.h"
#include "platform/AutomationError.h"

namespace fillahead {

void Fillahead::SetRecordset(std::shared_ptr<fillahead::Recordset> recordset) {
    const auto self = keepAlive();
    std::shared_ptr<fillahead::Recordset> incoming = std::move(recordset);
    raise([](FillaheadEvents& sink) { sink.BeforeChangeRecordset(); });
    if (incoming != bufferRecordSet_) {
        // A host's record set: it serves any control without a buffer file.
        heldBufferPath_.clear();
    }
    bufferRecordSet_ = incoming;
    grid().SetDataSource(bufferRecordSet_);
    if (bufferRecordSet_ && bufferRecordSet_->State() != kStateClosed) {
        grid().Columns(0).SetDataField(ListField_);
    }
}

void Fillahead::LetListField(TextView value) {
    const auto self = keepAlive();
    if (value == ListField_) {
        return;
    }
    ListField_ = value;
    propertyChanged(PersistedId::ListField, true);
    SetRecordset(bufferRecordSet_);
}

void Fillahead::LetBoundColumn(TextView value) {
    const auto self = keepAlive();
    if (value == BoundColumn_) {
        return;
    }
    BoundColumn_ = value;
    propertyChanged(PersistedId::BoundColumn, true);
    SetRecordset(bufferRecordSet_);
}

fillahead::Text Fillahead::BoundText() const {
    if (BoundColumn_.empty() || !bufferRecordSet_ || bufferRecordSet_->State() == kStateClosed) {
        return fillahead::Text();
    }
    return bufferRecordSet_->FieldValue(BoundColumn_).toText();
}

void Fillahead::LetBoundText(TextView /*value*/) {
    // The bound text follows the record set's current record; assigning it
    // has no effect, as with the original control.
}

} // namespace fillahead
