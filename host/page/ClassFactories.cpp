#include "host/page/ClassFactories.h"

#include <objbase.h>

#include <cwctype>
#include <string>
#include <unordered_map>

#include "frame/ComPtr.h"

namespace tarnwick::host {

namespace {

using Factories = std::unordered_map<std::wstring, frame::ComPtr<IClassFactory>>;

// ProgIDs are registry key names: the same whatever their case.
std::wstring KeyOf(const wchar_t* progId) {
    std::wstring key = progId;
    for (wchar_t& c : key) c = static_cast<wchar_t>(std::towupper(c));
    return key;
}

}  // namespace

HRESULT CreateByProgId(const wchar_t* progId, DWORD context, REFIID iid, void** out) {
    *out = nullptr;
    // Never freed: a factory released after its thread's apartment ended
    // could call into a library COM has unloaded.
    thread_local Factories* factories = new Factories;
    const std::wstring key = KeyOf(progId);
    auto found = factories->find(key);
    if (found == factories->end()) {
        CLSID clsid;
        HRESULT hr = CLSIDFromProgID(progId, &clsid);
        if (FAILED(hr)) return hr;
        frame::ComPtr<IClassFactory> factory;
        if (!(context & CLSCTX_INPROC_SERVER) ||
            FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                    reinterpret_cast<void**>(factory.Put()))))
            return CoCreateInstance(clsid, nullptr, context, iid, out);
        found = factories->emplace(key, std::move(factory)).first;
    }
    return found->second->CreateInstance(nullptr, iid, out);
}

}  // namespace tarnwick::host
