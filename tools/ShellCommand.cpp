// `wardlet shell`: one process that stays alive, so that a login lasts between commands and its
// automatic logout fires. Commands come line by line from standard input; while it waits, the
// shell runs the message loop the library's timers and dialogs need.
#include <poll.h>
#include <string.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/Cli.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"
#include "tools/HostTextBuffer.h"
#include "tools/PasswordInput.h"
#include "wardlet/platform/MessagePump.h"
#include "wardlet/wardlet.h"

namespace {

constexpr const char kPrompt[] = "wardlet> ";
constexpr size_t kLongestLine = 4096;
// A widget application may get window-system events at any time, not only when a timer is due.
constexpr int kGuiPumpIntervalMs = 50;

using Operands = std::vector<std::string>;

struct Session {
    explicit Session(const Invocation& given) : invocation(given) {}

    const Invocation& invocation;
    bool loginOrLogoutCalled = false;  // an empty status then means the last login was cancelled
    std::string watchedUser;           // CP936: who was logged in when last looked; "" nobody
    bool quit = false;
    // A command waiting for a password: the next line is taken as it, never as a command.
    std::function<void(const std::string&)> awaitingPassword;
    std::string passwordPrompt;
};

struct InputLine {
    std::string text;
    bool tooLong = false;  // the text is dropped then
};

// Cuts what arrives on standard input into lines, whatever pieces it arrives in.
class LineSplitter {
public:
    std::vector<InputLine> Feed(std::string_view bytes) {
        std::vector<InputLine> lines;
        for (size_t end; (end = bytes.find('\n')) != std::string_view::npos;) {
            Append(bytes.substr(0, end));
            lines.push_back(TakeLine());
            bytes.remove_prefix(end + 1);
        }
        Append(bytes);
        return lines;
    }

    // At the end of input, the last line may lack its newline.
    std::vector<InputLine> Finish() {
        if (!HasPartialLine()) return {};
        return {TakeLine()};
    }

    bool HasPartialLine() const { return !m_partial.empty() || m_tooLong; }

private:
    void Append(std::string_view piece) {
        if (m_tooLong) return;
        if (m_partial.size() + piece.size() > kLongestLine) {
            m_tooLong = true;
            m_partial.clear();
            return;
        }
        m_partial.append(piece);
    }

    InputLine TakeLine() {
        InputLine line{std::move(m_partial), m_tooLong};
        m_partial.clear();
        m_tooLong = false;
        if (line.text.ends_with('\r')) line.text.pop_back();  // files written with CR LF
        return line;
    }

