#include "platform/recordset/SearchIndex.h"

#include "platform/AutomationError.h"
#include "platform/recordset/AsciiRuns.h"
#include "platform/recordset/Simd.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace fillahead {
namespace {

// The pattern and the two of its bytes tested before a full comparison: its
// first and last bytes that are not separators, since separators occur once
// per row and would let nearly every position through.
struct Needle {
    std::string_view pattern;
    std::size_t first = 0;
    std::size_t last = 0;
    bool probeIsWholePattern = false;
#ifdef FILLAHEAD_SSE2
    __m128i firstByte;
    __m128i lastByte;
    // A pattern of up to 16 bytes is compared in one step (the index's
    // padding makes the 16 bytes at any candidate readable).
    __m128i head;
    unsigned headMask = 0;
#endif

    explicit Needle(std::string_view text) : pattern(text) {
        const std::size_t size = text.size();
        last = size - 1;
        while (first < last && text[first] == SearchIndex::kSeparator) {
            ++first;
        }
        while (last > first && text[last] == SearchIndex::kSeparator) {
            --last;
        }
        probeIsWholePattern = size == 1 || (size == 2 && first != last);
#ifdef FILLAHEAD_SSE2
        firstByte = _mm_set1_epi8(text[first]);
        lastByte = _mm_set1_epi8(text[last]);
        if (size <= 16) {
            char bytes[16] = {};
            std::memcpy(bytes, text.data(), size);
            head = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
            headMask = size == 16 ? 0xFFFF : (1u << size) - 1;
        }
#endif
    }

    bool matchesAt(const char* at) const noexcept {
        if (probeIsWholePattern) {
            return true;
        }
#ifdef FILLAHEAD_SSE2
        if (headMask != 0) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
            const auto equal =
                static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, head)));
            return (equal & headMask) == headMask;
        }
#endif
        return std::memcmp(at, pattern.data(), pattern.size()) == 0;
    }
};

#ifdef FILLAHEAD_SSE2
std::uint32_t equalMask16(const char* p, __m128i byte) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, byte)));
}

// Candidate starts among the 64 positions from p: both probe bytes match.
// Most blocks have none, which one test tells.
std::uint64_t candidates64(const char* p, const Needle& needle) {
    __m128i both[4];
    for (int k = 0; k < 4; ++k) {
        const char* at = p + 16 * k;
        both[k] = _mm_and_si128(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + needle.first)),
                           needle.firstByte),
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at + needle.last)),
                           needle.lastByte));
    }
    const __m128i any =
        _mm_or_si128(_mm_or_si128(both[0], both[1]), _mm_or_si128(both[2], both[3]));
    if (_mm_movemask_epi8(any) == 0) {
        return 0;
    }
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        mask |= std::uint64_t{static_cast<std::uint32_t>(_mm_movemask_epi8(both[k]))} << (16 * k);
    }
    return mask;
}
#endif

// True when [begin, end) holds the pattern; reads may run 16 bytes past end.
bool containsPattern(const char* begin, const char* end, const Needle& needle) {
    const std::size_t size = needle.pattern.size();
    if (static_cast<std::size_t>(end - begin) < size) {
        return false;
    }
    const char* lastStart = end - size;
#ifdef FILLAHEAD_SSE2
    for (const char* at = begin; at <= lastStart; at += 16) {
        std::uint32_t mask = equalMask16(at + needle.first, needle.firstByte) &
                             equalMask16(at + needle.last, needle.lastByte);
        const std::size_t span = static_cast<std::size_t>(lastStart - at) + 1;
        if (span < 16) {
            mask &= (1u << span) - 1;
        }
        while (mask != 0) {
            if (needle.matchesAt(at + std::countr_zero(mask))) {
                return true;
            }
            mask &= mask - 1;
        }
    }
    return false;
#else
    (void)lastStart;
    return std::string_view(begin, static_cast<std::size_t>(end - begin)).find(needle.pattern) !=
           std::string_view::npos;
#endif
}

// A row's signature: which kinds of bytes its value holds, one bit each.
// Letters, digits and the usual punctuation of names, addresses and e-mail
// addresses have a bit to themselves; other bytes share the rest (UTF-8
// continuation bytes by their low four bits). A row can hold a pattern only
// if its signature has every bit of the pattern's.
constexpr std::uint8_t kNoBit = 0xFF;
constexpr std::uint8_t kFirstSharedBit = 46;

