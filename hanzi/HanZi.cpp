#include "hanzi/HanZi.h"

#include <cstdio>

#include "frame/ComBoundary.h"
#include "frame/StringConversion.h"
#include "hanzi/HzDecoder.h"

namespace tarnwick::hanzi {

HRESULT HanZi::HZ2GB(BSTR bsHZString, BSTR* bsGBString) {
    if (!bsGBString) return E_POINTER;
    *bsGBString = nullptr;
    return frame::Guarded([&] {
        std::string gb = HzToGb(frame::ToNarrow(bsHZString), syntaxErrors_);
        if (syntaxErrors_ > 0) {
            // A diagnostic for whoever runs the process; never part of the
            // page. Without a usable standard output it goes nowhere.
            std::fputs(SyntaxErrorLine(syntaxErrors_).c_str(), stdout);
            std::fflush(stdout);
        }
        // The conversion always succeeds; a result that cannot be made reads as empty.
        frame::ToWide(gb, bsGBString);
        return S_OK;
    });
}

}  // namespace tarnwick::hanzi
