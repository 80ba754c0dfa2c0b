// Where the command-line host takes passwords from. Never from its arguments: any local user can
// read a process's arguments. From the terminal, typed without echo; when standard input is not a
// terminal, from its lines, one password a line, in the order the command asks for them.
#pragma once

#include <termios.h>

#include <cstdio>
#include <string>

// Switches a terminal's echo off for its lifetime (nothing happens when `fd` is no terminal);
// restored on every way out.
class TerminalEchoOff {
public:
    explicit TerminalEchoOff(int fd);
    ~TerminalEchoOff();
    TerminalEchoOff(const TerminalEchoOff&) = delete;
    TerminalEchoOff& operator=(const TerminalEchoOff&) = delete;

private:
    int m_fd;
    termios m_saved{};
    bool m_changed = false;
};

class PasswordInput {
public:
    // Reads from `input`; prompts go to `prompts` only when `input` is a terminal.
    explicit PasswordInput(std::FILE* input = stdin, std::FILE* prompts = stderr);

    // One password (UTF-8, without its line end). A usage CliError naming `what` when the input
    // ends first or the line is too long.
    std::string Ask(const std::string& what);
    // A new password: on a terminal typed twice, and refused when the two differ; otherwise one
    // line.
    std::string AskNew(const std::string& what);

    bool FromTerminal() const { return m_terminal; }

private:
    std::string ReadLine(const std::string& what);

    std::FILE* m_input;
    std::FILE* m_prompts;
    bool m_terminal;
};

// The first line of a file, for passwords a script keeps in a file of its own (mode 0600). A
// usage CliError when the file cannot be read.
std::string ReadPasswordFile(const std::string& path, const std::string& what);

// The refusal of a password given as an argument to `command`, saying `how` to give it instead.
[[noreturn]] void RefusePasswordArgument(const std::string& command, const std::string& how);
