// Transfer codecs. See Codecs.h for the contracts.
#include "mime/Codecs.h"

#include <array>
#include <memory>
#include <cstdint>
#include <cstring>

#include "text/NarrowText.h"

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

// Loads and stores of numbers in a fixed byte order, through memcpy (any
// alignment, no aliasing questions): one move, plus a byte swap when the
// host's order differs.
#if defined(__BYTE_ORDER__) && defined(__ORDER_BIG_ENDIAN__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
constexpr bool kBigEndianHost = true;
#else
constexpr bool kBigEndianHost = false;   // x86, and every Windows target
#endif

inline std::uint64_t ByteSwap64(std::uint64_t x) {
#if defined(__GNUC__)
    return __builtin_bswap64(x);
#else
    std::uint64_t y = 0;
    for (int i = 0; i < 8; ++i, x >>= 8) y = (y << 8) | (x & 0xFF);
    return y;
#endif
}

inline std::uint64_t LoadBigEndian64(const unsigned char* p) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return kBigEndianHost ? x : ByteSwap64(x);
}

inline std::uint32_t LoadLittleEndian32(const unsigned char* p) {
    std::uint32_t x;
    std::memcpy(&x, p, 4);
    return kBigEndianHost ? static_cast<std::uint32_t>(ByteSwap64(x) >> 32) : x;
}

inline std::uint64_t LoadLittleEndian64(const unsigned char* p) {
    std::uint64_t x;
    std::memcpy(&x, p, 8);
    return kBigEndianHost ? ByteSwap64(x) : x;
}

// Writes the lowest `bytes` bytes of v (at most 8), lowest first.
inline void StoreLittleEndian(unsigned char* o, std::uint64_t v, std::size_t bytes) {
    if (kBigEndianHost) v = ByteSwap64(v);
    std::memcpy(o, &v, bytes);
}

// The pair table again, each entry as the number first | second << 8, so that
// four of them combine into the eight characters of two groups.
struct PairWords {
    std::uint16_t words[4096];
};
constexpr PairWords MakePairWords() {
    PairWords t{};
    for (int i = 0; i < 4096; ++i)
        t.words[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(kPairs.pairs[i][0]) |
                                                (static_cast<unsigned char>(kPairs.pairs[i][1]) << 8));
    return t;
}
constexpr PairWords kPairWords = MakePairWords();

// Two groups (six input bytes, eight characters) from one 8-byte load; reads
// p[6] and p[7] too, without using them.
inline char* EncodeTwoGroups(const unsigned char* p, char* o) {
    const std::uint64_t x = LoadBigEndian64(p);   // p[0] in the top byte
    const std::uint64_t w = static_cast<std::uint64_t>(kPairWords.words[x >> 52]) |
                            static_cast<std::uint64_t>(kPairWords.words[(x >> 40) & 0xFFF]) << 16 |
                            static_cast<std::uint64_t>(kPairWords.words[(x >> 28) & 0xFFF]) << 32 |
                            static_cast<std::uint64_t>(kPairWords.words[(x >> 16) & 0xFFF]) << 48;
    StoreLittleEndian(reinterpret_cast<unsigned char*>(o), w, 8);
    return o + 8;
}

// Encodes the whole range [p, end) into o in lines of kGroups groups,
// starting at the beginning of a line; returns the position after the last
// character. o must hold 4 * ceil(n / 3) + 2 * floor(n / (3 * kGroups))
// characters.
template <std::size_t kGroups>
char* EncodeLinesInto(const unsigned char* p, const unsigned char* end, char* o) {
    constexpr std::size_t kLineBytes = 3 * kGroups;
    // Complete lines, two groups per load. The line's last load reads two
    // bytes past it, so this needs two more bytes than the line itself.
    while (static_cast<std::size_t>(end - p) >= kLineBytes + 2) {
        std::size_t g = 0;
        for (; g + 2 <= kGroups; g += 2, p += 6) o = EncodeTwoGroups(p, o);
        if (g < kGroups) {
            o = EncodeGroupPairs(p, o);
            p += 3;
        }
        o[0] = '\r';
        o[1] = '\n';
        o += 2;
    }
    // A complete line right at the end: one group at a time.
    if (static_cast<std::size_t>(end - p) >= kLineBytes) {
        for (std::size_t g = 0; g < kGroups; ++g, p += 3) o = EncodeGroupPairs(p, o);
        *o++ = '\r';
        *o++ = '\n';
    }
    // The last, shorter line: fewer than kGroups complete groups, no CR LF.
    while (end - p >= 3) {
        o = EncodeGroupPairs(p, o);
        p += 3;
    }
    if (end - p == 1) o = EncodeFinalOne(p[0], o);
    else if (end - p == 2) o = EncodeFinalTwo(p[0], p[1], o);
    return o;
}

