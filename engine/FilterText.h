// The two filter texts the engine builds. The field name stands in brackets,
// so that a host's field such as "Customer Name" can be filtered on; a single
// quote inside the value is written doubled, so that a value such as O'Brien
// can be stored and found (inserted as it is, the quote would end the value
// and the filter would not parse).
#pragma once

#include "platform/Text.h"

namespace fillahead {

inline Text quotedFilterValue(TextView value) {
    Text quoted;
    quoted.reserve(value.size() + 2);
    for (const char16_t c : value) {
        quoted.push_back(c);
        if (c == u'\'') {
            quoted.push_back(u'\'');
        }
    }
    return quoted;
}

inline Text bracketedFieldName(TextView field) {
    return u"[" + Text(field) + u"]";
}

// [field] = 'value'
inline Text equalityFilter(TextView field, TextView value) {
    return bracketedFieldName(field) + u" = '" + quotedFilterValue(value) + u"'";
}

// [field] Like '*value*': the rows whose field contains value.
inline Text containmentFilter(TextView field, TextView value) {
    return bracketedFieldName(field) + u" Like '*" + quotedFilterValue(value) + u"*'";
}

} // namespace fillahead
