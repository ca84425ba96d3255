// In-memory sessions, found by a random id the browser keeps in a cookie.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/page/VariantDictionary.h"

namespace tarnwick::host {

constexpr const char* kSessionCookie = "TarnwickSessionID";
constexpr long kDefaultSessionMinutes = 20;
// Beyond this many live sessions one is dropped to make room, so a client
// that never keeps its cookie cannot grow memory without bound: the least
// recently used of those whose cookie never came back, else the least
// recently used of all.
constexpr size_t kMaxSessions = 10000;

struct SessionData {
    std::string id;
    VariantDictionary values;
    long timeoutMinutes = kDefaultSessionMinutes;
    ULONGLONG lastUse = 0;   // GetTickCount64
    bool abandoned = false;
    bool isNew = true;       // its cookie has not come back yet
    bool live = false;       // kept in the store (a page stored a value in it)
    long codePage = 0;
    long lcid = 0;
};

// What a response tells the browser about its session cookie.
enum class SessionCookie { Keep, Set, Expire };

// Used by the page threads at once: one lock guards the map. A session's
// own data needs none, as its requests run one at a time.
class SessionStore {
public:
    // The live session of that id; else a new session with a fresh id (never
    // the client's), kept only if the page stores a value in it. Expired
    // sessions are dropped on the way.
    std::shared_ptr<SessionData> Open(const std::string& cookieId);
    // When the page is done: keeps a new session that holds values (Set),
    // drops an abandoned one (Expire when the request named a session, so the
    // browser forgets the id; the next request starts afresh).
    SessionCookie Close(const std::shared_ptr<SessionData>& session, bool cookieSent);

private:
    using Dropped = std::vector<std::shared_ptr<SessionData>>;
    // With mutex_ held. What they drop is released after the lock: an object
    // a session kept may have to be reached on another page thread.
    void DropExpired(ULONGLONG now, Dropped& dropped);
    void MakeRoom(Dropped& dropped);
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<SessionData>> sessions_;
};

}  // namespace tarnwick::host
