// Writing header fields as mail is written today (RFC 5322, 2047, 2231):
// text in UTF-8 made ASCII by encoded words or percent-encoded parameters,
// and lines folded where a blank allows.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::mime {

// A header line is folded before it passes this many characters, where a
// blank allows (RFC 5322 2.1.1).
constexpr std::size_t kFoldWidth = 78;
// The longest encoded word (RFC 2047 2).
constexpr std::size_t kMaxEncodedWordChars = 75;

// The room the first token of a field named name has on its first line.
std::size_t FirstTokenRoom(std::string_view name);

// utf8 (valid UTF-8) as RFC 2047 encoded words in UTF-8: each at most
// kMaxEncodedWordChars characters, the first at most firstWordChars (at
// least 24), none splitting a character; all in B or all in Q, whichever
// is shorter. Q writes only what a display name may hold. None for "".
std::vector<std::string> EncodeWords(std::string_view utf8, std::size_t firstWordChars);

// The tokens of unstructured text (a Subject): its words as written when
// they are printable ASCII separated by single spaces, none of them like an
// encoded word and each fitting its line; otherwise its encoded words, so
// every character, blank and control byte comes back as it was.
std::vector<std::string> TextTokens(std::string_view utf8, std::size_t firstRoom);

// The tokens of a display name: its words when they are atoms separated by
// single spaces, else one quoted string when it is printable ASCII and fits
// a line, else its encoded words.
std::vector<std::string> PhraseTokens(std::string_view utf8, std::size_t firstRoom);

// "name:" and the tokens, each after one blank; a line is folded (CR LF
// before the blank) where the next token would take it past kFoldWidth.
// No token is broken, so a token longer than a line makes a longer line.
// No CR LF at the end.
std::string FoldedField(std::string_view name, const std::vector<std::string>& tokens);

// A parameter for utf8 as tokens for FoldedField, each but the last ending
// in ';' when more follow: name="value" for printable ASCII that fits a
// line and holds no "=?" (readers would decode it as encoded words), else RFC 2231 name*=UTF-8''%XX (sections name*0*=, name*1*=, ... when
// one would not fit), never splitting a character between sections.
std::vector<std::string> ParameterTokens(std::string_view name, std::string_view utf8);

// value as a quoted string: in double quotes, '"' and '\' after a backslash.
std::string QuotedText(std::string_view value);

// Whether value is a media type, type "/" subtype, both RFC 2045 tokens.
bool IsMediaType(std::string_view value);

}  // namespace tarnwick::mime
