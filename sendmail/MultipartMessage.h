// The message that posting sends: a multipart/mixed body holding the typed
// text and the attached files, each part rendered by the encoder that the
// process registry holds for its code.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "sendmail/OutgoingMessage.h"
#include "sendmail/PartEncoder.h"

namespace tarnwick::sendmail {

constexpr char kPreamble[] = "This is a multi-part message in MIME format.";
constexpr char kBoundary[] = "QUORBEL_POST_BYE_TEMWARDOSSEN_200011119";
constexpr char kMultipartType[] = "multipart/mixed";

// kBoundary when no text holds it; otherwise kBoundary followed by digits
// chosen so that the result occurs in none of the texts (so no line of them
// can pass for a delimiter). Linear in the texts' length; the digits number
// at most one more than the decimal digits of the count of occurrences.
std::string BoundaryAvoiding(const std::vector<std::string_view>& texts);

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
    // The common lines, then MIME-Version and the multipart Content-Type,
    // whose boundary is chosen here from the message's text.
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
    // Sets the boundary from the text parts and the body text not yet added.
    void ChooseBoundary();

    std::string preamble_ = kPreamble;
    std::string boundary_ = kBoundary;
    std::string contentType_ = kMultipartType;
    std::deque<PartEntry> parts_;
    bool bodyAdded_ = false;   // the body text is among the parts (or was empty)
};

}  // namespace tarnwick::sendmail
