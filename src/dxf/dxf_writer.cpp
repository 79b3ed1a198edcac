#include "dxf/dxf_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace
{

__extension__ using Uint128 = unsigned __int128;

// Records of the groups travel in blocks of this size to the thread that writes them: large
// enough that handing a block over costs nothing, small enough to stay in the cache. A few blocks
// are in flight at most, so memory stays bounded whatever the drawing.
constexpr std::size_t kBlockSize = 128 * 1024;
// Blocks of text (see CDxfWriter::VerticesAsText) fill four times faster than blocks of records, so
// there are enough for a run of them behind the records still queued.
constexpr std::size_t kBlockCount = 32;
// The writing thread counts as behind with this many blocks of records queued (see CSink::Behind).
constexpr std::size_t kBehindBlocks = 4;
// The text is written in pieces of about this size (as a copy in 1 MiB blocks would be).
constexpr std::size_t kOutputSize = 1024 * 1024;
// The longest code line with its line end: "  -2147483648\n".
constexpr std::size_t kMaxCodeLine = 16;

// Records in a block, each a tag and its data: text (a 32-bit length and the bytes, whole groups
// formatted already), a real group (the 32-bit code and the double), a polyline vertex (x, y and
// the two widths) or a vertex without widths (x and y, the widths being +0). The writing thread
// turns reals and vertices into text.
constexpr char kTextTag = 'T';
constexpr char kRealTag = 'R';
constexpr char kVertexTag = 'V';
constexpr char kPointTag = 'P';
// The same vertex as the last one (flattened curves repeat every junction point); no data.
constexpr char kRepeatTag = '=';
constexpr std::size_t kTextHeader = 1 + sizeof(std::uint32_t);
constexpr std::size_t kRealRecord = 1 + sizeof(std::int32_t) + sizeof(double);
constexpr std::size_t kVertexRecord = 1 + 4 * sizeof(double);
constexpr std::size_t kPointRecord = 1 + 2 * sizeof(double);

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

#if !defined(__SSE2__)
// The eight ASCII digits of value (below 10^8), most significant in the low byte: the halves,
// quarters and single digits are split in all lanes at once, with multiplications that divide
// exactly in these ranges (by 100 below 43699, by 10 below 179).
std::uint64_t EightDigitWord(std::uint32_t value)
{
    const std::uint64_t merged = (value / 10000) | (static_cast<std::uint64_t>(value % 10000) << 32);
    const std::uint64_t hundreds = ((merged * 10486) >> 20) & 0x0000007F0000007Full;
    const std::uint64_t pairs = ((merged - 100 * hundreds) << 16) | hundreds;
    const std::uint64_t tens = ((pairs * 103) >> 10) & 0x000F000F000F000Full;
    return (((pairs - 10 * tens) << 8) | tens) + 0x3030303030303030ull;
}

// The word's digits in reading order: its low byte first, whatever the machine's byte order.
void StoreDigitWord(char* out, std::uint64_t word)
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
__m128i EightDigitLanes(std::uint32_t value)
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
int DigitCount(std::uint64_t value)
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

// The code lines of the common codes with their line end ("  5\n", "1001\n"), made at compile time.
struct CCodeLines
{
    static constexpr int kCount = 1100;
    char text[kCount][8];

    constexpr CCodeLines() : text{}
    {
        for (int gc = 0; gc < kCount; ++gc)
        {
            char* line = text[gc];
            if (gc < 1000)
            {
                line[0] = gc < 100 ? ' ' : static_cast<char>('0' + gc / 100);
                line[1] = gc < 10 ? ' ' : static_cast<char>('0' + gc / 10 % 10);
                line[2] = static_cast<char>('0' + gc % 10);
                line[3] = '\n';
            }
            else
            {
                line[0] = static_cast<char>('0' + gc / 1000);
                line[1] = static_cast<char>('0' + gc / 100 % 10);
                line[2] = static_cast<char>('0' + gc / 10 % 10);
                line[3] = static_cast<char>('0' + gc % 10);
                line[4] = '\n';
            }
        }
    }
    static constexpr std::size_t Length(int gc) { return gc < 1000 ? 4 : 5; }
};
constexpr CCodeLines kCodeLines;

// The code line of gc with its line end; the room after out takes at least kMaxCodeLine bytes.
char* PutCodeLine(char* out, int gc)
{
    if (gc >= 0 && gc < CCodeLines::kCount)
    {
        std::memcpy(out, kCodeLines.text[gc], sizeof kCodeLines.text[gc]);
        return out + CCodeLines::Length(gc);
    }
    out += FormatCode(gc, out);
    *out++ = '\n';
    return out;
}

// True for the values FormatSixteen takes: sixteen decimals, biased exponents 1012 to 1058.
bool TakesSixteen(std::uint64_t bits, int decimals)
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

namespace
{

// The longest text of a vertex: four code lines and four reals, each with its line end.
constexpr std::size_t kMaxVertexText = 4 * (kMaxCodeLine + kDxfRealBufferSize + 1) + 8;

// A real and its line end at out; returns the end. The shape of nearly every coordinate takes the
// short way, without FormatDxfReal's dispatch.
char* PutRealLine(char* out, double value, int decimals)
{
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    if (bits == 0)
    {
        std::memcpy(out, "0.0\n", 4);
        return out + 4;
    }
    const std::size_t length =
        TakesSixteen(bits, decimals) ? FormatSixteen(bits, out) : FormatDxfReal(value, decimals, out);
    out[length] = '\n';
    return out + length + 1;
}

// The groups 10 and 20 of a polyline vertex; returns the end.
char* PutPositionText(char* out, double x, double y, int decimals)
{
    std::memcpy(out, " 10\n", 4);
    out = PutRealLine(out + 4, x, decimals);
    std::memcpy(out, " 20\n", 4);
    return PutRealLine(out + 4, y, decimals);
}

// The groups 30 (0), 40 and 41 that follow a vertex's position. A polyline's vertices share their
// widths, so the text is made once for each change of them.
class CWidthText
{
public:
    // The text for these widths (compared by their bits: -0.0 and 0.0 print differently).
    std::string_view For(const double (&widths)[2], int decimals)
    {
        if (m_size == 0 || std::memcmp(widths, m_widths, sizeof m_widths) != 0)
        {
            std::memcpy(m_widths, widths, sizeof m_widths);
            char* out = m_text;
            std::memcpy(out, " 30\n0.0\n 40\n", 12);
            out = PutRealLine(out + 12, widths[0], decimals);
            std::memcpy(out, " 41\n", 4);
            out = PutRealLine(out + 4, widths[1], decimals);
            m_size = static_cast<std::size_t>(out - m_text);
        }
        return {m_text, m_size};
    }

private:
    double m_widths[2] = {};
    std::size_t m_size = 0;
    char m_text[16 + 2 * (kDxfRealBufferSize + 1)];
};

} // namespace

// The writing side: takes blocks of records, turns them into text and writes the text. Runs on a
// thread of its own once the first block is full, so a small document never starts one; if no
// thread can be started, every block is written at once on the caller's thread instead.
class CDxfWriter::CSink
{
public:
    CSink(int fd, int decimals, int openError)
        : m_fd(fd), m_decimals(decimals), m_output(new char[kOutputSize])
    {
        m_failed = fd < 0;
        m_error = fd < 0 ? openError : 0;
    }
    ~CSink() { Close(); }
    CSink(const CSink&) = delete;
    CSink& operator=(const CSink&) = delete;

    // An empty block to fill; waits while every block is in flight.
    char* FreshBlock()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_free.empty() && m_blocks.size() < kBlockCount)
        {
            m_blocks.emplace_back(new char[kBlockSize]);
            return m_blocks.back().get();
        }
        m_producerWaiting = true;
        m_changed.wait(lock, [this] { return !m_free.empty(); });
        m_producerWaiting = false;
        char* block = m_free.back();
        m_free.pop_back();
        return block;
    }

    // Queues a filled block, which returns to the pool once written. `records` tells whether it
    // holds records to turn into text, or text only.
    void Submit(char* block, std::size_t used, bool records)
    {
        if (!m_thread.joinable() && !m_inline)
            Start();
        if (m_inline)
        {
            Process(block, used);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_free.push_back(block);
            return;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_queue.push_back(CQueued{block, used, records});
            if (records)
                m_recordBacklog.fetch_add(1, std::memory_order_relaxed);
        }
        m_changed.notify_all();
    }

    // True when the writing thread has several blocks of records still to turn into text: the
    // producer is then ahead, and would soon wait for it. Blocks of text only cost a copy.
    bool Behind() const { return m_recordBacklog.load(std::memory_order_relaxed) >= kBehindBlocks; }

    // Waits until everything submitted is in the file (or has failed).
    void Drain()
    {
        if (m_thread.joinable())
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_queue.empty() && !m_busy; });
        }
        else
        {
            WriteBuffered();
        }
    }

    bool Failed() const { return m_failed; }
    // The errno value of the first failure, 0 when none.
    int Error() const { return m_error; }
    // Gives the file up: nothing more is formatted or written, and it counts as failed.
    void Abandon() { Failure(ECANCELED); }

    // Drains, ends the thread and closes the file; true when every byte reached it.
    bool Close()
    {
        Drain();
        if (m_thread.joinable())
        {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_stopping = true;
            }
            m_changed.notify_all();
            m_thread.join();
        }
        WriteBuffered();
        if (m_fd >= 0)
        {
            // A full disk can show only now, on file systems that allocate at close.
            if (::close(m_fd) != 0)
                Failure(errno);
            m_fd = -1;
        }
        return !m_failed;
    }