char* EncodeRangeInto(const unsigned char* p, const unsigned char* end, char* o) {
    return EncodeLinesInto<kBase64GroupsPerLine>(p, end, o);
}

// Stream encoding works through blocks of whole input lines, so that every
// block starts at the beginning of an output line and the layout does not
// depend on the block size. 442 lines make 23,868 input bytes and at most
// 32,708 output characters: large enough that fwrite's per-call cost
// vanishes, small enough for the stack of a server thread.
constexpr std::size_t kStreamBlockLines = 442;

// Distinguishes "input used up" from the symbol results.
constexpr int kInputEnd = -3;

// Decoding tables for two groups at once. Table k (0 to 3) gives the bits the
// (k+1)th symbol of a group contributes to the group's three bytes, laid out
// as the little-endian number byte1 | byte2 << 8 | byte3 << 16; tables 4 to 7
// do the same for the following group, 24 bits higher. A pad or skip
// character instead sets bit 63, which no symbol sets, so one test of the OR
// of eight entries tells whether all eight characters were symbols.
constexpr std::uint64_t kNotSymbol = std::uint64_t{1} << 63;
struct QuadTables {
    std::uint64_t bits[8][256];
};
constexpr QuadTables MakeQuadTables() {
    QuadTables t{};
    for (int c = 0; c < 256; ++c) {
        const int v = kSymbolTable[c];
        const std::uint64_t u = v >= 0 ? static_cast<std::uint64_t>(v) : 0;
        const std::uint64_t place[4] = {
            u << 2,                                // byte 1, high six bits
            (u >> 4) | ((u & 15) << 12),           // byte 1, low two; byte 2, high four
            ((u >> 2) << 8) | ((u & 3) << 22),     // byte 2, low four; byte 3, high two
            u << 16,                               // byte 3, low six
        };
        for (int k = 0; k < 8; ++k) t.bits[k][c] = v >= 0 ? place[k & 3] << (k < 4 ? 0 : 24) : kNotSymbol;
    }
    return t;
}
constexpr QuadTables kQuads = MakeQuadTables();

// The six bytes of the two groups of the eight characters at p, kNotSymbol
// set when any of them is not an alphabet character. The first four
// characters are loaded one by one and the last four taken out of one 32-bit
// load, which keeps both the load and the arithmetic units busy.
inline std::uint64_t DecodeTwoGroups(const unsigned char* p) {
    const std::uint32_t x = LoadLittleEndian32(p + 4);
    return kQuads.bits[0][p[0]] | kQuads.bits[1][p[1]] | kQuads.bits[2][p[2]] | kQuads.bits[3][p[3]] |
           kQuads.bits[4][x & 255] | kQuads.bits[5][(x >> 8) & 255] | kQuads.bits[6][(x >> 16) & 255] |
           kQuads.bits[7][x >> 24];
}

// One group of four characters at p, by tables 0 to 3 (the first group of a
// pair) or 4 to 7 (the second).
template <int kTable>
inline std::uint64_t DecodeOneGroup(const unsigned char* p) {
    return kQuads.bits[kTable][p[0]] | kQuads.bits[kTable + 1][p[1]] | kQuads.bits[kTable + 2][p[2]] |
           kQuads.bits[kTable + 3][p[3]];
}

