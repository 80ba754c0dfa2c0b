// What the commands of the `wardlet` command-line host share: exit statuses, the failure that
// ends a run, and the parsed invocation.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

enum ExitCode : int {
    kExitOk = 0,
    kExitNo = 1,        // a refusal, a false answer, or an action that did not happen
    kExitUsage = 2,     // bad options, operands or codes
    kExitDataFile = 3,  // the data file is missing or cannot be read
};

// Ends the run: main prints the message on standard error and exits with the code.
class CliError : public std::runtime_error {
public:
    CliError(ExitCode code, const std::string& message)
        : std::runtime_error(message), m_code(code) {}
    ExitCode Code() const { return m_code; }

private:
    ExitCode m_code;
};

// The options of the administration and report commands, as given.
struct CommandOptions {
    bool json = false;
    std::string admin;  // empty: the stored administrator's name
    std::string adminPasswordFile;
    std::optional<std::string> rename;
    std::optional<std::string> remark;
    std::optional<std::string> desc;
    std::vector<std::string> groups;
    bool noGroups = false;
    bool password = false;
    bool permanent = false;
    std::optional<std::string> daily;
    std::vector<std::string> period;  // FROM TO
    std::optional<std::string> since;
};

struct Invocation {
    std::string dataPath;  // the data file in use (for demo: as given, possibly empty)
    bool dataGiven = false;
    bool dataFileExisted = false;
    bool force = false;
    std::vector<std::string> operands;  // what follows the command name
    CommandOptions options;
};

// One function per command; each returns the exit status or throws CliError.
int RunIslegal(const Invocation& invocation);
int RunExists(const Invocation& invocation);
int RunTimeSect(const Invocation& invocation);
int RunUserInfo(const Invocation& invocation);
int RunPasswd(const Invocation& invocation);
int RunReceive(const Invocation& invocation);
int RunDump(const Invocation& invocation);
int RunCatalogue(const Invocation& invocation);
int RunDemo(const Invocation& invocation);
int RunShell(const Invocation& invocation);
int RunExport(const Invocation& invocation);
int RunUserList(const Invocation& invocation);
int RunUserAdd(const Invocation& invocation);
int RunUserSet(const Invocation& invocation);
int RunUserDel(const Invocation& invocation);
int RunGroupList(const Invocation& invocation);
int RunGroupAdd(const Invocation& invocation);
int RunGroupSet(const Invocation& invocation);
int RunGroupDel(const Invocation& invocation);
int RunGroupGrant(const Invocation& invocation);
int RunGroupRevoke(const Invocation& invocation);
int RunAudit(const Invocation& invocation);
int RunAuditVerify(const Invocation& invocation);
