#include "mailbox/stored/Reading.h"

#include <cstring>

#include "text/NarrowText.h"
#include "mime/Codecs.h"
#include "mime/stored/Header.h"

namespace tarnwick::mailbox::stored {
namespace {

// The attachment's "filename" parameter; false when it has none.
bool FileName(const mime::stored::Part& part, char (&name)[mime::stored::kValueBytes]) {
    name[0] = '\0';
    return mime::stored::GetField(part, "filename", name);
}

}  // namespace

std::vector<std::string> SummaryValues(const mime::stored::Part& root) {
    std::vector<std::string> values;
    // One value is at most 254 bytes: the field's buffer less its terminator.
    char value[256];
    for (const char* name : kSummaryFields) {
        value[0] = '\0';
        if (mime::stored::GetField(root, name, value)) {
            value[255] = '\0';
            values.emplace_back(value);
        }
    }
    return values;
}

std::string BodyText(const mime::stored::Part& root) {
    bool passed = false;
    const mime::stored::Part* part = mime::stored::FindPart(root, passed, nullptr, "Content-Type", "text/plain");
    if (!part) part = &root;
    // Decoded as text: quoted-printable "=00" reads as a line feed and "00"
    // here, where a download gets the byte 00.
    mime::stored::DecodedBody body = mime::stored::DecodeBody(*part, mime::stored::DecodeFor::Text);
    std::size_t n = 0;
    while (n < body.count && n < body.bytes.size() && body.bytes[n] != '\0') ++n;
    return std::string(body.bytes.data(), n);
}

std::string AttachmentList(const mime::stored::Part& root) {
    std::string list;
    char name[mime::stored::kValueBytes];
    for (const mime::stored::Part* part : mime::stored::Attachments(root)) {
        if (!FileName(*part, name)) continue;
        list += name;
        list += kAttachmentSeparator;
    }
    return list;
}

const mime::stored::Part* FindAttachmentByName(const mime::stored::Part& root, const std::string& wanted) {
    char name[mime::stored::kValueBytes];
    for (const mime::stored::Part* part : mime::stored::Attachments(root))
        if (FileName(*part, name) && text::EqualIgnoringAsciiCase(name, wanted)) return part;
    return nullptr;
}

std::string AttachmentContentType(const mime::stored::Part& part) {
    char type[mime::stored::kValueBytes];
    if (!mime::stored::GetField(part, "Content-Type", type)) return "application/octet-stream";
    return type;
}

std::string EncodeText(const std::string& text) {
    const char* in = text.c_str();
    std::string out(mime::Base64EncodedSize(std::strlen(in)) + 1, '\0');
    out.resize(mime::Base64EncodeString(in, &out[0]));
    return out;
}

std::string DecodeText(const std::string& base64) {
    // Every 4 input characters give at most 3 bytes.
    std::string out(base64.size() + 1, '\0');
    std::size_t n = mime::Base64DecodeString(base64.c_str(), &out[0]);
    out.resize(n);
    out.resize(std::strlen(out.c_str()));
    return out;
}

const char* AboutFragment() {
    // GBK text: "\xD7\xE9\xBC\xFE" is the word for "component".
    return "<style type=\"text/css\"><!-- .body { font-size: 9pt } --></style></head>"
           " <body bgcolor=\"#FFFFFF\" text=\"#000000\">"
           "<table width=\"380\" border=\"3\" cellspacing=\"1\" cellpadding=\"1\" bgcolor=\"#D6D3CE\" class=\"body\">"
           "<tr><td>"
           "<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"0\" height=\"100%\">"
           "<tr><td align=\"center\"><b><font size=\"+2\">Quorbel ASP\xD7\xE9\xBC\xFE 1.0</font></b></td></tr> "
           "<tr><td align=\"right\">&nbsp;</td></tr> "
           "<tr><td align=\"right\" class=\"body\">The Tarnwick Project</td></tr> "
           "<tr><td class=\"body\"><div align=\"right\">Copyright (C) 2026 the Tarnwick developers. "
           "All rights reserved.</div></td></tr> "
           "<tr><td class=\"body\" height=\"10\" align=\"right\"><b><font color=\"#0000FF\">"
           "Written by the Tarnwick team</font></b></td></tr>"
           "</table>"
           "</td></tr>"
           "</table>";
}

}  // namespace tarnwick::mailbox::stored
