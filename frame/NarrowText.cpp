#include "frame/NarrowText.h"

namespace tarnwick::frame {

std::string CutAtCharBoundary(const std::string& text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t i = 0;
    while (i < maxBytes) {
        std::size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (i + width > maxBytes) break;
        i += width;
    }
    return text.substr(0, i);
}

}  // namespace tarnwick::frame