// The range decoder's common case, called at the start of a group: every
// group of four alphabet characters gives its three bytes, and characters
// outside the alphabet (the pad excepted) between and inside groups are
// skipped, just as the per-character loop would do with them. Stops where a
// pad or the end of the input comes before a group is complete, and leaves
// that group to the loop. Nothing is written past the bytes of complete
// groups: a pair of groups goes out with one 8-byte store (two bytes too
// many) only once the following pair has been checked too, so that its bytes
// overwrite the extra two; the last pair is stored exactly.
inline void DecodeWholeGroups(const unsigned char*& pp, const unsigned char* end, unsigned char*& oo) {
    const unsigned char* p = pp;
    unsigned char* o = oo;
    for (;;) {
        while (p < end && kSymbolTable[*p] == kBase64Skip) ++p;   // CR LF between lines, say
        if (end - p < 4) break;
        const std::uint64_t group = DecodeOneGroup<0>(p);
        if ((group & kNotSymbol) != 0) {
            // A skipped character inside the group (or a pad): gathered one
            // symbol at a time, unless a pad or the end comes first.
            const unsigned char* q = p;
            unsigned bits = 0;
            int symbols = 0;
            while (symbols < 4 && q < end) {
                const int s = kSymbolTable[*q++];
                if (s == kBase64Skip) continue;
                if (s < 0) break;
                bits = (bits << 6) | static_cast<unsigned>(s);
                ++symbols;
            }
            if (symbols < 4) break;
            o[0] = static_cast<unsigned char>(bits >> 16);
            o[1] = static_cast<unsigned char>(bits >> 8);
            o[2] = static_cast<unsigned char>(bits);
            o += 3;
            p = q;
            continue;
        }
        if (end - p >= 8) {
            std::uint64_t v = group | DecodeOneGroup<4>(p + 4);
            if ((v & kNotSymbol) == 0) {
                for (;;) {
                    p += 8;
                    if (end - p < 8) break;
                    const std::uint64_t next = DecodeTwoGroups(p);
                    if ((next & kNotSymbol) != 0) break;
                    StoreLittleEndian(o, v, 8);
                    o += 6;
                    v = next;
                }
                StoreLittleEndian(o, v, 6);
                o += 6;
                continue;
            }
        }
        StoreLittleEndian(o, group, 3);
        o += 3;
        p += 4;
    }
    pp = p;
    oo = o;
}

// The common base64 decoder. kBounded: the input ends at end. kStopAtZero:
// a zero byte ends the input (string decoders); otherwise it is skipped.
// kCompleteFinalGroup: a final group of 2 or 3 symbols cut off by the end of
// the input gives its bytes as if padded (bodies written without padding);
// the string decoders drop such a group. kWholeGroups: before every group,
// DecodeWholeGroups takes what it can; the loop below is the exact rule, and
// what it does with the rest.
template <bool kBounded, bool kStopAtZero, bool kCompleteFinalGroup, bool kWholeGroups = false>
std::size_t DecodeBase64(const char* p, const char* end, char* out) {
    static_assert(!kWholeGroups || (kBounded && !kStopAtZero), "whole groups skip zero bytes and need the end");
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
        if (kWholeGroups) {
            const unsigned char* q = reinterpret_cast<const unsigned char*>(p);
            unsigned char* filled = o + count;
            DecodeWholeGroups(q, reinterpret_cast<const unsigned char*>(end), filled);
            p = reinterpret_cast<const char*>(q);
            count = static_cast<std::size_t>(filled - o);
        }
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

// One '=' at p (p < end) by the exact rule; returns the position after the
// bytes it consumed. kZeroIsByte: "=00" is the byte 00 (attachments) rather
// than a line feed (text).
template <bool kZeroIsByte>
inline const char* DecodeEscape(const char* p, const char* end, char*& o) {
    const std::size_t left = static_cast<std::size_t>(end - p);   // '=' included
    if (left >= 3 && p[1] == '\r' && p[2] == '\n') return p + 3;   // soft line break
    const unsigned value = ReadHex2(p + 1, end);
    if (value != 0 || (kZeroIsByte && left >= 3 && p[1] == '0' && p[2] == '0')) {
        *o++ = static_cast<char>(value & 0xFF);
        return p + (left < 3 ? left : 3);   // '=' and the two bytes after it, never past end
    }
    *o++ = '\n';
    return p + 1;
}

// Hexadecimal digit values; 16 for every other byte.
constexpr std::array<unsigned char, 256> MakeHexTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const int d = text::HexDigitValue(static_cast<char>(c));
        table[static_cast<std::size_t>(c)] = static_cast<unsigned char>(d < 0 ? 16 : d);
    }
    return table;
}
constexpr std::array<unsigned char, 256> kHexTable = MakeHexTable();

