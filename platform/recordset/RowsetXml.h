// RowsetXml: the buffer file's layout (the rowset XML persistence of the
// original data layer), read and written by hand.
//
// The reader takes what that layer and older versions of it wrote: both
// schema variants, rows plain, in rs:insert or as the new side of rs:update
// (rs:delete rows are skipped), aliased field names, any prefixes (namespaces
// are matched by URI), a byte-order mark, a declaration, comments and
// attributes it does not know. It is no general XML parser: document type
// declarations are refused, elements may nest 64 deep, and anything damaged
// (not UTF-8, not well-formed, truncated, another kind of XML) is an error
// rather than a partial load. It never reads outside the document.
//
// The writer writes one exact form: tabs, CR LF, single quotes, the rows in
// one rs:insert block, and every character the text holds; those XML cannot
// carry (control characters, lone surrogates, U+FFFE, U+FFFF) as character
// references that this reader reads back.
#pragma once

#include "platform/Text.h"
#include "platform/recordset/RecordTable.h"

#include <string>
#include <string_view>

namespace fillahead::rowsetxml {

// Reads document into table, which must have no fields yet, and builds its
// search indexes. Failure is AutomationError 3003 naming source, the line
// and the problem; table is then unspecified.
void read(std::string_view document, RecordTable& table, TextView source);

// Where write put one row's element: bytes [begin, end) of its output.
struct RowSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// Appends the document for every row of table that is not deleted. When
// firstRow is given, it receives the span of the first row written (empty
// when there is none); the rest of the document does not depend on it, so
// erasing that span leaves the document of the table without that row,
// provided another row remains.
void write(const RecordTable& table, std::string& out, RowSpan* firstRow = nullptr);

} // namespace fillahead::rowsetxml