    std::string m_partial;
    bool m_tooLong = false;
};

[[noreturn]] void LineRejected(const std::string& why) {
    throw CliError(kExitUsage, "line ignored: " + why);
}

size_t Utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Strict UTF-8: no overlong forms, surrogates or values past U+10FFFF.
bool IsWellFormedUtf8(std::string_view text) {
    constexpr char32_t kLeastOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    for (size_t pos = 0; pos < text.size();) {
        unsigned char lead = static_cast<unsigned char>(text[pos]);
        size_t length = Utf8SequenceLength(lead);
        if (length == 0 || text.size() - pos < length) return false;
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (size_t index = 1; index < length; ++index) {
            unsigned char next = static_cast<unsigned char>(text[pos + index]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        if (point < kLeastOfLength[length] || point > 0x10FFFF ||
            (point >= 0xD800 && point <= 0xDFFF)) {
            return false;
        }
        pos += length;
    }
    return true;
}

bool IsBlank(char byte) { return byte == ' ' || byte == '\t'; }

// Rejected lines are never echoed, so nothing typed reaches the terminal as a control sequence.
void CheckLineText(const InputLine& line) {
    if (line.tooLong) LineRejected("longer than " + std::to_string(kLongestLine) + " bytes");
    if (!IsWellFormedUtf8(line.text)) LineRejected("it is not valid UTF-8");
    for (unsigned char byte : line.text) {
        if ((byte < 0x20 && !IsBlank(static_cast<char>(byte))) || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            LineRejected(std::string("it holds the control character ") + code);
        }
    }
}

Operands SplitOnBlanks(std::string_view line) {
    Operands words;
    size_t pos = 0;
    while (pos < line.size()) {
        if (IsBlank(line[pos])) {
            ++pos;
            continue;
        }
        size_t end = pos;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        words.emplace_back(line.substr(pos, end - pos));
        pos = end;
    }
    return words;
}

std::string LoggedInUser() {
    HostTextBuffer name;
    HostTextBuffer password;
    bool someone = GetCurUserInfo(name.data(), password.data()) == 1;
    explicit_bzero(password.data(), std::strlen(password.data()));  // only the name is wanted
    return someone ? name.data() : "";
}

std::string StatusText() { return Printable(GetLogStatus().View()); }

const char* PassedWord(int32_t result) {
    switch (result) {
        case 0:
            return "allowed";
        case 1:
            return "cancelled";
        case 2:
            return "wrong password";
        case 3:
            return "refused";
        case 4:
            return "outside validity period";
        default:
            return "unexpected answer";
    }
}

void LoginCommand(Session& session, const Operands&) {
    LogIn();
    session.loginOrLogoutCalled = true;
    session.watchedUser = LoggedInUser();
    std::string status = StatusText();
    std::cout << (status.empty() ? "login cancelled" : status) << '\n';
}

void LogoutCommand(Session& session, const Operands&) {
    LogOut();
    session.loginOrLogoutCalled = true;
    session.watchedUser = LoggedInUser();
    std::cout << StatusText() << '\n';
}

void StatusCommand(Session& session, const Operands&) {
    std::string status = StatusText();
    if (status.empty()) {
        status = session.loginOrLogoutCalled ? "(the last login was cancelled)"
                                             : "(no login or logout yet)";
    }
    std::cout << status << '\n';
}

void WhoamiCommand(Session&, const Operands&) {
    std::string user = LoggedInUser();
    std::cout << (user.empty() ? "nobody is logged in" : Printable(user)) << '\n';
}

void PassedCommand(Session&, const Operands& operands) {
    if (operands.size() == 2 && operands[1] != "--no-dialog") {
        throw CliError(kExitUsage, "usage: passed CODE [--no-dialog]");
    }
    uint32_t code = CatalogueCode(LoadStore(), operands[0]);
    // The library reads this marker from the buffer it writes the tested user's name to.
    std::string marker = operands.size() == 2 ? LibraryText("不弹框", "marker") : "";
    HostTextBuffer buffer(marker);
    int32_t result = GetPassed(code, buffer.data());
    std::string user = buffer.data();
    std::cout << PassedWord(result) << " (" << result << ")";
    if (!user.empty() && user != marker) std::cout << ", user " << Printable(user);
    std::cout << '\n';
}

// The password comes on the next line, typed without echo at a terminal: a password on the
// command's own line would stay on the screen.
void IslegalCommand(Session& session, const Operands& operands) {
    if (operands.size() == 3)
        RefusePasswordArgument("islegal", "give it on the line after the command");
    std::string user = LibraryText(operands[0], "USER");
    uint32_t code = CatalogueCode(LoadStore(), operands[1]);
    session.passwordPrompt = "password of " + operands[0] + ": ";
    session.awaitingPassword = [user, code](const std::string& typed) {
        std::string password = LibraryText(typed, "the password");
        bool allowed = Islegal(user.c_str(), password.c_str(), code) == 1;
        std::cout << (allowed ? "allowed" : "refused") << '\n';
    };
}

// The administration window; the store it saves may have changed the operator's password.
void ConfigCommand(Session&, const Operands&) {
    Config();
    std::cout << "administration closed\n";
}

void QuitCommand(Session& session, const Operands&) { session.quit = true; }

void HelpCommand(Session& session, const Operands& operands);

struct ShellCommand {
    std::string_view name;
    std::string_view operands;  // as the usage shows them
    size_t minOperands;
    size_t maxOperands;
    std::string_view summary;
    void (*run)(Session&, const Operands&);
};

constexpr ShellCommand kShellCommands[] = {
    {"login", "", 0, 0, "log in through the login dialog (needs a display)", LoginCommand},
    {"logout", "", 0, 0, "log the operator out", LogoutCommand},
    {"status", "", 0, 0, "the outcome of the last login or logout", StatusCommand},
    {"whoami", "", 0, 0, "the logged-in user", WhoamiCommand},
    {"passed", "CODE [--no-dialog]", 1, 2,
     "may the operator perform CODE? asks in a dialog unless --no-dialog", PassedCommand},
    {"islegal", "USER CODE", 2, 3, "may USER perform CODE? asks for the password on the next line",
     IslegalCommand},
    {"config", "", 0, 0, "the administration window (needs a display)", ConfigCommand},
    {"help", "", 0, 0, "this list", HelpCommand},
    {"quit", "", 0, 0, "ends the shell, as does the end of input", QuitCommand},
    {"exit", "", 0, 0, "the same as quit", QuitCommand},
};

std::string Synopsis(const ShellCommand& command) {
    return std::string(command.name) + (command.operands.empty() ? "" : " ") +
           std::string(command.operands);
}

void HelpCommand(Session&, const Operands&) {
    for (const ShellCommand& command : kShellCommands) {
        std::cout << "  " << PadToWidth(Synopsis(command), 28) << command.summary << '\n';
    }
}

const ShellCommand& FindShellCommand(const std::string& name) {
    for (const ShellCommand& command : kShellCommands) {
        if (command.name == name) return command;
    }
    throw CliError(kExitUsage, "unknown command '" + name + "' (help lists the commands)");
}

void ExecuteLine(Session& session, const InputLine& line) {
    CheckLineText(line);
    Operands words = SplitOnBlanks(line.text);
    if (words.empty()) return;
    const ShellCommand& command = FindShellCommand(words[0]);
    Operands operands(words.begin() + 1, words.end());
    if (operands.size() < command.minOperands || operands.size() > command.maxOperands) {
        throw CliError(kExitUsage, "usage: " + Synopsis(command));
    }
    command.run(session, operands);
}

// The line that answers a command's question for a password.
void TakePassword(Session& session, const InputLine& line) {
    auto answer = std::move(session.awaitingPassword);
    session.awaitingPassword = nullptr;
    if (line.tooLong) LineRejected("longer than " + std::to_string(kLongestLine) + " bytes");
    answer(line.text);
}

// A bad line costs its message, never the shell.
void RunLine(Session& session, const InputLine& line) {
    try {
        if (session.awaitingPassword) {
            TakePassword(session, line);
        } else {
            ExecuteLine(session, line);
        }
    } catch (const std::exception& error) {
        std::cout.flush();
        std::cerr << "wardlet: " << error.what() << '\n';
    }
    std::cout.flush();
}

// How long poll may wait before the message loop needs its next turn; -1 for as long as it takes.
int PumpWaitMs() {
    int timerDue = NextTimerDueIn();
    int guiCap = QCoreApplication::instance() != nullptr ? kGuiPumpIntervalMs : -1;
    if (timerDue < 0) return guiCap;
    return guiCap < 0 ? timerDue : std::min(timerDue, guiCap);
}

[[noreturn]] void InputFailed() {
    throw CliError(kExitNo, std::string("cannot read standard input: ") + std::strerror(errno));
}

// One turn of the loop: waits for input or the next due timer, pumps messages, and returns what
// was read ("" when nothing was), or nullopt at the end of input.
std::optional<std::string> WaitAndRead() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    int ready = poll(&input, 1, PumpWaitMs());
    if (ready < 0 && errno != EINTR) InputFailed();
    PumpMessages();
    if (ready <= 0) return std::string();
    char bytes[4096];
    ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count > 0) return std::string(bytes, static_cast<size_t>(count));
    if (count == 0) return std::nullopt;
    if (errno == EINTR || errno == EAGAIN) return std::string();
    InputFailed();
}

class ShellLoop {
public:
    explicit ShellLoop(const Invocation& invocation) : m_session{invocation} {}

