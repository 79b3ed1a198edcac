// The group writer of every DXF document this program writes: dxflib's ASCII writer, producing the
// very same bytes, but formatting groups itself and handing them to the library's stream in large
// blocks. A vertex-heavy drawing writes millions of groups; the library's writer pays a stream
// insertion per piece of every group, a printf per real and a flush (a system call) per real.
#pragma once

#include <cstddef>
#include <cstdint>
#include <dl_writer_ascii.h>
#include <string>
#include <string_view>

// Room for any double in fixed notation with 16 decimals (309 integer digits, sign, point) and more.
constexpr std::size_t kDxfRealBufferSize = 400;

// Writes value as dxflib's DL_WriterA::dxfReal prints it: fixed notation with `decimals` decimals
// (16, or 6 for the oldest DXF version), then trailing zeros cut down to one decimal. Returns the
// length; the text is not terminated. Exact and locale-independent.
std::size_t FormatDxfReal(double value, int decimals, char* buffer);

class CDxfWriter : public DL_WriterA
{
public:
    CDxfWriter(const char* path, DL_Codes::version dxfVersion);
    ~CDxfWriter() override;
    CDxfWriter(const CDxfWriter&) = delete;
    CDxfWriter& operator=(const CDxfWriter&) = delete;

    void dxfReal(int gc, double value) const override;
    void dxfInt(int gc, int value) const override;
    void dxfHex(int gc, int value) const override;
    void dxfString(int gc, const char* value) const override;
    void dxfString(int gc, const std::string& value) const override;
    void dxfBool(int gc, bool value) const override { dxfInt(gc, value ? 1 : 0); }

    // Hands the groups held back to the library's stream. Done by itself when a block is full and at
    // the document's closing "0 / EOF" group, so that a caller that only knows DL_WriterA (whose
    // close() is not virtual) still closes a complete file; write errors then show in openFailed().
    void Flush() const;
    // Flushes, then closes the stream (hides DL_WriterA::close for callers that know this type).
    void close() const;

private:
    // Room for the group's value, at least maxValue bytes (at most half a block), after its code line.
    char* BeginGroup(int gc, std::size_t maxValue) const;
    [[gnu::noinline]] char* BeginFirstGroup(int gc, std::size_t maxValue) const;
    void EndGroup(const char* end) const { m_used = static_cast<std::size_t>(end - m_pending.data()); }
    void String(int gc, std::string_view value) const;
    [[gnu::noinline]] std::size_t FormatRealAndKeep(double value, std::uint64_t bits, char* out) const;

    // Whole groups not yet handed to the stream (the first m_used bytes of a block-sized buffer),
    // stored without the first group's code line and without the last line end: handed over as that
    // first group's "value", the library's dxfString writes exactly the original text in one insertion.
    mutable std::string m_pending;
    mutable std::size_t m_used = 0;
    mutable int m_pendingCode = 0;
    // m_pending holds at least one group (whose value may be empty).
    mutable bool m_holding = false;

    // The last reals formatted, by the bits of the value: a hit costs a copy instead of the digits.
    static constexpr int kRealCacheBits = 4;
    struct CCachedReal
    {
        std::uint64_t bits = 0;
        std::uint32_t length = 0; // 0: empty
        char text[36] = {};
    };
    mutable CCachedReal m_realCache[1 << kRealCacheBits];
};
