// The text of a socket address as pages see it (REMOTE_ADDR, LOCAL_ADDR):
// the same for a client the relay took and one the Server API took.
#pragma once

#include <winsock2.h>

#include <string>

namespace tarnwick::host {

// IPv4 dotted, IPv6 in its short form; "" for another family or null. The
// port goes to *port when asked for (0 when there is none).
std::string AddressText(const sockaddr* address, unsigned short* port = nullptr);

}  // namespace tarnwick::host
