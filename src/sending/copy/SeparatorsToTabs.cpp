#include "sending/copy/SeparatorsToTabs.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool bytewise(char* out, QByteArrayView line, char separator) {
    bool previousCut = false;
    bool emptyField = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const bool cut = line[i] == separator;
        emptyField |= cut && previousCut;
        out[i] = cut ? '\t' : line[i];
        previousCut = cut;
    }
    return !emptyField && !previousCut;
}

} // namespace

#if defined(__SSE2__)

bool separatorsToTabs(char* out, QByteArrayView line, char separator) {
    const qsizetype size = line.size();
    if (size < 16)
        return bytewise(out, line, separator);
    const __m128i cut = _mm_set1_epi8(separator);
    const __m128i tab = _mm_set1_epi8('\t');
    const char* const in = line.data();
    // Translates the sixteen bytes at an offset; returns their separators as bits.
    const auto block = [&](qsizetype at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + at));
        const __m128i cuts = _mm_cmpeq_epi8(v, cut);
        const __m128i tabs = _mm_or_si128(_mm_and_si128(cuts, tab), _mm_andnot_si128(cuts, v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), tabs);
        return static_cast<unsigned>(_mm_movemask_epi8(cuts));
    };
    unsigned meeting = 0;
    unsigned carry = 0; // the last byte of the block before was a separator
    qsizetype at = 0;
    for (; at + 16 <= size; at += 16) {
        const unsigned cuts = block(at);
        meeting |= cuts & ((cuts << 1) | carry);
        carry = cuts >> 15;
    }
    // The last bytes: the sixteen that end the line, written again where they were written.
    if (at < size) {
        const unsigned cuts = block(size - 16);
        meeting |= cuts & (cuts << 1);
    }
    return meeting == 0 && in[size - 1] != separator;
}

#else

bool separatorsToTabs(char* out, QByteArrayView line, char separator) {
    return bytewise(out, line, separator);
}

#endif
