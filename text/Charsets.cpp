#include "text/Charsets.h"

#include "platform/Charset.h"
#include "text/NarrowText.h"

namespace tarnwick::text {
namespace {

struct CharsetName {
    const char* name;   // lower case
    unsigned codePage;
};

// IANA charset names and the aliases mail software writes, to the Windows
// code pages that read them. GB2312 mail is read as GBK, its superset, and
// EUC-KR as code page 949 (its superset), as Windows mail readers do.
constexpr CharsetName kCharsets[] = {
    {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001}, {"utf-7", 65000},
    {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"x-gbk", 936}, {"ms936", 936}, {"windows-936", 936},
    {"euc-cn", 936}, {"x-euc-cn", 936}, {"csgb2312", 936}, {"chinese", 936}, {"iso-ir-58", 936},
    {"gb_2312-80", 936}, {"gb18030", 54936},
    {"big5", 950}, {"big-5", 950}, {"cn-big5", 950}, {"csbig5", 950}, {"x-x-big5", 950}, {"cp950", 950},
    {"big5-hkscs", 950},
    {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"x-sjis", 932}, {"ms_kanji", 932},
    {"csshiftjis", 932}, {"windows-31j", 932}, {"cp932", 932}, {"ms932", 932},
    {"euc-jp", 20932}, {"x-euc-jp", 20932}, {"cseucpkdfmtjapanese", 20932},
    {"iso-2022-jp", 50220}, {"csiso2022jp", 50220},
    {"euc-kr", 949}, {"x-euc-kr", 949}, {"cseuckr", 949}, {"ks_c_5601-1987", 949}, {"ks_c_5601", 949},
    {"ksc5601", 949}, {"ksc_5601", 949}, {"korean", 949}, {"csksc56011987", 949}, {"iso-ir-149", 949},
    {"cp949", 949}, {"windows-949", 949}, {"uhc", 949},
    {"us-ascii", 20127}, {"ascii", 20127}, {"us", 20127}, {"ansi_x3.4-1968", 20127}, {"iso646-us", 20127},
    {"csascii", 20127},
    {"iso-8859-1", 28591}, {"iso8859-1", 28591}, {"iso_8859-1", 28591}, {"latin1", 28591},
    {"latin-1", 28591}, {"l1", 28591}, {"cp819", 28591}, {"ibm819", 28591},
    {"iso-8859-2", 28592}, {"iso8859-2", 28592}, {"iso_8859-2", 28592}, {"latin2", 28592},
    {"iso-8859-3", 28593}, {"iso8859-3", 28593}, {"iso_8859-3", 28593}, {"latin3", 28593},
    {"iso-8859-4", 28594}, {"iso8859-4", 28594}, {"iso_8859-4", 28594}, {"latin4", 28594},
    {"iso-8859-5", 28595}, {"iso8859-5", 28595}, {"iso_8859-5", 28595}, {"cyrillic", 28595},
    {"iso-8859-6", 28596}, {"iso8859-6", 28596}, {"iso_8859-6", 28596}, {"arabic", 28596},
    {"iso-8859-7", 28597}, {"iso8859-7", 28597}, {"iso_8859-7", 28597}, {"greek", 28597},
    {"iso-8859-8", 28598}, {"iso8859-8", 28598}, {"iso_8859-8", 28598}, {"hebrew", 28598},
    {"iso-8859-8-i", 28598},
    {"iso-8859-9", 28599}, {"iso8859-9", 28599}, {"iso_8859-9", 28599}, {"latin5", 28599},
    {"iso-8859-10", 28600}, {"iso8859-10", 28600}, {"latin6", 28600},
    {"iso-8859-11", 874}, {"tis-620", 874}, {"windows-874", 874},
    {"iso-8859-13", 28603}, {"iso8859-13", 28603}, {"latin7", 28603},
    {"iso-8859-14", 28604}, {"iso8859-14", 28604}, {"latin8", 28604},
    {"iso-8859-15", 28605}, {"iso8859-15", 28605}, {"iso_8859-15", 28605}, {"latin-9", 28605},
    {"latin9", 28605},
    {"windows-1250", 1250}, {"cp1250", 1250}, {"x-cp1250", 1250},
    {"windows-1251", 1251}, {"cp1251", 1251}, {"x-cp1251", 1251},
    {"windows-1252", 1252}, {"cp1252", 1252}, {"x-cp1252", 1252},
    {"windows-1253", 1253}, {"cp1253", 1253},
    {"windows-1254", 1254}, {"cp1254", 1254},
    {"windows-1255", 1255}, {"cp1255", 1255},
    {"windows-1256", 1256}, {"cp1256", 1256},
    {"windows-1257", 1257}, {"cp1257", 1257},
    {"windows-1258", 1258}, {"cp1258", 1258},
    {"koi8-r", 20866}, {"cskoi8r", 20866}, {"koi8-u", 21866},
    {"utf-16le", platform::kUtf16LeCodePage}, {"utf-16be", platform::kUtf16BeCodePage},
    {"ucs-2", platform::kUtf16LeCodePage},
};

// Letter case is ignored, and '_' and '-' are one: clients write both
// "koi8_r" and "koi8-r".
bool SameCharsetName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] == '_' ? '-' : LowerAscii(a[i]);
        const char y = b[i] == '_' ? '-' : LowerAscii(b[i]);
        if (x != y) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s) {
    const char* const blanks = " \t\r\n\"'";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

}  // namespace

