// Answers one request from the site folder: static files by extension,
// ".asp" pages through the script engines, and the error pages.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

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
    std::wstring PhysicalPath(const std::string& sitePath) const;

    // Compiled pages are kept between requests: reading a page and its
    // include files costs calls to the system for each file, and compiling
    // them costs more. A kept page is used while every file it was compiled
    // from is the same file, with the last-write time, change time and size
    // it had then, and was compiled after both times had settled
    // (platform::TakenAfterSettling).
    struct FileStamp {
        long long writeTime = 0;
        long long changeTime = 0;
        unsigned long long size = 0;
        unsigned long volume = 0;
        unsigned long long index = 0;
        bool operator==(const FileStamp& o) const {
            return writeTime == o.writeTime && changeTime == o.changeTime && size == o.size && volume == o.volume &&
                   index == o.index;
        }
    };
    struct KeptPage {
        std::shared_ptr<const CompiledPage> page;
        std::vector<std::pair<std::string, FileStamp>> files;   // the page and its include files
        long long compiledAt = 0;
    };
    static constexpr size_t kMaxKeptPages = 512;   // more are dropped all at once
    // A file's bytes; with stamp, also its stamp, taken before it is read.
    bool ReadSiteFile(const std::string& sitePath, std::string& bytes, FileStamp* stamp = nullptr) const;
    bool StampOf(const std::string& sitePath, FileStamp& stamp) const;
    static bool StampOfOpenFile(HANDLE file, FileStamp& stamp);
    bool StillCurrent(const KeptPage& kept) const;
    // The page at sitePath, compiled; null with found false when it cannot
    // be read, null with error set when it does not compile.
    std::shared_ptr<const CompiledPage> CompiledPageAt(const std::string& sitePath, bool& found, PageError& error);

    HttpResponse Route(const HttpRequest& request);
    HttpResponse ServeFile(const HttpRequest& request, const std::string& sitePath);
    HttpResponse RunPage(const HttpRequest& request, const std::string& sitePath);
    HttpResponse PageFailure(const std::string& sitePath, const SourceLine& where, const std::string& message,
                             const std::string& lineText);

    HostOptions options_;
    SessionStore sessions_;
    VariantDictionary application_{true};   // objects that any thread may call
    std::mutex pagesLock_;
    std::unordered_map<std::string, KeptPage> pages_;
};

}  // namespace tarnwick::host
