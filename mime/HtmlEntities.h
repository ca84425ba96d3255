// The character references of HTML as Python's html.unescape decodes them
// (HtmlText.h uses them). HtmlEntities.cpp is written from Python's html
// module by tools/make-html-entities.py.
#pragma once

#include <cstddef>

namespace tarnwick::mime::html_entities {

// A name after '&' ("amp;", or "amp" for the old names that browsers also
// read without the ';') and the one or two UTF-16 units it stands for.
struct NamedReference {
    const char* name;
    char16_t text[2];
    unsigned char length;
};
// Sorted by name, byte by byte.
extern const NamedReference kNamedReferences[];
extern const std::size_t kNamedReferenceCount;

// A number read as another character: NUL, CR, and 128..159 in their
// windows-1252 meaning. Sorted by number.
struct NumericRemap {
    char32_t number;
    char16_t unit;
};
extern const NumericRemap kNumericRemaps[];
extern const std::size_t kNumericRemapCount;

// Numbers that decode to nothing (controls and noncharacters), as sorted,
// disjoint ranges.
struct CodePointRange {
    char32_t first;
    char32_t last;
};
extern const CodePointRange kDroppedCodePoints[];
extern const std::size_t kDroppedCodePointCount;

}  // namespace tarnwick::mime::html_entities
