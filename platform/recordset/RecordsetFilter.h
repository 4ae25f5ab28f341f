// RecordsetFilter: reading the criteria texts of Recordset::SetFilter
//   Name = 'value'   and   Name Like 'pattern'
// into the field and the search pattern they stand for (see Recordset.h for
// the language). A text that does not parse is AutomationError 3001 whose
// description says what is wrong.
#pragma once

#include "platform/Text.h"
#include "platform/recordset/SearchIndex.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace fillahead {

struct FilterCriteria {
    std::size_t field = 0;
    MatchKind kind = MatchKind::Equal;
    Text value;          // the text to match, quotes and wildcards removed
    std::string pattern; // what the field's SearchIndex is searched for
};

// Finds a field by name (ignoring case), or nothing.
using FieldLookup = std::function<std::optional<std::size_t>(TextView name)>;

FilterCriteria parseFilter(TextView criteria, const FieldLookup& findField);

} // namespace fillahead