constexpr std::array<std::uint8_t, 256> makeSignatureBits() {
    std::array<std::uint8_t, 256> bits{};
    constexpr std::string_view punctuation = " .@-,_'/+";
    for (int c = 0; c < 256; ++c) {
        std::uint8_t bit = 0;
        if (c >= 'a' && c <= 'z') {
            bit = static_cast<std::uint8_t>(c - 'a');
        } else if (c >= '0' && c <= '9') {
            bit = static_cast<std::uint8_t>(26 + c - '0');
        } else if (punctuation.find(static_cast<char>(c)) != std::string_view::npos) {
            bit = static_cast<std::uint8_t>(36 + punctuation.find(static_cast<char>(c)));
        } else if (c == 0xFE || c == 0xFF) {
            bit = kNoBit; // Null and separators are no content
        } else if (c < 0x80) {
            bit = kFirstSharedBit; // the rest of ASCII
        } else if (c < 0xC0) {
            bit = static_cast<std::uint8_t>(kFirstSharedBit + 1 + (c & 0x0F));
        } else {
            bit = 63; // lead bytes
        }
        bits[static_cast<std::size_t>(c)] = bit;
    }
    return bits;
}
constexpr std::array<std::uint8_t, 256> kSignatureBit = makeSignatureBits();

constexpr std::array<std::uint64_t, 256> makeSignatureMasks() {
    std::array<std::uint64_t, 256> masks{};
    for (std::size_t c = 0; c < 256; ++c) {
        masks[c] = kSignatureBit[c] == kNoBit ? 0 : std::uint64_t{1} << kSignatureBit[c];
    }
    return masks;
}
constexpr std::array<std::uint64_t, 256> kSignatureMask = makeSignatureMasks();

std::uint64_t signatureOf(const char* begin, const char* end) {
    // Four independent chains: one would wait on itself at every byte.
    const auto* p = reinterpret_cast<const unsigned char*>(begin);
    const auto* last = reinterpret_cast<const unsigned char*>(end);
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    std::uint64_t c = 0;
    std::uint64_t d = 0;
    for (; last - p >= 4; p += 4) {
        a |= kSignatureMask[p[0]];
        b |= kSignatureMask[p[1]];
        c |= kSignatureMask[p[2]];
        d |= kSignatureMask[p[3]];
    }
    for (; p < last; ++p) {
        a |= kSignatureMask[*p];
    }
    return a | b | c | d;
}

// True when a row holds the byte if and only if its signature has its bit.
bool hasOwnBit(char byte) {
    return kSignatureBit[static_cast<unsigned char>(byte)] < kFirstSharedBit;
}

// The shared folding of U+0000 to U+07FF (Latin, Greek, Cyrillic, Hebrew,
// Arabic...), looked up instead of searched for.
class SmallFolding {
public:
    SmallFolding() {
        for (char32_t c = 0; c < kSize; ++c) {
            folded_[c] = static_cast<char16_t>(foldCase(c));
        }
    }
    char32_t operator()(char32_t c) const { return c < kSize ? folded_[c] : foldCase(c); }

private:
    static constexpr char32_t kSize = 0x800;
    std::array<char16_t, kSize> folded_{};
};

const SmallFolding& foldSmall() {
    static const SmallFolding folding;
    return folding;
}

