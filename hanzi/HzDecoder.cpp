#include "hanzi/HzDecoder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace tarnwick::hanzi {
namespace {

// HZ is 7-bit: the high bit of every input byte is dropped before it is looked at.
constexpr unsigned kSevenBits = 0x7F;
// Setting it again turns an HZ pair back into its GB2312 code.
constexpr unsigned kHighBit = 0x80;

// Lead bytes of the GB2312 rows HZ can carry (rows 1 to 87), and the range
// of every trail byte.
constexpr unsigned kLeadFirst = 0x21;
constexpr unsigned kLeadLast = 0x77;
constexpr unsigned kTrailFirst = 0x21;
constexpr unsigned kTrailLast = 0x7E;
// Lead bytes past the GB2312 rows; such a pair becomes the replacement below.
constexpr unsigned kBeyondFirst = 0x78;
constexpr unsigned kBeyondLast = 0x7D;

constexpr unsigned kSpace = 0x20;
constexpr unsigned kDelete = 0x7F;

// Outside an HZ run the text is in the system code page (GBK), where these
// bytes start a two-byte character. Its trail byte may be "~" (0x7E), the
// one byte that means anything there, so a lead byte simply takes the byte
// after it along.
constexpr unsigned kGbkLeadFirst = 0x81;
constexpr unsigned kGbkLeadLast = 0xFE;

inline bool IsGbkLead(unsigned c) { return c - kGbkLeadFirst <= kGbkLeadLast - kGbkLeadFirst; }

// A byte that a GB-mode rule copies into the output: its low 7 bits, except
// that 0x80 stays 0x80, since a 0 would end the text.
inline unsigned char Copied(unsigned char raw) {
    const unsigned low = raw & kSevenBits;
    return static_cast<unsigned char>(low != 0 ? low : raw);
}

// GB2312 codes written in place of malformed pairs: a white square for a
// lead byte beyond the table, the ideographic space for a space trail byte.
constexpr unsigned char kReplacementLead = 0xA1;
constexpr unsigned char kReplacementTrail = 0xF5;
constexpr unsigned char kIdeographicSpaceLead = 0xA1;
constexpr unsigned char kIdeographicSpaceTrail = 0xA1;

// Room for the fixed text of the error line plus any int in decimal.
constexpr std::size_t kErrorLineBytes = sizeof(kSyntaxErrorLineFormat) + 16;

// The common runs (ASCII without "~", GB pairs all in range) are checked and
// copied eight bytes at a time. A word is put together byte by byte, first
// byte lowest, so nothing depends on the machine's byte order; compilers
// turn these loops into a single load or store.
using Word = std::uint64_t;
constexpr std::size_t kWordBytes = sizeof(Word);

constexpr Word EveryByte(unsigned value) { return Word{0x0101010101010101} * value; }
// A lead byte value in the lower byte of each pair, a trail byte value in the upper.
constexpr Word EveryPair(unsigned lead, unsigned trail) { return Word{0x0001000100010001} * (lead | trail << 8); }
constexpr Word kSevenBitWord = EveryByte(kSevenBits);
constexpr Word kHighBitWord = EveryByte(kHighBit);
// Added to a word of 7-bit bytes, these never carry from one byte into the
// next, so afterwards each byte's high bit tells whether it reached a bound:
// at least the first lead or trail value, or past the last one.
constexpr Word kAtLeastFirst = EveryPair(kHighBit - kLeadFirst, kHighBit - kTrailFirst);
constexpr Word kPastLast = EveryPair(kSevenBits - kLeadLast, kSevenBits - kTrailLast);

inline Word LoadWord(const unsigned char* p) {
    Word w = 0;
    for (std::size_t k = 0; k < kWordBytes; ++k) w |= Word{p[k]} << (8 * k);
    return w;
}

inline Word LoadSevenBits(const unsigned char* p) { return LoadWord(p) & kSevenBitWord; }

inline void StoreWord(unsigned char* p, Word w) {
    for (std::size_t k = 0; k < kWordBytes; ++k) p[k] = static_cast<unsigned char>(w >> (8 * k));
}

// A byte of w equal to "~": the xor leaves it 0 and only a 0 byte borrows.
inline bool HasTilde(Word w) {
    const Word t = w ^ EveryByte('~');
    return ((t - EveryByte(1)) & kHighBitWord) != 0;
}

// Four pairs that are all GB2312 codes.
inline bool AllPairsValid(Word w) {
    return ((w + kAtLeastFirst) & kHighBitWord) == kHighBitWord && ((w + kPastLast) & kHighBitWord) == 0;
}

}  // namespace

