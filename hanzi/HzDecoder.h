// HZ (RFC 1843) to GB2312 decoding.
//
// HZ is 7-bit text in which "~{" switches to GB mode, where each pair of
// bytes is a GB2312 code with both high bits cleared, and "~}" switches back.
// Inside an HZ run the decoder looks only at the low 7 bits of every byte.
// Outside one, the text is taken as it stands in the system code page (GBK):
// bytes of 0x80 and above pass through unchanged, a GBK lead byte takes its
// trail byte with it (a trail byte "~" is no escape), and only a 7-bit "~"
// starts an escape. The decoder recovers from every malformed sequence,
// counting it as a syntax error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::hanzi {

// The diagnostic line written after a conversion that has counted syntax
// errors; it takes the running error count.
constexpr const char kSyntaxErrorLineFormat[] = "\nNumber of syntax errors caught and recovered = %d\n";

// Decodes the n bytes at in into out, starting in ASCII mode, and returns the
// number of bytes written. out needs room for n bytes: no unit writes more
// bytes than it consumes. Every syntax error adds one to errorCount.
//
// A two-byte unit that starts on the last input byte takes the string's
// terminating 0 as its second byte; that byte is never read from memory
// (only the n bytes are), and a 0 it would produce is not written either,
// since it only marks the end of the text. A 0 is written only for a 0 input
// byte: a 0x80 that an HZ run copies out stays 0x80.
std::size_t DecodeHz(const char* in, std::size_t n, char* out, long& errorCount);

// The whole conversion as the HanZi object hands it out: the decoded bytes up
// to (not including) the first 0 byte among them.
std::string HzToGb(std::string_view hz, long& errorCount);

// kSyntaxErrorLineFormat filled in with errorCount.
std::string SyntaxErrorLine(long errorCount);

}  // namespace tarnwick::hanzi
