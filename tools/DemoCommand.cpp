// `wardlet demo`: writes a small plant's store and shows what the library answers for it.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "rights/RightCode.h"
#include "tools/Cli.h"
#include "tools/CliFiles.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"
#include "wardlet/platform/Time.h"
#include "wardlet/wardlet.h"

namespace {

namespace fs = std::filesystem;

constexpr const char kDemoFolder[] = "wardlet-demo";
constexpr const char kDemoFile[] = "wardlet-demo/plant.dat";

struct LocalTime {
    int year, month, day, hour, minute, second;
};

struct SampleGroup {
    const char* name;
    const char* desc;
    std::vector<uint32_t> codes;
};

struct SampleUser {
    const char* name;
    const char* password;
    const char* remark;
    const char* group;
    int32_t kind;  // 1: times of day on 2000-01-01; 2: a date range
    LocalTime from;
    LocalTime to;
};

const SampleGroup kOperators = {
    "操作员", "运行值班：展开设备树、操作设备、处理事件", {0x01010100, 0x01010300, 0x01040200}};

const std::vector<SampleGroup> kSampleGroups = {
    kOperators,
    {"工程师",
     "组态维护：设备、策略、页面和系统",
     {0x01010000, 0x01020000, 0x01030000, 0x01040000}},
    {"管理组", "站内管理，拥有全部权限", {0x01000000}},
};

const std::vector<SampleUser> kSampleUsers = {
    {"张伟", "zw-7341", "运行值班员，甲班", "操作员", 0, {}, {}},
    {"李娜", "ln-5086", "运行值班员，乙班", "操作员", 0, {}, {}},
    {"王强", "wq-2619", "自控工程师", "工程师", 0, {}, {}},
    {"外包-陈",
     "wb-4402",
     "外包维护人员，只在白班登录",
     "操作员",
     1,
     {2000, 1, 1, 8, 0, 0},
     {2000, 1, 1, 17, 0, 0}},
    {"赵敏",
     "zm-9157",
     "实习工程师，实习期已结束",
     "工程师",
     2,
     {2024, 3, 1, 0, 0, 0},
     {2024, 8, 31, 23, 59, 59}},
    {"孙丽", "sl-3378", "值长", "管理组", 0, {}, {}},
};

int32_t Seconds(int32_t kind, const LocalTime& time) {
    if (kind == 0) return 0;
    return CTime(time.year, time.month, time.day, time.hour, time.minute, time.second).GetTime();
}

CString Cp936(const char* utf8) { return CString(LibraryText(utf8, "a sample text")); }

int32_t AddSampleGroup(CDataManager& data, const SampleGroup& sample) {
    auto* group = new CInfoGroup;
    group->m_nID = data.NextGroupID();
    group->m_strName = Cp936(sample.name);
    group->m_strDesc = Cp936(sample.desc);
    data.m_groupList.AddTail(group);
    for (uint32_t code : sample.codes) {
        auto* grant = new CInfoGroupOper;
        grant->m_nGroupID = group->m_nID;
        grant->m_nOperCode = static_cast<int32_t>(code);
        data.m_groupOperList.AddTail(grant);
    }
    return group->m_nID;
}

void AddSampleUser(CDataManager& data, const SampleUser& sample, int32_t groupID) {
    auto* user = new CInfoUser;
    user->m_nID = data.NextUserID();
    user->m_strName = Cp936(sample.name);
    user->m_strPassword = Cp936(sample.password);
    user->m_strRemark = Cp936(sample.remark);
    user->m_nTimeSectType = sample.kind;
    user->m_tFrom = Seconds(sample.kind, sample.from);
    user->m_tTo = Seconds(sample.kind, sample.to);
    data.m_userList.AddTail(user);
    auto* membership = new CInfoGroupUser;
    membership->m_nGroupID = groupID;
    membership->m_nUserID = user->m_nID;
    data.m_groupUserList.AddTail(membership);
}

void FillSampleStore(CSaveProp& store) {
    std::map<std::string, int32_t> groupIDs;
    for (const SampleGroup& group : kSampleGroups) {
        groupIDs[group.name] = AddSampleGroup(store.m_dataManager, group);
    }
    for (const SampleUser& user : kSampleUsers) {
        AddSampleUser(store.m_dataManager, user, groupIDs.at(user.group));
    }
}

void WriteSampleStore(const std::string& path) {
    CreateParentFolders(path);
    SetDataSource(path.c_str());
    CSaveProp store;
    FillSampleStore(store);
    if (store.SaveToFile() != 1) {
        throw CliError(kExitNo, "could not write the sample store to " + path);
    }
}

bool IsInsideDemoFolder(const fs::path& path) {
    fs::path folder = fs::weakly_canonical(fs::current_path() / kDemoFolder);
    fs::path relative = fs::weakly_canonical(path).parent_path().lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// A file the demo did not make is overwritten only when asked to.
std::string DemoTarget(const Invocation& invocation) {
    std::string path = invocation.dataGiven ? invocation.dataPath : kDemoFile;
    std::error_code error;
    fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) return path;
    if (!fs::is_regular_file(status)) {
        throw CliError(kExitDataFile, path + " exists and is not a regular file");
    }
    if (invocation.force || IsInsideDemoFolder(path)) return path;
    throw CliError(kExitUsage, path + " exists; demo overwrites only files in ./" + kDemoFolder +
                                   ", or any file with --force");
}

struct Account {
    std::string label;  // printable
    std::string name;   // code page 936
    std::string password;
};

struct Column {
    std::string label;
    uint32_t code;
};

std::vector<Account> SampleAccounts(const CSaveProp& store) {
    std::vector<Account> accounts;
    for (const SampleUser& user : kSampleUsers) {
        accounts.push_back({std::string(user.name) + " (" + user.group + ")",
                            Cp936(user.name).Bytes(), Cp936(user.password).Bytes()});
    }
    accounts.push_back({Printable(store.m_strAdminName.View()) + " (administrator)",
                        store.m_strAdminName.Bytes(), store.m_strAdminPassword.Bytes()});
    return accounts;
}

// The top-level operations, then the operators' rights that lie deeper.
std::vector<Column> MatrixColumns(const CSaveProp& store) {
    std::vector<Column> columns;
    for (const CInfoOper* oper : TopLevelOpers(store)) {
        columns.push_back(
            {Printable(oper->m_strName.View()), static_cast<uint32_t>(oper->m_nCode)});
    }
    for (uint32_t code : kOperators.codes) {
        if (const CInfoOper* oper = FindOper(store, code)) {
            columns.push_back({Printable(oper->m_strName.View()), code});
        }
    }
    return columns;
}

size_t LabelWidth(const std::vector<Account>& accounts) {
    size_t width = 0;
    for (const Account& account : accounts) width = std::max(width, DisplayWidth(account.label));
    return width + 2;
}

size_t ColumnWidth(const Column& column) { return DisplayWidth(column.label) + 2; }

// A bar sets the deeper rights apart from the top-level operations.
bool StartsDeeperRights(const std::vector<Column>& columns, size_t index) {
    auto isDeeper = [&](size_t i) { return GetCodeLevel(columns[i].code) > 2; };
    return isDeeper(index) && (index == 0 || !isDeeper(index - 1));
}

// One line of the matrix: the label, then the text `cell` gives for each column.
template <typename Cell>
std::string MatrixLine(const std::string& label, const std::vector<Column>& columns, Cell cell) {
    std::string line = "  " + label;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (StartsDeeperRights(columns, i)) line += "| ";
        line += PadToWidth(cell(columns[i]), ColumnWidth(columns[i]));
    }
    line.erase(line.find_last_not_of(' ') + 1);  // padding only
    return line;
}

