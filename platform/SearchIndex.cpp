#include "platform/SearchIndex.h"

#include "platform/AutomationError.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
#ifdef __SSE2__
    __m128i firstByte;
    __m128i lastByte;
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
#ifdef __SSE2__
        firstByte = _mm_set1_epi8(text[first]);
        lastByte = _mm_set1_epi8(text[last]);
#endif
    }

    bool matchesAt(const char* at) const noexcept {
        return probeIsWholePattern || std::memcmp(at, pattern.data(), pattern.size()) == 0;
    }
};

#ifdef __SSE2__
std::uint32_t equalMask16(const char* p, __m128i byte) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, byte)));
}

std::uint64_t equalMask64(const char* p, __m128i byte) {
    return std::uint64_t{equalMask16(p, byte)} | std::uint64_t{equalMask16(p + 16, byte)} << 16 |
           std::uint64_t{equalMask16(p + 32, byte)} << 32 |
           std::uint64_t{equalMask16(p + 48, byte)} << 48;
}

// Candidate starts among the 64 positions from p: both probe bytes match.
std::uint64_t candidates64(const char* p, const Needle& needle) {
    return equalMask64(p + needle.first, needle.firstByte) &
           equalMask64(p + needle.last, needle.lastByte);
}
#endif

// True when [begin, end) holds the pattern; reads may run 16 bytes past end.
bool containsPattern(const char* begin, const char* end, const Needle& needle) {
    const std::size_t size = needle.pattern.size();
    if (static_cast<std::size_t>(end - begin) < size) {
        return false;
    }
    const char* lastStart = end - size;
#ifdef __SSE2__
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

} // namespace

SearchIndex::SearchIndex() {
    clear();
    pad();
}

void SearchIndex::clear() {
    bytes_.assign(1, kSeparator);
    starts_.assign(1, 0);
}

void SearchIndex::pad() {
    bytes_.append(kPadding, kNull);
}

void SearchIndex::appendUnpadded(std::optional<TextView> value) {
    if (value) {
        appendFoldedUtf8(*value, bytes_);
    } else {
        bytes_.push_back(kNull);
    }
    if (bytes_.size() >= std::numeric_limits<std::uint32_t>::max()) {
        throw AutomationError(error::OutOfMemory);
    }
    starts_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    bytes_.push_back(kSeparator);
}

void SearchIndex::append(std::optional<TextView> value) {
    bytes_.resize(std::size_t{starts_.back()} + 1);
    appendUnpadded(value);
    pad();
}

bool SearchIndex::isNull(std::uint32_t row) const noexcept {
    return starts_[row + 1] == starts_[row] + 2 && bytes_[starts_[row] + 1] == kNull;
}

std::uint32_t SearchIndex::rowAt(std::size_t offset, std::uint32_t hint) const noexcept {
    // Matches come in ascending order, usually a few rows apart: gallop from
    // the previous one, then search the last step's range.
    const std::uint32_t rows = rowCount();
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

void SearchIndex::findAll(std::string_view pattern, std::vector<std::uint32_t>& out) const {
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
    const Needle needle(pattern);
    const char* data = bytes_.data();
    const std::size_t end = std::size_t{starts_.back()} + 1;
    std::size_t next = 0;
    std::uint32_t hint = 0;
#ifdef __SSE2__
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

void SearchIndex::findAmong(std::string_view pattern, const std::vector<std::uint32_t>& rows,
                            std::vector<std::uint32_t>& out) const {
    out.clear();
    if (pattern.empty()) {
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(out),
                     [this](std::uint32_t row) { return !isNull(row); });
        return;
    }
    const Needle needle(pattern);
    const char* data = bytes_.data();
    for (const std::uint32_t row : rows) {
        // Both separators belong to the row's delimited form.
        if (containsPattern(data + starts_[row], data + starts_[row + 1] + 1, needle)) {
            out.push_back(row);
        }
    }
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
