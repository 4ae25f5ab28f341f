// SearchIndex: one column of a record set in the form its filters search:
// every value case-folded (the shared simple folding) and in UTF-8, all in one
// buffer, each between two kSeparator bytes; a Null is the single byte kNull.
// Neither byte ever occurs in UTF-8, so a filter is one byte pattern found
// anywhere in the buffer:
//   contains "ab"     ab          starts with "ab"   <sep>ab
//   ends with "ab"    ab<sep>     equals "ab"        <sep>ab<sep>
// and a Null row never matches. For the searches of typing (contains), each
// row also has a 64-bit signature of the kinds of bytes it holds, made on the
// first such search: a one-letter search reads only those, longer ones look
// only at rows whose signature allows the pattern. The whole-buffer
// search tests a pattern's first and last byte 16 positions at a time (SSE2
// where the compiler offers it, a plain loop elsewhere) and compares the
// rest only where both match.
#pragma once

#include "platform/Text.h"
#include "platform/UninitialisedVector.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace fillahead {

// Rows (slots) in ascending order.
using RowList = UninitialisedVector<std::uint32_t>;

class SearchIndex {
public:
    static constexpr char kSeparator = '\xFF';
    static constexpr char kNull = '\xFE';

    SearchIndex();

    // Replaces the content with rows values, valueOf(row) giving each.
    template <typename ValueOf>
    void assign(std::uint32_t rows, std::size_t byteEstimate, ValueOf&& valueOf) {
        startBulk(rows, byteEstimate);
        for (std::uint32_t row = 0; row < rows; ++row) {
            appendUnsealed(valueOf(row));
        }
        seal();
    }
    // Adds the next row.
    void append(std::optional<TextView> value);

    // Building row by row (loading a file): startBulk, the rows, then seal;
    // nothing may be searched in between.
    void startBulk(std::size_t rowEstimate, std::size_t byteEstimate);
    void appendUnsealed(std::optional<TextView> value);
    // A value known to be printable ASCII, in its UTF-8 (that is, ASCII)
    // form; readable (at least its size) is how many bytes from its start may
    // be read, which lets short values go sixteen bytes at a time.
    void appendUnsealedAscii(std::string_view text, std::size_t readable);
    // A value in UTF-8 without control characters, whose UTF-16 form is
    // written to text (room for utf8.size() + ascii::kWriteAhead units) on
    // the way; returns its length, or kNotUtf8 (adding nothing) when it is
    // not well-formed UTF-8 or holds U+FFFE or U+FFFF.
    static constexpr std::size_t kNotUtf8 = static_cast<std::size_t>(-1);
    std::size_t appendUnsealedUtf8(std::string_view utf8, std::size_t readable, char16_t* text);
    // A value from p up to the first byte delimiter, at most kMaxDelimited
    // bytes, in UTF-8 without control characters, '<' or '&', whose UTF-16
    // form is written to text (room for kMaxDelimited + 32 units) on the way;
    // returns the delimiter's position, with the value's length in length.
    // Anything else first (end included) is nullptr, adding nothing: the
    // caller reads such a value its own way.
    static constexpr std::size_t kMaxDelimited = 256;
    const char* appendUnsealedDelimited(const char* p, const char* end, char delimiter,
                                        char16_t* text, std::size_t& length);
    // Takes back the last row added while building.
    void dropLastUnsealed();
    void seal();
    std::uint32_t rowCount() const noexcept {
        return static_cast<std::uint32_t>(starts_.size() - 1);
    }

    // The rows whose delimited form contains pattern, in ascending order. An
    // empty pattern matches every row that is not Null.
    void findAll(std::string_view pattern, RowList& out) const;
    // The same among the given rows (ascending) only.
    void findAmong(std::string_view pattern, const RowList& rows, RowList& out) const;

private:
    void endRow();
    // Drops the room appendUnsealedDelimited keeps past the end.
    void settle();
    const std::vector<std::uint64_t>& signatures() const;
    void scanAll(std::string_view pattern, RowList& out) const;
    bool isNull(std::uint32_t row) const noexcept;
    // The row holding the byte at offset, looking forward from row hint.
    std::uint32_t rowAt(std::size_t offset, std::uint32_t hint) const noexcept;

    // Reads run up to 64 bytes past the last separator, into kNull padding
    // that no pattern byte equals.
    static constexpr std::size_t kPadding = 64;

    UninitialisedVector<char> bytes_;   // <sep> row0 <sep> row1 <sep> ... <sep> padding
    std::vector<std::uint32_t> starts_; // offset of the separator before each row, then the last
    std::size_t slack_ = 0;             // bytes_ past the content while building
    mutable std::vector<std::uint64_t> signatures_; // per row, see SearchIndex.cpp
};

// The pattern a filter searches for (see above), appended to out.
enum class MatchKind { Equal, Contains, StartsWith, EndsWith };
void appendSearchPattern(MatchKind kind, TextView value, std::string& out);

} // namespace fillahead
