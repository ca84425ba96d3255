// What the page objects of one request share: the request, the response
// being built, the page's literal blocks, its session, and the objects
// created for it (told OnEndPage when it ends).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>
#include <vector>

#include "frame/ComPtr.h"
#include "host/net/HttpMessage.h"
#include "host/site/UrlText.h"
#include "host/site/Sessions.h"
#include "host/page/VariantDictionary.h"

namespace tarnwick::host {

struct OutgoingCookie {
    std::string name;
    std::string value;     // already URL-encoded
    std::string expires;   // an HTTP date, or "" for a browser-session cookie
    std::string path = "/";
    std::string domain;
    bool secure = false;
    bool httpOnly = false;   // kept from page scripts
    std::string sameSite;    // "Strict", "Lax", "None" or "" (not sent)
};

struct PageState {
    // The request.
    const HttpRequest* request = nullptr;
    NameValues query;
    NameValues form;       // url-encoded posts only
    NameValues cookies;
    size_t readPosition = 0;
    std::string sitePath;        // of the page
    std::wstring siteRoot;       // the site folder, no trailing backslash
    std::string serverSoftware;  // for SERVER_SOFTWARE
    UINT codePage = 0;           // texts in and out; 0 = the system code page

    // The response.
    int status = 200;
    std::string reason = "OK";
    std::string contentType = "text/html";
    std::string charset;
    HeaderList headers;
    std::vector<OutgoingCookie> cookiesOut;
    std::string body;
    bool buffer = true;
    bool ended = false;

    // The page itself.
    const std::vector<std::string>* blocks = nullptr;
    std::shared_ptr<SessionData> session;
    VariantDictionary* application = nullptr;
    std::vector<frame::ComPtr<IDispatch>> startedObjects;
    IUnknown* context = nullptr;   // the scripting context, while the page runs

    bool Running() const { return context != nullptr; }

    OutgoingCookie& CookieOut(const std::string& name) {
        for (auto& c : cookiesOut)
            if (c.name == name) return c;
        cookiesOut.push_back(OutgoingCookie{name, "", "", "/", "", false, false, ""});
        return cookiesOut.back();
    }
};

// An Application object kept beyond its page (in Session, say) only reads:
// its page's lock is gone, and a write through it would wait for the lock
// of whatever page now holds it, which may be the very page that calls.
constexpr HRESULT kPageHasEnded = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0E02);
constexpr const wchar_t* kPageHasEndedMessage =
    L"This Application object belongs to a page that has ended: use the page's own Application.";
inline bool PageEnded(PageKey page) { return page && !page->Running(); }

}  // namespace tarnwick::host
