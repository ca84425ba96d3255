#include "RegistryTools.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "FileTools.h"
#include "Variants.h"

namespace pagehost {

namespace {

struct Root {
    const wchar_t* name;
    HKEY key;
};

const Root kRoots[] = {
    {L"HKCR", HKEY_CLASSES_ROOT},  {L"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {L"HKLM", HKEY_LOCAL_MACHINE}, {L"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {L"HKCU", HKEY_CURRENT_USER},  {L"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {L"HKU", HKEY_USERS},          {L"HKEY_USERS", HKEY_USERS},
};

bool Open(const std::wstring& path, RegKey& key) {
    size_t slash = path.find(L'\\');
    std::wstring rootName = path.substr(0, slash);
    std::wstring sub = slash == std::wstring::npos ? std::wstring() : path.substr(slash + 1);
    for (const Root& r : kRoots) {
        if (EqualsNoCase(rootName, r.name))
            return RegOpenKeyExW(r.key, sub.c_str(), 0, KEY_READ, key.Put()) == ERROR_SUCCESS;
    }
    return false;
}

}  // namespace

std::wstring RegRead(const std::wstring& path, const std::wstring& valueName) {
    RegKey key;
    if (!Open(path, key)) return kMissing;
    DWORD type = 0;
    DWORD size = 0;
    const wchar_t* name = valueName.empty() ? nullptr : valueName.c_str();
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return kMissing;
    std::vector<BYTE> data(size + sizeof(wchar_t) * 2, 0);
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return kMissing;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring s(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!s.empty() && s.back() == 0) s.pop_back();
        return s;
    }
    case REG_MULTI_SZ: {
        std::wstring s(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!s.empty() && s.back() == 0) s.pop_back();
        for (wchar_t& c : s)
            if (c == 0) c = L'|';
        return s;
    }
    case REG_DWORD: {
        DWORD v = 0;
        memcpy(&v, data.data(), sizeof v);
        return std::to_wstring(v);
    }
    default:
        return BytesToHex(std::string(reinterpret_cast<const char*>(data.data()), size));
    }
}

bool RegKeyExists(const std::wstring& path) {
    RegKey key;
    return Open(path, key);
}

long RegSubkeyCount(const std::wstring& path) {
    RegKey key;
    if (!Open(path, key)) return -1;
    DWORD count = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return -1;
    return static_cast<long>(count);
}

std::wstring RegSubkeys(const std::wstring& path) {
    RegKey key;
    if (!Open(path, key)) return kMissing;
    std::wstring names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        LONG rc = RegEnumKeyExW(key.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) break;
        if (i) names += L'|';
        names.append(name, length);
    }
    return names;
}

}  // namespace pagehost
