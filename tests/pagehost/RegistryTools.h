// Registry look-ups for test scripts, so they can check what self-registration
// wrote. Paths name a root (HKCR, HKLM, HKCU, HKU or the long HKEY_ forms)
// followed by a backslash and the subkey; they are read in the view of the
// running process.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

namespace pagehost {

// An open registry key, closed on every exit path.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY Get() const { return k_; }
    HKEY* Put() {
        Reset();
        return &k_;
    }
    void Reset() {
        if (k_) RegCloseKey(std::exchange(k_, nullptr));
    }

private:
    HKEY k_ = nullptr;
};

// The value as text ("" names the default value): strings as stored, DWORDs in
// decimal, multi-strings joined by "|", anything else as lowercase hex;
// "<missing>" when the key or value does not exist.
std::wstring RegRead(const std::wstring& path, const std::wstring& valueName);
bool RegKeyExists(const std::wstring& path);
// -1 when the key does not exist.
long RegSubkeyCount(const std::wstring& path);
// Subkey names in enumeration order joined by "|"; "<missing>" when the key
// does not exist.
std::wstring RegSubkeys(const std::wstring& path);

}  // namespace pagehost
