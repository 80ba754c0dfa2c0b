#include "support/NoticeRecorder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/Cp936.h"

NoticeRecorder::NoticeRecorder(std::string logPath, bool reachable)
    : m_logPath(std::move(logPath)) {
    const char* path = getenv("PATH");
    m_savedPath = path != nullptr ? path : "";
    // Hidden, PATH names no folder at all: an installed notice program must not stand in.
    setenv("PATH", reachable ? WARDLET_FAKE_POPNOTE_DIR ":/usr/bin:/bin" : "/nonexistent", 1);
    setenv("WARDLET_FAKE_POPNOTE_LOG", m_logPath.c_str(), 1);
    // The notice program is started detached; as the subreaper of this process's descendants,
    // the test can still wait for it to end before it reads the log.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

NoticeRecorder::~NoticeRecorder() {
    Invocations();  // no notice program outlives the test's folder
    setenv("PATH", m_savedPath.c_str(), 1);
    unsetenv("WARDLET_FAKE_POPNOTE_LOG");
}

std::vector<std::vector<std::string>> NoticeRecorder::Invocations() {
    while (waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
    }
    std::ifstream in(m_logPath, std::ios::binary);
    const std::string log{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<std::vector<std::string>> invocations;
    size_t at = 0;
    auto next = [&] {
        const size_t end = log.find('\0', at);
        std::string field = log.substr(at, end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        return field;
    };
    while (at < log.size()) {
        const int count = std::stoi(next());
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) arguments.push_back(next());
        invocations.push_back(std::move(arguments));
    }
    return invocations;
}

std::vector<std::string> NoticeRecorder::Notices() {
    std::vector<std::string> notices;
    for (const std::vector<std::string>& arguments : Invocations()) {
        EXPECT_EQ(arguments.size(), 1u) << "the notice text must reach the program as one argument";
        const std::string text = arguments.empty() ? "" : arguments.front();
        notices.push_back(Utf8FromCp936(text).value_or("(not CP936: " + text + ")"));
    }
    return notices;
}
