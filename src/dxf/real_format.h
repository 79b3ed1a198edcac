// Exact real formatting: the text dxflib's writer gives a double (the digits of printf's "%.16f",
// trailing zeros cut down to one decimal), computed in integers, so it never depends on the locale.
// FormatDxfReal is the whole rule; the inline short way below serves the writing thread
// (writing_thread.cpp) and the vertex text (vertex_text.h), where nearly every real is a coordinate.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Room for any double in fixed notation with 16 decimals (309 integer digits, sign, point) and more.
constexpr std::size_t kDxfRealBufferSize = 400;
// In place of a count of decimals: the shortest text that reads back as the very same double
// ("643.301", "1e-20"), with ".0" after a whole number so that it still reads as a real.
constexpr int kShortestReal = -1;

// Writes value as dxflib's DL_WriterA::dxfReal prints it: fixed notation with `decimals` decimals
// (16, or 6 for the oldest DXF version), then trailing zeros cut down to one decimal. Returns the
// length; the text is not terminated. Exact and locale-independent.
std::size_t FormatDxfReal(double value, int decimals, char* buffer);

namespace orbelin::dxf
{

__extension__ using Uint128 = unsigned __int128;

inline constexpr int kMaxFastDecimals = 16;
inline constexpr std::uint64_t kPowersOfFive[kMaxFastDecimals + 1] = {
    1,       5,       25,       125,       625,        3125,       15625,       78125,       390625,
    1953125, 9765625, 48828125, 244140625, 1220703125, 6103515625, 30517578125, 152587890625};
inline constexpr std::uint64_t kPowersOfTen[kMaxFastDecimals + 1] = {1,
                                                                     10,
                                                                     100,
                                                                     1000,
                                                                     10000,
                                                                     100000,
                                                                     1000000,
                                                                     10000000,
                                                                     100000000,
                                                                     1000000000,
                                                                     10000000000,
                                                                     100000000000,
                                                                     1000000000000,
                                                                     10000000000000,
                                                                     100000000000000,
                                                                     1000000000000000,
                                                                     10000000000000000};

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly `count` digits (at most 8) of value, with leading zeros, two at a time.
inline void WriteDigits8(char* out, std::uint32_t value, int count)
{
    while (count >= 2)
    {
        const std::uint32_t pair = (value % 100) * 2;
        value /= 100;
        count -= 2;
        out[count] = kDigitPairs[pair];
        out[count + 1] = kDigitPairs[pair + 1];
    }
    if (count == 1)
        out[0] = static_cast<char>('0' + value % 10);
}

// Exactly `count` digits (at most 16) of value, with leading zeros.
inline void WriteDigits(char* out, std::uint64_t value, int count)
{
    if (count > 8)
    {
        WriteDigits8(out, static_cast<std::uint32_t>(value / 100000000), count - 8);
        WriteDigits8(out + count - 8, static_cast<std::uint32_t>(value % 100000000), 8);
    }
    else
    {
        WriteDigits8(out, static_cast<std::uint32_t>(value), count);
    }
}

#if !defined(__SSE2__)
// The eight ASCII digits of value (below 10^8), most significant in the low byte: the halves,
// quarters and single digits are split in all lanes at once, with multiplications that divide
// exactly in these ranges (by 100 below 43699, by 10 below 179).
inline std::uint64_t EightDigitWord(std::uint32_t value)
{
    const std::uint64_t merged = (value / 10000) | (static_cast<std::uint64_t>(value % 10000) << 32);
    const std::uint64_t hundreds = ((merged * 10486) >> 20) & 0x0000007F0000007Full;
    const std::uint64_t pairs = ((merged - 100 * hundreds) << 16) | hundreds;
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
    return (((pairs - 10 * tens) << 8) | tens) + 0x3030303030303030ull;
}

// The word's digits in reading order: its low byte first, whatever the machine's byte order.
inline void StoreDigitWord(char* out, std::uint64_t word)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    std::memcpy(out, &word, sizeof word);
}
#endif

