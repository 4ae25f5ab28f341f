// The record set the engine matches against, and the fields it uses.
#include "engine/Fillahead.h"
#include "platform/AutomationError.h"

namespace fillahead {

void Fillahead::SetRecordset(std::shared_ptr<fillahead::Recordset> recordset) {
    std::shared_ptr<fillahead::Recordset> incoming = std::move(recordset);
    raise([](FillaheadEvents& sink) { sink.BeforeChangeRecordset(); });
    bufferRecordSet_ = incoming;
    grid().SetDataSource(bufferRecordSet_);
    if (bufferRecordSet_ && bufferRecordSet_->State() != kStateClosed) {
        grid().Columns(0).SetDataField(ListField_);
    }
}

void Fillahead::LetListField(TextView value) {
    if (value == ListField_) {
        return;
    }
    ListField_ = value;
    propertyChanged(u"ListField");
    SetRecordset(bufferRecordSet_);
}

void Fillahead::LetBoundColumn(TextView value) {
    if (value == BoundColumn_) {
        return;
    }
    BoundColumn_ = value;
    propertyChanged(u"BoundColumn");
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
