// What one page host knows: the request body it serves, the failures it has
// been told to inject, and everything the component did to its page objects.
// Shared by the host and its page objects, which can outlive the host when a
// component still holds them.
#pragma once

#include <windows.h>

#include <string>

namespace pagehost {

// BufferValue before any put_Buffer: VARIANT_BOOL only ever carries 0 or -1,
// so 1 cannot be confused with a recorded value.
constexpr long kBufferUnset = 1;

struct HostState {
    // Request side.
    std::string body;
    size_t readPosition = 0;
    // Failure injection.
    std::wstring failProperty;
    bool failTotalBytes = false;
    bool failBinaryRead = false;
    long shortRead = -1;
    HRESULT failCode = E_FAIL;
    // Recorded page output.
    std::wstring outputText;
    std::string outputBytes;
    long binaryWriteType = 0;
    long writeType = 0;
    std::wstring contentType;
    long bufferValue = kBufferUnset;
    bool ended = false;
    std::wstring log;
    std::wstring requestLog;
    std::wstring contextLog;
    // Scripting contexts handed out and not yet released.
    long liveContexts = 0;

    void ClearRecording() {
        readPosition = 0;
        outputText.clear();
        outputBytes.clear();
        binaryWriteType = 0;
        writeType = 0;
        contentType.clear();
        bufferValue = kBufferUnset;
        ended = false;
        log.clear();
        requestLog.clear();
        contextLog.clear();
    }

    static void Append(std::wstring& list, const std::wstring& entry) {
        if (!list.empty()) list += L',';
        list += entry;
    }
};

}  // namespace pagehost
