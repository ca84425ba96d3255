#!/usr/bin/env python3
"""Writes mime/HtmlEntities.cpp: the character references of HTML exactly as
Python's html.unescape decodes them.

  - every name of html.entities.html5 (the names browsers know; the old ones
    appear twice, with and without their ';') with the text it stands for;
  - the numbers html.unescape reads as another character (NUL, CR and the
    windows-1252 meaning of 128..159) and the ranges of numbers it drops
    (controls and noncharacters), taken from the same module.

    python3 tools/make-html-entities.py   (from anywhere; standard library only)

Commit the result: the build needs no Python.
"""
import html
import html.entities
import pathlib

TOP = pathlib.Path(__file__).resolve().parent.parent
OUTPUT = TOP / "mime" / "HtmlEntities.cpp"


def units(text):
    """The UTF-16 code units of text."""
    data = text.encode("utf-16-le")
    return [int.from_bytes(data[k:k + 2], "little") for k in range(0, len(data), 2)]


def ranges(numbers):
    """Sorted numbers as (first, last) runs."""
    runs = []
    for number in sorted(numbers):
        if runs and runs[-1][1] + 1 == number:
            runs[-1][1] = number
        else:
            runs.append([number, number])
    return runs


def main():
    names = sorted(html.entities.html5.items(), key=lambda item: item[0].encode("ascii"))
    lines = [
        "// Written by tools/make-html-entities.py from Python's html module; do not",
        "// edit, run the script.",
        '#include "mime/HtmlEntities.h"',
        "",
        "namespace tarnwick::mime::html_entities {",
        "",
        "const NamedReference kNamedReferences[] = {",
    ]
    for name, text in names:
        code = units(text)
        # HtmlText.h promises that no reference decodes to more units than
        # it is written with; two units is what NamedReference holds.
        if len(code) > 2 or len(code) > len("&" + name):
            raise SystemExit(f"&{name} does not fit: {text!r}")
        values = ", ".join("0x%04X" % unit for unit in code)
        lines.append('    {"%s", {%s}, %d},' % (name, values, len(code)))
    lines += ["};", "const std::size_t kNamedReferenceCount = %d;" % len(names), ""]

    remaps = sorted(html._invalid_charrefs.items())
    lines.append("const NumericRemap kNumericRemaps[] = {")
    for number, text in remaps:
        code = units(text)
        if len(code) != 1:
            raise SystemExit(f"&#{number}; is not one unit: {text!r}")
        lines.append("    {0x%02X, 0x%04X}," % (number, code[0]))
    lines += ["};", "const std::size_t kNumericRemapCount = %d;" % len(remaps), ""]

    dropped = ranges(html._invalid_codepoints)
    lines.append("const CodePointRange kDroppedCodePoints[] = {")
    for first, last in dropped:
        lines.append("    {0x%X, 0x%X}," % (first, last))
    lines += ["};", "const std::size_t kDroppedCodePointCount = %d;" % len(dropped), "",
              "}  // namespace tarnwick::mime::html_entities", ""]
    OUTPUT.write_text("\n".join(lines), encoding="ascii", newline="\n")
    print(f"{len(names)} names, {len(remaps)} remapped and {len(dropped)} dropped ranges -> "
          f"{OUTPUT.relative_to(TOP)}")


if __name__ == "__main__":
    main()