// The escapes starting at p, one after the other, as long as p is at an '='.
// "=XY" with two hexadecimal digits and a nonzero value (or, with
// kZeroIsByte, "=00" too) is decoded here directly: ReadHex2 would skip no
// white space and read just those two. Every other '=' goes through
// DecodeEscape.
template <bool kZeroIsByte>
inline const char* DecodeEscapes(const char* p, const char* end, char*& o) {
    while (p < end && *p == '=') {
        if (end - p >= 3) {
            const unsigned high = kHexTable[static_cast<unsigned char>(p[1])];
            const unsigned low = kHexTable[static_cast<unsigned char>(p[2])];
            if (((high | low) & 16) == 0) {
                const unsigned value = (high << 4) | low;
                if (kZeroIsByte || value != 0) {   // a branch: p's advance then waits for no load
                    *o++ = static_cast<char>(value);
                    p += 3;
                    continue;
                }
            }
        }
        p = DecodeEscape<kZeroIsByte>(p, end, o);
    }
    return p;
}

// The top bit of every byte of x that is '=' is set. Exact for the lowest
// such byte, the only one used: bytes above a match can be marked falsely.
inline std::uint64_t EqualsSigns(std::uint64_t x) {
    const std::uint64_t t = x ^ 0x3D3D3D3D3D3D3D3Dull;
    return (t - 0x0101010101010101ull) & ~t & 0x8080808080808080ull;
}

// The index of the lowest byte of m (not 0) with its top bit set.
inline std::size_t LowestMarkedByte(std::uint64_t m) {
#if defined(__GNUC__)
    return static_cast<std::size_t>(__builtin_ctzll(m)) >> 3;
#else
    std::size_t i = 0;
    while ((m & 0x80) == 0) {
        m >>= 8;
        ++i;
    }
    return i;
#endif
}

