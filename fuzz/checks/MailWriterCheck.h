// The UTF-8 composer: a posted form made from the input goes through
// MailWriter's message (sendmail::Utf8FormMessage) into the same temporary
// mail store as fuzz_send_mail's (SendMailCheck.h: users ann and bob, the
// domains "lan", "127.0.0.1" and "host" local), and every delivered copy is
// read back the way Tarnwick.MailReader reads it (mailbox::current).
//
// The input's pieces, separated by zero bytes: From, To, Cc, Bcc, Subject,
// Body, then up to four uploads as a file name, a content type and the
// file's bytes. The form body is written as multipart/form-data and parsed
// by upload::PostedForm; its values are read as MailWriter reads them
// (UTF-8, else the system code page).
//
// Invariants: PostForm succeeds exactly when From names one readable
// mailbox, To, Cc and Bcc can be read, somebody is named, and every local
// recipient is ann or bob; it leaves nothing in the temporary directory and
// writes nothing outside the store; each local recipient (To, Cc or Bcc, a
// user named twice once) gets exactly one "qvr<digits>.in" copy, all copies
// the same message. The copy is ASCII, no line of it passes 998 bytes, its
// only line "." is the last, and its header lines hold no control byte but
// the tab and no Bcc field. Read as the mail server collects it (up to the
// line ".", one leading dot taken off every other line) and then as
// MailReader reads it, it gives the posted subject (when that is UTF-8
// without control bytes, which the writer makes blanks), the posted text
// (line ends made CR LF, a leading byte order mark aside) and every
// upload's name and bytes in form order.
// Delivered copies are removed after every input.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/checks/Check.h"
#include "fuzz/checks/SendMailCheck.h"
#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"
#include "sendmail/MessageText.h"
#include "sendmail/Posting.h"
#include "sendmail/Utf8Message.h"
#include "text/Charsets.h"
#include "upload/PostedForm.h"

