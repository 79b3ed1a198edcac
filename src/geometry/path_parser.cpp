// Path data cut into steps (a command token and its argument text) and argument texts read into numbers.
// The data is a view that every step consumes from the front, so a path of any length is read in one
// pass; nothing here copies the remaining data.
#include "geometry/path_geometry.h"
#include "platform/text.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace
{

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsClosepath(char c)
{
    return c == 'z' || c == 'Z';
}

// Digits, the point and 'e': the characters that continue a number whatever comes before them.
constexpr struct CNumberBody
{
    bool table[256] = {};
    constexpr CNumberBody()
    {
        for (int c = '0'; c <= '9'; ++c)
            table[c] = true;
        table[static_cast<unsigned char>('.')] = true;
        table[static_cast<unsigned char>('e')] = true;
    }
} kNumberBody;

bool IsNumberBody(char c)
{
    return kNumberBody.table[static_cast<unsigned char>(c)];
}

// The characters a number may be made of. Upper-case 'E' and '+' are deliberately missing: drawings
// in the wild were read with this rule, so "1E5" is two numbers and "+" only separates.
bool IsNumberChar(char c)
{
    return IsDigit(c) || c == '.' || c == 'e' || c == '-';
}

// A letter that starts a token by itself: not a number character ('e') and not a closepath.
bool IsCommandLetter(char c)
{
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'y' && lower != 'e';
}

// How many numbers the argument text of a drawing command holds; 0 for anything else.
int NumberCount(const std::string& command)
{
    if (command.size() != 1)
        return 0;
    switch (command[0])
    {
    case 'A':
    case 'a':
        return 7;
    case 'M':
    case 'm':
    case 'L':
    case 'l':
    case 'T':
    case 't':
        return 2;
    case 'H':
    case 'h':
    case 'V':
    case 'v':
        return 1;
    case 'C':
    case 'c':
        return 6;
    case 'S':
    case 's':
    case 'Q':
    case 'q':
        return 4;
    default:
        return 0;
    }
}

// More coordinates after a moveto are lines to those points.
std::string RepeatedCommand(const std::string& last)
{
    if (orbelin::IsSingle(last, 'M'))
        return "L";
    if (orbelin::IsSingle(last, 'm'))
        return "l";
    return last;
}

struct NumberScan
{
    long result = 0;         // as FindNumberEnd reports it
    std::size_t closeAt = 0; // position of the interrupting closepath letter when result < 0
    bool closeSeen = false;  // a closepath letter was passed
};

NumberScan ScanNumbers(std::string_view text, int n)
{
    NumberScan scan;
    int count = 0;
    char previous = '\0';
    std::size_t i = 0;
    while (i < text.size())
    {
        // The digits of a number, by far the most characters, pass with a single look-up.
        if (i > 0 && IsNumberBody(text[i]))
        {
            std::size_t k = i + 1;
            while (k < text.size() && IsNumberBody(text[k]))
                ++k;
            previous = text[k - 1];
            i = k;
            continue;
        }
        const char c = text[i];
        const bool close = IsClosepath(c);
        if (close)
        {
            scan.closeSeen = true;
            if (count != n - 1)
            {
                scan.result = -(static_cast<long>(count) + 1);
                scan.closeAt = i;
                return scan;
            }
        }
        // A sign belongs to the number only after the usual separators or as an exponent sign; a tab
        // or carriage return before it therefore counts as one more number, as older files expect.
        const bool signedStart =
            c == '-' && (previous == ',' || previous == ' ' || previous == '\n' || previous == 'e');
        if (!close && (signedStart || IsNumberBody(c) || i == 0))
        {
            previous = c;
            ++i;
            continue;
        }

        // c ends the running number; what follows up to the next digit or sign separates it from the
        // next one, and counts as a single separator however long it is.
        std::size_t j = i + 1;
        long closeLetters = 0;
        while (j < text.size() && !IsDigit(text[j]) && text[j] != '-')
        {
            if (IsClosepath(text[j]))
            {
                scan.closeSeen = true;
                ++closeLetters;
            }
            ++j;
        }
        ++count;
        if (count == n)
        {
            // Leave a closepath letter of the separator at the front of the rest (10 z -> "z ...").
            scan.result = static_cast<long>(i) + closeLetters;
            return scan;
        }
        previous = text[j - 1];
        i = j;
    }
    scan.result = static_cast<long>(text.size());
    return scan;
}

// Where the reading of the next number starts: a sign stays with the number it begins.
std::string_view AfterNumber(std::string_view text, long end)
{
    const auto p = static_cast<std::size_t>(end);
    if (p < text.size() && text[p] == '-')
        return text.substr(p);
    return p + 1 < text.size() ? text.substr(p + 1) : std::string_view();
}

// What is left of an argument text holds a further number only when it holds a digit. Trailing
// blanks, commas or a closepath letter would otherwise read as one more 0 and complete a command that
// lacks its end point ("S 1 2 z", "A 1 1 0 0 1 5 z").
bool HoldsNoNumber(std::string_view text)
{
    for (const char c : text)
        if (IsDigit(c))
            return false;
    return true;
}

// The plain shape of a number at text[from...]: an optional '-', digits, an optional point and
// digits, 15 digits at most. Gives its value (as strtod would) and where it ends.
bool ReadPlainDigits(std::string_view text, std::size_t from, double& value, std::size_t& end)
{
    const bool negative = from < text.size() && text[from] == '-';
    const orbelin::DecimalDigits decimal = orbelin::ScanDecimalDigits(text, negative ? from + 1 : from);
    if (decimal.integerDigits == 0 || decimal.integerDigits + decimal.fractionDigits > 15)
        return false;
    const double magnitude = orbelin::ExactDecimal(decimal.value, decimal.fractionDigits);
    value = negative ? -magnitude : magnitude;
    end = decimal.end;
    return true;
}

// True when the number ending at text[end] ends there for the general way too (no point or 'e'
// continues it) and no closepath letter comes before the next digit or '-'.
bool EndsPlainly(std::string_view text, std::size_t end)
{
    if (end >= text.size())
        return true;
    const char c = text[end];
    if (c == '.' || c == 'e' || IsClosepath(c))
        return false;
    for (std::size_t j = end + 1; j < text.size() && !IsDigit(text[j]) && text[j] != '-'; ++j)
        if (IsClosepath(text[j]))
            return false;
    return true;
}

// Reads `count` numbers from the front of data when every one has the plain shape and they are
// joined the plainest way: one blank or comma, or nothing before a '-'. For such data the cut (the
// end of the last number) and every value are exactly what ScanNumbers and ReadNumbers give, in one
// pass instead of three; any other data returns false and goes their way.
bool ReadPlainArgs(std::string_view data, int count, double* values, std::size_t& end)
{
    const std::size_t size = data.size();
    std::size_t i = 0;
    for (int k = 0; k < count; ++k)
    {
        if (!ReadPlainDigits(data, i, values[k], i))
            return false;
        if (k + 1 == count)
            break;
        if (i + 1 >= size)
            return false;
        const char c = data[i];
        if (c == '-')
        {
            if (!IsDigit(data[i + 1]))
                return false;
            continue;
        }
        if (c != ' ' && c != ',')
            return false;
        ++i;
        if (!IsDigit(data[i]) && !(data[i] == '-' && i + 1 < size && IsDigit(data[i + 1])))
            return false;
    }
    if (!EndsPlainly(data, i))
        return false;
    end = i;
    return true;
}

} // namespace

