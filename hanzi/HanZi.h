// Tarnwick.HanZi: converts HZ text to GB2312.
#pragma once

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"

namespace tarnwick::hanzi {

class HanZi : public frame::DispatchObject<IHanZi, &IID_IHanZi> {
public:
    HRESULT STDMETHODCALLTYPE HZ2GB(BSTR bsHZString, BSTR* bsGBString) override;

private:
    long syntaxErrors_ = 0;   // running total for the object's life
};

}  // namespace tarnwick::hanzi
