#include "tests/unit/ReferenceCodecs.h"

#include "mime/Codecs.h"

namespace tarnwick::mime::reference {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kEnd = -1;   // no symbol left
constexpr int kPad = -2;   // '='

// The next symbol's value at or after p (other bytes are skipped), kPad or kEnd.
int NextSymbol(const char*& p, const char* end) {
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '=') {
            ++p;
            return kPad;
        }
        for (int v = 0; v < 64; ++v)
            if (kAlphabet[v] == c) {
                ++p;
                return v;
            }
    }
    return kEnd;
}

// One '=' at p (p < end): a soft line break (CR LF after it), or the value
// ReadHex2 reads after it; a zero value is a line feed, unless zeroIsByte
// and the two bytes after it are "00".
const char* DecodeEscape(const char* p, const char* end, char*& o, bool zeroIsByte) {
    const std::size_t left = static_cast<std::size_t>(end - p);
    if (left >= 3 && p[1] == '\r' && p[2] == '\n') return p + 3;
    const unsigned value = ReadHex2(p + 1, end);
    if (value != 0 || (zeroIsByte && left >= 3 && p[1] == '0' && p[2] == '0')) {
        *o++ = static_cast<char>(value & 0xFF);
        return p + (left < 3 ? left : 3);
    }
    *o++ = '\n';
    return p + 1;
}

std::size_t DecodeQuotedPrintable(const char* begin, const char* end, char* out, bool zeroIsByte) {
    char* o = out;
    const char* p = begin;
    while (p < end) {
        if (*p != '=')
            *o++ = *p++;
        else
            p = DecodeEscape(p, end, o, zeroIsByte);
    }
    return static_cast<std::size_t>(o - out);
}

}  // namespace

std::size_t Base64DecodeRange(const char* begin, const char* end, char* out) {
    if (end <= begin) return 0;
    const char* p = begin;
    auto* o = reinterpret_cast<unsigned char*>(out);
    std::size_t count = 0;
    for (;;) {
        // A final group cut off by the end gives its bytes as if padded.
        const int s1 = NextSymbol(p, end);
        if (s1 < 0) return count;
        const int s2 = NextSymbol(p, end);
        if (s2 < 0) return count;
        const int s3 = NextSymbol(p, end);
        if (s3 < 0) {
            o[count] = static_cast<unsigned char>((s1 << 2) | (s2 >> 4));
            return count + 1;
        }
        const int s4 = NextSymbol(p, end);
        o[count] = static_cast<unsigned char>((s1 << 2) | (s2 >> 4));
        o[count + 1] = static_cast<unsigned char>(((s2 & 15) << 4) | (s3 >> 2));
        if (s4 < 0) return count + 2;
        o[count + 2] = static_cast<unsigned char>(((s3 & 3) << 6) | s4);
        count += 3;
    }
}

void Base64EncodeRange(const char* begin, const char* end, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(begin);
    const auto* const e = reinterpret_cast<const unsigned char*>(end);
    std::size_t groups = 0;
    while (e - p >= 3) {
        out += kAlphabet[p[0] >> 2];
        out += kAlphabet[((p[0] & 3) << 4) | (p[1] >> 4)];
        out += kAlphabet[((p[1] & 15) << 2) | (p[2] >> 6)];
        out += kAlphabet[p[2] & 63];
        p += 3;
        if (++groups == kBase64GroupsPerLine) {
            out += "\r\n";
            groups = 0;
        }
    }
    if (e - p == 1) {
        out += kAlphabet[p[0] >> 2];
        out += kAlphabet[(p[0] & 3) << 4];
        out += "==";
    } else if (e - p == 2) {
        out += kAlphabet[p[0] >> 2];
        out += kAlphabet[((p[0] & 3) << 4) | (p[1] >> 4)];
        out += kAlphabet[(p[1] & 15) << 2];
        out += '=';
    }
}

std::size_t QuotedPrintableDecodeRange(const char* begin, const char* end, char* out) {
    return DecodeQuotedPrintable(begin, end, out, false);
}

std::size_t QuotedPrintableDecodeAttachment(const char* begin, const char* end, char* out) {
    return DecodeQuotedPrintable(begin, end, out, true);
}

}  // namespace tarnwick::mime::reference
