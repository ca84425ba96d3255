// Encoders that turn one body part of an outgoing message into MIME text:
// the typed text (code 0) and an attached file (code 1).
//
// Text is narrow text in the system code page (GBK): a byte from 0x81 to 0xFE
// starts a double-byte character and takes the next byte with it, so trimming
// and line breaking never look at the second byte of such a character alone.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "platform/FileSystem.h"

namespace tarnwick::sendmail {

// Codes stored with each part; the registry finds the encoder by them.
constexpr int kTextPartCode = 0;
constexpr int kAttachmentCode = 1;

// Space, tab, CR, LF, vertical tab, form feed.
bool IsWhiteSpace(char c);

// text without leading and trailing white space; a double-byte character
// whose second byte looks like white space is kept whole.
std::string TrimWhiteSpace(const std::string& text);

// The text part's line breaking at spaces for lines of width bytes. Every
// byte is counted, CR and LF of a line end included (the pair resets the
// count). A break is due when the count passes width; the line is then cut
// at the most recent space of the current line, that space and the white
// space around it (line ends included) give way to one CR LF, and counting
// restarts at the same position of the rewritten text: for a single space,
// the byte that made the break due. A line without a space stays as long as
// it is, up to its first space. Nothing else in the text changes.
std::string WrapText(const std::string& text, int width);

// text with one more "." in front of every line that begins with "." (a line
// begins at the start of the text and after every LF). The message file ends
// with a line holding "." alone, and the mail server that collects it reads
// up to the first such line, taking one leading "." off any other line.
std::string StuffDots(const std::string& text);

// The file name and extension of an attachment path: what follows the drive
// and the last backslash or '/', name and extension each cut to
// text::kMaxNamePartBytes.
std::string AttachmentBaseName(const std::string& path);

// One kind of body part. Encoders do not change after construction, so one
// found in the registry is used by any thread without a lock.
class PartEncoder {
public:
    explicit PartEncoder(int code) : code_(code) {}
    PartEncoder(const PartEncoder&) = delete;
    PartEncoder& operator=(const PartEncoder&) = delete;

    // Appends the rendered part to text; false when the part has nothing to
    // show (an unreadable file), text then unchanged.
    virtual bool RenderToText(const std::string& data, const std::string& suffix,
                              std::string& text) const = 0;
    // Writes the rendered part to file; false (nothing written) when the part
    // has nothing to show.
    virtual bool RenderToFile(const std::string& data, const std::string& suffix,
                              std::FILE* file) const = 0;
    virtual ~PartEncoder() = default;
    virtual std::string PartContentType(const std::string& data) const = 0;
    // The part's header lines and the empty line that ends them.
    virtual std::string PartHeader(const std::string& data, const std::string& suffix) const = 0;

    int Code() const { return code_; }

private:
    int code_;
};

// The typed text: "text/plain" in "7Bit", wrapped at spaces, then dot-stuffed.
class TextPartEncoder : public PartEncoder {
public:
    explicit TextPartEncoder(int width) : PartEncoder(kTextPartCode), width_(width) {}

    bool RenderToText(const std::string& data, const std::string& suffix,
                      std::string& text) const override;
    bool RenderToFile(const std::string& data, const std::string& suffix,
                      std::FILE* file) const override;
    std::string PartContentType(const std::string& data) const override;
    std::string PartHeader(const std::string& data, const std::string& suffix) const override;

    int Width() const { return width_; }

private:
    int width_;
};

// An attached file (data is its path), sent as base64 from a read-only
// mapping. A file that cannot be opened or mapped, an empty one included,
// renders nothing.
class AttachmentEncoder : public PartEncoder {
public:
    AttachmentEncoder() : PartEncoder(kAttachmentCode) {}

    bool RenderToText(const std::string& data, const std::string& suffix,
                      std::string& text) const override;
    bool RenderToFile(const std::string& data, const std::string& suffix,
                      std::FILE* file) const override;
    std::string PartContentType(const std::string& data) const override;
    // The suffix is not used: the file's base name takes its place.
    std::string PartHeader(const std::string& data, const std::string& suffix) const override;
    // Appends the base64 of all of file's bytes (zero bytes included) and
    // one more CR LF.
    virtual void EncodeFileToText(const platform::MappedFile& file, std::string& text) const;
};

}  // namespace tarnwick::sendmail
