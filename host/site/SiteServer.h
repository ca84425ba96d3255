// Answers one request from the site folder: static files by extension,
// ".asp" pages through the script engines, and the error pages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "host/net/ErrorPage.h"
#include "host/net/HttpMessage.h"
#include "host/site/UrlText.h"
#include "host/site/PageSource.h"
#include "host/site/Sessions.h"
#include "host/page/VariantDictionary.h"

namespace tarnwick::host {

struct HostOptions {
    std::wstring site;                       // full path of the site folder
    std::string bind = "127.0.0.1";
    unsigned short port = 8080;
    size_t maxBody = kDefaultMaxBodyBytes;
    size_t maxForm = size_t(1) << 20;        // url-encoded bodies (--max-form)
    bool debug = false;                      // error pages show file, line and message
    bool direct = false;                     // no relay, even under Wine
    unsigned threads = 0;                    // page threads (--threads); 0: the default
};

// The session a request names: the value of its last session cookie, "" for none.
std::string SessionCookieOf(const HttpRequest& request);

class SiteServer {
public:
    explicit SiteServer(HostOptions options) : options_(std::move(options)) {}

    // Called on the page threads, several at once. Never throws; every
    // failure becomes an error page.
    HttpResponse Handle(const HttpRequest& request);

private:
    enum class FileKind { Missing, File, Folder };
    FileKind Probe(const std::string& sitePath) const;
    bool ReadSiteFile(const std::string& sitePath, std::string& bytes) const;
    std::wstring PhysicalPath(const std::string& sitePath) const;

    HttpResponse Route(const HttpRequest& request);
    HttpResponse ServeFile(const HttpRequest& request, const std::string& sitePath);
    HttpResponse RunPage(const HttpRequest& request, const std::string& sitePath);
    HttpResponse PageFailure(const std::string& sitePath, const SourceLine& where, const std::string& message,
                             const std::string& lineText);

    HostOptions options_;
    SessionStore sessions_;
    VariantDictionary application_{true};   // objects that any thread may call
};

}  // namespace tarnwick::host
