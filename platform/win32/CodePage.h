// Conversions between UTF-16 and the system ANSI code page (GBK on the
// systems this component serves).
#pragma once

#include <string>

namespace tarnwick::platform {

// Converts wide text; characters the code page lacks become its default
// character. Returns false only when the conversion itself fails.
bool WideToAnsi(const wchar_t* text, std::size_t units, std::string& out);
// Converts narrow text (no terminator needed); false when the conversion
// fails, with the reason left in the thread's last error.
bool AnsiToWide(const char* text, std::size_t bytes, std::wstring& out);
// The number of UTF-16 units the narrow text needs.
int WideLength(const char* text, std::size_t bytes);
// The thread's last system error code.
unsigned long LastError();

}  // namespace tarnwick::platform
