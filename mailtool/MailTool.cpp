#include "mailtool/MailTool.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "mailbox/MailboxIndex.h"
#include "mailbox/stored/Reading.h"
#include "mailbox/current/Reading.h"
#include "mime/current/Part.h"
#include "mime/stored/Part.h"
#include "platform/FileSystem.h"
#include "sendmail/Utf8Message.h"
#include "upload/PostedForm.h"
#include "text/Charsets.h"

namespace tarnwick::mailtool {
namespace {

// The synopsis follows a usage error; --help adds the rest.
constexpr char kSynopsis[] =
    "usage: tarnwick-mail count DIR\n"
    "       tarnwick-mail [--reader READER] summary FILE\n"
    "       tarnwick-mail [--reader READER] body FILE\n"
    "       tarnwick-mail [--reader READER] list FILE\n"
    "       tarnwick-mail [--reader READER] extract [-o PATH] FILE NAME\n"
    "       tarnwick-mail compose FORM\n"
    "       tarnwick-mail --help\n";
constexpr char kDescription[] =
    "\n"
    "  count    the number of messages in the mailbox directory DIR (entries whose\n"
    "           names do not begin with \".\"), on one line\n"
    "  summary  the From, To, Subject and Date values of message FILE that exist\n"
    "           (with --reader unicode all four, a missing one empty), each followed\n"
    "           by \"||||\"\n"
    "  body     the plain-text body of message FILE\n"
    "  list     the file name of each attachment of message FILE, each followed by \"||\"\n"
    "  extract  the decoded bytes of the first attachment of message FILE named NAME\n"
    "           (ASCII letter case ignored), to standard output or, with -o, to PATH\n"
    "  compose  the message file Tarnwick.MailWriter writes for the posted\n"
    "           multipart/form-data body FORM, end-of-data line included (its\n"
    "           Message-ID names localhost)\n"
    "\n"
    "summary, body, list and extract print exactly what the reader returns, with no\n"
    "newline added. READER is \"exact\" (the default: the bytes the Mail object\n"
    "returns) or \"unicode\" (the text MailReader returns, as UTF-8; NAME is then\n"
    "read as UTF-8). Exit status: 0 done, 1 failed, 2 wrong command line.\n";

struct CommandLine {
    bool help = false;
    bool hasReader = false;
    bool unicode = false;   // --reader unicode: MailReader's text, as UTF-8
    bool hasOutput = false;
    std::string outputPath;
    std::vector<std::string> operands;   // the command and its arguments
};

int Failure(std::FILE* err, const std::string& message) {
    std::fprintf(err, "tarnwick-mail: %s\n", message.c_str());
    return kExitFailure;
}

int UsageError(std::FILE* err, const std::string& message) {
    std::fprintf(err, "tarnwick-mail: %s\n%s", message.c_str(), kSynopsis);
    return kExitUsage;
}

int OutputFailure(std::FILE* err) {
    return Failure(err, std::string("cannot write standard output: ") + std::strerror(errno));
}

bool WriteBytes(std::FILE* file, const char* data, std::size_t size) {
    return size == 0 || std::fwrite(data, 1, size, file) == size;
}

bool WriteBytes(std::FILE* file, const std::string& bytes) {
    return WriteBytes(file, bytes.data(), bytes.size());
}

// Options may stand anywhere before "--": --reader READER, -o PATH, --help
// (or -h).
// Returns false, with why, on a malformed command line.
bool Parse(int argc, char** argv, CommandLine& line, std::string& why) {
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            line.operands.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            line.help = true;
        } else if (arg == "--reader") {
            if (line.hasReader) {
                why = "--reader given twice";
                return false;
            }
            const std::string reader = i + 1 == argc ? "" : argv[++i];
            if (reader != "exact" && reader != "unicode") {
                why = reader.empty() ? "--reader needs exact or unicode" : "unknown reader '" + reader + "'";
                return false;
            }
            line.hasReader = true;
            line.unicode = reader == "unicode";
        } else if (arg == "-o") {
            if (line.hasOutput) {
                why = "-o given twice";
                return false;
            }
            if (i + 1 == argc) {
                why = "-o needs a path";
                return false;
            }
            line.hasOutput = true;
            line.outputPath = argv[++i];
        } else {
            why = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

// Reads the message file into a Tree (mime::stored::Part as the Mail object
// reads a stored message, mime::current::Part as MailReader does) and hands
// the part tree to work.
template <class Tree, class Work>
int WithMessage(const std::string& path, std::FILE* err, Work work) {
    int status = kExitOk;
    if (!mailbox::WithMessageTree<Tree>(path, [&](const Tree& root) { status = work(root); }))
        return Failure(err, "cannot open or map " + path + " (missing, empty or not a regular file)");
    return status;
}

int Count(const std::string& dir, std::FILE* out, std::FILE* err) {
    long count = 0;
    const bool endsWithSeparator = !dir.empty() && (dir.back() == '/' || dir.back() == '\\');
    if (dir.empty() || !mailbox::CountMessages(endsWithSeparator ? dir : dir + "/", count))
        return Failure(err, "cannot list directory '" + dir + "'");
    return std::fprintf(out, "%ld\n", count) < 0 ? OutputFailure(err) : kExitOk;
}

// Writes part's decoded bytes to file. A base64 body (nearly every
// attachment) is decoded a piece at a time through one small buffer and a
// body stored as it is goes straight from the mapped message, so a large
// attachment never needs memory of its own size; quoted-printable, which
// only text uses, is decoded whole.
template <class Part>
bool WriteDecoded(const Part& part, std::FILE* file) {
    if (DecodedCapacity(part) == 0) return true;
    switch (BodyEncoding(part)) {
    case mime::TransferEncoding::Base64:
        return mime::Base64DecodeInPieces(part.bodyBegin, part.bodyEnd, [file](const char* bytes, std::size_t size) {
            return WriteBytes(file, bytes, size);
        });
    case mime::TransferEncoding::Identity:
        return WriteBytes(file, part.bodyBegin, static_cast<std::size_t>(part.bodyEnd - part.bodyBegin));
    case mime::TransferEncoding::QuotedPrintable:
        break;
    }
    const std::unique_ptr<char[]> bytes(new char[DecodedCapacity(part)]);
    return WriteBytes(file, bytes.get(), DecodeBodyInto(part, bytes.get()));
}

// Writes part's decoded bytes (part null: no attachment named name).
template <class Part>
int Extract(const Part* part, const std::string& messagePath, const std::string& name, const CommandLine& line,
            std::FILE* out, std::FILE* err) {
    if (!part) return Failure(err, "no attachment named '" + name + "' in " + messagePath);
    if (!line.hasOutput) return WriteDecoded(*part, out) ? kExitOk : OutputFailure(err);

    const std::string& path = line.outputPath;
    std::FILE* file = platform::OpenStdioFile(path, "wb");
    if (!file) return Failure(err, "cannot write " + path + ": " + std::strerror(errno));
    bool written = WriteDecoded(*part, file);
    int error = written ? 0 : errno;
    if (std::fclose(file) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written) return kExitOk;
    return Failure(err, "cannot write " + path + " (it may be incomplete): " + std::strerror(error));
}

int Compose(const std::string& path, std::FILE* out, std::FILE* err) {
    platform::MappedFile file;
    if (!file.Open(path))
        return Failure(err, "cannot open or map " + path + " (missing, empty or not a regular file)");
    upload::PostedForm form;
    if (file.End() - file.Begin() > INT32_MAX ||
        !form.Parse(file.Begin(), static_cast<std::int32_t>(file.End() - file.Begin())))
        return Failure(err, "cannot read the form in " + path);
    sendmail::Utf8FormMessage message("localhost");
    if (sendmail::ComposeForm(form, message) != sendmail::PostOutcome::kSent)
        return Failure(err, "the form names no sender or recipient, or one that cannot be read");
    message.WriteTo(out);
    return std::ferror(out) ? OutputFailure(err) : kExitOk;
}

int Run(const CommandLine& line, std::FILE* out, std::FILE* err) {
    const std::vector<std::string>& args = line.operands;
    const std::string command = args.empty() ? "" : args[0];
    std::size_t wanted = 0;   // operands after the command
    if (command == "count" || command == "summary" || command == "body" || command == "list" ||
        command == "compose")
        wanted = 1;
    else if (command == "extract")
        wanted = 2;
    else
        return UsageError(err, command.empty() ? "no command given" : "unknown command '" + command + "'");
    if (args.size() != wanted + 1)
        return UsageError(err, command + (args.size() <= wanted ? ": missing argument" : ": too many arguments"));
    if (line.hasOutput && command != "extract") return UsageError(err, "-o applies to extract only");
    if (line.hasReader && (command == "count" || command == "compose"))
        return UsageError(err, "--reader does not apply to " + command);

    if (command == "count") return Count(args[1], out, err);
    if (command == "compose") return Compose(args[1], out, err);
    if (line.unicode) {
        return WithMessage<mime::current::Part>(args[1], err, [&](const mime::current::Part& root) {
            if (command == "extract") {
                const mime::current::Part* part = mailbox::current::FindAttachmentByName(root, text::FromUtf8(args[2]));
                return Extract(part, args[1], args[2], line, out, err);
            }
            const std::u16string result = command == "summary" ? mailbox::current::SummaryLine(root)
                                          : command == "body"  ? mailbox::current::BodyText(root)
                                                               : mailbox::current::AttachmentList(root);
            return WriteBytes(out, text::ToUtf8(result)) ? kExitOk : OutputFailure(err);
        });
    }
    return WithMessage<mime::stored::Part>(args[1], err, [&](const mime::stored::Part& root) {
        if (command == "extract")
            return Extract(mailbox::stored::FindAttachmentByName(root, args[2]), args[1], args[2], line, out, err);
        std::string text;
        if (command == "summary") {
            text = mailbox::stored::SummaryLine(root, [](const std::string& value) { return value; });
        } else if (command == "body") {
            text = mailbox::stored::BodyText(root);
        } else {
            text = mailbox::stored::AttachmentList(root);
        }
        return WriteBytes(out, text) ? kExitOk : OutputFailure(err);
    });
}

}  // namespace

int RunMailTool(int argc, char** argv, std::FILE* out, std::FILE* err) {
    CommandLine line;
    std::string why;
    if (!Parse(argc, argv, line, why)) return UsageError(err, why);
    int status = kExitOk;
    try {
        if (line.help)
            status = WriteBytes(out, std::string(kSynopsis) + kDescription) ? kExitOk : OutputFailure(err);
        else
            status = Run(line, out, err);
    } catch (const std::exception& e) {
        return Failure(err, e.what());
    }
    // Buffered output fails only when flushed: report that too.
    if (status == kExitOk && (std::fflush(out) != 0 || std::ferror(out))) return OutputFailure(err);
    return status;
}

}  // namespace tarnwick::mailtool
