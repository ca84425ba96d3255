#include "tests/unit/TestFiles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tarnwick::test {

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "tarnwick-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern + "/";
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void MakeDirs(const std::string& path) { fs::create_directories(path); }

bool Exists(const std::string& path) { return fs::exists(path); }

std::string BlanksNormalised(const std::string& text) {
    std::string out, line;
    const auto endLine = [&] {
        while (!line.empty() && line.back() == ' ') line.pop_back();
        if (!line.empty()) out += line + "\n";
        line.clear();
    };
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            endLine();
        } else if (c == ' ' || c == '\t') {
            if (!line.empty() && line.back() != ' ') line += ' ';
        } else {
            line += c;
        }
    }
    endLine();
    return out;
}

}  // namespace tarnwick::test
