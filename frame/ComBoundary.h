// What every interface member does at the boundary: no C++ exception leaves
// it, and byte results go out as automation byte arrays.
#pragma once

#include <oaidl.h>

#include <cstddef>
#include <new>

namespace tarnwick::frame {

// Runs work() and returns its HRESULT; running out of memory inside it ends
// the call with E_OUTOFMEMORY instead.
template <class Work>
HRESULT Guarded(Work work) {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// A new one-dimensional byte array (lower bound 0) of capacity elements, its
// data locked for filling; null when it cannot be made.
SAFEARRAY* CreateLockedBytes(std::size_t capacity, char** data);
// Unlocks the array and cuts it to count elements (count <= its capacity);
// on failure the array is destroyed and false returned.
bool FinishBytes(SAFEARRAY* array, std::size_t count);

// Sets out to a VT_ARRAY | VT_UI1 array filled by fill(data), which writes at
// most capacity bytes and returns how many it wrote: the bytes go straight
// into the array, with no copy in between. E_OUTOFMEMORY (out untouched)
// when the array cannot be made.
template <class Fill>
HRESULT MakeByteArray(std::size_t capacity, Fill fill, VARIANT* out) {
    char* data = nullptr;
    SAFEARRAY* array = CreateLockedBytes(capacity, &data);
    if (array == nullptr) return E_OUTOFMEMORY;
    std::size_t count = 0;
    try {
        count = fill(data);
    } catch (...) {
        SafeArrayUnaccessData(array);
        SafeArrayDestroy(array);
        throw;
    }
    if (!FinishBytes(array, count)) return E_OUTOFMEMORY;
    out->vt = VT_ARRAY | VT_UI1;
    out->parray = array;
    return S_OK;
}

}  // namespace tarnwick::frame
