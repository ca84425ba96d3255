#include "host/Sessions.h"

#include <ntsecapi.h>

#include <cstdio>

namespace tarnwick::host {

std::string NewSessionId() {
    unsigned char bytes[16] = {};
    if (!RtlGenRandom(bytes, sizeof bytes)) {
        // Never hand out a guessable id: without randomness, fail loudly.
        fprintf(stderr, "tarnwick-host: no random numbers for a session id\n");
        abort();
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string id;
    for (unsigned char b : bytes) {
        id.push_back(digits[b >> 4]);
        id.push_back(digits[b & 15]);
    }
    return id;
}

void SessionStore::DropExpired(ULONGLONG now) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const SessionData& s = *it->second;
        if (now - s.lastUse > static_cast<ULONGLONG>(s.timeoutMinutes) * 60000)
            it = sessions_.erase(it);
        else
            ++it;
    }
}

std::shared_ptr<SessionData> SessionStore::Open(const std::string& cookieId) {
    ULONGLONG now = GetTickCount64();
    DropExpired(now);
    auto found = sessions_.find(cookieId);
    if (found != sessions_.end()) {
        found->second->lastUse = now;
        found->second->isNew = false;
        return found->second;
    }
    if (sessions_.size() >= kMaxSessions) {
        auto oldest = sessions_.begin();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it)
            if (it->second->lastUse < oldest->second->lastUse) oldest = it;
        sessions_.erase(oldest);
    }
    auto session = std::make_shared<SessionData>();
    session->id = NewSessionId();
    session->lastUse = now;
    sessions_[session->id] = session;
    return session;
}

void SessionStore::Close(const std::shared_ptr<SessionData>& session) {
    if (session && session->abandoned) {
        sessions_.erase(session->id);
        session->values.Clear();
    }
}

}  // namespace tarnwick::host
