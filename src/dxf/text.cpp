// One single-line TEXT entity, its content encoded the way DXF 2000 readers take it.
#include "dxf/conventions.h"
#include "dxf/dxf_writer.h"

#include <algorithm>
#include <cmath>
#include <dl_dxf.h>
#include <string>
#include <string_view>

namespace
{

// Glyphs of the CAD fonts are wider than those of the drawing's fonts; this keeps the line length.
constexpr double kWidthFactor = 0.7;
// Longest content written. dxflib's reader, and the CAD programs built on it, take at most 1023
// characters per line and never get past a longer one; DXF itself allows 2049.
constexpr std::size_t kMaxContentBytes = 1000;

// Length of the UTF-8 sequence starting at text[i] and its code point; 0 when the bytes there do not
// form a valid, shortest-form sequence.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, unsigned long& codePoint)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned long minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
    {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    }
    else if (lead >= 0xE0 && lead <= 0xEF)
    {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    }
    else if (lead >= 0xF0 && lead <= 0xF4)
    {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    }
    else
    {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k)
    {
        const unsigned char next = byte(i + k);
        if ((next & 0xC0u) != 0x80u)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

void AppendEscape(std::string& out, unsigned long unit)
{
    static const char kHex[] = "0123456789ABCDEF";
    out += "\\U+";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += kHex[(unit >> shift) & 0xFu];
}

// A DXF 2000 reader takes TEXT values in the drawing's code page, so every character beyond ASCII is
// written as the \U+XXXX escape those readers understand. They read exactly four hex digits (a longer
// escape would turn into another character and a stray digit) and hold text as UTF-16, so a character
// beyond U+FFFF is written as the escapes of its two UTF-16 surrogates. Line breaks would end the
// group value: each becomes a blank, so the entity keeps every visible character; other control bytes
// (a zero byte among them) are no text a reader can show and become blanks too. ASCII and bytes
// that are not valid UTF-8 pass unchanged, since nothing better is known about them. The value is
// cut at a whole character before kMaxContentBytes.
std::string EncodeContent(std::string_view content)
{
    std::string out;
    out.reserve(std::min(content.size(), kMaxContentBytes));
    std::size_t i = 0;
    while (i < content.size())
    {
        const char c = content[i];
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
        {
            if (out.size() + 1 > kMaxContentBytes)
                break;
            out += ' ';
            i += (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ? 2 : 1;
            continue;
        }
        unsigned long codePoint = 0;
        const std::size_t length =
            static_cast<unsigned char>(c) < 0x80 ? 0 : DecodeUtf8(content, i, codePoint);
        if (length == 0)
        {
            if (out.size() + 1 > kMaxContentBytes)
                break;
            out += c;
            ++i;
            continue;
        }
        constexpr std::size_t kEscapeBytes = 7; // \U+XXXX
        if (out.size() + (codePoint > 0xFFFF ? 2 : 1) * kEscapeBytes > kMaxContentBytes)
            break;
        if (codePoint > 0xFFFF)
        {
            codePoint -= 0x10000;
            AppendEscape(out, 0xD800 + (codePoint >> 10));
            AppendEscape(out, 0xDC00 + (codePoint & 0x3FFu));
        }
        else
        {
            AppendEscape(out, codePoint);
        }
        i += length;
    }
    return out;
}

} // namespace

void CDxfDocument::WriteTextEntity(double x, double y, double height, double angle, std::string_view content,
                                   const std::string& style, int horizontalAlignment)
{
    ToOutputUnit(x, y);
    ToOutputLength(height);
    if (!m_writer || !IsWritable(x) || !IsWritable(y) || !IsWritable(height))
        return;
    // A justified text is placed by its alignment point; the insertion point is the same one, which
    // CAD programs recompute from the glyphs.
    const DL_TextData data(x, y, 0.0, x, y, 0.0, height, kWidthFactor, 0, std::clamp(horizontalAlignment, 0, 2), 0,
                           EncodeContent(content), style, angle);
    m_dxf->writeText(*m_writer, data, MakeAttributes(*this, OutlineStyle(m_lineType)));
}
