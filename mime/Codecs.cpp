// Transfer codecs. See Codecs.h for the contracts.
#include "mime/Codecs.h"

#include <array>
#include <cstring>

namespace tarnwick::mime {
namespace {

constexpr char kAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kPadChar = '=';

// Input bytes of one complete output line.
constexpr std::size_t kBytesPerLine = 3 * kBase64GroupsPerLine;   // 54
// Output characters of one complete line, its CR LF included.
constexpr std::size_t kCharsPerLine = kBase64LineChars + 2;       // 74

// The decoder's 256-entry classification table, indexed by the byte value.
// Bytes 128 to 255 (negative as signed bytes) are outside every range.
constexpr std::array<signed char, 256> MakeSymbolTable() {
    std::array<signed char, 256> table{};
    for (auto& entry : table) entry = kBase64Skip;
    for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<signed char>(i);
    table[static_cast<unsigned char>(kPadChar)] = kBase64Pad;
    return table;
}
constexpr std::array<signed char, 256> kSymbolTable = MakeSymbolTable();

inline char* EncodeGroup(unsigned b1, unsigned b2, unsigned b3, char* o) {
    o[0] = kAlphabet[b1 >> 2];
    o[1] = kAlphabet[((b1 & 3) << 4) | (b2 >> 4)];
    o[2] = kAlphabet[((b2 & 15) << 2) | (b3 >> 6)];
    o[3] = kAlphabet[b3 & 63];
    return o + 4;
}

inline char* EncodeFinalOne(unsigned b1, char* o) {
    o[0] = kAlphabet[b1 >> 2];
    o[1] = kAlphabet[(b1 & 3) << 4];
    o[2] = kPadChar;
    o[3] = kPadChar;
    return o + 4;
}

inline char* EncodeFinalTwo(unsigned b1, unsigned b2, char* o) {
    o[0] = kAlphabet[b1 >> 2];
    o[1] = kAlphabet[((b1 & 3) << 4) | (b2 >> 4)];
    o[2] = kAlphabet[(b2 & 15) << 2];
    o[3] = kPadChar;
    return o + 4;
}

// Two output characters for every 12-bit value: the pair table halves the
// look-ups of the hot loop.
struct PairTable {
    char pairs[4096][2];
};
constexpr PairTable MakePairTable() {
    PairTable t{};
    for (int i = 0; i < 4096; ++i) {
        t.pairs[i][0] = kAlphabet[i >> 6];
        t.pairs[i][1] = kAlphabet[i & 63];
    }
    return t;
}
constexpr PairTable kPairs = MakePairTable();

inline char* EncodeGroupPairs(const unsigned char* p, char* o) {
    const unsigned v = (static_cast<unsigned>(p[0]) << 16) | (static_cast<unsigned>(p[1]) << 8) | p[2];
    const char* a = kPairs.pairs[v >> 12];
    const char* b = kPairs.pairs[v & 0xFFF];
    o[0] = a[0];
    o[1] = a[1];
    o[2] = b[0];
    o[3] = b[1];
    return o + 4;
}

// Encodes the whole range [p, end) into o with the full layout, starting at
// the beginning of a line; returns the position after the last character.
// o must hold Base64EncodedSize(end - p) characters.
char* EncodeRangeInto(const unsigned char* p, const unsigned char* end, char* o) {
    // Complete lines: 18 groups, then CR LF.
    while (static_cast<std::size_t>(end - p) >= kBytesPerLine) {
        for (std::size_t g = 0; g < kBase64GroupsPerLine; ++g, p += 3) o = EncodeGroupPairs(p, o);
        *o++ = '\r';
        *o++ = '\n';
    }
    // The last, shorter line: fewer than 18 complete groups, no CR LF.
    while (end - p >= 3) {
        o = EncodeGroup(p[0], p[1], p[2], o);
        p += 3;
    }
    if (end - p == 1) o = EncodeFinalOne(p[0], o);
    else if (end - p == 2) o = EncodeFinalTwo(p[0], p[1], o);
    return o;
}

// Stream encoding works through blocks of whole input lines, so that every
// block starts at the beginning of an output line and the layout does not
// depend on the block size. 442 lines make 23,868 input bytes and at most
// 32,708 output characters: large enough that fwrite's per-call cost
// vanishes, small enough for the stack of a server thread.
constexpr std::size_t kStreamBlockLines = 442;
constexpr std::size_t kStreamBlockInput = kStreamBlockLines * kBytesPerLine;
constexpr std::size_t kStreamBlockOutput = kStreamBlockLines * kCharsPerLine;

// Distinguishes "input used up" from the symbol results.
constexpr int kInputEnd = -3;

// The common base64 decoder. kBounded: the input ends at end. kStopAtZero:
// a zero byte ends the input (string decoders); otherwise it is skipped.
// kCompleteFinalGroup: a final group of 2 or 3 symbols cut off by the end of
// the input gives its bytes as if padded (bodies written without padding);
// the string decoders drop such a group.
template <bool kBounded, bool kStopAtZero, bool kCompleteFinalGroup>
std::size_t DecodeBase64(const char* p, const char* end, char* out) {
    auto next = [&p, end]() -> int {
        for (;;) {
            if (kBounded && p == end) return kInputEnd;
            const unsigned char c = static_cast<unsigned char>(*p);
            if (kStopAtZero && c == 0) return kInputEnd;
            ++p;
            const int v = kSymbolTable[c];
            if (v != kBase64Skip) return v;
        }
    };
    std::size_t count = 0;
    unsigned char* o = reinterpret_cast<unsigned char*>(out);
    for (;;) {
        const int s1 = next();
        if (s1 == kInputEnd || s1 == kBase64Pad) return count;
        const int s2 = next();
        if (s2 == kInputEnd || s2 == kBase64Pad) return count;
        const int s3 = next();
        if (s3 == kBase64Pad || (kCompleteFinalGroup && s3 == kInputEnd)) {
            o[count] = static_cast<unsigned char>((s1 << 2) | (s2 >> 4));
            return count + 1;
        }
        if (s3 == kInputEnd) return count;
        const int s4 = next();
        if (s4 == kInputEnd && !kCompleteFinalGroup) return count;
        o[count] = static_cast<unsigned char>((s1 << 2) | (s2 >> 4));
        o[count + 1] = static_cast<unsigned char>(((s2 & 15) << 4) | (s3 >> 2));
        if (s4 == kBase64Pad || s4 == kInputEnd) return count + 2;
        o[count + 2] = static_cast<unsigned char>(((s3 & 3) << 6) | s4);
        count += 3;
    }
}

inline bool IsScanfSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

int Base64SymbolValue(char c) {
    return kSymbolTable[static_cast<unsigned char>(c)];
}

std::size_t Base64EncodedSize(std::size_t n) {
    return 4 * ((n + 2) / 3) + 2 * ((n / 3) / kBase64GroupsPerLine);
}

std::size_t Base64EncodeString(const char* in, char* out) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(in);
    char* o = out;
    std::size_t groups = 0;
    for (;;) {
        const unsigned b1 = p[0];
        if (b1 == 0) break;
        const unsigned b2 = p[1];
        if (b2 == 0) {
            o = EncodeFinalOne(b1, o);
            break;
        }
        const unsigned b3 = p[2];
        if (b3 == 0) {
            o = EncodeFinalTwo(b1, b2, o);
            break;
        }
        o = EncodeGroup(b1, b2, b3, o);
        p += 3;
        if (++groups == kBase64GroupsPerLine) {
            *o++ = '\r';
            *o++ = '\n';
            groups = 0;
        }
    }
    return static_cast<std::size_t>(o - out);
}

int Base64EncodeToStream(const char* begin, const char* end, std::FILE* stream) {
    char block[kStreamBlockOutput];
    const unsigned char* p = reinterpret_cast<const unsigned char*>(begin);
    const unsigned char* const stop = reinterpret_cast<const unsigned char*>(end);
    while (p < stop) {
        const std::size_t take =
            static_cast<std::size_t>(stop - p) < kStreamBlockInput ? static_cast<std::size_t>(stop - p) : kStreamBlockInput;
        const char* filled = EncodeRangeInto(p, p + take, block);
        std::fwrite(block, 1, static_cast<std::size_t>(filled - block), stream);
        p += take;
    }
    return 1;
}

void Base64EncodeRange(const char* begin, const char* end, std::string& out) {
    if (end <= begin) return;
    const std::size_t n = static_cast<std::size_t>(end - begin);
    const std::size_t old = out.size();
    out.resize(old + Base64EncodedSize(n));
    char* filled = EncodeRangeInto(reinterpret_cast<const unsigned char*>(begin),
                                   reinterpret_cast<const unsigned char*>(end), &out[old]);
    out.resize(static_cast<std::size_t>(filled - out.data()));
}

std::size_t Base64DecodeString(const char* in, char* out) {
    return DecodeBase64<false, true, false>(in, nullptr, out);
}

std::size_t Base64DecodeStringRange(const char* begin, const char* end, char* out) {
    return DecodeBase64<true, true, false>(begin, end, out);
}

std::size_t Base64DecodeRange(const char* begin, const char* end, char* out) {
    if (end <= begin) return 0;
    return DecodeBase64<true, false, true>(begin, end, out);
}

unsigned ReadHex2(const char* p, const char* end) {
    while (p < end && IsScanfSpace(*p)) ++p;
    unsigned value = 0;
    for (int digits = 0; digits < 2 && p < end; ++digits, ++p) {
        const int d = HexDigitValue(*p);
        if (d < 0) break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value;
}

std::size_t QuotedPrintableDecodeRange(const char* begin, const char* end, char* out) {
    std::size_t j = 0;
    const char* p = begin;
    while (p < end) {
        const char c = *p;
        if (c != '=') {
            out[j++] = c;
            ++p;
            continue;
        }
        const std::size_t left = static_cast<std::size_t>(end - p);   // '=' included
        if (left >= 3 && p[1] == '\r' && p[2] == '\n') {   // soft line break
            p += 3;
            continue;
        }
        const unsigned value = ReadHex2(p + 1, end);
        if (value != 0) {
            out[j++] = static_cast<char>(value & 0xFF);
            p += left < 3 ? left : 3;   // '=' and the two bytes after it, never past end
        } else {
            out[j++] = '\n';
            ++p;
        }
    }
    return j;
}

}  // namespace tarnwick::mime
