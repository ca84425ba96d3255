// A message file that another process shortens while a page reads it: under
// Wine a Linux process does so whatever the reader's sharing says.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/FileSystem.h"

namespace {

TEST(FileReading, AFileShortenedByALinuxProcessKeepsTheBytesRead) {
    const std::string truncate = "Z:\\usr\\bin\\truncate";
    if (GetFileAttributesA(truncate.c_str()) == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "not under Wine";
    const std::string unixPath = "/tmp/tarnwick-shortened-" + std::to_string(GetCurrentProcessId()) + ".eml";
    const std::string path = "Z:" + unixPath;
    for (size_t size : {size_t(1000), size_t(256 * 1024 + 1), size_t(4) << 20, size_t(17) << 20}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE);
        DWORD wrote = 0;
        ASSERT_TRUE(WriteFile(out, bytes.data(), static_cast<DWORD>(size), &wrote, nullptr) && wrote == size);
        CloseHandle(out);

        tarnwick::platform::MappedFile file;
        ASSERT_TRUE(file.Open(path)) << size;
        std::string line = truncate + " -s 100 " + unixPath;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION shortener = {};
        ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &shortener));
        CloseHandle(shortener.hThread);
        CloseHandle(shortener.hProcess);
        // Wine does not wait for a Linux process: its handle is signalled at
        // once. The file's size tells when it has run.
        WIN32_FILE_ATTRIBUTE_DATA now = {};
        for (int i = 0; i < 200; ++i) {
            if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now) && now.nFileSizeLow == 100) break;
            Sleep(50);
        }
        ASSERT_EQ(now.nFileSizeLow, 100u) << "the file was not shortened";
        EXPECT_TRUE(std::string(file.Begin(), file.End()) == bytes) << size;
    }
    DeleteFileA(path.c_str());
}

}  // namespace
