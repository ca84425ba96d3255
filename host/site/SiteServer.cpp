#include "host/site/SiteServer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "frame/ComPtr.h"
#include "host/net/Owned.h"
#include "host/page/Automation.h"
#include "host/page/PageState.h"
#include "host/page/ScriptRunner.h"
#include "host/page/ScriptingContext.h"
#include "host/page/ServerObject.h"
#include "platform/Charset.h"
#include "platform/Clock.h"

namespace tarnwick::host {

namespace {

const char* const kDefaultDocuments[] = {"default.asp", "index.asp", "default.htm", "index.html", "index.htm"};
constexpr const char* kServerSoftware = "Tarnwick-Host/1.0";

bool EndsWithNoCase(const std::string& s, const char* suffix) {
    size_t n = strlen(suffix);
    return s.size() >= n && _stricmp(s.c_str() + s.size() - n, suffix) == 0;
}

std::string HtmlEscape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Browsers send non-ASCII path bytes as UTF-8; older pages link them in the
// system code page. Valid UTF-8 is taken as such.
UINT PathCodePage(const std::string& bytes) {
    if (bytes.empty()) return CP_ACP;
    std::u16string wide;
    return platform::DecodeCodePage(platform::kUtf8CodePage, bytes, wide, true) ? CP_UTF8 : CP_ACP;
}

// A Set-Cookie value; the session cookie is kept from page scripts.
std::string CookieLine(const OutgoingCookie& c) {
    std::string line = c.name + "=" + c.value;
    if (!c.expires.empty()) line += "; expires=" + c.expires;
    if (!c.domain.empty()) line += "; domain=" + c.domain;
    line += "; path=" + (c.path.empty() ? std::string("/") : c.path);
    if (c.secure) line += "; secure";
    // Lax: other sites' forms and frames do not carry the session.
    if (c.name == kSessionCookie) return line + "; HttpOnly; SameSite=Lax";
    if (c.httpOnly) line += "; HttpOnly";
    if (!c.sameSite.empty()) line += "; SameSite=" + c.sameSite;
    return line;
}

}  // namespace

std::string SessionCookieOf(const HttpRequest& request) {
    std::string id;
    for (const auto& c : ParseCookieHeader(request.Header("Cookie")))
        if (c.first == kSessionCookie) id = c.second;
    return id;
}

std::wstring SiteServer::PhysicalPath(const std::string& sitePath) const {
    std::wstring relative = Wide(sitePath, PathCodePage(sitePath));
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    return relative.empty() ? options_.site : options_.site + L"\\" + relative;
}

SiteServer::FileKind SiteServer::Probe(const std::string& sitePath) const {
    DWORD attributes = GetFileAttributesW(PhysicalPath(sitePath).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::File;
}

bool SiteServer::ReadSiteFile(const std::string& sitePath, std::string& bytes, FileStamp* stamp) const {
    bytes.clear();
    // Opening a folder this way fails, so only files are read.
    OwnedFile file{CreateFileW(PhysicalPath(sitePath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!file || (stamp && !StampOfOpenFile(file.get(), *stamp))) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file.get(), &size) && size.QuadPart < (1LL << 31);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() || (ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                               got == bytes.size());
    }
    if (!ok) bytes.clear();
    return ok;
}

// What tells one state of a site file from another: its last-write time
// (which a copy or an archive that keeps times can set back), its change time
// (which moves with every write, rename or replacement of the file and which
// nobody can set), its size, and which file it is (volume and file index), so
// that a path that comes to lead to another file, as a link pointed
// elsewhere does, is not taken for the file it led to. Directories are not
// site files.
bool SiteServer::StampOfOpenFile(HANDLE file, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION identity;
    FILE_BASIC_INFO times;
    if (!GetFileInformationByHandle(file, &identity) ||
        !GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) ||
        (identity.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    stamp.writeTime = times.LastWriteTime.QuadPart;
    stamp.changeTime = times.ChangeTime.QuadPart;
    stamp.size = ULARGE_INTEGER{{identity.nFileSizeLow, identity.nFileSizeHigh}}.QuadPart;
    stamp.volume = identity.dwVolumeSerialNumber;
    stamp.index = ULARGE_INTEGER{{identity.nFileIndexLow, identity.nFileIndexHigh}}.QuadPart;
    return true;
}

bool SiteServer::StampOf(const std::string& sitePath, FileStamp& stamp) const {
    constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    OwnedFile file{CreateFileW(PhysicalPath(sitePath).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)};
    return file && StampOfOpenFile(file.get(), stamp);
}

bool SiteServer::StillCurrent(const KeptPage& kept) const {
    for (const auto& file : kept.files) {
        FileStamp now;
        if (!StampOf(file.first, now) || !(now == file.second) ||
            !platform::TakenAfterSettling(std::max(file.second.writeTime, file.second.changeTime), kept.compiledAt))
            return false;
    }
    return true;
}

std::shared_ptr<const CompiledPage> SiteServer::CompiledPageAt(const std::string& sitePath, bool& found,
                                                               PageError& error) {
    found = true;
    {
        std::unique_lock<std::mutex> lock(pagesLock_);
        auto kept = pages_.find(sitePath);
        if (kept != pages_.end()) {
            KeptPage copy = kept->second;
            lock.unlock();
            if (StillCurrent(copy)) return copy.page;
        }
    }
    // The time and each file's stamp are read before the file (from the
    // handle it is read through), so a change made while it is read is never
    // taken for one older than the page.
    KeptPage fresh;
    fresh.compiledAt = platform::CurrentFileTime();
    IncludeReader reader = [this, &fresh](const std::string& path, std::string& bytes) {
        FileStamp stamp;
        if (!ReadSiteFile(path, bytes, &stamp)) return false;
        fresh.files.emplace_back(path, stamp);
        return true;
    };
    std::string source;
    if (!reader(sitePath, source)) {
        found = false;
        return nullptr;
    }
    auto page = std::make_shared<CompiledPage>();
    if (!CompilePage(sitePath, source, reader, *page, error)) return nullptr;
    fresh.page = page;
    std::lock_guard<std::mutex> lock(pagesLock_);
    if (pages_.size() >= kMaxKeptPages) pages_.clear();
    pages_[sitePath] = std::move(fresh);
    return page;
}

HttpResponse SiteServer::Handle(const HttpRequest& request) {
    HttpResponse response;
    try {
        response = request.refusal ? ErrorPage(request.refusal) : Route(request);
    } catch (...) {
        response = ErrorPage(500);
    }
    // These statuses never carry a body, whatever the page wrote: a client
    // would read it as the start of the next response.
    if (response.status == 204 || response.status == 304) response.body.clear();
    response.omitBody = request.method == "HEAD";
    printf("%s %s%s%s %d\n", request.method.c_str(), request.rawPath.c_str(), request.query.empty() ? "" : "?",
           request.query.c_str(), response.status);
    fflush(stdout);
    return response;
}

HttpResponse SiteServer::Route(const HttpRequest& request) {
    std::string sitePath;
    if (!ToSitePath(request.rawPath, sitePath)) return ErrorPage(400);
    FileKind kind = Probe(sitePath);
    if (kind == FileKind::Folder) {
        // A folder is reached with its trailing slash, so relative links work.
        // The address is made from the site path, never from the raw one:
        // "//lib/" would send the browser to the host "lib".
        if (!request.rawPath.empty() && request.rawPath.back() != '/') {
            HttpResponse r = ErrorPage(301);
            r.headers.emplace_back("Location", SitePathUrl(sitePath) + (sitePath.empty() ? "" : "/") +
                                                   (request.query.empty() ? "" : "?" + request.query));
            return r;
        }
        std::string folder = sitePath.empty() ? std::string() : sitePath + "/";
        kind = FileKind::Missing;
        for (const char* name : kDefaultDocuments) {
            if (Probe(folder + name) == FileKind::File) {
                sitePath = folder + name;
                kind = FileKind::File;
                break;
            }
        }
        if (kind == FileKind::Missing) return ErrorPage(403, "This folder has no default page.");
    }
    if (kind != FileKind::File) return ErrorPage(404);
    if (EndsWithNoCase(sitePath, ".asp")) {
        if (request.method != "GET" && request.method != "HEAD" && request.method != "POST") {
            HttpResponse r = ErrorPage(405);
            r.headers.emplace_back("Allow", "GET, HEAD, POST");
            return r;
        }
        return RunPage(request, sitePath);
    }
    return ServeFile(request, sitePath);
}

HttpResponse SiteServer::ServeFile(const HttpRequest& request, const std::string& sitePath) {
    // Only files of a known type are served: include files, the
    // application file and anything else without a type stay private.
    std::string type = ContentTypeFor(sitePath);
    if (type == "application/octet-stream") return ErrorPage(404);
    if (request.method != "GET" && request.method != "HEAD") {
        HttpResponse r = ErrorPage(405);
        r.headers.emplace_back("Allow", "GET, HEAD");
        return r;
    }
    HttpResponse r;
    if (!ReadSiteFile(sitePath, r.body)) return ErrorPage(404);
    r.headers.emplace_back("Content-Type", type);
    return r;
}

HttpResponse SiteServer::PageFailure(const std::string& sitePath, const SourceLine& where, const std::string& message,
                                     const std::string& lineText) {
    std::string file = where.file.empty() ? sitePath : where.file;
    printf("page error: /%s line %d: %s\n", file.c_str(), where.line, message.c_str());
    fflush(stdout);
    if (!options_.debug) return ErrorPage(500, "The page could not be run.");
    std::string detail = "Error in <b>/" + HtmlEscape(file) + "</b>, line " + std::to_string(where.line) + ": " +
                         HtmlEscape(message);
    if (!lineText.empty()) detail += "</p><pre>" + HtmlEscape(lineText) + "</pre><p>";
    return ErrorPage(500, detail);
}

HttpResponse SiteServer::RunPage(const HttpRequest& request, const std::string& sitePath) {
    // Every page parses a url-encoded body, and pages walk its fields in
    // script: such a body has a small limit of its own (--max-form).
    const bool urlEncoded =
        _strnicmp(request.Header("Content-Type").c_str(), "application/x-www-form-urlencoded", 33) == 0;
    if (urlEncoded && request.body.size() > options_.maxForm) return ErrorPage(413, "The form is too large.");
    bool found = true;
    PageError compileError;
    const std::shared_ptr<const CompiledPage> compiled = CompiledPageAt(sitePath, found, compileError);
    if (!found) return ErrorPage(404);
    if (!compiled)
        return PageFailure(sitePath, SourceLine{compileError.file, compileError.line}, compileError.message, "");
    const CompiledPage& page = *compiled;

    auto state = std::make_shared<PageState>();
    state->request = &request;
    state->query = ParseUrlEncoded(request.query);
    if (urlEncoded) state->form = ParseUrlEncoded(request.body);
    state->cookies = ParseCookieHeader(request.Header("Cookie"));
    state->sitePath = sitePath;
    state->siteRoot = options_.site;
    state->serverSoftware = kServerSoftware;
    state->blocks = &page.blocks;
    state->application = &application_;
    const std::string sessionId = SessionCookieOf(request);
    state->session = sessions_.Open(sessionId);
    state->codePage = static_cast<UINT>(page.codePage ? page.codePage : state->session->codePage);

    PageObjects objects;
    if (!CreatePageObjects(state, objects)) return ErrorPage(500);
    state->context = objects.context.Get();
    ScriptFailure failure;
    bool ran = RunScript(page, state->codePage, objects, *state, failure);
    EndPageObjects(*state);
    state->context = nullptr;
    // A page that locked Application and did not unlock it lets go now.
    application_.ReleaseLock(state.get());
    // A session begins when a page first stores a value in it; the cookie
    // goes out then, and is cleared when a page abandons the session.
    SessionCookie sessionCookie = sessions_.Close(state->session, !sessionId.empty());
    if (sessionCookie != SessionCookie::Keep) {
        OutgoingCookie& c = state->CookieOut(kSessionCookie);
        c.value = sessionCookie == SessionCookie::Set ? state->session->id : "";
        c.expires = sessionCookie == SessionCookie::Set ? "" : "Thu, 01 Jan 1970 00:00:00 GMT";
        c.path = "/";
        c.domain.clear();
        c.secure = false;
    }
    if (!ran) {
        SourceLine where = OriginOf(page, failure.line);
        std::string message = Narrow(failure.description, CP_UTF8);
        if (message.empty()) {
            // Some engine errors come without a text: the system may know one.
            OwnedLocal text;
            if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                               nullptr, static_cast<DWORD>(failure.code), 0, reinterpret_cast<wchar_t*>(text.put()), 0,
                               nullptr) && text) {
                message = Narrow(static_cast<const wchar_t*>(text.get()), CP_UTF8);
                while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
            }
        }
        if (message.empty()) {
            char code[32];
            snprintf(code, sizeof code, "error 0x%08lX", static_cast<unsigned long>(failure.code));
            message = code;
        }
        HttpResponse r = PageFailure(sitePath, where, message, Narrow(failure.lineText, CP_UTF8));
        // The browser learns of its new (or ended) session even when the page failed.
        if (sessionCookie != SessionCookie::Keep)
            r.headers.emplace_back("Set-Cookie", CookieLine(state->CookieOut(kSessionCookie)));
        return r;
    }

    HttpResponse r;
    r.status = state->status;
    r.reason = state->reason;
    r.body = std::move(state->body);
    std::string type = state->contentType;
    if (!state->charset.empty()) type += "; charset=" + state->charset;
    r.headers.emplace_back("Content-Type", type);
    bool cacheControl = false;
    for (const auto& h : state->headers) {
        if (_stricmp(h.first.c_str(), "Cache-Control") == 0) cacheControl = true;
        r.headers.push_back(h);
    }
    // Pages are personal by default: shared caches must not keep them.
    if (!cacheControl) r.headers.emplace_back("Cache-Control", "private");
    for (const OutgoingCookie& c : state->cookiesOut) r.headers.emplace_back("Set-Cookie", CookieLine(c));
    return r;
}

}  // namespace tarnwick::host
