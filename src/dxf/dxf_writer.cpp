#include "dxf/dxf_writer.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace
{

__extension__ using Uint128 = unsigned __int128;

// Blocks of this size reach the stream in one insertion: large enough that the per-call cost of the
// stream vanishes, small enough to stay in the cache.
constexpr std::size_t kBlockSize = 128 * 1024;
// A line end, the longest code line ("-2147483648") and a line end.
constexpr std::size_t kMaxCodeLine = 16;
// Longer values are handed to the stream on their own instead of being copied into a block.
constexpr std::size_t kMaxHeldValue = kBlockSize / 2;

constexpr int kMaxFastDecimals = 16;
constexpr std::uint64_t kPowersOfFive[kMaxFastDecimals + 1] = {
    1,       5,       25,       125,       625,        3125,       15625,       78125,       390625,
    1953125, 9765625, 48828125, 244140625, 1220703125, 6103515625, 30517578125, 152587890625};
constexpr std::uint64_t kPowersOfTen[kMaxFastDecimals + 1] = {1,
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

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Exactly `count` digits (at most 8) of value, with leading zeros, two at a time.
void WriteDigits8(char* out, std::uint32_t value, int count)
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
void WriteDigits(char* out, std::uint64_t value, int count)
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

// The eight digits of value (below 10^8), with leading zeros, without a loop.
void WriteEightDigits(char* out, std::uint32_t value)
{
    const std::uint32_t high = value / 10000;
    const std::uint32_t low = value % 10000;
    std::memcpy(out, kDigitPairs + high / 100 * 2, 2);
    std::memcpy(out + 2, kDigitPairs + high % 100 * 2, 2);
    std::memcpy(out + 4, kDigitPairs + low / 100 * 2, 2);
    std::memcpy(out + 6, kDigitPairs + low % 100 * 2, 2);
}

// Decimal digits of a value below 10^16.
int DigitCount(std::uint64_t value)
{
    int count = 1;
    while (count < kMaxFastDecimals && value >= kPowersOfTen[count])
        ++count;
    return count;
}

// The fixed-notation text of a double below 2^52 in magnitude, computed exactly in integers: with
// value = m * 2^-k, the decimals are round(frac(m * 2^-k) * 10^d) = round(f * 5^d / 2^(k - d)),
// rounded half to even as printf does. No floating-point step, so no double rounding.
std::size_t FormatFast(double value, int decimals, char* buffer)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int shift = 1074; // value = mantissa * 2^-shift
    if (biased != 0)
    {
        mantissa |= std::uint64_t{1} << 52;
        shift = 1075 - biased;
    }

    std::uint64_t integer = shift < 64 ? mantissa >> shift : 0;
    const std::uint64_t fractionBits = shift < 64 ? mantissa & ((std::uint64_t{1} << shift) - 1) : mantissa;

    // fraction * 10^d = fractionBits * 5^d * 2^(d - shift); fractionBits * 5^16 < 2^91.
    std::uint64_t fraction = 0;
    if (fractionBits != 0)
    {
        const Uint128 product = static_cast<Uint128>(fractionBits) * kPowersOfFive[decimals];
        const int drop = shift - decimals;
        if (drop <= 0)
        {
            fraction = static_cast<std::uint64_t>(product << -drop);
        }
        else if (drop < 128)
        {
            const Uint128 quotient = product >> drop;
            const Uint128 remainder = product - (quotient << drop);
            const Uint128 half = static_cast<Uint128>(1) << (drop - 1);
            fraction = static_cast<std::uint64_t>(quotient);
            if (remainder > half || (remainder == half && (fraction & 1) != 0))
                ++fraction;
        }
        // drop >= 128: the product is below 2^91, less than half a unit of the last decimal: 0.
        if (fraction == kPowersOfTen[decimals])
        {
            fraction = 0;
            ++integer;
        }
    }

    char* out = buffer;
    if (negative)
        *out++ = '-';
    const int integerDigits = DigitCount(integer);
    WriteDigits(out, integer, integerDigits);
    out += integerDigits;
    *out++ = '.';
    if (fraction == 0)
    {
        *out++ = '0';
        return static_cast<std::size_t>(out - buffer);
    }
    if (decimals == kMaxFastDecimals)
    {
        WriteEightDigits(out, static_cast<std::uint32_t>(fraction / 100000000));
        WriteEightDigits(out + 8, static_cast<std::uint32_t>(fraction % 100000000));
    }
    else
    {
        WriteDigits(out, fraction, decimals);
    }
    // A non-zero fraction has a non-zero digit, so the trimming stops within the decimals.
    int digits = decimals;
    while (out[digits - 1] == '0')
        --digits;
    return static_cast<std::size_t>(out + digits - buffer);
}

// Code lines as the library right-aligns them: "  5", " 10", "100", "1001".
std::size_t FormatCode(int gc, char* buffer)
{
    if (gc >= 0 && gc < 1000)
    {
        buffer[0] = gc < 100 ? ' ' : static_cast<char>('0' + gc / 100);
        buffer[1] = gc < 10 ? ' ' : kDigitPairs[(gc % 100) * 2];
        buffer[2] = static_cast<char>('0' + gc % 10);
        return 3;
    }
    char* out = buffer;
    if (gc < 10)
    {
        *out++ = ' ';
        *out++ = ' ';
    }
    return static_cast<std::size_t>(std::to_chars(out, buffer + 16, gc).ptr - buffer);
}

// "\n", the code line, "\n" for the common codes, made at compile time.
struct CCodeLines
{
    static constexpr int kCount = 1100;
    char text[kCount][8];

    constexpr CCodeLines() : text{}
    {
        for (int gc = 0; gc < kCount; ++gc)
        {
            char* line = text[gc];
            line[0] = '\n';
            if (gc < 1000)
            {
                line[1] = gc < 100 ? ' ' : static_cast<char>('0' + gc / 100);
                line[2] = gc < 10 ? ' ' : static_cast<char>('0' + gc / 10 % 10);
                line[3] = static_cast<char>('0' + gc % 10);
                line[4] = '\n';
            }
            else
            {
                line[1] = static_cast<char>('0' + gc / 1000);
                line[2] = static_cast<char>('0' + gc / 100 % 10);
                line[3] = static_cast<char>('0' + gc / 10 % 10);
                line[4] = static_cast<char>('0' + gc % 10);
                line[5] = '\n';
            }
        }
    }
};
constexpr CCodeLines kCodeLines;

} // namespace

