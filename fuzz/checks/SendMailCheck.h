// The composer: a posted form made from the input goes through the posting
// engine into a mail store under a fresh temporary directory of this
// process ($TMPDIR/tarnwick-send-XXXXXX/box: tmp/ for the working
// directories, mail/ann and mail/bob for the local users; the domains "lan",
// "127.0.0.1" and "host" are local; each user directory holds its mailbox
// folder, which is what makes the name a user).
//
// The input's pieces, separated by zero bytes: From, To, Subject, Body, then
// up to four uploads as a file name and the file's bytes. The form body is
// written as multipart/form-data and parsed by upload::PostedForm, so what
// the input does to the form's own framing is part of the test.
//
// Invariants: PostForm succeeds exactly when the To text can be read, yields
// a recipient, and every local recipient is ann or bob; it leaves nothing in
// the temporary directory and writes nothing outside the store: the box
// holds tmp/ and mail/, mail/ holds ann/ and bob/, and a user directory holds
// one "qvr<digits>.in" copy exactly when the post succeeded and that user was
// a recipient. Every copy is the same message, whose header block is exactly
// From, To, Date, Subject, X-Mailer, MIME-Version and Content-Type in that
// order (From, To and Subject as posted, line breaks made spaces, folded only
// past 998 bytes), whose parts are the typed text and every upload with a
// name and bytes in form order (the decoded attachment is the uploaded
// bytes), and whose only line "." is the last. Delivered copies are removed
// after every input.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/checks/Check.h"
#include "mime/Codecs.h"
#include "platform/FileSystem.h"
#include "sendmail/MessageText.h"
#include "sendmail/MultipartMessage.h"
#include "sendmail/Posting.h"
#include "upload/PostedForm.h"

namespace tarnwick::fuzz {
namespace send_mail {

namespace fs = std::filesystem;

constexpr std::size_t kMaxUploads = 4;
constexpr char kFormDelimiter[] = "--TarnwickFuzzForm7d3f";
const char* const kUsers[] = {"ann", "bob"};

// The process's store, made on first use and removed at exit.
class Store {
public:
    Store() {
        std::string pattern = platform::TemporaryDirectory() + "tarnwick-send-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        root_ = pattern;
        box_ = root_ + "/box";
        temp_ = box_ + "/tmp/";
        mail_ = box_ + "/mail";
        fs::create_directories(temp_);
        for (const char* user : kUsers)
            fs::create_directories(mail_ + "/" + user + "/" + sendmail::kMailboxFolder);
    }
    ~Store() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    const std::string& Root() const { return root_; }
    const std::string& Box() const { return box_; }
    const std::string& Temp() const { return temp_; }
    const std::string& Mail() const { return mail_; }

    // Empties the user directories (but for their mailbox folders) and the temporary directory.
    void Clean() const {
        std::error_code ignored;
        for (const char* user : kUsers)
            for (const auto& entry : fs::directory_iterator(mail_ + "/" + user, ignored))
                if (entry.path().filename() != sendmail::kMailboxFolder) fs::remove_all(entry, ignored);
        for (const auto& entry : fs::directory_iterator(temp_, ignored)) fs::remove_all(entry, ignored);
    }

private:
    std::string root_, box_, temp_, mail_;
};

inline const Store& TheStore() {
    static const Store store;
    return store;
}

// Cleans the store however the check ends, so one input never sees another's files.
struct CleanAtEnd {
    ~CleanAtEnd() { TheStore().Clean(); }
};

inline std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(dir, error)) names.push_back(entry.path().filename().string());
    FUZZ_CHECK(!error);
    return names;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A header value as written: control bytes but the tab made spaces.
inline std::string OneLine(std::string value) {
    for (char& c : value)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) c = ' ';
    return value;
}