unsigned CodePageOfCharset(std::string_view charset) {
    charset = Trimmed(charset);
    if (charset.empty()) return platform::kSystemCodePage;
    for (const CharsetName& entry : kCharsets)
        if (SameCharsetName(entry.name, charset)) return entry.codePage;
    return platform::kSystemCodePage;
}

std::string CharsetOfCodePage(unsigned codePage) {
    if (codePage == platform::kSystemCodePage) codePage = platform::SystemCodePage();
    // The names mail software knows these code pages by, where the table's
    // first name for them is not it: code page 936 is GBK, not GB2312, its subset.
    if (codePage == 936) return "GBK";
    if (codePage == 874) return "windows-874";
    for (const CharsetName& entry : kCharsets)
        if (entry.codePage == codePage) return entry.name;
    return "windows-" + std::to_string(codePage);
}

std::u16string ToUnicode(std::string_view bytes, std::string_view charset) {
    std::u16string out;
    unsigned codePage = CodePageOfCharset(charset);
    if (SameCharsetName(Trimmed(charset), "utf-16")) {
        // The byte order mark says the order (and is no text); without one,
        // little-endian, as the systems that write such mail do.
        codePage = bytes.substr(0, 2) == "\xFE\xFF" ? platform::kUtf16BeCodePage : platform::kUtf16LeCodePage;
        if (bytes.substr(0, 2) == "\xFE\xFF" || bytes.substr(0, 2) == "\xFF\xFE") bytes.remove_prefix(2);
    }
    if (!platform::DecodeCodePage(codePage, bytes, out) && codePage != platform::kSystemCodePage)
        platform::DecodeCodePage(platform::kSystemCodePage, bytes, out);
    return out;
}

std::u16string MarkedTextToUnicode(std::string_view bytes, std::string_view charset) {
    struct Mark {
        std::string_view bytes;
        unsigned codePage;
    };
    static constexpr Mark kMarks[] = {{"\xEF\xBB\xBF", platform::kUtf8CodePage},
                                      {"\xFF\xFE", platform::kUtf16LeCodePage},
                                      {"\xFE\xFF", platform::kUtf16BeCodePage}};
    for (const Mark& mark : kMarks) {
        if (bytes.substr(0, mark.bytes.size()) != mark.bytes) continue;
        std::u16string out;
        if (platform::DecodeCodePage(mark.codePage, bytes.substr(mark.bytes.size()), out)) return out;
    }
    return ToUnicode(bytes, charset);
}

std::u16string RawTextToUnicode(std::string_view bytes) {
    std::u16string out;
    if (platform::DecodeCodePage(platform::kUtf8CodePage, bytes, out, /*strict=*/true)) return out;
    platform::DecodeCodePage(platform::kSystemCodePage, bytes, out);
    return out;
}

std::string RawTextToUtf8(std::string_view bytes) {
    return IsUtf8(bytes) ? std::string(bytes) : ToUtf8(RawTextToUnicode(bytes));
}

bool IsUtf8(std::string_view bytes) {
    std::u16string ignored;
    return platform::DecodeCodePage(platform::kUtf8CodePage, bytes, ignored, /*strict=*/true);
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    platform::EncodeCodePage(platform::kUtf8CodePage, text, out);
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    platform::DecodeCodePage(platform::kUtf8CodePage, text, out);
    return out;
}

}  // namespace tarnwick::text
