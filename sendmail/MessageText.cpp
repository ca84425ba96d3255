#include "sendmail/MessageText.h"

#include <cstdio>

#include "mime/HeaderWriting.h"
#include "platform/Clock.h"
#include "text/FileNames.h"
#include "text/Limits.h"
#include "text/NarrowText.h"

namespace tarnwick::sendmail {
namespace {

constexpr std::size_t kDateBufferBytes = 128;

// The header is always English, whatever the process locale.
constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// White space within a line: a break in the text never eats a line end.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of text[0, end) once trailing bytes of the kind are dropped.
template <typename Kind>
std::size_t TrimmedEnd(const std::string& text, std::size_t begin, std::size_t end, Kind isKind) {
    const char* base = text.data();
    while (end > begin && isKind(base[end - 1]) && !text::IsSecondByte(base, base + end - 1, text::Pairing::AnyByte)) --end;
    return end;
}

}  // namespace

std::string TrimWhiteSpace(const std::string& text) {
    // Leading white space is made of single bytes from the very start, so
    // only the trailing side needs to know the characters.
    std::size_t begin = 0;
    while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
    return text.substr(begin, TrimmedEnd(text, begin, text.size(), IsWhiteSpace) - begin);
}

std::string WrapText(const std::string& text, int width) {
    // The rule walks an index over a text that each break rewrites in place;
    // the walk continues at the same index of the rewritten text. Here the
    // text is out (everything up to the index) followed by carry (the bytes a
    // break moved behind the index) and the unread input from next, so a
    // break only touches the current line and the whole run stays linear.
    std::string out;
    out.reserve(text.size() + text.size() / 16 + 2);
    std::string carry;
    std::size_t carried = 0;   // bytes of carry already moved to out
    std::size_t next = 0;      // first input byte not yet moved to out

    auto moreBytes = [&] { return carried < carry.size() || next < text.size(); };
    auto pullByte = [&] { out += carried < carry.size() ? carry[carried++] : text[next++]; };
    auto byteAfter = [&](std::size_t i) -> int {
        if (i + 1 < out.size()) return out[i + 1];
        if (carried < carry.size()) return carry[carried];
        if (next < text.size()) return text[next];
        return -1;
    };

    int column = 0;
    std::size_t space = 0;     // the most recent space after a word of the current line
    bool lineHasSpace = false;
    bool lineHasWord = false;  // a line's leading blanks are its indentation, never a break
    for (std::size_t i = 0;; ++i) {
        // A break can leave index i beyond bytes that nobody looks at again.
        while (out.size() <= i && moreBytes()) pullByte();
        if (out.size() <= i) break;

        if (out[i] == ' ' && !text::IsSecondByte(out.data(), out.data() + i, text::Pairing::AnyByte)) {
            if (lineHasWord) {
                space = i;
                lineHasSpace = true;
            }
        } else if (!IsWhiteSpace(out[i])) {
            lineHasWord = true;
        }
        if (out[i] == '\r' && byteAfter(i) == '\n') {
            column = 0;
            lineHasSpace = false;
            lineHasWord = false;
        }
        if (column <= width) {
            ++column;
            continue;
        }
        // Past the width: a line without a space of its own is left long and
        // breaks at its first space to come.
        if (!lineHasSpace) continue;

        // The blanks around the space give way to one line end, unless the
        // line ends right after them anyway: a line end of the text is never
        // dropped and no empty line is made.
        std::string rest = out.substr(space);
        rest.append(carry, carried, std::string::npos);
        out.resize(TrimmedEnd(out, 0, space, IsBlank));
        std::size_t restBegin = 0;
        while (restBegin < rest.size() && IsBlank(rest[restBegin])) ++restBegin;
        if (restBegin == rest.size())
            while (next < text.size() && IsBlank(text[next])) ++next;
        carry = rest.substr(restBegin);
        const std::string_view following =
            restBegin < rest.size() ? std::string_view(carry) : std::string_view(text).substr(next);
        carried = 0;
        column = 0;
        lineHasSpace = false;
        if (following.substr(0, 2) == kLineEnd) {
            // The text's own line end follows: walk on from it, so that it
            // starts the next line as any line end does.
            i = out.size() - 1;   // out still holds the word before the space
            continue;
        }
        out += kLineEnd;
        lineHasWord = true;   // the carried bytes begin with one
    }
    return out;
}

std::string WithCrLfLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += kLineEnd;
            ++i;
        } else if (text[i] == '\r' || text[i] == '\n') {
            out += kLineEnd;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string StuffDots(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    // Line by line, LF included.
    for (std::size_t begin = 0, end; begin < text.size(); begin = end) {
        if (text[begin] == '.') out += '.';
        end = text.find('\n', begin);
        end = end == std::string::npos ? text.size() : end + 1;
        out.append(text, begin, end - begin);
    }
    return out;
}

std::string AttachmentBaseName(const std::string& path) {
    const std::string_view base = text::LastPathComponent(path);
    const std::size_t dot = base.rfind('.');
    const std::size_t nameEnd = dot == std::string_view::npos ? base.size() : dot;
    return text::CutAtCharBoundary(std::string(base.substr(0, nameEnd)), text::kMaxNamePartBytes) +
           text::CutAtCharBoundary(std::string(base.substr(nameEnd)), text::kMaxNamePartBytes);
}

std::string OneLine(std::string value) {
    for (char& c : value)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = ' ';
    return value;
}

std::string QuotedString(std::string_view value) {
    std::string clean(value);
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    return mime::QuotedText(clean);
}

std::string FoldHeaderLine(const std::string& line, bool afterCommas) {
    // Never inside the field name: folding there would not shorten the value.
    const std::size_t colon = line.find(": ");
    const std::size_t valueStart = colon == std::string::npos ? 0 : colon + 2;
    std::string out;
    std::size_t start = 0;   // of the line being cut, in `line`
    bool continued = false;  // that line is a continuation: a blank goes first
    while (line.size() - start + (continued ? 1 : 0) > kMaxLineBytes) {
        const std::size_t room = kMaxLineBytes - (continued ? 1 : 0);
        // The last place that keeps this line within the limit.
        std::size_t cut = 0;
        for (std::size_t i = start + room; i > start + 1 && i > valueStart && cut == 0; --i)
            if (afterCommas ? line[i - 1] == ',' : line[i] == ' ') cut = i;
        if (cut == 0) break;
        if (continued) out += ' ';
        out.append(line, start, cut - start);
        out += kLineEnd;
        start = cut;
        continued = afterCommas && line[start] != ' ';
    }
    if (continued) out += ' ';
    return out.append(line, start, std::string::npos);
}

bool HasOverlongLine(std::string_view text) {
    for (std::size_t begin = 0; begin < text.size();) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        std::size_t length = end - begin;
        if (end < text.size() && length > 0 && text[end - 1] == '\r') --length;
        if (length > kMaxLineBytes) return true;
        begin = end + 1;
    }
    return false;
}

