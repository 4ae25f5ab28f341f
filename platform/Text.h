// Text: the UTF-16 strings that every layer passes around (a BSTR or a VB
// string on Windows), the conversions at file and OS boundaries, and the one
// case folding used for every comparison that ignores letter case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fillahead {

using Text = std::u16string;
using TextView = std::u16string_view;

inline constexpr char16_t kReplacementCharacter = u'\uFFFD';

// UTF-8 to UTF-16. Never fails: every maximal ill-formed subpart (a stray
// continuation byte, a truncated sequence, an overlong form, an encoded
// surrogate, a value above U+10FFFF) becomes one U+FFFD.
Text fromUtf8(std::string_view utf8);

// UTF-8 to UTF-16 that refuses malformed input. Returns false, and the byte
// offset of the first ill-formed sequence in errorOffset, leaving out in an
// unspecified state.
bool decodeUtf8Strict(std::string_view utf8, Text& out, std::size_t* errorOffset = nullptr);

// UTF-16 to UTF-8. Never fails: a lone surrogate becomes U+FFFD.
std::string toUtf8(TextView text);
// Appends one code point (at most U+10FFFF) as UTF-8.
void appendUtf8(char32_t c, std::string& out);

// Unicode simple case folding (CaseFolding.txt statuses C and S): one code
// point to one code point, so lengths never change.
char32_t foldCase(char32_t c);
Text foldCase(TextView text);

// Appends the simple case folding of text to out as UTF-8; a lone surrogate
// becomes U+FFFD. This is the form the record set searches in.
void appendFoldedUtf8(TextView text, std::string& out);

// True when both texts are equal after simple case folding: the "lower-case
// form" comparison of the whole system.
bool equalsIgnoringCase(TextView a, TextView b);

// Decimal text of an integer ("-12").
Text toText(std::int64_t value);

// ASCII-only helpers for building messages and literals from narrow text.
Text asciiToText(std::string_view ascii);

bool startsWith(TextView text, TextView prefix);
bool endsWith(TextView text, TextView suffix);

} // namespace fillahead