#if defined(__SSE2__)
// The eight digits of value (below 10^8) in the 16-bit lanes, most significant first: the halves by
// one multiplication, then every lane divides its half by its own power of ten with two high-half
// multiplications (exact for halves below 10^4) and takes away ten times its left neighbour.
inline __m128i EightDigitLanes(std::uint32_t value)
{
    const __m128i whole = _mm_cvtsi32_si128(static_cast<int>(value));
    const __m128i reciprocal = _mm_set1_epi32(static_cast<int>(0xD1B71759u)); // 2^45 / 10^4, rounded up
    const __m128i high = _mm_srli_epi64(_mm_mul_epu32(whole, reciprocal), 45);
    const __m128i low = _mm_sub_epi32(whole, _mm_mul_epu32(high, _mm_set1_epi32(10000)));
    const __m128i halves = _mm_slli_epi64(_mm_unpacklo_epi16(high, low), 2);
    const __m128i pairs = _mm_unpacklo_epi16(halves, halves);
    const __m128i spread = _mm_unpacklo_epi32(pairs, pairs);
    const __m128i divided = _mm_mulhi_epu16(
        _mm_mulhi_epu16(spread, _mm_setr_epi16(8389, 5243, 13108, -32768, 8389, 5243, 13108, -32768)),
        _mm_setr_epi16(1 << 7, 1 << 11, 1 << 13, -32768, 1 << 7, 1 << 11, 1 << 13, -32768));
    return _mm_sub_epi16(divided, _mm_slli_epi64(_mm_mullo_epi16(divided, _mm_set1_epi16(10)), 16));
}
#endif

// The sixteen digits of a non-zero fraction (below 10^16) at out, with leading zeros and without
// trailing ones; returns their end. The buffer takes all sixteen.
[[gnu::always_inline]] inline char* PutSixteenDigits(char* out, std::uint64_t fraction)
{
#if defined(__SSE2__)
    const __m128i zeros = _mm_set1_epi8('0');
    const __m128i digits =
        _mm_add_epi8(_mm_packus_epi16(EightDigitLanes(static_cast<std::uint32_t>(fraction / 100000000)),
                                      EightDigitLanes(static_cast<std::uint32_t>(fraction % 100000000))),
                     zeros);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), digits);
    // One bit per digit that is not '0'; a non-zero fraction has one, and the last of them ends it.
    const auto significant =
        static_cast<unsigned>(~_mm_movemask_epi8(_mm_cmpeq_epi8(digits, zeros)) & 0xFFFF);
    return out + (32 - __builtin_clz(significant));
#else
    const std::uint64_t first = EightDigitWord(static_cast<std::uint32_t>(fraction / 100000000));
    const std::uint64_t second = EightDigitWord(static_cast<std::uint32_t>(fraction % 100000000));
    StoreDigitWord(out, first);
    StoreDigitWord(out + 8, second);
    // Trailing '0' characters are the word's high bytes that are zero once '0' is taken away. A
    // non-zero fraction has a non-zero digit, so the first word keeps one if the second has none.
    constexpr std::uint64_t kZeros = 0x3030303030303030ull;
    const std::uint64_t secondDigits = second ^ kZeros;
    if (secondDigits != 0)
        return out + 16 - __builtin_clzll(secondDigits) / 8;
    return out + 8 - __builtin_clzll(first ^ kZeros) / 8;
#endif
}

// Decimal digits of a value below 10^16.
inline int DigitCount(std::uint64_t value)
{
    int count = 1;
    while (count < kMaxFastDecimals && value >= kPowersOfTen[count])
        ++count;
    return count;
}