bool CPathGeometry::TakePlainArgs(std::string_view args, double* values, int count)
{
    if (args.data() != m_plainArgsAt || args.size() != m_plainArgsSize || count != m_plainArgsCount)
        return false;
    std::copy(m_plainArgs, m_plainArgs + count, values);
    m_plainArgsAt = nullptr;
    return true;
}

bool ReadPlainNumber(std::string_view text, double& value, std::size_t& end)
{
    double read = 0.0;
    std::size_t readEnd = 0;
    if (!ReadPlainDigits(text, 0, read, readEnd) || !EndsPlainly(text, readEnd))
        return false;
    value = read;
    end = readEnd;
    return true;
}

long CPathGeometry::FindNumberEnd(std::string_view text, int n)
{
    const NumberScan scan = ScanNumbers(text, n);
    if (scan.closeSeen)
        m_closeSeen = 1;
    return scan.result;
}

std::string_view CPathGeometry::SplitCommandArgs(std::string& command, std::string_view& data)
{
    // A blank token carries more numbers for the previous command.
    if (orbelin::IsSingle(command, ' ') || orbelin::IsSingle(command, '\n'))
        command = RepeatedCommand(m_lastCommand);

    const int count = NumberCount(command);
    if (count == 0)
    {
        // Not a drawing command: its numbers go with it and the step is skipped.
        std::size_t end = 0;
        while (end < data.size() && IsNumberChar(data[end]))
            ++end;
        const std::string_view args = data.substr(0, end);
        data.remove_prefix(end);
        return args;
    }

    m_plainArgsAt = nullptr;
    if (count <= 6)
    {
        std::size_t end = 0;
        if (ReadPlainArgs(data, count, m_plainArgs, end))
        {
            const std::string_view args = data.substr(0, end);
            data.remove_prefix(end);
            m_plainArgsAt = args.data();
            m_plainArgsSize = args.size();
            m_plainArgsCount = count;
            return args;
        }
    }

    NumberScan scan = ScanNumbers(data, count);
    if (scan.closeSeen)
        m_closeSeen = 1;
    if (scan.result == -2 && (orbelin::IsSingle(command, 'C') || orbelin::IsSingle(command, 'c')))
    {
        // "C 10 10z": a single pair before the closepath is drawn as a line to it.
        command = orbelin::IsSingle(command, 'C') ? "L" : "l";
        scan = ScanNumbers(data, 2);
    }

    std::string_view args;
    if (scan.result >= 0)
    {
        const auto end = static_cast<std::size_t>(scan.result);
        args = data.substr(0, end);
        data.remove_prefix(end);
    }
    else if (scan.result == -1 || orbelin::IsSingle(command, 'C') || orbelin::IsSingle(command, 'c'))
    {
        args = data;
        data = std::string_view();
    }
    else
    {
        // A closepath after one or more complete numbers of a longer command ("S 1 2z"). Taking
        // nothing would return the same step for ever once the data starts with '-' (the previous
        // command is put in front again). The numbers before the letter become the argument text,
        // read as far as it goes like any short one, and the letter stays at the front of the rest,
        // where the next step takes it as a closepath exactly as after a complete command. The letter
        // is at least one character in, so every such step advances.
        args = data.substr(0, scan.closeAt);
        data.remove_prefix(scan.closeAt);
    }
    return args;
}

