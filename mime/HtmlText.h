// The plain text of an HTML mail body, for a message that has no text/plain
// part, and the charset its <meta> declares.
//
// HtmlToText reads markup exactly as Python's html.parser (3.11) does when fed
// the whole document and closed, character references decoded as
// html.unescape decodes them, and makes lines of it:
//
//   - <head> ... </head> gives nothing, and a <body> start tag ends a head
//     left open; <script> and <style> give nothing, and their content is raw
//     text up to the matching end tag ("</script>", any letter case, blanks
//     allowed before the '>'), so no tag or comment inside them counts;
//     comments <!-- -->, declarations and processing instructions give
//     nothing;
//   - <br> and <hr> end the line, and so do the end tags </p>, </div>, </tr>,
//     </li> and </h1> to </h6> (a self-closing <p/> is a start and an end
//     tag); <li> ends a line that has anything on it and starts the next one
//     with "- ";
//   - every character reference is decoded: the HTML5 names, with their ';'
//     or, for the old names, without it (the longest old name that starts the
//     text after '&': "&notit;" is "¬it;"), decimal and hexadecimal numbers
//     with or without ';', 128..159 in their windows-1252 meaning, NUL,
//     surrogates and numbers past U+10FFFF as U+FFFD, controls and
//     noncharacters as nothing; what is no reference stays as written;
//   - blanks of the text (space, tab, CR, LF, FF, also those a reference
//     decodes to) collapse to one space; none is kept at the start of a
//     line, and spaces and no-break spaces at its end are dropped; no empty
//     line at the start or the end and never two in a row; every line ends
//     with CR LF.
//
// Markup as html.parser reads it: a tag's attribute values may hold '>' in
// quotes; '<' followed by anything but a letter, '/', '!' or '?' is text; a
// start tag cut short by a NUL after its name is text. What is unterminated
// at the end is kept the way html.parser's close() keeps it: an unclosed
// start or end tag, comment, declaration or processing instruction is text
// from its '<' up to the first '>' after it (or, with no '>' left, up to the
// next '<'), references decoded, and the markup after it is read again; an
// unclosed <script> or <style> drops everything after its start tag. Where
// Python 3.11's parser stops with an error ("<![" not followed by a known
// marked-section keyword), the construct is read as a comment up to the next
// '>'.
//
// Time and size: linear in the input, hostile input included (html.parser
// itself is quadratic on, say, many unclosed comments or quoted attributes
// that never end). The text never has more UTF-16 units than the HTML plus
// two: a reference decodes to no more units than it is written with, blanks
// only shrink, and each line end (two units) and list mark ("- ") stands for a
// tag of at least four characters, except the line end after the last line.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::mime {

// The text of HTML already converted to UTF-16 from its charset.
std::u16string HtmlToText(std::u16string_view html);

// Text with its character references decoded, as Python's html.unescape
// decodes them (the third rule above).
std::u16string DecodeCharacterReferences(std::u16string_view text);

// The charset the raw bytes of an HTML document declare in a meta tag:
// <meta charset="..."> or <meta http-equiv="Content-Type" content="...;
// charset=...">, names and keywords in any ASCII letter case, values quoted
// or not; the first meta that declares one wins, comments are passed over and
// other tags' attributes are skipped whole (a quoted '>' does not end them).
// The name is returned as written, blanks around it trimmed; empty when no
// meta declares a charset.
std::string HtmlDeclaredCharset(std::string_view htmlBytes);

}  // namespace tarnwick::mime