    int Run() {
        while (!m_session.quit) {
            ShowPrompt();
            std::optional<std::string> input = WaitAndRead();
            ReportAutomaticLogout();
            if (!input) {
                RunLines(m_splitter.Finish());
                if (m_interactive && !m_session.quit) std::cout << '\n';  // after the prompt
                break;
            }
            RunLines(m_splitter.Feed(*input));
        }
        return kExitOk;
    }

private:
    void ShowPrompt() {
        if (!m_session.awaitingPassword) m_echoOff.reset();
        if (!m_interactive || m_promptShown || m_splitter.HasPartialLine()) return;
        if (m_session.awaitingPassword) {
            m_echoOff.emplace(STDIN_FILENO);
            std::cout << m_session.passwordPrompt << std::flush;
        } else {
            std::cout << kPrompt << std::flush;
        }
        m_promptShown = true;
    }

    void RunLines(const std::vector<InputLine>& lines) {
        for (const InputLine& line : lines) {
            if (m_session.quit) return;
            m_promptShown = false;
            RunLine(m_session, line);
            ReportAutomaticLogout();  // a dialog's own event loop may have run the timer
        }
    }

    // The library ends a login silently when its time is up; the operator at the shell should
    // still learn of it.
    void ReportAutomaticLogout() {
        if (m_session.watchedUser.empty() || !LoggedInUser().empty()) return;
        if (m_promptShown) std::cout << '\n';
        std::cout << "automatic logout: " << Printable(m_session.watchedUser)
                  << " is no longer logged in" << std::endl;
        m_session.watchedUser.clear();
        m_promptShown = false;
    }

    Session m_session;
    LineSplitter m_splitter;
    std::optional<TerminalEchoOff> m_echoOff;  // while a password is typed
    const bool m_interactive = isatty(STDIN_FILENO) == 1;
    bool m_promptShown = false;
};

}  // namespace

int RunShell(const Invocation& invocation) { return ShellLoop(invocation).Run(); }
