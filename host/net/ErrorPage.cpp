#include "host/net/ErrorPage.h"

#include "host/net/HttpFraming.h"

namespace tarnwick::host {

HttpResponse ErrorPage(int status, const std::string& detail) {
    HttpResponse r;
    r.status = status;
    r.reason = ReasonPhrase(status);
    std::string title = std::to_string(status) + " " + r.reason;
    r.body = "<!DOCTYPE html>\r\n<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1>" +
             (detail.empty() ? std::string() : "<p>" + detail + "</p>") + "</body></html>\r\n";
    r.headers.emplace_back("Content-Type", "text/html");
    return r;
}

}  // namespace tarnwick::host