// The digits of a whole number below 10^16; returns their end. Coordinates mostly have a few.
[[gnu::always_inline]] inline char* WriteInteger(char* out, std::uint64_t value)
{
    if (value < 100)
    {
        if (value < 10)
        {
            *out = static_cast<char>('0' + value);
            return out + 1;
        }
        std::memcpy(out, kDigitPairs + value * 2, 2);
        return out + 2;
    }
    if (value < 10000)
    {
        if (value < 1000)
        {
            *out = static_cast<char>('0' + value / 100);
            std::memcpy(out + 1, kDigitPairs + value % 100 * 2, 2);
            return out + 3;
        }
        std::memcpy(out, kDigitPairs + value / 100 * 2, 2);
        std::memcpy(out + 2, kDigitPairs + value % 100 * 2, 2);
        return out + 4;
    }
    const int count = DigitCount(value);
    WriteDigits(out, value, count);
    return out + count;
}

// The fixed-notation text of a double below 2^52 in magnitude, computed exactly in integers: with
// value = m * 2^-k, the decimals are round(frac(m * 2^-k) * 10^d) = round(f * 5^d / 2^(k - d)),

// True for the values FormatSixteen takes: sixteen decimals, biased exponents 1012 to 1058.
inline bool TakesSixteen(std::uint64_t bits, int decimals)
{
    const auto biased = static_cast<unsigned>((bits >> 52) & 0x7FF);
    return decimals == kMaxFastDecimals && biased - 1012u <= 46u;
}

// Sixteen decimals of a value whose fraction has 17 to 63 bits (magnitudes from 2^-11 to 2^36,
// where drawings keep their coordinates): the same arithmetic as FormatFast, but every step fits
// 64 bits but the one product, and the rounding needs no 128-bit compare.
[[gnu::always_inline]] inline std::size_t FormatSixteen(std::uint64_t bits, char* buffer)
{
    const int shift = 1075 - static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    std::uint64_t integer = mantissa >> shift;
    const std::uint64_t fractionBits = mantissa & ((std::uint64_t{1} << shift) - 1);

    char* out = buffer;
    if ((bits >> 63) != 0)
        *out++ = '-';
    std::uint64_t fraction = 0;
    if (fractionBits != 0)
    {
        const Uint128 product = static_cast<Uint128>(fractionBits) * kPowersOfFive[kMaxFastDecimals];
        const int drop = shift - kMaxFastDecimals; // 1 to 47
        const auto low = static_cast<std::uint64_t>(product);
        const auto high = static_cast<std::uint64_t>(product >> 64);
        fraction = (low >> drop) | (high << (64 - drop));
        const std::uint64_t remainder = low & ((std::uint64_t{1} << drop) - 1);
        const std::uint64_t half = std::uint64_t{1} << (drop - 1);
        if (remainder > half || (remainder == half && (fraction & 1) != 0))
            ++fraction;
        if (fraction == kPowersOfTen[kMaxFastDecimals])
        {
            fraction = 0;
            ++integer;
        }
    }
    out = WriteInteger(out, integer);
    *out++ = '.';
    if (fraction == 0)
    {
        *out++ = '0';
        return static_cast<std::size_t>(out - buffer);
    }
    return static_cast<std::size_t>(PutSixteenDigits(out, fraction) - buffer);
}

// A real and its line end at out; returns the end. The shape of nearly every coordinate takes the
// short way, without FormatDxfReal's dispatch.
inline char* PutRealLine(char* out, double value, int decimals)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (bits == 0)
    {
        std::memcpy(out, "0.0\n", 4);
        return out + 4;
    }
    if (decimals == kShortestReal)
    {
        // The writers never hand over a non-finite value; the buffer holds any finite one.
        char* end = std::to_chars(out, out + kDxfRealBufferSize, value).ptr;
        if (std::memchr(out, '.', static_cast<std::size_t>(end - out)) == nullptr &&
            std::memchr(out, 'e', static_cast<std::size_t>(end - out)) == nullptr)
        {
            std::memcpy(end, ".0", 2);
            end += 2;
        }
        *end = '\n';
        return end + 1;
    }
    const std::size_t length =
        TakesSixteen(bits, decimals) ? FormatSixteen(bits, out) : FormatDxfReal(value, decimals, out);
    out[length] = '\n';
    return out + length + 1;
}

} // namespace orbelin::dxf