void PrintMatrixHeader(const std::vector<Column>& columns, size_t labelWidth) {
    std::cout << MatrixLine(std::string(labelWidth, ' '), columns, [](const Column& column) {
        return column.label;
    }) << '\n';
}

// Returns whether any operation was allowed.
bool PrintMatrixRow(const Account& account, const std::vector<Column>& columns, size_t labelWidth) {
    bool anyAllowed = false;
    auto answer = [&](const Column& column) {
        bool allowed = Islegal(account.name.c_str(), account.password.c_str(), column.code) == 1;
        anyAllowed = anyAllowed || allowed;
        return std::string(allowed ? "Y" : "-");
    };
    std::cout << MatrixLine(PadToWidth(account.label, labelWidth), columns, answer) << '\n';
    return anyAllowed;
}

void PrintAccounts() {
    std::cout << "\nAccounts (user, password, group, validity)\n";
    for (const SampleUser& user : kSampleUsers) {
        int32_t from = Seconds(user.kind, user.from);
        int32_t to = Seconds(user.kind, user.to);
        std::cout << "  " << PadToWidth(user.name, 10) << PadToWidth(user.password, 10)
                  << PadToWidth(user.group, 8) << DescribeValidity(user.kind, from, to) << '\n';
    }
}

// Why the row of an account with a validity limit looks as it does.
void ExplainLimitedAccount(const SampleUser& user, bool anyAllowed) {
    int32_t now = CTime::GetCurrentTime().GetTime();
    bool daily = user.kind == 1;
    std::string validity =
        DescribeValidity(user.kind, Seconds(user.kind, user.from), Seconds(user.kind, user.to));
    std::string nowText = daily ? FormatTimeOfDay(now) : FormatDateTime(now);
    std::string where =
        std::string(anyAllowed ? "inside" : "outside") + " the " + (daily ? "window" : "period");
    std::string outcome = anyAllowed ? std::string("the answers follow ") + user.group
                                     : std::string("every answer is refused");
    std::cout << "  " << user.name << ": " << validity << "; it is " << nowText << " now, " << where
              << ", so " << outcome << ".\n";
}

void PrintMatrix(const std::string& path) {
    const CSaveProp& store = LoadStore();
    std::vector<Account> accounts = SampleAccounts(store);
    std::vector<Column> columns = MatrixColumns(store);
    size_t labelWidth = LabelWidth(accounts);
    std::cout << "\nIslegal now (Y allowed, - refused); after | the operators' rights below the "
                 "top level\n";
    PrintMatrixHeader(columns, labelWidth);
    std::vector<bool> anyAllowed;
    for (const Account& account : accounts) {
        anyAllowed.push_back(PrintMatrixRow(account, columns, labelWidth));
    }
    std::cout << '\n';
    for (size_t i = 0; i < kSampleUsers.size(); ++i) {
        if (kSampleUsers[i].kind != 0) ExplainLimitedAccount(kSampleUsers[i], anyAllowed[i]);
    }
    std::cout << "\nTry: echo zw-7341 | wardlet --data " << path << " islegal 张伟 0x01010301\n";
}

}  // namespace

int RunDemo(const Invocation& invocation) {
    std::string path = DemoTarget(invocation);
    WriteSampleStore(path);
    std::cout << "Wrote the sample plant store to " << path << '\n';
    PrintAccounts();
    PrintMatrix(path);
    return kExitOk;
}