char* appendUtf8(char32_t c, char* to) {
    if (c < 0x80) {
        *to++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *to++ = static_cast<char>(0xC0 | (c >> 6));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *to++ = static_cast<char>(0xE0 | (c >> 12));
        *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *to++ = static_cast<char>(0xF0 | (c >> 18));
        *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return to;
}

// One sequence of UTF-8 from p on, whose lead byte is not ASCII, to text
// (UTF-16) and to (folded, UTF-8), checked on the way: the well-formed
// sequences of Unicode's table 3-7 other than U+FFFE and U+FFFF. False,
// having moved nothing, for anything else.
bool decodeAndFold(const char*& p, const char* end, char16_t*& text, char*& to,
                   const SmallFolding& fold) {
    const auto lead = static_cast<unsigned char>(p[0]);
    const auto at = [&](std::ptrdiff_t k) { return static_cast<unsigned char>(p[k]); };
    const auto trailing = [&](std::ptrdiff_t k) { return (at(k) & 0xC0) == 0x80; };
    const std::ptrdiff_t left = end - p;
    char32_t c = 0;
    std::ptrdiff_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF && left >= 2 && trailing(1)) {
        c = ((lead & 0x1Fu) << 6) | (at(1) & 0x3Fu);
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF && left >= 3 && trailing(1) && trailing(2) &&
               (lead != 0xE0 || at(1) >= 0xA0) && (lead != 0xED || at(1) <= 0x9F)) {
        c = ((lead & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu);
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4 && left >= 4 && trailing(1) && trailing(2) &&
               trailing(3) && (lead != 0xF0 || at(1) >= 0x90) && (lead != 0xF4 || at(1) <= 0x8F)) {
        c = ((lead & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) |
            (at(3) & 0x3Fu);
        length = 4;
    }
    if (length == 0 || c == 0xFFFE || c == 0xFFFF) {
        return false;
    }
    p += length;
    if (c < 0x10000) {
        *text++ = static_cast<char16_t>(c);
    } else {
        *text++ = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        *text++ = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    to = appendUtf8(fold(c), to);
    return true;
}

} // namespace

SearchIndex::SearchIndex() {
    startBulk(0, 0);
    seal();
}

void SearchIndex::startBulk(std::size_t rowEstimate, std::size_t byteEstimate) {
    bytes_.clear();
    slack_ = 0;
    bytes_.reserve(byteEstimate + rowEstimate + kPadding + 1);
    bytes_.push_back(kSeparator);
    starts_.clear();
    starts_.reserve(rowEstimate + 1);
    starts_.push_back(0);
    signatures_.clear();
}

void SearchIndex::settle() {
    bytes_.resize(bytes_.size() - slack_);
    slack_ = 0;
}

void SearchIndex::seal() {
    settle();
    bytes_.insert(bytes_.end(), kPadding, kNull);
}

[[noreturn, gnu::noinline]] static void failFull() {
    throw AutomationError(error::OutOfMemory);
}

inline void SearchIndex::endRow() {
    if (bytes_.size() >= std::numeric_limits<std::uint32_t>::max()) [[unlikely]] {
        failFull();
    }
    starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    bytes_.push_back(kSeparator);
}

void SearchIndex::appendUnsealed(std::optional<TextView> value) {
    settle();
    if (!value) {
        bytes_.push_back(kNull);
        endRow();
        return;
    }
    // The shared folding, code point by code point, written in place: a
    // UTF-16 unit never takes more than three bytes of UTF-8 (a pair four).
    // A lone surrogate becomes U+FFFD, as appendFoldedUtf8 has it.
    const TextView text = *value;
    const SmallFolding& fold = foldSmall();
    const std::size_t used = bytes_.size();
    bytes_.resize(used + text.size() * 3);
    char* to = bytes_.data() + used;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *to++ = static_cast<char>(c + (c - U'A' < 26 ? 32 : 0));
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < size && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacementCharacter;
        }
        to = appendUtf8(fold(c), to);
    }
    bytes_.resize(static_cast<std::size_t>(to - bytes_.data()));
    endRow();
}

void SearchIndex::appendUnsealedAscii(std::string_view text, std::size_t readable) {
    settle();
    const std::size_t used = bytes_.size();
    bytes_.resize(used + text.size() + ascii::kWriteAhead);
    ascii::lowerAhead(text.data(), text.size(), readable, bytes_.data() + used);
    bytes_.resize(used + text.size());
    endRow();
}