private:
    void Start()
    {
        try
        {
            m_thread = std::thread([this] { Run(); });
        }
        catch (const std::system_error&)
        {
            m_inline = true;
        }
    }

    void Run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;)
        {
            m_changed.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
            if (m_queue.empty())
                return;
            const auto [block, used, records] = m_queue.front();
            m_queue.pop_front();
            if (records)
                m_recordBacklog.fetch_sub(1, std::memory_order_relaxed);
            m_busy = true;
            lock.unlock();
            // A failed or abandoned file needs no more text: the queue only drains.
            if (!m_failed)
                Process(block, used);
            lock.lock();
            // Written whenever the producer is behind, so that Drain() finds everything in the file.
            if (m_queue.empty())
            {
                lock.unlock();
                WriteBuffered();
                lock.lock();
            }
            m_free.push_back(block);
            m_busy = false;
            // A waiting producer is woken once half the blocks are free rather than for each one:
            // on a virtual machine a wake-up costs more than a block takes to fill.
            if ((m_producerWaiting && m_free.size() >= kBlockCount / 2) || m_queue.empty())
                m_changed.notify_all();
        }
    }

    void Process(const char* records, std::size_t size)
    {
        const char* const end = records + size;
        while (records < end)
        {
            const char tag = *records++;
            if (tag == kTextTag)
            {
                std::uint32_t length = 0;
                std::memcpy(&length, records, sizeof length);
                records += sizeof length;
                Emit(records, length);
                records += length;
            }
            else if (tag == kRealTag)
            {
                std::int32_t gc = 0;
                double value = 0.0;
                std::memcpy(&gc, records, sizeof gc);
                std::memcpy(&value, records + sizeof gc, sizeof value);
                records += sizeof gc + sizeof value;
                EmitReal(gc, value);
            }
            else if (tag == kRepeatTag)
            {
                EmitLastVertex();
            }
            else if (tag == kPointTag)
            {
                double values[2];
                std::memcpy(values, records, sizeof values);
                records += sizeof values;
                EmitPoint(values);
            }
            else
            {
                double values[4];
                std::memcpy(values, records, sizeof values);
                records += sizeof values;
                EmitVertex(values);
            }
        }
    }

    void Emit(const char* text, std::size_t size)
    {
        if (m_outputUsed + size > kOutputSize)
        {
            WriteBuffered();
            if (size > kOutputSize / 2)
            {
                WriteAll(text, size);
                return;
            }
        }
        std::memcpy(m_output.get() + m_outputUsed, text, size);
        m_outputUsed += size;
    }

    // The value's text and a line end at out; returns the end.
    char* PutReal(char* out, double value)
    {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        // Zero is most of the reals of a polyline (widths) and needs no digits.
        if (bits == 0)
        {
            std::memcpy(out, "0.0\n", 4);
            return out + 4;
        }
        // Drawings repeat many reals: the corners of a rectangle share their x and y, shapes and
        // groups share radii and offsets. A small cache keyed by the exact bits skips their digits.
        CCachedReal& cached = m_realCache[(bits * 0x9E3779B97F4A7C15ull) >> (64 - kRealCacheBits)];
        if (cached.length != 0 && cached.bits == bits)
        {
            std::memcpy(out, cached.text, sizeof cached.text);
            out[cached.length] = '\n';
            return out + cached.length + 1;
        }
        char* const end = PutRealLine(out, value, m_decimals);
        const auto length = static_cast<std::size_t>(end - out - 1);
        if (length <= sizeof cached.text)
        {
            cached.bits = bits;
            cached.length = static_cast<std::uint32_t>(length);
            std::memcpy(cached.text, out, length);
        }
        return end;
    }

    void EmitReal(int gc, double value)
    {
        if (m_outputUsed + kMaxCodeLine + kDxfRealBufferSize + 1 > kOutputSize)
            WriteBuffered();
        char* const start = m_output.get() + m_outputUsed;
        char* out = PutCodeLine(start, gc);
        out = PutReal(out, value);
        m_outputUsed += static_cast<std::size_t>(out - start);
    }

    // Where the next vertex's text goes, with room for the longest.
    char* VertexStart()
    {
        if (m_outputUsed + kMaxVertexText > kOutputSize)
            WriteBuffered();
        return m_output.get() + m_outputUsed;
    }

    // The groups 10 and 20 of a vertex at out; returns the end.
    char* PutPosition(char* out, double x, double y)
    {
        std::memcpy(out, " 10\n", 4);
        out = PutReal(out + 4, x);
        std::memcpy(out, " 20\n", 4);
        return PutReal(out + 4, y);
    }

    void EmitVertex(const double (&values)[4])
    {
        char* const start = VertexStart();
        char* const out = PutPosition(start, values[0], values[1]);
        const std::string_view tail = m_widthText.For({values[2], values[3]}, m_decimals);
        std::memcpy(out, tail.data(), tail.size());
        NoteVertex(start, out + tail.size());
    }

    // A vertex without widths: the groups after y are always the same.
    void EmitPoint(const double (&values)[2])
    {
        char* const start = VertexStart();
        char* const out = PutPosition(start, values[0], values[1]);
        static constexpr char kTail[] = " 30\n0.0\n 40\n0.0\n 41\n0.0\n";
        std::memcpy(out, kTail, sizeof kTail - 1);
        NoteVertex(start, out + sizeof kTail - 1);
    }

    // The text of the last vertex stays where it was written, for a record that repeats it; it is
    // saved aside only when the output is written out from under it.
    void NoteVertex(const char* start, const char* end)
    {
        m_lastVertexSize = static_cast<std::size_t>(end - start);
        m_lastVertexAt = m_outputUsed;
        m_outputUsed += m_lastVertexSize;
    }

    void EmitLastVertex()
    {
        // Made room for first: that may write the output out and save the last vertex aside.
        char* const to = VertexStart();
        const char* const from =
            m_lastVertexAt == kVertexSaved ? m_lastVertex.get() : m_output.get() + m_lastVertexAt;
        std::memcpy(to, from, m_lastVertexSize);
        m_lastVertexAt = m_outputUsed;
        m_outputUsed += m_lastVertexSize;
    }

    void WriteBuffered()
    {
        if (m_lastVertexAt != kVertexSaved)
        {
            std::memcpy(m_lastVertex.get(), m_output.get() + m_lastVertexAt, m_lastVertexSize);
            m_lastVertexAt = kVertexSaved;
        }
        WriteAll(m_output.get(), m_outputUsed);
        m_outputUsed = 0;
    }

    void WriteAll(const char* text, std::size_t size)
    {
        while (size > 0 && !m_failed)
        {
            const ssize_t written = ::write(m_fd, text, size);
            if (written < 0)
            {
                if (errno == EINTR)
                    continue;
                Failure(errno);
                return;
            }
            text += written;
            size -= static_cast<std::size_t>(written);
        }
    }

    void Failure(int error)
    {
        if (!m_failed.exchange(true))
            m_error = error;
    }

    int m_fd;
    const int m_decimals;
    std::unique_ptr<char[]> m_output;
    std::size_t m_outputUsed = 0;
    std::atomic<bool> m_failed{false};
    std::atomic<int> m_error{0};

    static constexpr int kRealCacheBits = 4;
    struct CCachedReal
    {
        std::uint64_t bits = 0;
        std::uint32_t length = 0; // 0: empty
        char text[36] = {};
    };
    CCachedReal m_realCache[1 << kRealCacheBits];
    CWidthText m_widthText;
    // Where the text of the last vertex is: in the output at m_lastVertexAt, or in m_lastVertex.
    static constexpr std::size_t kVertexSaved = ~std::size_t{0};
    std::unique_ptr<char[]> m_lastVertex{new char[kMaxVertexText]};
    std::size_t m_lastVertexAt = kVertexSaved;
    std::size_t m_lastVertexSize = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    std::vector<char*> m_free;
    struct CQueued
    {
        char* block;
        std::size_t used;
        bool records;
    };
    std::deque<CQueued> m_queue;
    std::atomic<std::size_t> m_recordBacklog{0};
    bool m_busy = false;
    bool m_producerWaiting = false;
    bool m_stopping = false;
    bool m_inline = false;
    std::thread m_thread;
};

