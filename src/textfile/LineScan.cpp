#include "textfile/LineScan.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Bytes up to the tab (the tab itself unless it separates) count as escaped: NUL and tab are,
// and a line with another control character takes the escaping path too.
unsigned char lowestUnescaped(char separator) {
    return separator == '\t' ? '\t' - 1 : '\t';
}

} // namespace

LineScan scanLineBytewise(QByteArrayView bytes, char separator) {
    qsizetype separators = 0;
    qsizetype returns = 0;
    qsizetype escaped = 0;
    unsigned char bits = 0;
    const unsigned char lowest = lowestUnescaped(separator);
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        separators += c == separator;
        returns += c == '\r';
        escaped += (u <= lowest) + (c == '\\') + (c == '"');
        bits |= u;
    }
    return {separators, returns, bits < 0x80, escaped == 0};
}

#if defined(__SSE2__)

namespace {

// Counts, lane by lane, how often each question was answered yes; a lane holds at most 255, so
// the counts are summed into whole numbers before that (flush()).
class Blocks {
public:
    Blocks(char separator)
        : m_separator(_mm_set1_epi8(separator))
        , m_lowest(_mm_set1_epi8(static_cast<char>(lowestUnescaped(separator)))) {}

    // Looks at sixteen bytes, of which the lanes of keep (all ones or zero) count.
    void look(__m128i v, __m128i keep) {
        const __m128i separator = _mm_and_si128(_mm_cmpeq_epi8(v, m_separator), keep);
        const __m128i ret = _mm_and_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')), keep);
        const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(v, m_lowest), v);
        const __m128i special = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                                             _mm_cmpeq_epi8(v, _mm_set1_epi8('"')));
        m_separators = _mm_sub_epi8(m_separators, separator);
        m_returns = _mm_sub_epi8(m_returns, ret);
        m_escaped = _mm_or_si128(m_escaped, _mm_and_si128(_mm_or_si128(low, special), keep));
        m_high = _mm_or_si128(m_high, _mm_and_si128(v, keep));
        if (++m_looked == 255)
            flush();
    }

    LineScan result() {
        flush();
        return {m_separatorTotal, m_returnTotal, _mm_movemask_epi8(m_high) == 0,
                _mm_movemask_epi8(m_escaped) == 0};
    }

private:
    static qsizetype sum(__m128i counts) {
        const __m128i halves = _mm_sad_epu8(counts, _mm_setzero_si128());
        return _mm_cvtsi128_si32(halves) + _mm_cvtsi128_si32(_mm_srli_si128(halves, 8));
    }
    void flush() {
        m_separatorTotal += sum(m_separators);
        m_returnTotal += sum(m_returns);
        m_separators = m_returns = _mm_setzero_si128();
        m_looked = 0;
    }

    __m128i m_separator;
    __m128i m_lowest;
    __m128i m_separators = _mm_setzero_si128();
    __m128i m_returns = _mm_setzero_si128();
    __m128i m_escaped = _mm_setzero_si128();
    __m128i m_high = _mm_setzero_si128();
    int m_looked = 0;
    qsizetype m_separatorTotal = 0;
    qsizetype m_returnTotal = 0;
};

// Sixteen zero bytes, then sixteen of all ones: sixteen bytes from position k keep the last k
// lanes.
alignas(16) constexpr unsigned char LastLanes[32] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

__m128i load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

} // namespace

LineScan scanLine(QByteArrayView bytes, char separator) {
    const qsizetype size = bytes.size();
    if (size < 16)
        return scanLineBytewise(bytes, separator);
    Blocks blocks(separator);
    const char* const data = bytes.data();
    const __m128i all = _mm_set1_epi8(static_cast<char>(0xFF));
    qsizetype at = 0;
    for (; at + 16 <= size; at += 16)
        blocks.look(load(data + at), all);
    // The last bytes: the sixteen that end the line, of which those not yet looked at count.
    if (at < size)
        blocks.look(load(data + size - 16),
                    load(reinterpret_cast<const char*>(LastLanes) + (size - at)));
    return blocks.result();
}

#else

LineScan scanLine(QByteArrayView bytes, char separator) {
    return scanLineBytewise(bytes, separator);
}

#endif
