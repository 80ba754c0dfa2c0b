// Commands that ask the library a question and print its answer.
#include <algorithm>
#include <iostream>
#include <vector>

#include "tools/Cli.h"
#include "tools/CliJson.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"
#include "tools/PasswordInput.h"
#include "wardlet/wardlet.h"

namespace {

// GetCurUserInfo writes into buffers without a size. Passwords set through ModifyPWD may be long,
// so the buffer fits the longest text of the store with ample room for one changed meanwhile.
constexpr size_t kRoomyBufferSize = size_t{1} << 20;

int Answer(bool yes, const char* yesText, const char* noText) {
    std::cout << (yes ? yesText : noText) << '\n';
    return yes ? kExitOk : kExitNo;
}

size_t LongestStoredText(const CSaveProp& store) {
    size_t longest =
        std::max(store.m_strAdminName.Bytes().size(), store.m_strAdminPassword.Bytes().size());
    ForEachRecord<CInfoUser>(store.m_dataManager.m_userList, [&](const CInfoUser& user) {
        longest =
            std::max({longest, user.m_strName.Bytes().size(), user.m_strPassword.Bytes().size()});
    });
    return longest;
}

std::vector<char> HostBuffer(const std::string& initialText) {
    size_t size =
        std::max({kRoomyBufferSize, LongestStoredText(LoadStore()) + 1, initialText.size() + 1});
    std::vector<char> buffer(size, '\0');
    std::copy(initialText.begin(), initialText.end(), buffer.begin());
    return buffer;
}

int PrintLoggedInUser() {
    std::vector<char> name = HostBuffer("");
    std::vector<char> password = HostBuffer("");
    if (GetCurUserInfo(name.data(), password.data()) != 1) {
        throw CliError(kExitNo,
                       "nobody is logged in: each wardlet command runs in a process of its own; "
                       "name the user: wardlet userinfo USER");
    }
    std::cout << Printable(name.data()) << ' ' << Printable(password.data()) << '\n';
    return kExitOk;
}

int PrintPasswordOf(const std::string& userArgument) {
    // An empty name would ask the library for the logged-in user instead.
    if (userArgument.empty()) throw CliError(kExitUsage, "USER must not be empty");
    std::vector<char> name = HostBuffer(LibraryText(userArgument, "USER"));
    std::vector<char> password = HostBuffer("");
    if (GetCurUserInfo(name.data(), password.data()) != 1) {
        throw CliError(kExitNo, "no user named " + userArgument);
    }
    std::cout << Printable(password.data()) << '\n';
    return kExitOk;
}

// The password of `user`, asked as the command line asks it, in code page 936.
std::string AskPasswordOf(const std::string& user) {
    return LibraryText(PasswordInput().Ask("password of " + user), "the password");
}

}  // namespace

int RunIslegal(const Invocation& invocation) {
    std::string user = LibraryText(invocation.operands[0], "USER");
    uint32_t code = CatalogueCode(LoadStore(), invocation.operands[1]);
    std::string password = AskPasswordOf(invocation.operands[0]);
    return Answer(Islegal(user.c_str(), password.c_str(), code) == 1, "allowed", "refused");
}

int RunExists(const Invocation& invocation) {
    std::string user = LibraryText(invocation.operands[0], "USER");
    std::string password = AskPasswordOf(invocation.operands[0]);
    return Answer(IsUserExist(user.c_str(), password.c_str()) == 1, "valid", "invalid");
}

int RunTimeSect(const Invocation& invocation) {
    std::string user = LibraryText(invocation.operands[0], "USER");
    int32_t kind, from, to;
    if (GetUserTimeSect(user.c_str(), &kind, &from, &to) != 1) {
        throw CliError(kExitNo, "no user named " + invocation.operands[0]);
    }
    if (invocation.options.json) {
        OrderedJson answer = {{"user", invocation.operands[0]}};
        answer["validity"] = ValidityJson(kind, from, to);
        PrintJson(answer);
    } else {
        std::cout << DescribeValidity(kind, from, to) << '\n';
    }
    return kExitOk;
}

int RunUserInfo(const Invocation& invocation) {
    if (invocation.operands.empty()) return PrintLoggedInUser();
    return PrintPasswordOf(invocation.operands[0]);
}
