// The message that posting sends: a multipart/mixed body holding the typed
// text and the attached files, each part rendered by the encoder that the
// process registry holds for its code.
#pragma once

#include <cstdio>
#include <deque>
#include <string>

#include "sendmail/OutgoingMessage.h"
#include "sendmail/PartEncoder.h"

namespace tarnwick::sendmail {

constexpr char kPreamble[] = "This is a multi-part message in MIME format.";
constexpr char kBoundary[] = "QUORBEL_POST_BYE_TEMWARDOSSEN_200011119";
constexpr char kMultipartType[] = "multipart/mixed";

struct PartEntry {
    int code;             // encoder code: kTextPartCode or kAttachmentCode
    std::string suffix;   // written straight after the part's content type
    std::string data;     // the text itself, or the path of the file
};

// Written once: WriteTo or ComposeBody adds the body text as the text part,
// a second call would add it again.
class MultipartMessage : public OutgoingMessage {
public:
    MultipartMessage();
    ~MultipartMessage() override;
    // The common lines, then MIME-Version and the multipart Content-Type.
    void BuildHeaders() override;
    // Replaces the body text by the composed body: exactly the bytes that
    // WriteBody would write.
    void ComposeBody() override;
    void WriteBody(std::FILE* file) override;

    // "--" boundary CR LF.
    virtual void WriteBoundary(std::FILE* file);
    // Each part whose code has an encoder: its boundary line and rendering.
    virtual void WriteParts(std::FILE* file);
    // The in-memory form of WriteParts, appended to the body text.
    virtual void RenderParts();

    // Stores data without leading and trailing white space. The text part
    // (code 0) goes to the head of the list, any other part to the tail.
    // Always true.
    bool AddPart(const std::string& data, int code, const std::string& suffix);

    const std::deque<PartEntry>& Parts() const { return parts_; }
    const std::string& Preamble() const { return preamble_; }
    const std::string& Boundary() const { return boundary_; }
    const std::string& ContentType() const { return contentType_; }

private:
    void AddBodyTextPart();

    std::string preamble_ = kPreamble;
    std::string boundary_ = kBoundary;
    std::string contentType_ = kMultipartType;
    std::deque<PartEntry> parts_;
};

}  // namespace tarnwick::sendmail
