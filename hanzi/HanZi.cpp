#include "hanzi/HanZi.h"

namespace tarnwick::hanzi {

HRESULT HanZi::HZ2GB(BSTR, BSTR*) { return E_NOTIMPL; }

}  // namespace tarnwick::hanzi
