// The five transfer codecs (and the range/string helpers built on them) over
// exactly sized buffers, with round-trip and cross-encoder checks:
//   - the range, string and stream encoders produce identical text;
//   - Base64DecodeString(Base64EncodeString(x)) == x for NUL-free x;
//   - Base64DecodeRange(Base64EncodeRange(x)) == x for any x;
//   - the decoders never write more than their contracts allow.
#pragma once

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/checks/Check.h"
#include "mime/Codecs.h"
#include "mime/stored/Header.h"

namespace tarnwick::fuzz {
namespace codecs {

inline std::string StreamEncode(const char* begin, const char* end) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* f = open_memstream(&buffer, &length);   // POSIX: the stream writes into memory
    if (f == nullptr) return {};
    const int written = mime::Base64EncodeToStream(begin, end, f);
    std::fclose(f);
    std::string out(buffer, length);
    std::free(buffer);
    FUZZ_CHECK(written == 1);
    return out;
}

inline std::size_t AlphabetCount(const char* begin, const char* end) {
    std::size_t n = 0;
    for (const char* p = begin; p < end; ++p)
        if (mime::Base64SymbolValue(*p) >= 0) ++n;
    return n;
}

}  // namespace codecs

inline void CheckCodecs(const std::uint8_t* data, std::size_t size) {
    using namespace tarnwick::mime;
    using codecs::AlphabetCount;
    // The input, exactly sized, as a range; and a zero-terminated copy.
    std::unique_ptr<char[]> range(new char[size == 0 ? 1 : size]);
    if (size != 0) std::memcpy(range.get(), data, size);
    const char* begin = range.get();
    const char* end = begin + size;
    std::unique_ptr<char[]> text(new char[size + 1]);
    if (size != 0) std::memcpy(text.get(), data, size);
    text[size] = '\0';
    const std::size_t textLength = std::strlen(text.get());

    // Decoders over arbitrary input; outputs sized exactly as their contracts say.
    const std::size_t symbols = AlphabetCount(begin, end);
    const std::size_t decodeCapacity = 3 * (symbols / 4) + 3;   // pad rows write up to 2 more bytes
    std::unique_ptr<char[]> decoded(new char[decodeCapacity]);
    FUZZ_CHECK(Base64DecodeRange(begin, end, decoded.get()) <= 3 * (symbols / 4) + 2);
    const std::size_t textSymbols = AlphabetCount(text.get(), text.get() + textLength);
    std::unique_ptr<char[]> decodedText(new char[3 * (textSymbols / 4) + 3]);
    FUZZ_CHECK(Base64DecodeString(text.get(), decodedText.get()) <= 3 * (textSymbols / 4) + 2);
    FUZZ_CHECK(Base64DecodeStringRange(begin, end, decodedText.get()) <= 3 * (textSymbols / 4) + 2);
    std::unique_ptr<char[]> qp(new char[size == 0 ? 1 : size]);
    FUZZ_CHECK(QuotedPrintableDecodeRange(begin, end, qp.get()) <= size);

    // Encoders: identical layout from all three; round trips.
    std::string encodedRange;
    Base64EncodeRange(begin, end, encodedRange);
    FUZZ_CHECK(encodedRange.size() == Base64EncodedSize(size));
    FUZZ_CHECK(codecs::StreamEncode(begin, end) == encodedRange);

    std::unique_ptr<char[]> encodedText(new char[Base64EncodedSize(textLength) + 1]);
    const std::size_t encodedLength = Base64EncodeString(text.get(), encodedText.get());
    FUZZ_CHECK(encodedLength == Base64EncodedSize(textLength));
    encodedText[encodedLength] = '\0';
    FUZZ_CHECK(std::memcmp(encodedText.get(), encodedRange.data(), encodedLength) == 0 || textLength != size);

    std::unique_ptr<char[]> back(new char[textLength + 3]);
    FUZZ_CHECK(Base64DecodeString(encodedText.get(), back.get()) == textLength);
    FUZZ_CHECK(std::memcmp(back.get(), text.get(), textLength) == 0);

    std::unique_ptr<char[]> backRange(new char[size + 3]);
    FUZZ_CHECK(Base64DecodeRange(encodedRange.data(), encodedRange.data() + encodedRange.size(), backRange.get()) ==
               size);
    FUZZ_CHECK(size == 0 || std::memcmp(backRange.get(), begin, size) == 0);

    // The RFC 2047 decoder over the input as a field value.
    char stored[mime::stored::kValueBytes];
    mime::stored::DecodeEncodedWord(text.get(), stored);
    FUZZ_CHECK(stored[mime::stored::kValueBytes - 1] == '\0');
}

}  // namespace tarnwick::fuzz