namespace
{

int OpenOutput(const char* path, int& error)
{
    error = EINVAL;
    if (path == nullptr)
        return -1;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    error = errno;
    if (fd < 0)
        return -1;
    struct stat info{};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && ::ftruncate(fd, 0) != 0)
    {
        error = errno;
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// The library's own stream is opened on the null device and never used: every group comes here.
CDxfWriter::CDxfWriter(const char* path, DL_Codes::version dxfVersion)
    : DL_WriterA("/dev/null", dxfVersion), m_decimals(dxfVersion == DL_Codes::AC1009_MIN ? 6 : 16)
{
    int error = 0;
    const int fd = OpenOutput(path, error);
    m_sink = std::make_unique<CSink>(fd, m_decimals, error);
    m_block = m_sink->FreshBlock();
}

CDxfWriter::CDxfWriter(int fd, DL_Codes::version dxfVersion)
    : DL_WriterA("/dev/null", dxfVersion), m_decimals(dxfVersion == DL_Codes::AC1009_MIN ? 6 : 16),
      m_sink(std::make_unique<CSink>(fd, m_decimals, EBADF))
{
    m_block = m_sink->FreshBlock();
}

CDxfWriter::~CDxfWriter()
{
    close();
}

void CDxfWriter::CloseText() const
{
    const auto length = static_cast<std::uint32_t>(m_used - m_openText - sizeof(std::uint32_t));
    std::memcpy(m_block + m_openText, &length, sizeof length);
    m_openText = 0;
}

void CDxfWriter::HandOver() const
{
    if (m_openText != 0)
        CloseText();
    if (m_used == 0)
        return;
    m_sink->Submit(m_block, m_used, m_blockHasRecords);
    m_blockHasRecords = false;
    m_block = m_sink->FreshBlock();
    m_used = 0;
}

inline void CDxfWriter::Reserve(std::size_t size) const
{
    // A text record may have to be opened too.
    if (m_used + size + kTextHeader > kBlockSize)
        HandOver();
}

// Text goes into the open text record, or a new one; the caller has reserved the room.
inline void CDxfWriter::AppendText(const char* text, std::size_t size) const
{
    if (m_openText == 0)
    {
        m_block[m_used] = kTextTag;
        m_openText = m_used + 1;
        m_used += kTextHeader;
    }
    std::memcpy(m_block + m_used, text, size);
    m_used += size;
}

void CDxfWriter::dxfReal(int gc, double value) const
{
    if (m_used + kRealRecord > kBlockSize)
        HandOver();
    if (m_openText != 0)
        CloseText();
    m_blockHasRecords = true;
    char* out = m_block + m_used;
    const auto code = static_cast<std::int32_t>(gc);
    out[0] = kRealTag;
    std::memcpy(out + 1, &code, sizeof code);
    std::memcpy(out + 1 + sizeof code, &value, sizeof value);
    m_used += kRealRecord;
}

void CDxfWriter::Vertices(const std::vector<DxfVertex>& vertices, double minBulge) const
{
    // The text is made on whichever thread has time for it.
    if (m_sink->Behind())
    {
        VerticesAsText(vertices, minBulge);
        return;
    }
    // The writer's state in locals: stores into the block may alias anything, so members would be
    // read back from memory after every one of them.
    char* block = m_block;
    std::size_t used = m_used;
    if (m_openText != 0)
        CloseText();
    bool hasLast = m_hasLastVertex;
    m_blockHasRecords = true;
    double last[4];
    std::memcpy(last, m_lastVertex, sizeof last);
    for (const DxfVertex& vertex : vertices)
    {
        // x, y and the widths, the text a vertex's groups are made of.
        const double record[4] = {vertex.x, vertex.y, vertex.startWidth, vertex.endWidth};
        if (used + kVertexRecord > kBlockSize)
        {
            m_used = used;
            HandOver();
            m_blockHasRecords = true;
            block = m_block;
            used = m_used;
        }
        char* const out = block + used;
        // Compared by their bits: -0.0 and 0.0 print differently.
        if (hasLast && std::memcmp(record, last, sizeof last) == 0)
        {
            out[0] = kRepeatTag;
            used += 1;
        }
        else
        {
            std::memcpy(last, record, sizeof last);
            hasLast = true;
            std::uint64_t widthBits[2] = {};
            std::memcpy(widthBits, record + 2, sizeof widthBits);
            // Most polylines have no widths: half the record, half the traffic between the threads.
            if ((widthBits[0] | widthBits[1]) == 0)
            {
                out[0] = kPointTag;
                std::memcpy(out + 1, record, 2 * sizeof(double));
                used += kPointRecord;
            }
            else
            {
                out[0] = kVertexTag;
                std::memcpy(out + 1, record, 4 * sizeof(double));
                used += kVertexRecord;
            }
        }
        if (std::fabs(vertex.bulge) > minBulge)
        {
            m_used = used;
            dxfReal(42, vertex.bulge);
            block = m_block;
            used = m_used;
        }
    }
    m_used = used;
    m_hasLastVertex = hasLast;
    std::memcpy(m_lastVertex, last, sizeof last);
}

void CDxfWriter::VerticesAsText(const std::vector<DxfVertex>& vertices, double minBulge) const
{
    // Text leaves the last vertex of the records as it is, on both sides: a record after it may
    // still repeat that one. Within the batch, a vertex equal to the one before (flattened curves
    // repeat every junction point) copies that one's text while it is still in this thread's block.
    double last[4] = {};
    const char* lastText = nullptr;
    std::size_t lastSize = 0;
    CWidthText widthText;
    for (const DxfVertex& vertex : vertices)
    {
        const std::size_t before = m_used;
        Reserve(kMaxVertexText);
        // A block handed over belongs to the writing thread: its text cannot be copied any more.
        if (m_used < before)
            lastText = nullptr;
        if (m_openText == 0)
        {
            m_block[m_used] = kTextTag;
            m_openText = m_used + 1;
            m_used += kTextHeader;
        }
        char* const out = m_block + m_used;
        const double record[4] = {vertex.x, vertex.y, vertex.startWidth, vertex.endWidth};
        // Compared by their bits: -0.0 and 0.0 print differently.
        if (lastText != nullptr && std::memcmp(record, last, sizeof last) == 0)
        {
            std::memcpy(out, lastText, lastSize);
        }
        else
        {
            char* const end = PutPositionText(out, vertex.x, vertex.y, m_decimals);
            const std::string_view tail = widthText.For({vertex.startWidth, vertex.endWidth}, m_decimals);
            std::memcpy(end, tail.data(), tail.size());
            lastSize = static_cast<std::size_t>(end - out) + tail.size();
            std::memcpy(last, record, sizeof last);
        }
        lastText = out;
        m_used += lastSize;
        if (std::fabs(vertex.bulge) > minBulge)
        {
            const std::size_t beforeBulge = m_used;
            dxfReal(42, vertex.bulge);
            if (m_used < beforeBulge)
                lastText = nullptr;
        }
    }
}

void CDxfWriter::String(int gc, std::string_view value) const
{
    Reserve(kMaxCodeLine);
    {
        char line[kMaxCodeLine];
        AppendText(line, static_cast<std::size_t>(PutCodeLine(line, gc) - line));
    }
    // Long values are split over blocks: to the sink, the records of a block are pure text.
    for (;;)
    {
        const std::size_t header = m_openText == 0 ? kTextHeader : 0;
        const std::size_t free = kBlockSize - m_used;
        if (value.size() + 1 + header <= free)
            break;
        if (free > header)
        {
            const std::size_t piece = free - header;
            AppendText(value.data(), piece);
            value.remove_prefix(piece);
        }
        HandOver();
    }
    AppendText(value.data(), value.size());
    AppendText("\n", 1);
    // The document's last group: everything reaches the file before anyone closes it.
    if (gc == 0 && value == "EOF")
        Flush();
}

void CDxfWriter::Flush() const
{
    HandOver();
    m_sink->Drain();
}

bool CDxfWriter::openFailed() const
{
    return m_sink->Failed();
}

int CDxfWriter::ErrorNumber() const
{
    return m_sink->Error();
}

void CDxfWriter::Abandon() const
{
    m_sink->Abandon();
}

void CDxfWriter::close() const
{
    HandOver();
    m_sink->Close();
    DL_WriterA::close();
}

void CDxfWriter::dxfInt(int gc, int value) const
{
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, value).ptr;
    String(gc, std::string_view(text, static_cast<std::size_t>(end - text)));
}

void CDxfWriter::dxfHex(int gc, int value) const
{
    // printf("%0X"): the int's bits as an unsigned number, upper case, no padding.
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, static_cast<unsigned int>(value), 16).ptr;
    std::transform(text, end, text,
                   [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c; });
    String(gc, std::string_view(text, static_cast<std::size_t>(end - text)));
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
