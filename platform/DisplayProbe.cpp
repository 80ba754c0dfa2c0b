#include "platform/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

std::string Environment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

// Connects to a Unix socket; `abstract` names one outside the file system.
bool SocketAccepts(const std::string& path, bool abstract) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    if (path.size() + offset >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path + offset, path.data(), path.size());
    const socklen_t length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    close(fd);
    return connected;
}

}  // namespace

bool XDisplayReachable(const std::string& display) {
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos) return false;
    const std::string host = display.substr(0, colon);
    if (!host.empty() && host != "unix") return true;
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const std::string socketPath = "/tmp/.X11-unix/X" + number;
    return SocketAccepts(socketPath, true) || SocketAccepts(socketPath, false);
}

std::string WhyDisplayUnreachable() {
    const std::string platform = Environment("QT_QPA_PLATFORM");
    if (!platform.empty() && platform.rfind("xcb", 0) != 0) return "";  // chosen explicitly
    if (platform.empty() && Environment("XDG_SESSION_TYPE") == "wayland" &&
        !Environment("WAYLAND_DISPLAY").empty()) {
        return "";
    }
    const std::string display = Environment("DISPLAY");
    if (display.empty()) {
        return "no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are unset)";
    }
    if (!XDisplayReachable(display)) return "the X display " + display + " cannot be reached";
    return "";
}
