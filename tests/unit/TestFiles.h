// Scratch directories and byte-exact files for engine tests.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tarnwick::test {

// A fresh directory under the temporary directory, removed with everything
// in it when the object goes away. Path() ends with '/'.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// s written n times over.
inline std::string Times(const std::string& s, int n) {
    std::string out;
    while (n-- > 0) out += s;
    return out;
}

// Text with blanks normalised, as the corpus reference scripts normalise it:
// CR, LF and CR LF end lines; runs of spaces and tabs become one space, none
// at either end of a line; empty lines are dropped; every line ends with LF.
std::string BlanksNormalised(const std::string& text);

// A copy of bytes in a heap block of exactly their size, so that
// AddressSanitizer reports any read past the end.
class ExactBytes {
public:
    explicit ExactBytes(const std::string& bytes) : size_(bytes.size()), data_(new char[bytes.size()]) {
        if (size_ != 0) std::memcpy(data_.get(), bytes.data(), size_);
    }
    const char* begin() const { return data_.get(); }
    const char* end() const { return data_.get() + size_; }
    std::size_t size() const { return size_; }
    std::string_view View() const { return std::string_view(data_.get(), size_); }

private:
    std::size_t size_;
    std::unique_ptr<char[]> data_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
bool Exists(const std::string& path);

}  // namespace tarnwick::test