std::size_t SearchIndex::appendUnsealedUtf8(std::string_view utf8, std::size_t readable,
                                            char16_t* text) {
    settle();
    // Folding keeps a code point's UTF-8 length except for a few letters
    // (U+023A and the like go from two bytes to three): room for the worst.
    const SmallFolding& fold = foldSmall();
    const std::size_t used = bytes_.size();
    bytes_.resize(used + utf8.size() * 3 / 2 + 1 + ascii::kWriteAhead);
    char* to = bytes_.data() + used;
    char16_t* const textStart = text;
    const char* p = utf8.data();
    const char* end = p + utf8.size();
#ifdef FILLAHEAD_SSE2
    const char* readableEnd = p + readable;
#else
    (void)readable;
#endif
    while (p < end) {
#ifdef FILLAHEAD_SSE2
        // The ASCII between other letters sixteen bytes at a time, written
        // ahead into the room past the value.
        if (readableEnd - p >= 16) {
            const auto high = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
            const auto run =
                std::min(static_cast<std::ptrdiff_t>(std::countr_zero(high | 0x10000)), end - p);
            if (run != 0) {
                ascii::widen16(p, text);
                ascii::lower16(p, to);
                p += run;
                text += run;
                to += run;
                continue;
            }
        }
#endif
        const auto lead = static_cast<unsigned char>(*p);
        if (lead < 0x80) {
            ++p;
            *text++ = lead;
            *to++ = static_cast<char>(lead + (static_cast<unsigned>(lead - 'A') < 26 ? 32 : 0));
            continue;
        }
        if (!decodeAndFold(p, end, text, to, fold)) {
            bytes_.resize(used);
            return kNotUtf8;
        }
    }
    bytes_.resize(static_cast<std::size_t>(to - bytes_.data()));
    endRow();
    return static_cast<std::size_t>(text - textStart);
}

const char* SearchIndex::appendUnsealedDelimited(const char* p, const char* end, char delimiter,
                                                 char16_t* text, std::size_t& length) {
    // Folding keeps a code point's UTF-8 length except for a few letters
    // (U+023A and the like go from two bytes to three): room for the worst
    // and the separator, kept past the end for many values at a time.
    constexpr std::size_t kRoom = kMaxDelimited * 3 / 2 + 17 + ascii::kWriteAhead;
    if (slack_ < kRoom) {
        bytes_.resize(bytes_.size() + kRoom * 32);
        slack_ += kRoom * 32;
    }
    const SmallFolding& fold = foldSmall();
    char* const start = bytes_.data() + bytes_.size() - slack_;
    char* to = start;
    char16_t* const textStart = text;
    const char* const limit =
        end - p > static_cast<std::ptrdiff_t>(kMaxDelimited) ? p + kMaxDelimited : end;
    // Bytes below 0x20 or from 0x80 up (signed, below ' '), the delimiter,
    // '<' and '&' end a run of plain ASCII.
    const auto plain = [delimiter](unsigned char c) {
        return c >= 0x20 && c < 0x80 && c != static_cast<unsigned char>(delimiter) && c != '<' &&
               c != '&';
    };
#ifdef FILLAHEAD_SSE2
    const __m128i quote = _mm_set1_epi8(delimiter);
    const __m128i less = _mm_set1_epi8('<');
    const __m128i ampersand = _mm_set1_epi8('&');
    const __m128i space = _mm_set1_epi8(' ');
#endif
    for (;;) {
#ifdef FILLAHEAD_SSE2
        // Sixteen bytes at a time, written ahead as text and folded before
        // it is known where the run ends.
        while (p < limit && end - p >= 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
            const auto stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(block, quote), _mm_cmplt_epi8(block, space)),
                _mm_or_si128(_mm_cmpeq_epi8(block, less), _mm_cmpeq_epi8(block, ampersand)))));
            ascii::widen16(p, text);
            ascii::lower16(p, to);
            if (stops == 0) {
                p += 16;
                text += 16;
                to += 16;
                continue;
            }
            const auto run = static_cast<std::size_t>(std::countr_zero(stops));
            p += run;
            text += run;
            to += run;
            break;
        }
