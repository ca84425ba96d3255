// MIME charset names and the reading of text written in them: the Windows
// code page of each IANA name and alias, and conversions to UTF-16 done by
// the system (platform/Charset.h).
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::text {

// The Windows code page of a MIME charset name (IANA names and common
// aliases, letter case ignored, surrounding blanks and quotes ignored);
// platform::kSystemCodePage for an empty or unknown name.
unsigned CodePageOfCharset(std::string_view charset);

// The MIME charset name of a code page (the system code page's for
// platform::kSystemCodePage): "GBK" for 936, "windows-N" for one without a
// better-known name.
std::string CharsetOfCodePage(unsigned codePage);

// bytes read in charset, to UTF-16. An unknown charset, or one the system
// cannot convert, reads as the system code page.
std::u16string ToUnicode(std::string_view bytes, std::string_view charset);

// Body text, which may begin with a byte order mark: the mark says the
// charset over any declared one (as browsers read it) and is no text;
// without one, ToUnicode(bytes, charset).
std::u16string MarkedTextToUnicode(std::string_view bytes, std::string_view charset);

// Header text written with raw 8-bit bytes and no declared charset: UTF-8
// when the bytes are valid UTF-8 (as mail written today sends them), the
// system code page otherwise (as older clients sent GBK).
std::u16string RawTextToUnicode(std::string_view bytes);

// Raw text as UTF-8: bytes themselves when they are valid UTF-8, else read
// in the system code page.
std::string RawTextToUtf8(std::string_view bytes);

// Whether bytes are valid UTF-8 (plain ASCII is).
bool IsUtf8(std::string_view bytes);

// UTF-16 to UTF-8 (for tools and tests that print what pages receive).
std::string ToUtf8(std::u16string_view text);
// UTF-8 to UTF-16; bad sequences become U+FFFD.
std::u16string FromUtf8(std::string_view text);

}  // namespace tarnwick::text