std::size_t DecodeHz(const char* in, std::size_t n, char* out, long& errorCount) {
    const auto* src = reinterpret_cast<const unsigned char*>(in);
    auto* dst = reinterpret_cast<unsigned char*>(out);
    std::size_t i = 0;
    std::size_t o = 0;
    long errors = 0;

    // Each pass of the outer loop is one stretch of ASCII mode followed by
    // one stretch of GB mode; the inner loops stay in their mode.
    while (i < n) {
        // ASCII mode: the text stands as it is, in the system code page.
        // Only a 7-bit "~" is an escape; a byte of 0x80 and above passes
        // through unchanged, and a GBK lead byte takes its trail byte with
        // it, so that a trail byte "~" is never read as an escape.
        while (i < n) {
            if (n - i >= kWordBytes) {
                const Word w = LoadWord(src + i);
                if ((w & kHighBitWord) == 0 && !HasTilde(w)) {
                    StoreWord(dst + o, w);
                    i += kWordBytes;
                    o += kWordBytes;
                    continue;
                }
                // A "~" or a byte of 0x80 and above lies within these eight
                // bytes: copy the bytes before it.
                while (src[i] < kHighBit && src[i] != '~') dst[o++] = src[i++];
            }
            const unsigned c1 = src[i];
            if (c1 != '~') {
                dst[o++] = static_cast<unsigned char>(c1);
                ++i;
                if (IsGbkLead(c1) && i < n) dst[o++] = src[i++];
                continue;
            }
            // A "~" starts a two-byte unit.
            if (i + 1 == n) {
                // "~" and the terminating 0: "~" is kept, the 0 ends the text.
                dst[o++] = '~';
                ++errors;
                ++i;
                break;
            }
            const unsigned c2 = src[i + 1];
            if (c2 >= kHighBit) {
                // No escape: "~" is kept, and the byte after it is read as
                // text of its own, taking its trail byte with it.
                dst[o++] = '~';
                ++errors;
                ++i;
                continue;
            }
            i += 2;
            if (c2 == '\n') continue;   // line continuation
            if (c2 == '{') break;       // into GB mode
            dst[o++] = '~';
            if (c2 != '~') {
                dst[o++] = static_cast<unsigned char>(c2);
                ++errors;
            }
        }

        // GB mode; every break returns to ASCII mode.
        while (i < n) {
            if (n - i >= kWordBytes) {
                const Word w = LoadSevenBits(src + i);
                if (AllPairsValid(w)) {
                    StoreWord(dst + o, w | kHighBitWord);
                    i += kWordBytes;
                    o += kWordBytes;
                    continue;
                }
            }
            const unsigned c1 = src[i] & kSevenBits;
            if (c1 < kSpace || c1 == kDelete) {
                // A control byte ends GB mode on its own (a line end left
                // without "~}" before it).
                dst[o++] = Copied(src[i]);
                ++errors;
                ++i;
                break;
            }
            // On the last byte the second byte is the terminating 0, which is
            // neither read nor written.
            const bool onLast = i + 1 == n;
            const unsigned c2 = onLast ? 0 : src[i + 1] & kSevenBits;
            i += onLast ? 1 : 2;

            if (c1 - kLeadFirst <= kLeadLast - kLeadFirst && c2 - kTrailFirst <= kTrailLast - kTrailFirst) {
                dst[o] = static_cast<unsigned char>(c1 | kHighBit);
                dst[o + 1] = static_cast<unsigned char>(c2 | kHighBit);
                o += 2;
                continue;
            }
            if (c1 == '~') {
                if (c2 == '}') break;   // back to ASCII mode
                dst[o++] = '~';
                if (!onLast) dst[o++] = Copied(src[i - 1]);
                ++errors;
                break;
            }
            ++errors;
            if (c1 - kBeyondFirst <= kBeyondLast - kBeyondFirst && c2 - kTrailFirst <= kTrailLast - kTrailFirst) {
                dst[o] = kReplacementLead;
                dst[o + 1] = kReplacementTrail;
                o += 2;
                continue;
            }
            if (c1 == kSpace) {
                if (!onLast) dst[o++] = Copied(src[i - 1]);
                continue;
            }
            if (c2 == kSpace) {
                dst[o] = kIdeographicSpaceLead;
                dst[o + 1] = kIdeographicSpaceTrail;
                o += 2;
                continue;
            }
            dst[o++] = static_cast<unsigned char>(c1);
            if (!onLast) dst[o++] = Copied(src[i - 1]);
            break;
        }
    }
    errorCount += errors;
    return o;
}

std::string HzToGb(std::string_view hz, long& errorCount) {
    std::string gb(hz.size(), '\0');
    gb.resize(DecodeHz(hz.data(), hz.size(), gb.data(), errorCount));
    gb.resize(std::strlen(gb.c_str()));   // the text ends at its first 0 byte
    return gb;
}

std::string SyntaxErrorLine(long errorCount) {
    char line[kErrorLineBytes];
    int length = std::snprintf(line, sizeof line, kSyntaxErrorLineFormat, static_cast<int>(errorCount));
    return std::string(line, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace tarnwick::hanzi