#endif
        if (p >= limit) {
            break; // too long for this path, or the document ends
        }
        // The likeliest first: the end of the value, a letter of two bytes
        // (Latin, Greek, Cyrillic...).
        const auto c = static_cast<unsigned char>(*p);
        if (c == static_cast<unsigned char>(delimiter)) {
            const auto separator = static_cast<std::size_t>(to - bytes_.data());
            if (separator >= std::numeric_limits<std::uint32_t>::max()) [[unlikely]] {
                failFull();
            }
            starts_.push_back(static_cast<std::uint32_t>(separator));
            *to++ = kSeparator;
            slack_ -= static_cast<std::size_t>(to - start);
            length = static_cast<std::size_t>(text - textStart);
            return p;
        }
        if (c >= 0xC2 && c <= 0xDF && end - p >= 2 && (p[1] & 0xC0) == 0x80) {
            // Greek, Cyrillic and the like come several in a row.
            do {
                const char32_t letter = ((static_cast<unsigned char>(p[0]) & 0x1Fu) << 6) |
                                        (static_cast<unsigned char>(p[1]) & 0x3Fu);
                p += 2;
                *text++ = static_cast<char16_t>(letter);
                to = appendUtf8(fold(letter), to);
            } while (p < limit && end - p >= 2 && static_cast<unsigned char>(p[0]) >= 0xC2 &&
                     static_cast<unsigned char>(p[0]) <= 0xDF && (p[1] & 0xC0) == 0x80);
            continue;
        }
        if (plain(c)) {
            ++p;
            *text++ = c;
            *to++ = static_cast<char>(c + (static_cast<unsigned>(c - 'A') < 26 ? 32 : 0));
            continue;
        }
        if (c < 0x80 || !decodeAndFold(p, end, text, to, fold)) {
            break;
        }
    }
    return nullptr;
}

void SearchIndex::dropLastUnsealed() {
    settle();
    starts_.pop_back();
    bytes_.resize(std::size_t{starts_.back()} + 1);
}

void SearchIndex::append(std::optional<TextView> value) {
    bytes_.resize(std::size_t{starts_.back()} + 1);
    appendUnsealed(value);
    seal();
}

bool SearchIndex::isNull(std::uint32_t row) const noexcept {
    return starts_[row + 1] == starts_[row] + 2 && bytes_[starts_[row] + 1] == kNull;
}

std::uint32_t SearchIndex::rowAt(std::size_t offset, std::uint32_t hint) const noexcept {
    // Matches come in ascending order, often a row or two apart: a few steps
    // forward first, then galloping and a search within the last step.
    const std::uint32_t rows = rowCount();
    for (int step = 0; step < 4; ++step) {
        if (starts_[hint + 1] > offset) {
            return hint;
        }
        ++hint;
    }
    std::uint32_t low = hint;
    std::uint32_t step = 1;
    std::uint32_t high = low + 1;
    while (high < rows && starts_[high] <= offset) {
        low = high;
        step *= 2;
        high = rows - low > step ? low + step : rows;
    }
    const auto first = starts_.begin() + low + 1;
    const auto it = std::upper_bound(first, starts_.begin() + high, offset);
    return static_cast<std::uint32_t>(it - starts_.begin()) - 1;
}

const std::vector<std::uint64_t>& SearchIndex::signatures() const {
    // Built on the first search, and for rows added since on the next one.
    const std::uint32_t rows = rowCount();
    // Room for all at once on the first search; rows added later grow it as
    // any vector grows, not by one row per commit (a copy of them all).
    if (signatures_.empty()) {
        signatures_.reserve(rows);
    }
    for (std::uint32_t row = static_cast<std::uint32_t>(signatures_.size()); row < rows; ++row) {
        signatures_.push_back(
            signatureOf(bytes_.data() + starts_[row] + 1, bytes_.data() + starts_[row + 1]));
    }
    return signatures_;
}

void SearchIndex::scanAll(std::string_view pattern, RowList& out) const {
    const Needle needle(pattern);
    const char* data = bytes_.data();
    const std::size_t end = std::size_t{starts_.back()} + 1;
    std::size_t next = 0;
    std::uint32_t hint = 0;
#ifdef FILLAHEAD_SSE2
    // 64 candidate starts per step; after a match the rest of its row is
    // skipped, so each row is reported once.
    while (next < end && next + needle.last + 64 <= bytes_.size()) {
        const std::size_t base = next;
        next = base + 64;
        std::uint64_t candidates = candidates64(data + base, needle);
        while (candidates != 0) {
            const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(candidates));
            if (at + pattern.size() > end || !needle.matchesAt(data + at)) {
                candidates &= candidates - 1;
                continue;
            }
            const std::uint32_t row = rowAt(at, hint);
            out.push_back(row);
            hint = row + 1;
            const std::size_t rowEnd = starts_[row + 1];
            if (rowEnd >= base + 64) {
                next = rowEnd;
                break;
            }
            candidates &= ~std::uint64_t{0} << (rowEnd - base);
        }
    }
