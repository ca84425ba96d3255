// Conversion between a code page's bytes and UTF-16, done by the system:
// MultiByteToWideChar / WideCharToMultiByte on Windows, glibc's iconv in the
// native build. Code pages are named by their Windows numbers.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::platform {

// The system's ANSI code page (GBK, 936, on the systems served; the posix
// side reads it as GBK too).
constexpr unsigned kSystemCodePage = 0;
constexpr unsigned kUtf8CodePage = 65001;
// UTF-16 bytes, little- and big-endian (Windows converts these itself, not
// through MultiByteToWideChar).
constexpr unsigned kUtf16LeCodePage = 1200;
constexpr unsigned kUtf16BeCodePage = 1201;

// bytes in codePage to UTF-16 in out. Lenient: a byte sequence that is no
// character of the code page becomes the system's replacement character.
// Strict: such a sequence fails the call. False, out empty, when the system
// cannot convert from codePage or a strict conversion meets a bad sequence.
bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out, bool strict = false);

// UTF-16 to codePage; a character the code page lacks becomes its default
// character. False, out empty, when the system cannot convert to codePage.
bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out);

// The number of the system's ANSI code page (936 on the systems served; the
// posix side reads it as GBK, 936, too).
unsigned SystemCodePage();

// True for a byte that starts a double-byte character in the system code
// page (posix: the GBK lead bytes 0x81-0xFE).
bool IsSystemLeadByte(char c);

// The system's code for why the last conversion of this thread failed.
unsigned long LastError();

}  // namespace tarnwick::platform