std::string BoundaryAvoiding(const std::vector<std::string_view>& texts) {
    // kBoundary followed by digits occurs in a text exactly when the digits
    // are a prefix of the digit run after some occurrence of kBoundary.
    const std::string_view fixed(kBoundary);
    std::vector<std::string_view> runs;
    for (std::string_view text : texts)
        for (std::size_t at = text.find(fixed); at != std::string_view::npos; at = text.find(fixed, at + 1)) {
            std::size_t end = at + fixed.size();
            while (end < text.size() && IsDigit(text[end])) ++end;
            runs.push_back(text.substr(at + fixed.size(), end - at - fixed.size()));
        }
    if (runs.empty()) return kBoundary;

    // Digit by digit, the one that the fewest remaining runs have next: at
    // most a tenth of them stay, so the work shrinks geometrically and the
    // digits stay few however many runs a hostile text holds.
    std::string digits;
    while (!runs.empty()) {
        const std::size_t k = digits.size();
        std::size_t count[10] = {};
        for (std::string_view run : runs)
            if (run.size() > k) ++count[run[k] - '0'];
        int best = 0;
        for (int d = 1; d < 10; ++d)
            if (count[d] < count[best]) best = d;
        const char digit = static_cast<char>('0' + best);
        digits += digit;
        std::vector<std::string_view> left;
        left.reserve(count[best]);
        for (std::string_view run : runs)
            if (run.size() > k && run[k] == digit) left.push_back(run);
        runs.swap(left);
    }
    return kBoundary + digits;
}

std::string FormatDate(std::time_t t) {
    platform::LocalTime local;
    if (!platform::ToLocalTime(t, local) || local.weekday < 0 || local.weekday > 6 || local.month < 1 ||
        local.month > 12)
        return {};
    const int offset = local.utcOffsetMinutes;
    const int magnitude = offset < 0 ? -offset : offset;
    char date[kDateBufferBytes];
    const int n = std::snprintf(date, sizeof date, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                                kDayNames[local.weekday], local.day, kMonthNames[local.month - 1], local.year,
                                local.hour, local.minute, local.second, offset < 0 ? '-' : '+', magnitude / 60,
                                magnitude % 60);
    return n > 0 && static_cast<std::size_t>(n) < sizeof date ? std::string(date, static_cast<std::size_t>(n))
                                                               : std::string();
}

}  // namespace tarnwick::sendmail