int CPathGeometry::NextPathCommand(std::string_view& args, std::string& command, std::string_view& data)
{
    // Nearly every step of real data is a command letter between at most one blank on either side,
    // then a number: the token is that letter alone, as the general way below would find it.
    if (data.size() >= 4)
    {
        const std::size_t letter = data[0] == ' ' ? 1 : 0;
        const std::size_t number = letter + (data[letter + 1] == ' ' ? 2 : 1);
        if (IsCommandLetter(data[letter]) && IsNumberChar(data[number]))
        {
            // Written in place: a token is one letter nearly always, so the string keeps its size.
            command.resize(1);
            command[0] = data[letter];
            data.remove_prefix(number);
            args = SplitCommandArgs(command, data);
            return 1;
        }
    }

    // Data starting with ',' or '-' repeats the previous command. Instead of writing that command in
    // front of the data (a copy of the whole rest), it is kept beside it in `head` and the scans read
    // head and tail as one text.
    std::string head;
    std::string_view tail = data;
    if (!tail.empty() && (tail[0] == ',' || tail[0] == '-') && !m_lastCommand.empty())
    {
        if (tail[0] == ',')
            tail.remove_prefix(1);
        head = RepeatedCommand(m_lastCommand);
    }

    const char first = !head.empty() ? head[0] : (!tail.empty() ? tail[0] : '\0');
    if (IsClosepath(first))
    {
        if (!head.empty())
        {
            head.erase(0, 1);
            head = std::string(orbelin::TrimLeft(head));
            if (head.empty())
                tail = orbelin::TrimLeft(tail);
        }
        else
        {
            tail = orbelin::TrimLeft(tail.substr(1));
        }
        m_closeLeading = 1;
    }

    const std::size_t total = head.size() + tail.size();
    const auto at = [&](std::size_t i) { return i < head.size() ? head[i] : tail[i - head.size()]; };
    std::size_t start = 0;
    while (start < total && IsNumberChar(at(start)))
        ++start;
    if (start == total)
        return 0;
    std::size_t end = start + 1;
    while (end < total && !IsNumberChar(at(end)))
        ++end;
    if (end == total)
        return 0;
    // The previous command is itself a token, so it never holds a number character after a non-number
    // one and the arguments always start in the real data; the clamp only keeps the view inside it.
    if (end < head.size())
        end = head.size();

    std::string token = head.substr(0, end);
    if (end > head.size())
        token.append(tail.substr(0, end - head.size()));
    if (token.size() >= 2)
    {
        token = std::string(orbelin::Trim(token));
        // "z M": the closepath letter in front of the next command.
        if (token.find("z ") != std::string::npos || token.find("Z ") != std::string::npos)
            token.erase(0, 2);
        if (token.empty())
            token = " ";
    }

    command = std::move(token);
    data = tail.substr(end - head.size());
    args = SplitCommandArgs(command, data);
    return 1;
}