// Copies n < 16 bytes with at most two overlapping moves, writing nothing
// past o + n.
inline void CopyShort(char* o, const char* p, std::size_t n) {
    if (n >= 8) {
        std::memcpy(o, p, 8);
        std::memcpy(o + n - 8, p + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(o, p, 4);
        std::memcpy(o + n - 4, p + n - 4, 4);
    } else if (n != 0) {
        o[0] = p[0];
        o[n >> 1] = p[n >> 1];
        o[n - 1] = p[n - 1];
    }
}

// The stored-message quoted-printable decoder; kZeroIsByte as for
// DecodeEscape.
template <bool kZeroIsByte>
std::size_t DecodeQuotedPrintable(const char* begin, const char* end, char* out) {
    char* o = out;
    const char* p = begin;
    // Sixteen bytes at a time while there are sixteen: without an '=' they
    // are copied whole (o never runs ahead of p, so out has room); otherwise
    // the bytes before the first '=' are copied and the escapes from there on
    // decoded.
    while (end - p >= 16) {
        const std::uint64_t first = EqualsSigns(LoadLittleEndian64(reinterpret_cast<const unsigned char*>(p)));
        const std::uint64_t second = EqualsSigns(LoadLittleEndian64(reinterpret_cast<const unsigned char*>(p) + 8));
        if ((first | second) == 0) {
            std::memcpy(o, p, 16);
            o += 16;
            p += 16;
            continue;
        }
        const std::size_t run = first != 0 ? LowestMarkedByte(first) : 8 + LowestMarkedByte(second);
        CopyShort(o, p, run);
        o += run;
        p = DecodeEscapes<kZeroIsByte>(p + run, end, o);
    }
    while (p < end) {
        if (*p != '=') {
            *o++ = *p++;
            continue;
        }
        p = DecodeEscapes<kZeroIsByte>(p, end, o);
    }
    return static_cast<std::size_t>(o - out);
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

namespace {

template <std::size_t kGroups>
void EncodeLinesToStream(const char* begin, const char* end, std::FILE* stream) {
    constexpr std::size_t kBlockInput = kStreamBlockLines * 3 * kGroups;
    char block[kStreamBlockLines * (4 * kGroups + 2)];
    const unsigned char* p = reinterpret_cast<const unsigned char*>(begin);
    const unsigned char* const stop = reinterpret_cast<const unsigned char*>(end);
    while (p < stop) {
        const std::size_t take =
            static_cast<std::size_t>(stop - p) < kBlockInput ? static_cast<std::size_t>(stop - p) : kBlockInput;
        const char* filled = EncodeLinesInto<kGroups>(p, p + take, block);
        std::fwrite(block, 1, static_cast<std::size_t>(filled - block), stream);
        p += take;
    }
}

}  // namespace

int Base64EncodeToStream(const char* begin, const char* end, std::FILE* stream) {
    EncodeLinesToStream<kBase64GroupsPerLine>(begin, end, stream);
    return 1;
}

void Base64EncodeMimeLinesToStream(const char* begin, const char* end, std::FILE* stream) {
    EncodeLinesToStream<kMimeBase64LineChars / 4>(begin, end, stream);
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
    return DecodeBase64<true, false, true, true>(begin, end, out);
}

TransferEncoding TransferEncodingOf(std::string_view fieldValue) {
    // The token, with comments left out; anything beside it spoils it.
    std::string token;
    int depth = 0;
    for (std::size_t i = 0; i < fieldValue.size(); ++i) {
        const char c = fieldValue[i];
        if (c == '(') {
            ++depth;
        } else if (depth > 0) {
            if (c == '\\') ++i;   // a quoted character inside a comment
            else if (c == ')') --depth;
        } else {
            token += c;
        }
    }
    std::string_view name(token);
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
    while (!name.empty() && isBlank(name.back())) name.remove_suffix(1);
    if (text::EqualIgnoringAsciiCase(name, "base64")) return TransferEncoding::Base64;
    if (text::EqualIgnoringAsciiCase(name, "quoted-printable")) return TransferEncoding::QuotedPrintable;
    return TransferEncoding::Identity;
}

std::size_t DecodeBodyRange(TransferEncoding encoding, const char* begin, const char* end, char* out,
                            RangeDecoder decodeQuotedPrintable) {
    switch (encoding) {
    case TransferEncoding::Base64:
        return Base64DecodeRange(begin, end, out);
    case TransferEncoding::QuotedPrintable:
        return decodeQuotedPrintable(begin, end, out);
    case TransferEncoding::Identity:
        break;
    }
    std::memcpy(out, begin, static_cast<std::size_t>(end - begin));
    return static_cast<std::size_t>(end - begin);
}

unsigned ReadHex2(const char* p, const char* end) {
    while (p < end && IsScanfSpace(*p)) ++p;
    unsigned value = 0;
    for (int digits = 0; digits < 2 && p < end; ++digits, ++p) {
        const int d = text::HexDigitValue(*p);
        if (d < 0) break;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return value;
}

std::size_t QuotedPrintableDecodeRange(const char* begin, const char* end, char* out) {
    return DecodeQuotedPrintable<false>(begin, end, out);
}

std::size_t QuotedPrintableDecodeAttachment(const char* begin, const char* end, char* out) {
    return DecodeQuotedPrintable<true>(begin, end, out);
}

std::size_t QuotedPrintableDecodeRfc2045(const char* begin, const char* end, char* out) {
    char* o = out;
    const char* p = begin;
    while (p < end) {
        const char* equals = static_cast<const char*>(std::memchr(p, '=', static_cast<std::size_t>(end - p)));
        const char* const run = equals != nullptr ? equals : end;
        std::memmove(o, p, static_cast<std::size_t>(run - p));   // o never runs ahead of p
        o += run - p;
        p = run;
        if (p == end) break;
        if (end - p >= 3) {
            const int high = text::HexDigitValue(p[1]);
            const int low = text::HexDigitValue(p[2]);
            if (high >= 0 && low >= 0) {
                *o++ = static_cast<char>((high << 4) | low);
                p += 3;
                continue;
            }
        }
        // A soft line break: blanks after the '=' up to CR LF, a bare LF or
        // the end of the range (the line break before a delimiter belongs to
        // the delimiter, so a body's last soft break ends at the range end).
        const char* q = p + 1;
        while (q < end && (*q == ' ' || *q == '\t')) ++q;
        if (q == end) break;
        if (*q == '\n') {
            p = q + 1;
            continue;
        }
        if (*q == '\r' && end - q >= 2 && q[1] == '\n') {
            p = q + 2;
            continue;
        }
        *o++ = '=';   // no escape: the '=' stands for itself
        ++p;
    }
    return static_cast<std::size_t>(o - out);
}

void QuotedPrintableEncode(std::string_view text, std::string& out) {
    constexpr std::size_t kMaxLineChars = 76;   // the soft break's "=" included
    std::size_t column = 0;
    std::size_t sequenceLeft = 0;   // bytes of a UTF-8 sequence still to come
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "\r\n";
            column = 0;
            ++i;
            continue;
        }
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const bool lineEnds = i + 1 == text.size() || text.compare(i + 1, 2, "\r\n") == 0;
        const bool blank = c == ' ' || c == '\t';
        bool literal = (c >= 33 && c <= 126 && c != '=') || (blank && !lineEnds);
        // A character of several bytes stays on one line: the break comes
        // before its first byte, if its bytes would not all fit.
        std::size_t width = literal ? 1 : 3;
        const bool insideCharacter = sequenceLeft > 0;
        if (insideCharacter) {
            --sequenceLeft;
        } else if (c >= 0xC0) {
            while (sequenceLeft < 3 && i + 1 + sequenceLeft < text.size() &&
                   (static_cast<unsigned char>(text[i + 1 + sequenceLeft]) & 0xC0) == 0x80)
                ++sequenceLeft;
            width = 3 * (1 + sequenceLeft);
        }
        if (!insideCharacter && column + width > kMaxLineChars - 1) {
            out += "=\r\n";
            column = 0;
        }
        // A line starting with '.' would read as the end of the message to
        // a mail server that collects it.
        if (c == '.' && column == 0) literal = false;
        if (literal) {
            out += static_cast<char>(c);
            ++column;
        } else {
            out += '=';
            out += text::kHexDigits[c >> 4];
            out += text::kHexDigits[c & 15];
            column += 3;
        }
    }
}

bool Base64DecodeInPieces(const char* begin, const char* end,
                          const std::function<bool(const char* bytes, std::size_t size)>& write) {
    constexpr std::size_t kPieceSymbols = kBase64PieceBytes / 3 * 4;
    std::unique_ptr<char[]> buffer(new char[kBase64PieceBytes]);
    for (const char* p = begin; p < end;) {
        // The piece runs to its last whole group, or through a pad character.
        const char* q = p;
        std::size_t symbols = 0;
        bool padded = false;
        for (; q < end && symbols < kPieceSymbols; ++q) {
            const signed char kind = kSymbolTable[static_cast<unsigned char>(*q)];
            if (kind >= 0) {
                ++symbols;
            } else if (kind == kBase64Pad) {
                padded = true;
                ++q;
                break;
            }
        }
        const std::size_t size = Base64DecodeRange(p, q, buffer.get());
        if (size != 0 && !write(buffer.get(), size)) return false;
        if (padded) break;
        p = q;
    }
    return true;
}

}  // namespace tarnwick::mime
