// HanZi's syntax-error line goes to the process's standard output, with the
// object's running count, never into a result.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "Tarnwick_h.h"

namespace {

// Captures what is written to standard output (file descriptor 1, shared
// with the component through the C runtime DLL) while it lives.
class StdoutCapture {
public:
    StdoutCapture() {
        char dir[MAX_PATH];
        GetTempPathA(MAX_PATH, dir);
        path_ = std::string(dir) + "tarnwick-stdout.txt";
        std::fflush(stdout);
        saved_ = _dup(1);
        int fd = _open(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, 0600);
        _dup2(fd, 1);
        _close(fd);
    }
    std::string Finish() {
        std::fflush(stdout);
        _dup2(saved_, 1);
        _close(saved_);
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string path_;
    int saved_ = -1;
};

std::wstring Convert(IHanZi* hz, const wchar_t* text) {
    BSTR in = SysAllocString(text);
    BSTR out = nullptr;
    EXPECT_EQ(hz->HZ2GB(in, &out), S_OK);
    std::wstring result = out ? std::wstring(out, SysStringLen(out)) : L"<null>";
    SysFreeString(in);
    SysFreeString(out);
    return result;
}

TEST(HanZi, ReportsTheRunningErrorCountOnStandardOutput) {
    CoInitialize(nullptr);
    IHanZi* hz = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_HanZi, nullptr, CLSCTX_INPROC_SERVER, IID_IHanZi,
                               reinterpret_cast<void**>(&hz)),
              S_OK);
    StdoutCapture capture;
    EXPECT_EQ(Convert(hz, L"clean ~{<:~}"), L"clean \u5df1");
    EXPECT_EQ(Convert(hz, L"one~xerror"), L"one~xerror");
    EXPECT_EQ(Convert(hz, L"clean again"), L"clean again");
    EXPECT_EQ(Convert(hz, L"~y~z"), L"~y~z");
    std::string out = capture.Finish();
    const std::string line1 = "\nNumber of syntax errors caught and recovered = 1\n";
    const std::string line3 = "\nNumber of syntax errors caught and recovered = 3\n";
    // msvcrt's text mode may turn each LF into CR LF.
    std::string normalized;
    for (char c : out)
        if (c != '\r') normalized += c;
    EXPECT_EQ(normalized, line1 + line1 + line3);
    hz->Release();
}

}  // namespace
