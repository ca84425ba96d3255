// The range codecs of mime/Codecs.h written one character (one group) at a
// time, with the same contracts: the plain statement of the rules that the
// fast paths of Base64DecodeRange, Base64EncodeRange (and
// Base64EncodeToStream), QuotedPrintableDecodeRange and
// QuotedPrintableDecodeAttachment must match byte for byte.
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick::mime::reference {

std::size_t Base64DecodeRange(const char* begin, const char* end, char* out);
void Base64EncodeRange(const char* begin, const char* end, std::string& out);
std::size_t QuotedPrintableDecodeRange(const char* begin, const char* end, char* out);
std::size_t QuotedPrintableDecodeAttachment(const char* begin, const char* end, char* out);

}  // namespace tarnwick::mime::reference
