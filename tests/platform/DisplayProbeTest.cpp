// The display probe that keeps the toolkit from aborting the host on a display it cannot reach.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/DisplayProbe.h"

namespace {

// Listens on the abstract socket of local X display `number`, as an X server does.
class FakeXServer {
public:
    explicit FakeXServer(int number) : m_fd(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
        std::memcpy(address.sun_path + 1, path.data(), path.size());
        const auto length =
            static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
        m_listening =
            bind(m_fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(m_fd, 1) == 0;
    }
    ~FakeXServer() { close(m_fd); }
    bool Listening() const { return m_listening; }

private:
    int m_fd;
    bool m_listening = false;
};

TEST(DisplayProbe, OnlyALocalDisplayThatAnswersIsReachable) {
    FakeXServer server(48271);
    ASSERT_TRUE(server.Listening());
    EXPECT_TRUE(XDisplayReachable(":48271"));
    EXPECT_TRUE(XDisplayReachable("unix:48271.0"));
    EXPECT_FALSE(XDisplayReachable(":48272"));
    EXPECT_FALSE(XDisplayReachable("no display"));
    EXPECT_FALSE(XDisplayReachable(":"));
    EXPECT_FALSE(XDisplayReachable(":1x"));
    EXPECT_TRUE(XDisplayReachable("console.plant:0"));  // remote: not probed
}

TEST(DisplayProbe, ExplicitPlatformIsTrustedAndAnUnreachableDisplayIsNamed) {
    const std::string saved = getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    EXPECT_EQ(WhyDisplayUnreachable(), "");
    unsetenv("QT_QPA_PLATFORM");
    setenv("DISPLAY", ":48272", 1);
    EXPECT_EQ(WhyDisplayUnreachable(), "the X display :48272 cannot be reached");
    unsetenv("DISPLAY");
    setenv("QT_QPA_PLATFORM", saved.c_str(), 1);
}

}  // namespace
