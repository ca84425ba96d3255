// The small HTML pages the relay and the server answer errors with.
#pragma once

#include <string>

#include "host/net/HttpMessage.h"

namespace tarnwick::host {

// A page for an error status; detail (HTML) goes in a paragraph under the title.
HttpResponse ErrorPage(int status, const std::string& detail = std::string());

}  // namespace tarnwick::host
