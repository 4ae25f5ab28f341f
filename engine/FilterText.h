// The two filter texts the engine builds. A single quote inside the value is
// written doubled, so that a value such as O'Brien can be stored and found
// (inserted as it is, the quote would end the value and the filter would not
// parse).
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

// field = 'value'
inline Text equalityFilter(TextView field, TextView value) {
    return Text(field) + u" = '" + quotedFilterValue(value) + u"'";
}

// field Like '*value*': the rows whose field contains value.
inline Text containmentFilter(TextView field, TextView value) {
    return Text(field) + u" Like '*" + quotedFilterValue(value) + u"*'";
}

} // namespace fillahead
