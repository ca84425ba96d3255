// The texts a composed message is made of: the typed text's trimming,
// wrapping and dot-stuffing, an attachment's name, the multipart boundary
// and the Date value.
//
// Text is narrow text in the system code page (GBK): a byte from 0x81 to 0xFE
// starts a double-byte character and takes the next byte with it, so trimming
// and line breaking never look at the second byte of such a character alone.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::sendmail {

constexpr char kLineEnd[] = "\r\n";
constexpr char kBoundary[] = "QUORBEL_POST_BYE_TEMWARDOSSEN_200011119";
constexpr char kMailerName[] = "Quorbel Post";
constexpr char kPreamble[] = "This is a multi-part message in MIME format.";
// What an upload whose name leaves nothing after its path is attached as.
constexpr char kUnnamedAttachment[] = "attachment";
// The line the mail server that collects a message file reads up to.
constexpr char kEndOfData[] = "\r\n.\r\n";

// A posted value on one header line: a CR or LF in it would start a header
// line of the sender's making, and no other control byte belongs in a
// header either, so each (tab aside) becomes a space. None is ever the
// second byte of a double-byte character, so each goes on its own.
std::string OneLine(std::string value);

// text without leading and trailing white space (space, tab, CR, LF,
// vertical tab, form feed); a double-byte character whose second byte looks
// like white space is kept whole.
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

// text with every lone CR or LF made a CR LF: a message's lines end in CR
// LF, and lines are counted, wrapped and dot-stuffed by them.
std::string WithCrLfLineEnds(const std::string& text);

// text with one more "." in front of every line that begins with "." (a line
// begins at the start of the text and after every LF). The message file ends
// with a line holding "." alone, and the mail server that collects it reads
// up to the first such line, taking one leading "." off any other line.
std::string StuffDots(const std::string& text);

// The file name and extension of an attachment path: what follows the drive
// and the last backslash or '/', name and extension each cut to
// text::kMaxNamePartBytes.
std::string AttachmentBaseName(const std::string& path);

// value as a MIME quoted string: in double quotes, each '"' and '\' byte
// after a backslash, and a control byte (which no header may carry) as '_'.
std::string QuotedString(std::string_view value);

// No line of a message may pass this many bytes, its CR LF not counted.
constexpr std::size_t kMaxLineBytes = 998;

// A header line (without its CR LF) folded so that no line of it passes
// kMaxLineBytes: after the last ',' that keeps the line short enough (a
// blank then starts the next line) when afterCommas, else before the last
// such blank. A line with no such place stays as it is.
std::string FoldHeaderLine(const std::string& line, bool afterCommas);

// Whether a line of text passes kMaxLineBytes (lines end at LF).
bool HasOverlongLine(std::string_view text);

// kBoundary when no text holds it; otherwise kBoundary followed by digits
// chosen so that the result occurs in none of the texts (so no line of them
// can pass for a delimiter). Linear in the texts' length; the digits number
// at most one more than the decimal digits of the count of occurrences.
std::string BoundaryAvoiding(const std::vector<std::string_view>& texts);

// The Date header value: t as local time with the zone's offset from UTC,
// "Mon, 05 Mar 2001 02:08:09 -0500" (RFC 5322). Day and month names are
// always English, whatever the process locale. Empty when the time cannot
// be converted.
std::string FormatDate(std::time_t t);

}  // namespace tarnwick::sendmail
