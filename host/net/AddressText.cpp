#include "host/net/AddressText.h"

#include <ws2tcpip.h>

namespace tarnwick::host {

std::string AddressText(const sockaddr* address, unsigned short* port) {
    if (port) *port = 0;
    if (!address) return std::string();
    char text[INET6_ADDRSTRLEN] = "";
    if (address->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        if (port) *port = ntohs(in->sin_port);
    } else if (address->sa_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(address);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
        if (port) *port = ntohs(in6->sin6_port);
    }
    return text;
}

}  // namespace tarnwick::host
