#include "frame/ComBoundary.h"

namespace tarnwick::frame {

SAFEARRAY* CreateLockedBytes(std::size_t capacity, char** data) {
    // Not SafeArrayCreateVector: a vector array may be of fixed size, and
    // this one is cut to what was written.
    SAFEARRAYBOUND bound = {static_cast<ULONG>(capacity), 0};
    SAFEARRAY* array = SafeArrayCreate(VT_UI1, 1, &bound);
    if (array == nullptr) return nullptr;
    void* locked = nullptr;
    if (FAILED(SafeArrayAccessData(array, &locked))) {
        SafeArrayDestroy(array);
        return nullptr;
    }
    *data = static_cast<char*>(locked);
    return array;
}

bool FinishBytes(SAFEARRAY* array, std::size_t count) {
    SafeArrayUnaccessData(array);
    if (count == array->rgsabound[0].cElements) return true;
    SAFEARRAYBOUND bound = {static_cast<ULONG>(count), 0};
    if (SUCCEEDED(SafeArrayRedim(array, &bound))) return true;
    SafeArrayDestroy(array);
    return false;
}

}  // namespace tarnwick::frame