#endif
    const std::string_view all(data, end);
    while (next < end) {
        const std::size_t at = all.find(pattern, next);
        if (at == std::string_view::npos) {
            break;
        }
        const std::uint32_t row = rowAt(at, hint);
        out.push_back(row);
        hint = row + 1;
        next = starts_[row + 1];
    }
}

void SearchIndex::findAll(std::string_view pattern, RowList& out) const {
    out.clear();
    const std::uint32_t rows = rowCount();
    if (pattern.empty()) {
        for (std::uint32_t row = 0; row < rows; ++row) {
            if (!isNull(row)) {
                out.push_back(row);
            }
        }
        return;
    }
    // A pattern anchored at a separator (equality, start, end) has few
    // candidates in the buffer; signatures serve the searches of typing.
    if (pattern.find(kSeparator) != std::string_view::npos) {
        scanAll(pattern, out);
        return;
    }
    // Rows whose signature has every bit of the pattern's, without a branch
    // per row: each row is written, and kept by counting it.
    const std::vector<std::uint64_t>& signature = signatures();
    const std::uint64_t wanted = signatureOf(pattern.data(), pattern.data() + pattern.size());
    out.resize(rows);
    std::uint32_t* kept = out.data();
    const std::uint64_t* signatureOfRow = signature.data();
    if (pattern.size() == 1 && hasOwnBit(pattern[0])) {
        // One byte with a bit of its own: the signature says it exactly.
        const unsigned bit = static_cast<unsigned>(std::countr_zero(wanted));
        for (std::uint32_t row = 0; row < rows; ++row) {
            *kept = row;
            kept += (signatureOfRow[row] >> bit) & 1;
        }
        out.resize(static_cast<std::size_t>(kept - out.data()));
        return;
    }
    for (std::uint32_t row = 0; row < rows; ++row) {
        *kept = row;
        kept += (signatureOfRow[row] & wanted) == wanted ? 1 : 0;
    }
    out.resize(static_cast<std::size_t>(kept - out.data()));
    // A few candidates are checked one by one; where there are many, one
    // pass over the whole buffer costs less.
    if (out.size() * 5 > rows) {
        out.clear();
        scanAll(pattern, out);
        return;
    }
    const Needle needle(pattern);
    const char* data = bytes_.data();
    std::erase_if(out, [&](std::uint32_t row) {
        return !containsPattern(data + starts_[row], data + starts_[row + 1] + 1, needle);
    });
}

void SearchIndex::findAmong(std::string_view pattern, const RowList& rows, RowList& out) const {
    out.clear();
    if (pattern.empty()) {
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(out),
                     [this](std::uint32_t row) { return !isNull(row); });
        return;
    }
    const Needle needle(pattern);
    const char* data = bytes_.data();
    if (pattern.find(kSeparator) != std::string_view::npos) {
        for (const std::uint32_t row : rows) {
            // Both separators belong to the row's delimited form.
            if (containsPattern(data + starts_[row], data + starts_[row + 1] + 1, needle)) {
                out.push_back(row);
            }
        }
        return;
    }
    // As findAll: the signatures first, without a branch per row, then the
    // pattern in the rows they let through.
    const std::uint64_t* signature = signatures().data();
    const std::uint64_t wanted = signatureOf(pattern.data(), pattern.data() + pattern.size());
    out.resize(rows.size());
    std::uint32_t* kept = out.data();
    for (const std::uint32_t row : rows) {
        *kept = row;
        kept += (signature[row] & wanted) == wanted ? 1 : 0;
    }
    out.resize(static_cast<std::size_t>(kept - out.data()));
    if (pattern.size() == 1 && hasOwnBit(pattern[0])) {
        return;
    }
    std::erase_if(out, [&](std::uint32_t row) {
        return !containsPattern(data + starts_[row], data + starts_[row + 1] + 1, needle);
    });
}

void appendSearchPattern(MatchKind kind, TextView value, std::string& out) {
    if (kind == MatchKind::Equal || kind == MatchKind::StartsWith) {
        out.push_back(SearchIndex::kSeparator);
    }
    appendFoldedUtf8(value, out);
    if (kind == MatchKind::Equal || kind == MatchKind::EndsWith) {
        out.push_back(SearchIndex::kSeparator);
    }
}

} // namespace fillahead
