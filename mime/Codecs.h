// Transfer codecs: the system's own base64 encoder and
// decoder (RFC 2045 alphabet) and its quoted-printable decoder.
//
// All functions are stateless, work on caller-owned memory, allocate nothing
// (Base64EncodeRange appends to the caller's string), write no terminating
// zero byte and report no errors.
//
// Base64 output layout (both encoders, byte-identical): groups of four
// characters; after every 18th complete group of a line (72 characters) a
// CR LF; a padded final group ("x==" or "xx=") gets no line break after it;
// input that ends exactly after an 18th group ends the output with CR LF;
// empty input gives no output.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick::mime {

// Complete groups of four characters per output line (72 characters).
constexpr std::size_t kBase64GroupsPerLine = 18;
constexpr std::size_t kBase64LineChars = 4 * kBase64GroupsPerLine;

// Results of Base64SymbolValue besides the symbol values 0 to 63.
constexpr int kBase64Pad = -1;    // '='
constexpr int kBase64Skip = -2;   // any byte outside the alphabet

// The decoder's classification of one character, taken as a signed byte
// (bytes 128 to 255 are outside every range): 0..63 for the alphabet,
// kBase64Pad for '=', kBase64Skip for anything else (NUL included).
int Base64SymbolValue(char c);

// Characters Base64EncodeString / Base64EncodeRange produce for n input bytes:
// 4 * ceil(n / 3) + 2 * floor(floor(n / 3) / 18).
std::size_t Base64EncodedSize(std::size_t n);

// Encodes the zero-terminated bytes of in (up to, not including, the first
// zero byte) into out; returns the number of characters written. out must
// hold Base64EncodedSize(strlen(in)) characters; no terminator is written.
std::size_t Base64EncodeString(const char* in, char* out);

// Encodes the range [begin, end) (zero bytes are data) to stream with the same
// layout; returns 1. Write errors are not looked at. The characters are
// produced in a local block buffer and written with fwrite, one call per
// block, never one call per character.
int Base64EncodeToStream(const char* begin, const char* end, std::FILE* stream);

// Lines of RFC 2045's most, 76 characters, as mail written today has them.
constexpr std::size_t kMimeBase64LineChars = 76;
// Encodes [begin, end) to stream in lines of kMimeBase64LineChars characters
// (CR LF between lines, none after the last). Write errors are not looked at.
void Base64EncodeMimeLinesToStream(const char* begin, const char* end, std::FILE* stream);

// Appends the encoding of [begin, end) (zero bytes are data) to out, with the
// identical layout: the in-memory form used by the message composer.
void Base64EncodeRange(const char* begin, const char* end, std::string& out);

// Decodes the zero-terminated characters of in into out; returns the number
// of bytes written. Characters outside the alphabet are skipped; decoding ends
// at the terminator or after a pad character. Ending rules of the string decoder: a partial quadruple contributes nothing, '=' as symbol 3 adds one
// byte, '=' as symbol 4 two bytes. out must hold 3 bytes per 4 alphabet
// characters of in.
std::size_t Base64DecodeString(const char* in, char* out);

// Base64DecodeString's rules over [begin, end): decoding ends at end or at the
// first zero byte, whichever comes first; nothing at or after end is read.
// Used for RFC 2047 B-encoded words, whose text is bounded by its field value.
std::size_t Base64DecodeStringRange(const char* begin, const char* end, char* out);

// Decodes the base64 body [begin, end) into out; returns the number of bytes
// written. Characters outside the alphabet, zero bytes included, are skipped.
// Decoding ends at end or at a pad character: '=' as symbol 1 or 2 ends it
// with the bytes before, '=' as symbol 3 adds one byte, as symbol 4 two.
// A final group cut off by end (padding left out by the writer) gives what
// its symbols carry: 2 symbols one byte, 3 symbols two, 1 symbol nothing.
// Reads only inside [begin, end); out must hold 3 bytes per 4 alphabet
// characters.
std::size_t Base64DecodeRange(const char* begin, const char* end, char* out);