std::size_t FormatDxfReal(double value, int decimals, char* buffer)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    // Magnitudes below 2^52 (the biased exponent below 1075) cover every coordinate a drawing holds.
    if (decimals >= 0 && decimals <= kMaxFastDecimals && ((bits >> 52) & 0x7FF) < 1075)
        return FormatFast(value, decimals, buffer);

    char* const last = buffer + kDxfRealBufferSize - 1;
    // to_chars in fixed notation with a precision gives exactly the digits of printf("%.*f"); unlike
    // printf it never depends on the locale.
    const std::to_chars_result result =
        std::to_chars(buffer, last, value, std::chars_format::fixed, decimals);
    std::size_t length = 0;
    if (result.ec == std::errc())
        length = static_cast<std::size_t>(result.ptr - buffer);
    else
    {
        // Unreachable with the buffer's size; kept so that no value can leave the text undefined.
        const int n = std::snprintf(buffer, kDxfRealBufferSize, "%.*f", decimals, value);
        length = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), kDxfRealBufferSize - 1);
    }

    // Trailing zeros go, but one digit after the point always stays ("2.0", "0.5"); "inf" and "nan"
    // have no point and stay as they are.
    std::size_t point = 0;
    while (point < length && buffer[point] != '.')
        ++point;
    if (point == length)
        return length;
    std::size_t end = length;
    while (end > point + 2 && buffer[end - 1] == '0')
        --end;
    return end;
}

CDxfWriter::CDxfWriter(const char* path, DL_Codes::version dxfVersion)
    : DL_WriterA(path, dxfVersion), m_pending(kBlockSize, '\0')
{
}

CDxfWriter::~CDxfWriter()
{
    // Before the library's destructor closes the stream; after close() there is nothing left here.
    Flush();
}

