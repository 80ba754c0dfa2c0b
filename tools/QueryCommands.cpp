// Commands that ask the library a question and print its answer.
#include <iostream>

#include "tools/Cli.h"
#include "tools/CliJson.h"
#include "tools/CliStore.h"
#include "tools/CliText.h"
#include "tools/HostTextBuffer.h"
#include "tools/PasswordInput.h"
#include "wardlet/wardlet.h"

namespace {

int Answer(bool yes, const char* yesText, const char* noText) {
    std::cout << (yes ? yesText : noText) << '\n';
    return yes ? kExitOk : kExitNo;
}

int PrintLoggedInUser() {
    HostTextBuffer name;
    HostTextBuffer password;
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
    HostTextBuffer name(LibraryText(userArgument, "USER"));
    HostTextBuffer password;
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
