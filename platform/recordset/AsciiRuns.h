// Runs of ASCII, sixteen bytes at a time where SSE2 is there: most history
// values are ASCII, and loading a buffer copies each of them twice (to the
// UTF-16 text and, lower-cased, to the search index), saving once more.
#pragma once

#include "platform/recordset/Simd.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

namespace fillahead::ascii {

// The length of the run of ASCII bytes at the start of [p, p + size).
inline std::size_t runLength(const char* p, std::size_t size) {
    std::size_t i = 0;
#ifdef FILLAHEAD_SSE2
    for (; i + 16 <= size; i += 16) {
        const auto high = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))));
        if (high != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(high));
        }
    }
#endif
    while (i < size && static_cast<unsigned char>(p[i]) < 0x80) {
        ++i;
    }
    return i;
}

#ifdef FILLAHEAD_SSE2
inline void widen16(const char* from, char16_t* to) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i zero = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 8), _mm_unpackhi_epi8(bytes, zero));
}

inline void lower16(const char* from, char* to) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                     _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20))));
}
#endif

// ASCII to UTF-16, one unit per byte. from and to must not overlap.
inline void widen(const char* from, std::size_t size, char16_t* to) {
    std::size_t i = 0;
#ifdef FILLAHEAD_SSE2
    if (size >= 16) {
        for (; i + 16 <= size; i += 16) {
            widen16(from + i, to + i);
        }
        // The last sixteen again, overlapping what is done: no byte loop.
        widen16(from + size - 16, to + size - 16);
        return;
    }
#endif
    for (; i < size; ++i) {
        to[i] = static_cast<unsigned char>(from[i]);
    }
}

// ASCII with A-Z lowered (the whole of case folding for ASCII). from and to
// must not overlap.
inline void lower(const char* from, std::size_t size, char* to) {
    std::size_t i = 0;
#ifdef FILLAHEAD_SSE2
    if (size >= 16) {
        for (; i + 16 <= size; i += 16) {
            lower16(from + i, to + i);
        }
        lower16(from + size - 16, to + size - 16);
        return;
    }
#endif
    for (; i < size; ++i) {
        const char c = from[i];
        to[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    }
}

// Room a target needs past a run for the two below.
constexpr std::size_t kWriteAhead = 16;

// widen and lower for a run that may be read from up to readable bytes
// (at least size) into a target with kWriteAhead units of room past it:
// a short run goes sixteen bytes at once too.
inline void widenAhead(const char* from, std::size_t size, std::size_t readable, char16_t* to) {
#ifdef FILLAHEAD_SSE2
    if (size < 16 && readable >= 16) {
        widen16(from, to);
        return;
    }
#endif
    (void)readable;
    widen(from, size, to);
}

inline void lowerAhead(const char* from, std::size_t size, std::size_t readable, char* to) {
#ifdef FILLAHEAD_SSE2
    if (size < 16 && readable >= 16) {
        lower16(from, to);
        return;
    }
#endif
    (void)readable;
    lower(from, size, to);
}

// The length of the run of UTF-16 units at the start of [p, p + size) that
// an XML attribute value in single or double quotes holds as they are:
// printable ASCII other than ' " & < >.
inline std::size_t attributeRunLength(const char16_t* p, std::size_t size) {
    std::size_t i = 0;
#ifdef FILLAHEAD_SSE2
    const __m128i last = _mm_set1_epi16(0x7E);
    const __m128i first = _mm_set1_epi16(0x20);
    for (; i + 8 <= size; i += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed: units from 0x8000 up are below 0x20 too.
        __m128i odd = _mm_or_si128(_mm_cmpgt_epi16(units, last), _mm_cmplt_epi16(units, first));
        for (const char16_t special : {u'\'', u'"', u'&', u'<', u'>'}) {
            odd = _mm_or_si128(odd,
                               _mm_cmpeq_epi16(units, _mm_set1_epi16(static_cast<short>(special))));
        }
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(odd));
        if (mask != 0) {
            return i + static_cast<std::size_t>(__builtin_ctz(mask)) / 2;
        }
    }
#endif
    for (; i < size; ++i) {
        const char16_t c = p[i];
        if (c < 0x20 || c > 0x7E || c == u'\'' || c == u'"' || c == u'&' || c == u'<' ||
            c == u'>') {
            break;
        }
    }
    return i;
}

// UTF-16 units below 0x80 to bytes.
inline void narrow(const char16_t* from, std::size_t size, char* to) {
    std::size_t i = 0;
#ifdef FILLAHEAD_SSE2
    for (; i + 16 <= size; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < size; ++i) {
        to[i] = static_cast<char>(from[i]);
    }
}

} // namespace fillahead::ascii
