// Creating components by ProgID on a page thread.
#pragma once

#include <windows.h>

namespace tarnwick::host {

// CoCreateInstance by ProgID, with each in-process class's factory kept by
// the calling thread after its first use: finding a class reads several
// registry keys, and under Wine every key read is a round trip to its
// server. The factories of a thread are used only on it (an apartment's
// objects belong to it) and kept for its life: page threads live as long as
// the process. Classes that are not in-process are created as before.
HRESULT CreateByProgId(const wchar_t* progId, DWORD context, REFIID iid, void** out);

}  // namespace tarnwick::host
