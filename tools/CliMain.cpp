// `wardlet`: a command-line host of the rights library, for checking, inspecting and administering
// a station's data file from a shell.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

#include "tools/Cli.h"
#include "tools/CliFiles.h"
#include "tools/PasswordInput.h"
#include "wardlet/wardlet.h"

namespace {

constexpr const char kUsage[] = R"(usage: wardlet [--data FILE] [--force] COMMAND [OPERAND...]

Commands:
  islegal USER CODE           may USER perform operation CODE? prints allowed/refused
  exists USER                 is this a valid account? prints valid/invalid
  timesect USER [--json]      when the account is valid
  userinfo [USER]             the user's password (without USER: the logged-in user)
  passwd USER                 changes a password (creates a missing data file)
  receive FILE                takes in a store another station sent (transfer form)
  export FILE                 writes the store in the transfer form, for receive elsewhere
  dump [--json]               settings, users and groups (never passwords)
  catalogue [--json]          the operations and their codes
  user list [--json]          the users, their groups and validity
  user add NAME [--remark T] [--group G]... [--daily HH:MM:SS-HH:MM:SS | --period FROM TO]
  user set NAME [--rename N] [--remark T] [--password] [--group G]... [--no-groups]
               [--permanent | --daily HH:MM:SS-HH:MM:SS | --period FROM TO]
  user del NAME
  group list [--json]         the groups, their members and rights
  group add NAME [--desc T]
  group set NAME [--rename N] [--desc T]
  group del NAME
  group grant GROUP CODE...   group revoke GROUP CODE...
  audit [--since T] [--json]  the audit trail; audit verify checks its chain
  demo                        writes a sample plant store and shows what it allows
  shell                       reads commands from standard input in one process, so that a
                              login lasts (login, logout, passed, ...; 'help' lists them)

Options (before the command):
  --data FILE   the data file; default ${XDG_DATA_HOME:-$HOME/.local/share}/wardlet/rights.dat
                (demo: ./wardlet-demo/plant.dat)
  --force       let demo overwrite a file outside ./wardlet-demo
  -h, --help    this text
Options of the user and group changes:
  --admin NAME                   the administrator (default: the stored one's name)
  --admin-password-file FILE     the administrator's password, the file's first line

Passwords are never arguments. They are typed on the terminal without echo or, when standard
input is not a terminal, read from its lines in the order asked: islegal and exists ask for
USER's password; passwd for the old one, then the new one; a change asks for the
administrator's password (unless --admin-password-file), then the new user's password (user add,
user set --password).
CODE is hexadecimal, with or without 0x (0x01010201). Names are taken in UTF-8. FROM and TO are
local times, YYYY-MM-DD HH:MM:SS (or with T between).
Exit status: 0 yes/done, 1 no/refused/not done, 2 bad usage, 3 data file missing or unreadable.
)";

enum class DataFileUse {
    kMustExist,
    kMayBeCreated,  // a missing file is made by the command's save
    kMayBeMissing,  // while the file is missing, the library answers from its defaults
    kDemoTarget,    // the command decides itself
};

// How a command takes options beyond the global ones.
enum OptionSet : unsigned {
    kNoOptions = 0,
    kJson = 1,
    kAdminPair = 2,
    kUserFields = 4,    // --remark --group --daily --period
    kUserSet = 8,       // --rename --password --no-groups --permanent
    kGroupFields = 16,  // --desc
    kRename = 32,
    kSince = 64,
};

struct CommandSpec {
    std::string_view parent;  // "" for a command of its own
    std::string_view name;
    size_t minOperands;
    size_t maxOperands;
    DataFileUse dataFile;
    int (*run)(const Invocation&);
    unsigned options = kNoOptions;
    // The operand count of the old form that carried passwords as arguments, and what to type.
    size_t passwordForm = 0;
    std::string_view asked = "";
};

constexpr CommandSpec kCommands[] = {
    {"", "islegal", 2, 2, DataFileUse::kMustExist, RunIslegal, kNoOptions, 3, "the password"},
    {"", "exists", 1, 1, DataFileUse::kMustExist, RunExists, kNoOptions, 2, "the password"},
    {"", "timesect", 1, 1, DataFileUse::kMustExist, RunTimeSect, kJson},
    {"", "userinfo", 0, 1, DataFileUse::kMustExist, RunUserInfo},
    {"", "passwd", 1, 1, DataFileUse::kMayBeCreated, RunPasswd, kNoOptions, 3,
     "the old password, then the new one,"},
    {"", "receive", 1, 1, DataFileUse::kMayBeCreated, RunReceive},
    {"", "export", 1, 1, DataFileUse::kMustExist, RunExport},
    {"", "dump", 0, 0, DataFileUse::kMustExist, RunDump, kJson},
    {"", "catalogue", 0, 0, DataFileUse::kMustExist, RunCatalogue, kJson},
    {"", "demo", 0, 0, DataFileUse::kDemoTarget, RunDemo},
    {"", "shell", 0, 0, DataFileUse::kMayBeMissing, RunShell},
    {"user", "list", 0, 0, DataFileUse::kMustExist, RunUserList, kJson},
    {"user", "add", 1, 1, DataFileUse::kMayBeCreated, RunUserAdd, kAdminPair | kUserFields},
    {"user", "set", 1, 1, DataFileUse::kMayBeCreated, RunUserSet,
     kAdminPair | kUserFields | kUserSet | kRename},
    {"user", "del", 1, 1, DataFileUse::kMayBeCreated, RunUserDel, kAdminPair},
    {"group", "list", 0, 0, DataFileUse::kMustExist, RunGroupList, kJson},
    {"group", "add", 1, 1, DataFileUse::kMayBeCreated, RunGroupAdd, kAdminPair | kGroupFields},
    {"group", "set", 1, 1, DataFileUse::kMayBeCreated, RunGroupSet,
     kAdminPair | kGroupFields | kRename},
    {"group", "del", 1, 1, DataFileUse::kMayBeCreated, RunGroupDel, kAdminPair},
    {"group", "grant", 2, SIZE_MAX, DataFileUse::kMayBeCreated, RunGroupGrant, kAdminPair},
    {"group", "revoke", 2, SIZE_MAX, DataFileUse::kMayBeCreated, RunGroupRevoke, kAdminPair},
    {"", "audit", 0, 0, DataFileUse::kMayBeMissing, RunAudit, kJson | kSince},
    {"audit", "verify", 0, 0, DataFileUse::kMayBeMissing, RunAuditVerify},
};

std::string FullName(const CommandSpec& spec) {
    return spec.parent.empty() ? std::string(spec.name)
                               : std::string(spec.parent) + " " + std::string(spec.name);
}

[[noreturn]] void UsageError(const std::string& message) {
    throw CliError(kExitUsage, message + " ('wardlet --help' shows the usage)");
}

void AddCommandOptions(CLI::App& command, unsigned options, CommandOptions& given) {
    if (options & kJson) command.add_flag("--json", given.json);
    if (options & kSince) command.add_option("--since", given.since);
    if (options & kAdminPair) {
        command.add_option("--admin", given.admin);
        command.add_option("--admin-password-file", given.adminPasswordFile);
    }
    if (options & kRename) command.add_option("--rename", given.rename);
    if (options & kGroupFields) command.add_option("--desc", given.desc);
    if (options & kUserFields) {
        command.add_option("--remark", given.remark);
        CLI::Option* groups = command.add_option("--group", given.groups);
        CLI::Option* daily = command.add_option("--daily", given.daily);
        CLI::Option* period = command.add_option("--period", given.period)->expected(2);
        daily->excludes(period);
        if (options & kUserSet) {
            command.add_flag("--password", given.password);
            command.add_flag("--no-groups", given.noGroups)->excludes(groups);
            command.add_flag("--permanent", given.permanent)->excludes(daily)->excludes(period);
        }
    }
}

// The subcommand `name` of `parent`, made on first use.
CLI::App* Subcommand(CLI::App& parent, std::string_view name) {
    for (CLI::App* existing : parent.get_subcommands(std::function<bool(CLI::App*)>{})) {
        if (existing->get_name() == name) return existing;
    }
    CLI::App* command = parent.add_subcommand(std::string(name));
    command->set_help_flag();
    command->require_subcommand(0, 1);
    return command;
}

struct ParsedLine {
    bool help = false;
    const CommandSpec* spec = nullptr;
    Invocation invocation;
};

// Options come before the command; after it, only the command's own options. A name that starts
// with '-' follows "--".
ParsedLine ParseCommandLine(int argc, char** argv) {
    ParsedLine line;
    Invocation& invocation = line.invocation;
    CLI::App app("wardlet", "wardlet");
    app.set_help_flag();
    app.add_flag("-h,--help", line.help);
    app.add_flag("--force", invocation.force);
    app.add_option("--data", invocation.dataPath);
    app.require_subcommand(0, 1);
    std::vector<std::pair<CLI::App*, const CommandSpec*>> commands;
    for (const CommandSpec& spec : kCommands) {
        CLI::App* parent = spec.parent.empty() ? &app : Subcommand(app, spec.parent);
        CLI::App* command = Subcommand(*parent, spec.name);
        command->add_option("operands", invocation.operands);
        AddCommandOptions(*command, spec.options, invocation.options);
        commands.emplace_back(command, &spec);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        UsageError(error.what());
    }
    invocation.dataGiven = app.count("--data") > 0;
    if (invocation.dataGiven && invocation.dataPath.empty()) UsageError("--data needs a file name");
    // The deepest command parsed is the one to run; a group of commands alone is no command.
    for (CLI::App* command = &app; command != nullptr;) {
        CLI::App* child = nullptr;
        for (CLI::App* each : command->get_subcommands()) child = each;
        if (child == nullptr) {
            for (auto [each, spec] : commands) {
                if (each == command) line.spec = spec;
            }
            if (line.spec == nullptr && command != &app) {
                UsageError(command->get_name() + " needs one of its commands");
            }
        }
        command = child;
    }
    return line;
}

void CheckOperands(const CommandSpec& spec, const Invocation& invocation) {
    size_t count = invocation.operands.size();
    if (spec.passwordForm != 0 && count == spec.passwordForm) {
        RefusePasswordArgument(FullName(spec), "type it when asked, or give " +
                                                   std::string(spec.asked) +
                                                   " on standard input, one a line");
    }
    if (count < spec.minOperands || count > spec.maxOperands) {
        std::string wanted =
            spec.maxOperands == SIZE_MAX ? "at least " + std::to_string(spec.minOperands)
            : spec.minOperands == spec.maxOperands
                ? std::to_string(spec.minOperands)
                : std::to_string(spec.minOperands) + " or " + std::to_string(spec.maxOperands);
        UsageError(FullName(spec) + " takes " + wanted + " operand(s), not " +
                   std::to_string(count));
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
    ParsedLine line = ParseCommandLine(argc, argv);
    if (line.help) {
        std::cout << kUsage;
        return kExitOk;
    }
    if (line.spec == nullptr) UsageError("no command given");
    const CommandSpec& spec = *line.spec;
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
