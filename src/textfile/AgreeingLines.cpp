#include "textfile/AgreeingLines.h"

#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The walk over the lines so far: those passed over, and the line under way.
struct Walk {
    AgreeingRun run;
    qint64 separators = 0; // of the line under way
    bool content = false;  // the line under way holds a byte other than a carriage return
};

// The byte that makes a line need a closer look; without one, a byte beyond ASCII, which
// stops the walk anyway.
char closerByte(const LineShape& shape) {
    return shape.closerLook != 0 ? shape.closerLook : '\x80';
}

// The line under way ends here: false when it does not agree.
bool endLine(Walk& walk, const LineShape& shape, qsizetype after) {
    if (walk.content && walk.separators != shape.separators)
        return false;
    walk.run.bytes = after;
    ++walk.run.lines;
    walk.separators = 0;
    walk.content = false;
    return true;
}

// Walks on a byte at a time from at to the end of bytes; the walk's run is then the answer.
void walkBytewise(Walk& walk, QByteArrayView bytes, const LineShape& shape, qsizetype until,
                  qsizetype at) {
    const char closer = closerByte(shape);
    for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == shape.lineEnd) {
            if (!endLine(walk, shape, at + 1) || walk.run.bytes >= until)
                return;
            continue;
        }
        if (static_cast<unsigned char>(c) >= 0x80 || c == closer)
            return;
        walk.separators += c == shape.separator;
        walk.content = walk.content || c != '\r';
    }
}

} // namespace

AgreeingRun agreeingLinesBytewise(QByteArrayView bytes, const LineShape& shape, qsizetype until) {
    Walk walk;
    walkBytewise(walk, bytes, shape, until, 0);
    return walk.run;
}

#if defined(__SSE2__)

namespace {

// The lanes of sixteen bytes that answer each question, as bits.
struct Lanes {
    unsigned ends;
    unsigned separators;
    unsigned stops;  // beyond ASCII, or for a closer look
    unsigned filled; // other than a carriage return
};

Lanes lanesOf(const char* at, const LineShape& shape) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto bits = [&v](char c) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
    };
    return {bits(shape.lineEnd), bits(shape.separator),
            static_cast<unsigned>(_mm_movemask_epi8(v)) | bits(closerByte(shape)),
            ~bits('\r') & 0xFFFFu};
}

// The bits set among sixteen, without the processor's own count, which the baseline x86-64
// lacks (std::popcount would call a library function for each).
int bitCount(unsigned bits) {
    bits = bits - ((bits >> 1) & 0x5555u);
    bits = (bits & 0x3333u) + ((bits >> 2) & 0x3333u);
    bits = (bits + (bits >> 4)) & 0x0F0Fu;
    return static_cast<int>((bits + (bits >> 8)) & 0x1Fu);
}

// Walks over the sixteen bytes at an offset; false when the walk ends in them.
bool walkBlock(Walk& walk, const Lanes& lanes, const LineShape& shape, qsizetype at,
               qsizetype until) {
    unsigned from = 0xFFFFu; // the lanes of the line under way
    for (unsigned ends = lanes.ends; ends != 0; ends &= ends - 1) {
        const int end = std::countr_zero(ends);
        const unsigned line = from & ((1u << end) - 1);
        if ((lanes.stops & line) != 0)
            return false;
        walk.separators += bitCount(lanes.separators & line);
        walk.content = walk.content || (lanes.filled & line) != 0;
        if (!endLine(walk, shape, at + end + 1) || walk.run.bytes >= until)
            return false;
        from = 0xFFFFu & ~((2u << end) - 1);
    }
    if ((lanes.stops & from) != 0)
        return false;
    walk.separators += bitCount(lanes.separators & from);
    walk.content = walk.content || (lanes.filled & from) != 0;
    return true;
}

} // namespace

AgreeingRun agreeingLines(QByteArrayView bytes, const LineShape& shape, qsizetype until) {
    Walk walk;
    qsizetype at = 0;
    for (; at + 16 <= bytes.size(); at += 16) {
        if (!walkBlock(walk, lanesOf(bytes.data() + at, shape), shape, at, until))
            return walk.run;
    }
    walkBytewise(walk, bytes, shape, until, at);
    return walk.run;
}

#else

AgreeingRun agreeingLines(QByteArrayView bytes, const LineShape& shape, qsizetype until) {
    return agreeingLinesBytewise(bytes, shape, until);
}

#endif
