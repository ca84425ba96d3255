// posix implementation of the code-page conversions, through glibc's iconv.
#include "platform/Charset.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <unordered_map>

namespace tarnwick::platform {
namespace {

// iconv's name for each Windows code page the mail reader asks for.
struct CodePageName {
    unsigned codePage;
    const char* iconvName;
};

constexpr CodePageName kIconvNames[] = {
    {kSystemCodePage, "GBK"}, {65001, "UTF-8"},      {936, "GBK"},           {54936, "GB18030"},
    {950, "BIG5"},            {932, "CP932"},        {20932, "EUC-JP"},      {51932, "EUC-JP"},
    {50220, "ISO-2022-JP"},   {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"}, {949, "CP949"},
    {51949, "EUC-KR"},        {20127, "ASCII"},      {20866, "KOI8-R"},      {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},    {28592, "ISO-8859-2"}, {28593, "ISO-8859-3"},  {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},    {28596, "ISO-8859-6"}, {28597, "ISO-8859-7"},  {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},    {28600, "ISO-8859-10"}, {28603, "ISO-8859-13"}, {28604, "ISO-8859-14"},
    {28605, "ISO-8859-15"},   {1250, "CP1250"},      {1251, "CP1251"},       {1252, "CP1252"},
    {1253, "CP1253"},         {1254, "CP1254"},      {1255, "CP1255"},       {1256, "CP1256"},
    {1257, "CP1257"},         {1258, "CP1258"},      {874, "CP874"},         {65000, "UTF-7"},
    {1200, "UTF-16LE"},       {1201, "UTF-16BE"},
};

const char* IconvName(unsigned codePage) {
    for (const CodePageName& entry : kIconvNames)
        if (entry.codePage == codePage) return entry.iconvName;
    return nullptr;
}

// One open conversion per pair of charsets for each thread, kept for the
// thread's life: glibc loads a charset's module when a conversion opens and
// unloads it after the last one closes, which costs far more than
// converting a short header value.
class Conversions {
public:
    Conversions() = default;
    Conversions(const Conversions&) = delete;
    Conversions& operator=(const Conversions&) = delete;
    ~Conversions() {
        for (auto& entry : open_) iconv_close(entry.second);
    }

    // The conversion in its initial state, or (iconv_t)-1.
    iconv_t Get(const char* to, const char* from) {
        const std::string key = std::string(to) + '\n' + from;
        auto found = open_.find(key);
        if (found == open_.end()) {
            const iconv_t cd = iconv_open(to, from);
            if (cd == kFailed) return kFailed;
            found = open_.emplace(key, cd).first;
        }
        iconv(found->second, nullptr, nullptr, nullptr, nullptr);
        return found->second;
    }

    static inline const iconv_t kFailed = reinterpret_cast<iconv_t>(-1);

private:
    std::unordered_map<std::string, iconv_t> open_;
};

iconv_t Conversion(const char* to, const char* from) {
    thread_local Conversions conversions;
    return conversions.Get(to, from);
}

}  // namespace

bool DecodeCodePage(unsigned codePage, std::string_view bytes, std::u16string& out, bool strict) {
    out.clear();
    const char* name = IconvName(codePage);
    if (name == nullptr) return false;
    const iconv_t converter = Conversion("UTF-16LE", name);
    if (converter == Conversions::kFailed) return false;

    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    std::string buffer;
    char block[4096];
    while (inLeft > 0) {
        char* to = block;
        std::size_t toLeft = sizeof block;
        const std::size_t r = iconv(converter, &in, &inLeft, &to, &toLeft);
        buffer.append(block, static_cast<std::size_t>(to - block));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // EILSEQ, or EINVAL for a sequence cut off by the end of the input.
        if (strict) return false;
        buffer.append("\xFD\xFF", 2);   // U+FFFD, little-endian
        ++in;
        --inLeft;
    }
    // A shift-state encoding may owe a last sequence: the call without input
    // writes it.
    char* to = block;
    std::size_t toLeft = sizeof block;
    iconv(converter, nullptr, nullptr, &to, &toLeft);
    buffer.append(block, static_cast<std::size_t>(to - block));
    out.resize(buffer.size() / 2);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(buffer[2 * i]) |
                                       static_cast<unsigned char>(buffer[2 * i + 1]) << 8);
    return true;
}

bool EncodeCodePage(unsigned codePage, std::u16string_view text, std::string& out) {
    out.clear();
    const char* name = IconvName(codePage);
    if (name == nullptr) return false;
    const iconv_t converter = Conversion(name, "UTF-16LE");
    if (converter == Conversions::kFailed) return false;

    std::string input(text.size() * 2, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        input[2 * i] = static_cast<char>(text[i] & 0xFF);
        input[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    char* in = &input[0];
    std::size_t inLeft = input.size();
    char block[4096];
    while (inLeft > 0) {
        char* to = block;
        std::size_t toLeft = sizeof block;
        const std::size_t r = iconv(converter, &in, &inLeft, &to, &toLeft);
        out.append(block, static_cast<std::size_t>(to - block));
        if (r != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
        // A lone surrogate or a character with no translation: the code
        // page's default character, as Windows writes it.
        out += '?';
        in += 2;
        inLeft = inLeft >= 2 ? inLeft - 2 : 0;
    }
    char* to = block;
    std::size_t toLeft = sizeof block;
    iconv(converter, nullptr, nullptr, &to, &toLeft);
    out.append(block, static_cast<std::size_t>(to - block));
    return true;
}

unsigned long LastError() { return static_cast<unsigned long>(errno); }

unsigned SystemCodePage() { return 936; }

bool IsSystemLeadByte(char c) {
    const unsigned char b = static_cast<unsigned char>(c);
    return b >= 0x81 && b <= 0xFE;
}

}  // namespace tarnwick::platform
