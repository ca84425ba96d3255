#include "host/site/Sessions.h"

#include "host/net/Secrets.h"

namespace tarnwick::host {

void SessionStore::DropExpired(ULONGLONG now, Dropped& dropped) {
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        const SessionData& s = *it->second;
        if (now - s.lastUse > static_cast<ULONGLONG>(s.timeoutMinutes) * 60000) {
            dropped.push_back(it->second);
            it = sessions_.erase(it);
        } else {
            ++it;
        }
    }
}

std::shared_ptr<SessionData> SessionStore::Open(const std::string& cookieId) {
    Dropped dropped;
    std::lock_guard<std::mutex> lock(mutex_);
    ULONGLONG now = GetTickCount64();
    DropExpired(now, dropped);
    auto found = sessions_.find(cookieId);
    if (found != sessions_.end()) {
        found->second->lastUse = now;
        found->second->isNew = false;
        return found->second;
    }
    auto session = std::make_shared<SessionData>();
    session->id = NewSecret();
    session->lastUse = now;
    return session;
}

void SessionStore::MakeRoom(Dropped& dropped) {
    if (sessions_.size() < kMaxSessions) return;
    // Anonymous floods make sessions whose cookie never comes back: they go
    // first, so signed-in visitors keep theirs.
    auto oldest = sessions_.end();
    auto oldestNew = sessions_.end();
    for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
        const SessionData& s = *it->second;
        if (oldest == sessions_.end() || s.lastUse < oldest->second->lastUse) oldest = it;
        if (s.isNew && (oldestNew == sessions_.end() || s.lastUse < oldestNew->second->lastUse)) oldestNew = it;
    }
    auto victim = oldestNew != sessions_.end() ? oldestNew : oldest;
    dropped.push_back(victim->second);
    sessions_.erase(victim);
}

SessionCookie SessionStore::Close(const std::shared_ptr<SessionData>& session, bool cookieSent) {
    if (!session) return SessionCookie::Keep;
    Dropped dropped;
    if (session->abandoned) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (session->live) sessions_.erase(session->id);
        }
        session->live = false;
        session->values.Clear();
        return cookieSent ? SessionCookie::Expire : SessionCookie::Keep;
    }
    if (session->live || session->values.Count() == 0) return SessionCookie::Keep;
    std::lock_guard<std::mutex> lock(mutex_);
    MakeRoom(dropped);
    session->live = true;
    session->lastUse = GetTickCount64();
    sessions_[session->id] = session;
    return SessionCookie::Set;
}

}  // namespace tarnwick::host