inline bool IsCopyName(const std::string& name) {
    if (name.size() <= 6 || name.compare(0, 3, "qvr") != 0 || name.compare(name.size() - 3, 3, ".in") != 0)
        return false;
    for (std::size_t i = 3; i + 3 < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

// Nothing left behind in the temporary directory, nothing made beside the
// store or its users.
inline void CheckNothingBesideTheStore(const Store& store) {
    FUZZ_CHECK(Names(store.Temp()).empty());
    FUZZ_CHECK(Names(store.Root()) == std::vector<std::string>{"box"});
    std::vector<std::string> boxNames = Names(store.Box());
    std::sort(boxNames.begin(), boxNames.end());
    FUZZ_CHECK((boxNames == std::vector<std::string>{"mail", "tmp"}));
    std::vector<std::string> userNames = Names(store.Mail());
    std::sort(userNames.begin(), userNames.end());
    FUZZ_CHECK((userNames == std::vector<std::string>{"ann", "bob"}));
    const std::string rootName = fs::path(store.Root()).filename().string();
    for (const std::string& name : Names(fs::path(store.Root()).parent_path().string()))
        FUZZ_CHECK(name == rootName || name.rfind(rootName, 0) != 0);
}

struct Upload {
    std::string name;    // as attached
    std::string bytes;
};

// The message file as delivered: header, parts, end marker.
inline void CheckMessage(const std::string& message, const std::string& from, const std::string& subject,
                         const sendmail::MultipartMessage& recipients, bool hasBody,
                         const std::vector<Upload>& attached) {
    // The end marker, and no line "." before it (a line runs to its LF).
    static const std::string kEnd = "\r\n.\r\n";
    FUZZ_CHECK(message.size() >= kEnd.size() && message.compare(message.size() - kEnd.size(), kEnd.size(), kEnd) == 0);
    const std::size_t lastLine = message.size() - 3;
    for (std::size_t start = 0; start < lastLine;) {
        std::size_t lf = message.find('\n', start);
        if (lf == std::string::npos) lf = message.size();
        std::size_t end = lf > start && message[lf - 1] == '\r' ? lf - 1 : lf;
        FUZZ_CHECK(!(end == start + 1 && message[start] == '.'));
        start = lf + 1;
    }

    // The header block: exactly these lines, each ended by CR LF and holding no other CR or LF.
    static const char* const kNames[] = {"From: ", "To: ", "Date: ", "Subject: ", "X-Mailer: ", "MIME-Version: ",
                                         "Content-Type: "};
    std::vector<std::string> header;
    std::size_t at = 0;
    for (;;) {
        const std::size_t crlf = message.find("\r\n", at);
        FUZZ_CHECK(crlf != std::string::npos);
        const std::string line = message.substr(at, crlf - at);
        at = crlf + 2;
        if (line.empty()) break;
        FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
        if (line[0] == ' ' && !header.empty())
            header.back() += "\r\n" + line;   // a folded line stays with its field
        else
            header.push_back(line);
    }
    FUZZ_CHECK(header.size() == std::size(kNames));
    for (std::size_t i = 0; i < header.size(); ++i) FUZZ_CHECK(header[i].rfind(kNames[i], 0) == 0);
    FUZZ_CHECK(header[0] == sendmail::FoldHeaderLine("From: " + OneLine(from), false));
    std::string to = "To: ";
    std::string address, displayName;
    for (long r = 0; r < recipients.RecipientCount(); ++r) {
        FUZZ_CHECK(recipients.GetRecipient(r, address, displayName));
        if (r != 0) to += ',';
        to += OneLine(displayName) + "<" + OneLine(address) + ">";
    }
    FUZZ_CHECK(header[1] == sendmail::FoldHeaderLine(to, true));
    FUZZ_CHECK(header[3] == sendmail::FoldHeaderLine("Subject: " + OneLine(subject), false));
    static const std::string kType = "Content-Type: multipart/mixed; boundary=";
    FUZZ_CHECK(header[6].rfind(kType + sendmail::kBoundary, 0) == 0);
    const std::string boundary = header[6].substr(kType.size());

    // The parts: every delimiter line starts a part, up to the next one.
    const std::string delimiter = "--" + boundary + "\r\n";
    const std::string closing = "--" + boundary + "--\r\n";
    std::vector<std::string> parts;
    std::size_t partStart = std::string::npos;
    bool closed = false;
    for (std::size_t line = at; line < message.size();) {
        std::size_t next = message.find('\n', line);
        next = next == std::string::npos ? message.size() : next + 1;
        const bool isDelimiter = message.compare(line, next - line, delimiter) == 0;
        const bool isClosing = message.compare(line, next - line, closing) == 0;
        FUZZ_CHECK(!closed || (!isDelimiter && !isClosing));
        if (isDelimiter || isClosing) {
            if (partStart != std::string::npos) parts.push_back(message.substr(partStart, line - partStart));
            partStart = next;
            closed = isClosing;
        }
        line = next;
    }
    FUZZ_CHECK(closed);
    FUZZ_CHECK(message.compare(message.size() - kEnd.size() - closing.size(), closing.size(), closing) == 0);
    FUZZ_CHECK(parts.size() == (hasBody ? 1u : 0u) + attached.size());
    std::size_t index = 0;
    if (hasBody) FUZZ_CHECK(parts[index++].rfind("Content-Type: text/plain; charset=GBK\r\nContent-Transfer-Encoding: ", 0) == 0);
    for (const Upload& upload : attached) {
        const std::string& part = parts[index++];
        const std::string name = sendmail::QuotedString(upload.name);
        const std::string head = "Content-Type: application/octet-stream; file=" + name +
                                 "\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=" +
                                 name + "\r\n\r\n";
        FUZZ_CHECK(part.rfind(head, 0) == 0);
        const std::string encoded = part.substr(head.size());
        std::string decoded(encoded.size(), '\0');
        decoded.resize(mime::Base64DecodeRange(encoded.data(), encoded.data() + encoded.size(), decoded.data()));
        FUZZ_CHECK(decoded == upload.bytes);
    }
}

}  // namespace send_mail

inline void CheckSendMail(const std::uint8_t* data, std::size_t size) {
    using namespace send_mail;
    const Store& store = TheStore();
    CleanAtEnd cleanAtEnd;

    // The form as a browser would post it.
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    for (std::size_t start = 0; pieces.size() < 4 + 2 * kMaxUploads;) {
        const std::size_t zero = input.find('\0', start);
        pieces.push_back(input.substr(start, zero == std::string::npos ? std::string::npos : zero - start));
        if (zero == std::string::npos) break;
        start = zero + 1;
    }
    pieces.resize(std::max<std::size_t>(pieces.size(), 4));
    static const char* const kFields[] = {"From", "To", "Subject", "Body"};
    std::string body;
    for (std::size_t i = 0; i < 4; ++i)
        body += std::string(kFormDelimiter) + "\r\nContent-Disposition: form-data; name=\"" + kFields[i] + "\"\r\n\r\n" +
                pieces[i] + "\r\n";
    for (std::size_t i = 4; i + 1 < pieces.size(); i += 2)
        body += std::string(kFormDelimiter) + "\r\nContent-Disposition: form-data; name=\"file" +
                std::to_string((i / 2) % 3) + "\"; filename=\"" + pieces[i] +
                "\"\r\nContent-Type: application/octet-stream\r\n\r\n" + pieces[i + 1] + "\r\n";
    body += std::string(kFormDelimiter) + "--\r\n";
    upload::PostedForm form;
    FUZZ_CHECK(form.Parse(body.data(), static_cast<std::int32_t>(body.size())));

    const std::string from = upload::TextOf(form.Value("From"));
    const std::string subject = upload::TextOf(form.Value("Subject"));
    const bool hasBody = !upload::TextOf(form.Value("Body")).empty();
    sendmail::MultipartMessage recipients;
    const bool readable = recipients.ParseRecipients(upload::TextOf(form.Value("To")));

    // Who gets a copy: each local user once, by the first spelling of the
    // name; a local name other than ann and bob refuses the post.
    const sendmail::LocalDomains domains{"lan", "127.0.0.1", "host"};
    bool deliverable = readable && recipients.RecipientCount() > 0;
    std::set<std::string> expectedUsers;
    std::string address, displayName, user;
    for (long r = 0; r < recipients.RecipientCount(); ++r) {
        recipients.GetRecipient(r, address, displayName);
        if (!sendmail::IsLocalAddress(address, domains, user)) continue;
        if (std::find(std::begin(kUsers), std::end(kUsers), user) == std::end(kUsers)) deliverable = false;
        expectedUsers.insert(user);
    }
    if (!deliverable) expectedUsers.clear();

    std::string tempPath = store.Temp();
    const bool posted = sendmail::PostForm(form, tempPath, store.Mail(), domains) == sendmail::PostOutcome::kSent;
    FUZZ_CHECK(posted == deliverable);
    if (posted) FUZZ_CHECK(tempPath.size() > store.Temp().size() && tempPath.rfind(store.Temp(), 0) == 0);
    else FUZZ_CHECK(tempPath == store.Temp());

    CheckNothingBesideTheStore(store);

    // What was attached: every upload with a name and bytes, in form order.
    std::vector<Upload> attached;
    for (const upload::FormField* f = form.Fields(); f != nullptr; f = f->nextField.get()) {
        if (!f->isFile || f->fileName[0] == '\0' || f->dataLength <= 0) continue;
        std::string name = sendmail::AttachmentBaseName(f->fileName);
        if (name.empty()) name = "attachment";
        attached.push_back(Upload{name, std::string(f->dataStart, static_cast<std::size_t>(f->dataLength))});
    }

    std::string firstCopy;
    for (const char* user : kUsers) {
        std::vector<std::string> copies = Names(store.Mail() + "/" + user);
        copies.erase(std::remove(copies.begin(), copies.end(), sendmail::kMailboxFolder), copies.end());
        FUZZ_CHECK(copies.size() == expectedUsers.count(user));
        for (const std::string& name : copies) {
            FUZZ_CHECK(IsCopyName(name));
            const std::string message = ReadWhole(store.Mail() + "/" + user + "/" + name);
            if (firstCopy.empty()) {
                firstCopy = message;
                CheckMessage(message, from, subject, recipients, hasBody, attached);
            } else {
                FUZZ_CHECK(message == firstCopy);
            }
        }
    }
}

}  // namespace tarnwick::fuzz
