#include "tools/PasswordInput.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/Cli.h"

namespace {

// A password longer than this is no password the library keeps (its limit is 64 bytes).
constexpr size_t kLongestPasswordLine = 4096;

// One line from `input`, without its LF or CR LF; false at the end of input before any byte.
bool ReadOneLine(std::FILE* input, std::string* line, bool* tooLong) {
    line->clear();
    *tooLong = false;
    int c;
    bool any = false;
    while ((c = std::fgetc(input)) != EOF) {
        any = true;
        if (c == '\n') break;
        if (line->size() < kLongestPasswordLine) {
            line->push_back(static_cast<char>(c));
        } else {
            *tooLong = true;
        }
    }
    if (line->ends_with('\r')) line->pop_back();
    return any;
}

}  // namespace

TerminalEchoOff::TerminalEchoOff(int fd) : m_fd(fd) {
    if (tcgetattr(m_fd, &m_saved) != 0) return;
    termios quiet = m_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the line still ends on screen
    m_changed = tcsetattr(m_fd, TCSAFLUSH, &quiet) == 0;
}

TerminalEchoOff::~TerminalEchoOff() {
    if (m_changed) tcsetattr(m_fd, TCSAFLUSH, &m_saved);
}

PasswordInput::PasswordInput(std::FILE* input, std::FILE* prompts)
    : m_input(input), m_prompts(prompts), m_terminal(isatty(fileno(input)) == 1) {}

std::string PasswordInput::ReadLine(const std::string& what) {
    std::string line;
    bool tooLong = false;
    bool read;
    if (m_terminal) {
        std::fprintf(m_prompts, "%s: ", what.c_str());
        std::fflush(m_prompts);
        TerminalEchoOff quiet(fileno(m_input));
        read = ReadOneLine(m_input, &line, &tooLong);
    } else {
        read = ReadOneLine(m_input, &line, &tooLong);
    }
    if (!read) {
        throw CliError(kExitUsage, "standard input ended before the " + what +
                                       " (give each password on a line of its own)");
    }
    if (tooLong) {
        throw CliError(kExitUsage, "the " + what + " is longer than " +
                                       std::to_string(kLongestPasswordLine) + " bytes");
    }
    return line;
}

std::string PasswordInput::Ask(const std::string& what) { return ReadLine(what); }

std::string PasswordInput::AskNew(const std::string& what) {
    std::string first = ReadLine(what);
    if (!m_terminal) return first;
    if (ReadLine(what + " again") != first) {
        throw CliError(kExitNo, "the two " + what + "s differ; nothing was changed");
    }
    return first;
}

std::string ReadPasswordFile(const std::string& path, const std::string& what) {
    std::FILE* file = std::fopen(path.c_str(), "re");
    if (file == nullptr) {
        throw CliError(kExitUsage,
                       "cannot read the " + what + " file " + path + ": " + std::strerror(errno));
    }
    std::string line;
    bool tooLong = false;
    bool read = ReadOneLine(file, &line, &tooLong);
    std::fclose(file);
    if (!read || tooLong) {
        throw CliError(kExitUsage, "the " + what + " file " + path +
                                       (read ? " has an overlong first line" : " is empty"));
    }
    return line;
}

void RefusePasswordArgument(const std::string& command, const std::string& how) {
    throw CliError(kExitUsage, command +
                                   " takes no password as an argument (any local user can read a "
                                   "process's arguments): " +
                                   how);
}