// Base64DecodeRange over [begin, end) a piece at a time, through one buffer
// of kBase64PieceBytes: each piece ends after a whole number of groups (or at
// the pad character that ends decoding, or at end), so the pieces handed to
// write, in order, are exactly the bytes Base64DecodeRange gives. write
// returns false to stop; the result is false then.
constexpr std::size_t kBase64PieceBytes = 48 * 1024;
bool Base64DecodeInPieces(const char* begin, const char* end,
                          const std::function<bool(const char* bytes, std::size_t size)>& write);

// Decodes quoted-printable [begin, end) into out by the stored-message rule;
// returns the number of bytes written (at most end - begin, the size out must
// have).
//   - a byte other than '=' is copied;
//   - '=' CR LF (a soft line break) is dropped;
//   - any other '=': the following bytes are read as sscanf's "%2x" would
//     (white space skipped, then at most two hexadecimal digits), but never at
//     or beyond end. A nonzero number: its byte is written and '=' plus the
//     two bytes after it are consumed (fewer when end comes first). Zero, or
//     nothing readable: a line feed is written and only the '=' is consumed.
// So an '=' among the last two bytes of the range never reads past end: "=A"
// at the end gives byte 0x0A and ends decoding, a lone '=' at the end gives a
// line feed. Tarnwick.Mail reads the text GetBody shows by this rule, so
// "=00" (a line feed, then "00") never ends that text early.
std::size_t QuotedPrintableDecodeRange(const char* begin, const char* end, char* out);

// QuotedPrintableDecodeRange's rule, except that "=00" (the '=' and the
// characters 0 and 0) is the byte 00 it encodes: the bytes of an attachment,
// where a zero byte is data like any other. Every other escape that reads as
// zero ("=0" before a line end, "= 00", an '=' before no digit) still gives a
// line feed.
std::size_t QuotedPrintableDecodeAttachment(const char* begin, const char* end, char* out);

// Decodes quoted-printable [begin, end) by RFC 2045 into out; returns the
// number of bytes written (at most end - begin):
//   - '=' and two hexadecimal digits (either case) is the byte they spell,
//     00 included;
//   - '=' followed by blanks (space, tab) up to a line end (CR LF, a bare LF,
//     or end) is a soft line break: '=', blanks and line end are dropped;
//   - any other '=' is kept as it is written, and what follows it is read as
//     ordinary text;
//   - every other byte, hard line breaks included, is copied.
// Blanks at the end of a line are kept.
std::size_t QuotedPrintableDecodeRfc2045(const char* begin, const char* end, char* out);

// Appends the quoted-printable encoding of text to out (RFC 2045): each CR LF
// stays a line break; '=', bytes outside printable ASCII (a lone CR or LF
// included), a blank before a line end and a '.' starting a line are
// written as "=XX"; lines are cut by soft breaks ("=" CR LF) to at most 76
// characters, never between the bytes of a UTF-8 sequence.
void QuotedPrintableEncode(std::string_view text, std::string& out);

// The encodings a Content-Transfer-Encoding field can name that are undone;
// Identity for every other one (7bit, 8bit, binary, unknown names) and for a
// part without the field.
enum class TransferEncoding { Identity, Base64, QuotedPrintable };

// The encoding a Content-Transfer-Encoding value names: the value is a token,
// so comments ("(...)", nested, with backslash escapes) are removed, the
// blanks around it ignored and ASCII letter case too: " Base64",
// "base64 " and "base64 (ok)" all name base64. Any other text makes
// Identity.
TransferEncoding TransferEncodingOf(std::string_view fieldValue);

// A body [begin, end) decoded by its encoding into out (end - begin bytes at
// most): base64 through Base64DecodeRange, quoted-printable through the
// reading's own decodeQuotedPrintable, anything else copied; returns the
// count.
using RangeDecoder = std::size_t (*)(const char* begin, const char* end, char* out);
std::size_t DecodeBodyRange(TransferEncoding encoding, const char* begin, const char* end, char* out,
                            RangeDecoder decodeQuotedPrintable);

// The "%2x" reading rule shared by quoted-printable and RFC 2047 Q decoding:
// skips white space (space, \t, \n, \v, \f, \r) starting at p, then reads at
// most two hexadecimal digits of either case, never touching end or beyond.
// Returns the number read (0 when no digit could be read).
unsigned ReadHex2(const char* p, const char* end);

}  // namespace tarnwick::mime
