#include "sendmail/PartEncoder.h"

#include "text/FileNames.h"
#include "text/NarrowText.h"
#include "mime/Codecs.h"

namespace tarnwick::sendmail {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kTextType[] = "text/plain";
constexpr char kTextTransferEncoding[] = "7Bit";
constexpr char kAttachmentType[] = "application/octet-stream";

// Length of text[0, end) once trailing white space is dropped.
std::size_t TrimmedEnd(const std::string& text, std::size_t begin, std::size_t end) {
    const char* base = text.data();
    while (end > begin && IsWhiteSpace(base[end - 1]) && !text::IsTrailByte(base, base + end - 1)) --end;
    return end;
}

void Write(const std::string& bytes, std::FILE* file) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
}

}  // namespace

bool IsWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimWhiteSpace(const std::string& text) {
    // Leading white space is made of single bytes from the very start, so
    // only the trailing side needs to know the characters.
    std::size_t begin = 0;
    while (begin < text.size() && IsWhiteSpace(text[begin])) ++begin;
    return text.substr(begin, TrimmedEnd(text, begin, text.size()) - begin);
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
    std::size_t space = 0;     // the most recent space of the current line
    bool lineHasSpace = false;
    for (std::size_t i = 0;; ++i) {
        // A break can leave index i beyond bytes that nobody looks at again.
        while (out.size() <= i && moreBytes()) pullByte();
        if (out.size() <= i) break;

        if (out[i] == ' ' && !text::IsTrailByte(out.data(), out.data() + i)) {
            space = i;
            lineHasSpace = true;
        }
        if (out[i] == '\r' && byteAfter(i) == '\n') {
            column = 0;
            lineHasSpace = false;
        }
        if (column <= width) {
            ++column;
            continue;
        }
        // Past the width: a line without a space of its own is left long and
        // breaks at its first space to come.
        if (!lineHasSpace) continue;

        std::string rest = out.substr(space);
        rest.append(carry, carried, std::string::npos);
        out.resize(TrimmedEnd(out, 0, space));
        out += kLineEnd;
        std::size_t restBegin = 0;
        while (restBegin < rest.size() && IsWhiteSpace(rest[restBegin])) ++restBegin;
        if (restBegin == rest.size())
            while (next < text.size() && IsWhiteSpace(text[next])) ++next;
        carry = rest.substr(restBegin);
        carried = 0;
        column = 0;
        lineHasSpace = false;
    }
    return out;
}

std::string StuffDots(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && c == '.') out += '.';
        out += c;
        lineStart = c == '\n';
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

// ---- TextPartEncoder ----

std::string TextPartEncoder::PartContentType(const std::string&) const { return kTextType; }

std::string TextPartEncoder::PartHeader(const std::string& data, const std::string& suffix) const {
    return "Content-Type: " + PartContentType(data) + suffix + kLineEnd +
           "Content-Transfer-Encoding: " + kTextTransferEncoding + kLineEnd + kLineEnd;
}

bool TextPartEncoder::RenderToText(const std::string& data, const std::string& suffix,
                                   std::string& text) const {
    // The closing CR LF is part of the rendering, as in the file form, so
    // that an empty text gives the same empty line in both forms.
    text += PartHeader(data, suffix);
    text += StuffDots(WrapText(data, width_));
    text += kLineEnd;
    return true;
}

bool TextPartEncoder::RenderToFile(const std::string& data, const std::string& suffix,
                                   std::FILE* file) const {
    Write(PartHeader(data, suffix), file);
    Write(StuffDots(WrapText(data, width_)), file);
    Write(kLineEnd, file);
    return true;
}

// ---- AttachmentEncoder ----

std::string AttachmentEncoder::PartContentType(const std::string&) const { return kAttachmentType; }

std::string AttachmentEncoder::PartHeader(const std::string& data, const std::string&) const {
    const std::string base = AttachmentBaseName(data);
    return "Content-Type: " + PartContentType(data) + "; file=" + base + kLineEnd +
           "Content-Transfer-Encoding: base64" + kLineEnd +
           "Content-Disposition: attachment; filename=" + base + kLineEnd + kLineEnd;
}

void AttachmentEncoder::EncodeFileToText(const platform::MappedFile& file, std::string& text) const {
    mime::Base64EncodeRange(file.Begin(), file.End(), text);
    text += kLineEnd;
}

bool AttachmentEncoder::RenderToText(const std::string& data, const std::string& suffix,
                                     std::string& text) const {
    // The same read-only mapping as the file form: both forms then agree on
    // which files can be read (an empty file cannot be mapped).
    platform::MappedFile file;
    if (!file.Open(data)) return false;
    text += PartHeader(data, suffix);
    EncodeFileToText(file, text);
    return true;
}

bool AttachmentEncoder::RenderToFile(const std::string& data, const std::string& suffix,
                                     std::FILE* file) const {
    // The file is encoded straight from the mapping, never loaded whole.
    platform::MappedFile mapped;
    if (!mapped.Open(data)) return false;
    Write(PartHeader(data, suffix), file);
    mime::Base64EncodeToStream(mapped.Begin(), mapped.End(), file);
    Write(kLineEnd, file);
    return true;
}

}  // namespace tarnwick::sendmail