char* CDxfWriter::BeginGroup(int gc, std::size_t maxValue) const
{
    if (!m_holding || m_used + maxValue + kMaxCodeLine > kBlockSize || gc < 0 || gc >= CCodeLines::kCount)
        return BeginFirstGroup(gc, maxValue);
    // The whole table row is copied (the block always has the room); only the line counts.
    char* out = m_pending.data() + m_used;
    std::memcpy(out, kCodeLines.text[gc], sizeof kCodeLines.text[gc]);
    return out + (gc < 1000 ? 5 : 6);
}

// The rarer cases: a full block, the first group of a block, a code outside the table.
char* CDxfWriter::BeginFirstGroup(int gc, std::size_t maxValue) const
{
    if (m_used + maxValue + kMaxCodeLine > kBlockSize)
        Flush();
    char* out = m_pending.data() + m_used;
    if (!m_holding)
    {
        // The first group's code line is left to the library's dxfString when the block is handed over.
        m_holding = true;
        m_pendingCode = gc;
        return out;
    }
    *out++ = '\n';
    out += FormatCode(gc, out);
    *out++ = '\n';
    return out;
}

void CDxfWriter::String(int gc, std::string_view value) const
{
    if (value.size() > kMaxHeldValue)
    {
        Flush();
        DL_WriterA::dxfString(gc, std::string(value));
        return;
    }
    char* out = BeginGroup(gc, value.size());
    std::memcpy(out, value.data(), value.size());
    EndGroup(out + value.size());
    // The document's last group: everything reaches the stream before anyone closes it.
    if (gc == 0 && value == "EOF")
        Flush();
}

void CDxfWriter::Flush() const
{
    if (!m_holding)
        return;
    // Cut to the groups for the hand-over, then back to a whole block (which refills only the few
    // bytes past the last group, unless the block was handed over early).
    m_pending.resize(m_used);
    DL_WriterA::dxfString(m_pendingCode, m_pending);
    m_pending.resize(kBlockSize);
    m_used = 0;
    m_holding = false;
}

void CDxfWriter::close() const
{
    Flush();
    DL_WriterA::close();
}

void CDxfWriter::dxfReal(int gc, double value) const
{
    char* out = BeginGroup(gc, kDxfRealBufferSize);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    // Polyline vertices repeat most of their reals: z and both widths, and the junction point that
    // two flattened curve pieces share. A small cache keyed by the exact bits skips their formatting.
    const CCachedReal& cached = m_realCache[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kRealCacheBits)];
    if (cached.length != 0 && cached.bits == bits)
    {
        std::memcpy(out, cached.text, sizeof cached.text);
        EndGroup(out + cached.length);
        return;
    }
    EndGroup(out + FormatRealAndKeep(value, bits, out));
}

// Kept out of line so that the cached path stays small.
std::size_t CDxfWriter::FormatRealAndKeep(double value, std::uint64_t bits, char* out) const
{
    const std::size_t length = FormatDxfReal(value, version == DL_Codes::AC1009_MIN ? 6 : 16, out);
    CCachedReal& cached = m_realCache[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kRealCacheBits)];
    if (length <= sizeof cached.text)
    {
        cached.bits = bits;
        cached.length = static_cast<std::uint32_t>(length);
        std::memcpy(cached.text, out, length);
    }
    return length;
}

void CDxfWriter::dxfInt(int gc, int value) const
{
    char* out = BeginGroup(gc, 16);
    EndGroup(std::to_chars(out, out + 16, value).ptr);
}

void CDxfWriter::dxfHex(int gc, int value) const
{
    // printf("%0X"): the int's bits as an unsigned number, upper case, no padding.
    char* out = BeginGroup(gc, 16);
    char* end = std::to_chars(out, out + 16, static_cast<unsigned int>(value), 16).ptr;
    std::transform(out, end, out,
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    EndGroup(end);
}

void CDxfWriter::dxfString(int gc, const char* value) const
{
    // The library would write the code line and then fail its stream; nothing is the sound choice.
    if (value != nullptr)
        String(gc, value);
}

void CDxfWriter::dxfString(int gc, const std::string& value) const
{
    String(gc, value);
}