namespace tarnwick::fuzz {
namespace mail_writer {

namespace fs = std::filesystem;

constexpr std::size_t kFields = 6;
constexpr std::size_t kMaxUploads = 4;
constexpr char kFormDelimiter[] = "--TarnwickFuzzForm9a41";

struct Upload {
    std::string name;    // UTF-8, as MailWriter attaches it
    std::string bytes;
};

// A form value as MailWriter reads it.
inline std::string FieldText(const upload::PostedForm& form, std::string_view name) {
    return text::RawTextToUtf8(upload::TextOf(form.Value(name)));
}

// The name MailWriter gives an upload: what follows the last '/' or '\',
// "%22" read as the quote browsers write that way.
inline std::string AttachedName(const char* fileName) {
    std::string name = text::RawTextToUtf8(fileName);
    const std::size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    for (std::size_t at = name.find("%22"); at != std::string::npos; at = name.find("%22", at + 1))
        name.replace(at, 3, "\"");
    return name.empty() ? std::string(sendmail::kUnnamedAttachment) : name;
}

inline bool HasControlByte(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

// The copy's own checks, then the message as the mail server collects it.
inline std::string Collected(const std::string& message) {
    std::string out;
    bool ended = false;
    for (std::size_t start = 0; start < message.size();) {
        const std::size_t lf = message.find('\n', start);
        const std::size_t next = lf == std::string::npos ? message.size() : lf + 1;
        const std::size_t end = lf == std::string::npos ? lf : (lf > start && message[lf - 1] == '\r' ? lf - 1 : lf);
        FUZZ_CHECK(lf != std::string::npos && end - start <= sendmail::kMaxLineBytes);
        FUZZ_CHECK(!ended);   // the line "." is the last
        const std::size_t dot = message[start] == '.' ? 1 : 0;
        if (end == start + 1 && dot == 1) ended = true;
        else out.append(message, start + dot, next - start - dot);
        start = next;
    }
    FUZZ_CHECK(ended && message.size() >= 3 && message.compare(message.size() - 3, 3, ".\r\n") == 0);
    for (char c : message) FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);

    // The header block: CR LF lines, no other control byte but the tab, no Bcc.
    for (std::size_t at = 0;;) {
        const std::size_t crlf = message.find("\r\n", at);
        FUZZ_CHECK(crlf != std::string::npos);
        const std::string_view line(message.data() + at, crlf - at);
        at = crlf + 2;
        if (line.empty()) break;
        for (char c : line) FUZZ_CHECK(c == '\t' || (c >= 0x20 && c != 0x7F));
        if (line[0] != ' ' && line[0] != '\t') {
            const std::size_t colon = line.find(':');
            FUZZ_CHECK(colon != std::string_view::npos);
            std::string name(line.substr(0, colon));
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            FUZZ_CHECK(name != "bcc");
        }
    }
    return out;
}

// The collected message as MailReader reads it.
inline void CheckReadBack(const std::string& collected, const std::string& subject, const std::string& body,
                          const std::vector<Upload>& attached) {
    const mime::current::Part root(collected.data(), collected.data() + collected.size());
    const std::u16string readSubject = mailbox::current::SummaryValues(root)[2];
    if (text::IsUtf8(subject) && !HasControlByte(subject)) FUZZ_CHECK(readSubject == text::FromUtf8(subject));

    // The text as typed, line ends made CR LF; the end-of-data line's own
    // CR LF may end it when the text has no line end of its own. A leading
    // U+FEFF is read as a byte order mark, as browsers read one.
    std::u16string wanted = text::FromUtf8(sendmail::WithCrLfLineEnds(body));
    if (!wanted.empty() && wanted[0] == u'\uFEFF') wanted.erase(0, 1);
    const std::u16string readBody = mailbox::current::BodyText(root);
    const bool endsLine = wanted.size() >= 2 && wanted.compare(wanted.size() - 2, 2, u"\r\n") == 0;
    FUZZ_CHECK(readBody == wanted || (!endsLine && readBody == wanted + u"\r\n"));

    const std::vector<mailbox::current::Attachment> found = mailbox::current::Attachments(root);
    FUZZ_CHECK(found.size() == attached.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        FUZZ_CHECK(found[i].name == text::FromUtf8(attached[i].name));
        std::string bytes(DecodedCapacity(*found[i].part) + 1, '\0');
        bytes.resize(DecodeBodyInto(*found[i].part, bytes.data()));
        FUZZ_CHECK(bytes == attached[i].bytes);
    }
}

}  // namespace mail_writer

inline void CheckMailWriter(const std::uint8_t* data, std::size_t size) {
    using namespace mail_writer;
    using send_mail::Names;
    const send_mail::Store& store = send_mail::TheStore();
    send_mail::CleanAtEnd cleanAtEnd;

    // The form as a browser would post it.
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    for (std::size_t start = 0; pieces.size() < kFields + 3 * kMaxUploads;) {
        const std::size_t zero = input.find('\0', start);
        pieces.push_back(input.substr(start, zero == std::string::npos ? std::string::npos : zero - start));
        if (zero == std::string::npos) break;
        start = zero + 1;
    }
    pieces.resize(std::max(pieces.size(), kFields));
    static const char* const kNames[kFields] = {"From", "To", "Cc", "Bcc", "Subject", "Body"};
    std::string body;
    for (std::size_t i = 0; i < kFields; ++i)
        body += std::string(kFormDelimiter) + "\r\nContent-Disposition: form-data; name=\"" + kNames[i] + "\"\r\n\r\n" +
                pieces[i] + "\r\n";
    for (std::size_t i = kFields; i + 2 < pieces.size(); i += 3)
        body += std::string(kFormDelimiter) + "\r\nContent-Disposition: form-data; name=\"file" +
                std::to_string((i / 3) % 3) + "\"; filename=\"" + pieces[i] + "\"\r\nContent-Type: " + pieces[i + 1] +
                "\r\n\r\n" + pieces[i + 2] + "\r\n";
    body += std::string(kFormDelimiter) + "--\r\n";
    upload::PostedForm form;
    FUZZ_CHECK(form.Parse(body.data(), static_cast<std::int32_t>(body.size())));

    // Who gets a copy: each local user once; a local name other than ann
    // and bob refuses the post.
    std::vector<sendmail::Mailbox> from, recipients;
    bool deliverable = sendmail::ParseMailboxes(FieldText(form, "From"), from) && from.size() == 1;
    for (const char* field : {"To", "Cc", "Bcc"})
        deliverable = deliverable && sendmail::ParseMailboxes(FieldText(form, field), recipients);
    deliverable = deliverable && !recipients.empty();
    const sendmail::LocalDomains domains{"lan", "127.0.0.1", "host"};
    std::vector<std::string> expectedUsers;
    std::string user;
    for (const sendmail::Mailbox& m : recipients) {
        if (!sendmail::IsLocalAddress(m.address, domains, user)) continue;
        if (std::find(std::begin(send_mail::kUsers), std::end(send_mail::kUsers), user) == std::end(send_mail::kUsers))
            deliverable = false;
        expectedUsers.push_back(user);
    }
    if (!deliverable) expectedUsers.clear();

    std::string tempPath = store.Temp();
    sendmail::Utf8FormMessage message(domains.host);
    const bool posted =
        sendmail::PostForm(form, message, tempPath, store.Mail(), domains) == sendmail::PostOutcome::kSent;
    FUZZ_CHECK(posted == deliverable);
    if (posted) FUZZ_CHECK(tempPath.size() > store.Temp().size() && tempPath.rfind(store.Temp(), 0) == 0);
    else FUZZ_CHECK(tempPath == store.Temp());

    send_mail::CheckNothingBesideTheStore(store);

    // What was attached: every upload with a name and bytes, in form order.
    std::vector<Upload> attached;
    for (const upload::FormField* f = form.Fields(); f != nullptr; f = f->nextField.get())
        if (f->isFile && f->fileName[0] != '\0' && f->dataLength > 0)
            attached.push_back(Upload{AttachedName(f->fileName),
                                      std::string(f->dataStart, static_cast<std::size_t>(f->dataLength))});

    std::string firstCopy;
    for (const char* u : send_mail::kUsers) {
        std::vector<std::string> copies = Names(store.Mail() + "/" + u);
        copies.erase(std::remove(copies.begin(), copies.end(), sendmail::kMailboxFolder), copies.end());
        FUZZ_CHECK(copies.size() == (std::find(expectedUsers.begin(), expectedUsers.end(), u) != expectedUsers.end() ? 1u : 0u));
        for (const std::string& name : copies) {
            FUZZ_CHECK(send_mail::IsCopyName(name));
            const std::string copy = send_mail::ReadWhole(store.Mail() + "/" + u + "/" + name);
            if (!firstCopy.empty()) {
                FUZZ_CHECK(copy == firstCopy);
                continue;
            }
            firstCopy = copy;
            CheckReadBack(Collected(copy), FieldText(form, "Subject"), FieldText(form, "Body"), attached);
        }
    }
}

}  // namespace tarnwick::fuzz
