// Scratch directories and byte-exact files for engine tests.
#pragma once

#include <string>

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

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
bool Exists(const std::string& path);

}  // namespace tarnwick::test
