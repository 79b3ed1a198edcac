#include "dxf/real_format.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <system_error>

using namespace orbelin::dxf;

namespace
{

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
    out = WriteInteger(out, integer);
    *out++ = '.';
    if (fraction == 0)
    {
        *out++ = '0';
        return static_cast<std::size_t>(out - buffer);
    }
    if (decimals == kMaxFastDecimals)
        return static_cast<std::size_t>(PutSixteenDigits(out, fraction) - buffer);
    WriteDigits(out, fraction, decimals);
    // A non-zero fraction has a non-zero digit, so the trimming stops within the decimals.
    int digits = decimals;
    while (out[digits - 1] == '0')
        --digits;
    return static_cast<std::size_t>(out + digits - buffer);
}

} // namespace

std::size_t FormatDxfReal(double value, int decimals, char* buffer)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (TakesSixteen(bits, decimals))
        return FormatSixteen(bits, buffer);
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
