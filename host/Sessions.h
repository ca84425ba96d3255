// In-memory sessions, found by a random id the browser keeps in a cookie.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "host/VariantDictionary.h"

namespace tarnwick::host {

constexpr const char* kSessionCookie = "TarnwickSessionID";
constexpr long kDefaultSessionMinutes = 20;
// Beyond this many live sessions the least recently used one is dropped, so
// a client that never keeps its cookie cannot grow memory without bound.
constexpr size_t kMaxSessions = 10000;

struct SessionData {
    std::string id;
    VariantDictionary values;
    long timeoutMinutes = kDefaultSessionMinutes;
    ULONGLONG lastUse = 0;   // GetTickCount64
    bool abandoned = false;
    bool isNew = true;
    long codePage = 0;
    long lcid = 0;
};

class SessionStore {
public:
    // The live session of that id, or a new one (a fresh id) when there is
    // none or it expired. Expired sessions are dropped on the way.
    std::shared_ptr<SessionData> Open(const std::string& cookieId);
    // Drops an abandoned session once its page is done.
    void Close(const std::shared_ptr<SessionData>& session);

private:
    void DropExpired(ULONGLONG now);
    std::map<std::string, std::shared_ptr<SessionData>> sessions_;
};

// 128 random bits as 32 hexadecimal digits.
std::string NewSessionId();

}  // namespace tarnwick::host
