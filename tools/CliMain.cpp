// `wardlet`: a command-line host of the rights library, for checking and inspecting a station's
// data file from a shell.
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "tools/Cli.h"
#include "tools/CliFiles.h"
#include "wardlet/wardlet.h"

namespace {

constexpr const char kUsage[] = R"(usage: wardlet [--data FILE] [--force] COMMAND [OPERAND...]

Commands:
  islegal USER PASSWORD CODE  may USER perform operation CODE? prints allowed/refused
  exists USER PASSWORD        is this a valid account? prints valid/invalid
  timesect USER               when the account is valid
  userinfo [USER]             the user's password (without USER: the logged-in user)
  passwd USER OLD NEW         changes a password (creates a missing data file)
  receive FILE                takes in a store another station sent (transfer form)
  dump                        settings, users and groups (never passwords)
  catalogue                   the operations and their codes
  demo                        writes a sample plant store and shows what it allows
  shell                       reads commands from standard input in one process, so that a
                              login lasts (login, logout, passed, ...; 'help' lists them)

Options (before the command):
  --data FILE   the data file; default ${XDG_DATA_HOME:-$HOME/.local/share}/wardlet/rights.dat
                (demo: ./wardlet-demo/plant.dat)
  --force       let demo overwrite a file outside ./wardlet-demo
  -h, --help    this text

CODE is hexadecimal, with or without 0x (0x01010201). Names and passwords are taken in UTF-8.
Exit status: 0 yes/done, 1 no/refused/not done, 2 bad usage, 3 data file missing or unreadable.
)";

enum class DataFileUse {
    kMustExist,
    kMayBeCreated,  // a missing file is made by the command's save
    kMayBeMissing,  // while the file is missing, the library answers from its defaults
    kDemoTarget,    // the command decides itself
};

struct CommandSpec {
    std::string_view name;
    size_t minOperands;
    size_t maxOperands;
    DataFileUse dataFile;
    int (*run)(const Invocation&);
};

constexpr CommandSpec kCommands[] = {
    {"islegal", 3, 3, DataFileUse::kMustExist, RunIslegal},
    {"exists", 2, 2, DataFileUse::kMustExist, RunExists},
    {"timesect", 1, 1, DataFileUse::kMustExist, RunTimeSect},
    {"userinfo", 0, 1, DataFileUse::kMustExist, RunUserInfo},
    {"passwd", 3, 3, DataFileUse::kMayBeCreated, RunPasswd},
    {"receive", 1, 1, DataFileUse::kMayBeCreated, RunReceive},
    {"dump", 0, 0, DataFileUse::kMustExist, RunDump},
    {"catalogue", 0, 0, DataFileUse::kMustExist, RunCatalogue},
    {"demo", 0, 0, DataFileUse::kDemoTarget, RunDemo},
    {"shell", 0, 0, DataFileUse::kMayBeMissing, RunShell},
};

struct CommandLine {
    bool help = false;
    std::string command;
    Invocation invocation;
};

[[noreturn]] void UsageError(const std::string& message) {
    throw CliError(kExitUsage, message + " ('wardlet --help' shows the usage)");
}

void SetDataOption(Invocation& invocation, std::string_view value) {
    if (value.empty()) UsageError("--data needs a file name");
    invocation.dataPath = value;
    invocation.dataGiven = true;
}

// Options come before the command, so that operands (passwords) may start with '-'.
CommandLine ParseCommandLine(int argc, char** argv) {
    CommandLine line;
    int index = 1;
    for (; index < argc && argv[index][0] == '-' && argv[index][1] != '\0'; ++index) {
        std::string_view option = argv[index];
        if (option == "--") {
            ++index;
            break;
        }
        if (option == "-h" || option == "--help") {
            line.help = true;
        } else if (option == "--force") {
            line.invocation.force = true;
        } else if (option == "--data") {
            if (++index == argc) UsageError("--data needs a file name");
            SetDataOption(line.invocation, argv[index]);
        } else if (option.starts_with("--data=")) {
            SetDataOption(line.invocation, option.substr(7));
        } else {
            UsageError("unknown option " + std::string(option));
        }
    }
    if (index < argc) line.command = argv[index++];
    line.invocation.operands.assign(argv + index, argv + argc);
    return line;
}

const CommandSpec& FindCommand(const std::string& name) {
    if (name.empty()) UsageError("no command given");
    for (const CommandSpec& spec : kCommands) {
        if (spec.name == name) return spec;
    }
    UsageError("unknown command " + name);
}

void CheckOperands(const CommandSpec& spec, const Invocation& invocation) {
    size_t count = invocation.operands.size();
    if (count < spec.minOperands || count > spec.maxOperands) {
        UsageError(
            std::string(spec.name) + " takes " +
            (spec.minOperands == spec.maxOperands
                 ? std::to_string(spec.minOperands)
                 : std::to_string(spec.minOperands) + " or " + std::to_string(spec.maxOperands)) +
            " operand(s), not " + std::to_string(count));
    }
    if (invocation.force && spec.dataFile != DataFileUse::kDemoTarget) {
        UsageError("--force is for demo only");
    }
}

// Every export after this reads the chosen file.
void UseDataFile(const CommandSpec& spec, Invocation& invocation) {
    if (!invocation.dataGiven) invocation.dataPath = DefaultDataPath();
    invocation.dataFileExisted = DataFileExists(invocation.dataPath);
    if (!invocation.dataFileExisted && spec.dataFile == DataFileUse::kMustExist) {
        throw CliError(kExitDataFile,
                       "no data file at " + invocation.dataPath + " (give one with --data FILE)");
    }
    // A path, not a text of the library: passed as the file system spells it.
    SetDataSource(invocation.dataPath.c_str());
}

int Run(int argc, char** argv) {
    CommandLine line = ParseCommandLine(argc, argv);
    if (line.help) {
        std::cout << kUsage;
        return kExitOk;
    }
    const CommandSpec& spec = FindCommand(line.command);
    CheckOperands(spec, line.invocation);
    if (spec.dataFile != DataFileUse::kDemoTarget) UseDataFile(spec, line.invocation);
    return spec.run(line.invocation);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const CliError& error) {
        std::cerr << "wardlet: " << error.what() << '\n';
        return error.Code();
    } catch (const std::exception& error) {
        std::cerr << "wardlet: " << error.what() << '\n';
        return kExitNo;
    }
}