void CPathGeometry::ReadNumberPair(std::string_view args, double& x, double& y)
{
    double values[2];
    if (TakePlainArgs(args, values, 2))
    {
        x = values[0];
        y = values[1];
        return;
    }
    const std::string_view text = orbelin::TrimLeft(args);
    std::size_t plainEnd = 0;
    if (ReadPlainNumber(text, x, plainEnd))
    {
        y = orbelin::ReadDouble(AfterNumber(text, static_cast<long>(plainEnd)));
        return;
    }
    const long end = FindNumberEnd(text, 1);
    x = orbelin::ReadDouble(text.substr(0, static_cast<std::size_t>(end)));
    y = orbelin::ReadDouble(AfterNumber(text, end));
}

namespace
{

// Reads up to `wanted` numbers from the front of the text; the number of numbers found.
int ReadNumbers(CPathGeometry& geometry, std::string_view text, double* values, int wanted)
{
    int found = 0;
    while (found < wanted)
    {
        std::size_t plainEnd = 0;
        if (ReadPlainNumber(text, values[found], plainEnd))
        {
            ++found;
            text = AfterNumber(text, static_cast<long>(plainEnd));
            continue;
        }
        if (HoldsNoNumber(text))
            break;
        const long end = geometry.FindNumberEnd(text, 1);
        values[found++] = orbelin::ReadDouble(text.substr(0, static_cast<std::size_t>(end)));
        text = AfterNumber(text, end);
    }
    return found;
}

} // namespace

int CPathGeometry::ReadNumbers4(std::string_view args, double values[4])
{
    if (TakePlainArgs(args, values, 4))
        return 1;
    const int found = ReadNumbers(*this, args, values, 4);
    if (found < 3)
        return 0;
    // Files whose last coordinate was lost read it as 0 rather than dropping the curve.
    if (found == 3)
        values[3] = 0.0;
    return 1;
}

int CPathGeometry::ReadNumbers6(std::string_view args, double values[6])
{
    if (TakePlainArgs(args, values, 6))
        return 1;
    const int found = ReadNumbers(*this, args, values, 6);
    if (found < 5)
        return 0;
    if (found == 5)
        values[5] = 0.0;
    return 1;
}

int CPathGeometry::ReadArcArgs(std::string_view args, double& rx, double& ry, double& rotation, int& largeArc,
                               int& sweep, double& x, double& y)
{
    // The flags are whole numbers of their own: "0110" is one number, not four flags.
    std::string_view text = args;
    int found = 0;
    while (found < 7 && !HoldsNoNumber(text))
    {
        const long end = FindNumberEnd(text, 1);
        const std::string_view number = text.substr(0, static_cast<std::size_t>(end));
        switch (found)
        {
        case 0:
            rx = orbelin::ReadDouble(number);
            break;
        case 1:
            ry = orbelin::ReadDouble(number);
            break;
        case 2:
            rotation = orbelin::ReadDouble(number);
            break;
        case 3:
            largeArc = orbelin::ReadInt(number);
            break;
        case 4:
            sweep = orbelin::ReadInt(number);
            break;
        case 5:
            x = orbelin::ReadDouble(number);
            break;
        default:
            y = orbelin::ReadDouble(number);
            break;
        }
        ++found;
        text = AfterNumber(text, end);
    }
    return found == 7 ? 1 : 0;
}
