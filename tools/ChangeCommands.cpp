// Commands that change the data file through the library.
#include <iostream>

#include "tools/Cli.h"
#include "tools/CliFiles.h"
#include "tools/CliText.h"
#include "tools/PasswordInput.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/store/LongTexts.h"
#include "wardlet/store/SaveProp.h"
#include "wardlet/wardlet.h"

namespace {

// The library writes its own errors; the archive reports only how far it got.
void HandOverTransfer(std::vector<unsigned char> transfer) {
    CMemFile file(std::move(transfer));
    CArchive archive(&file, CArchive::load);
    ReceiveObjListFromArchive(archive);
}

// A host's 65-byte buffers would not hold these texts: whoever runs the station must hear of it.
void WarnOfLongTexts() {
    CSaveProp store;
    store.LoadFromFile();
    for (const std::string& record : RecordsWithLongTexts(store)) {
        std::cerr << "wardlet: warning: the received store's " << record
                  << ", longer than the 64 bytes hosts' buffers are sized for\n";
    }
}

}  // namespace

int RunPasswd(const Invocation& invocation) {
    std::string user = LibraryText(invocation.operands[0], "USER");
    PasswordInput input;
    std::string oldPassword =
        LibraryText(input.Ask("old password of " + invocation.operands[0]), "the old password");
    std::string newPassword = LibraryText(input.AskNew("new password"), "the new password");
    // Asked first so that a wrong pair is told apart from a failed save.
    if (IsUserExist(user.c_str(), oldPassword.c_str()) != 1) {
        throw CliError(kExitNo, "no user " + invocation.operands[0] + " with that password");
    }
    if (!invocation.dataFileExisted) CreateParentFolders(invocation.dataPath);
    if (ModifyPWD(user.c_str(), oldPassword.c_str(), newPassword.c_str()) != 1) {
        throw CliError(kExitNo, "the new password could not be saved to " + invocation.dataPath);
    }
    if (!invocation.dataFileExisted) {
        std::cerr << "wardlet: created " << invocation.dataPath << " from the defaults\n";
    }
    std::cout << "password changed\n";
    return kExitOk;
}

int RunReceive(const Invocation& invocation) {
    std::vector<unsigned char> transfer =
        ReadWholeRegularFile(invocation.operands[0], "the received store");
    // A new station takes in its first store this way: the save makes the file.
    if (!invocation.dataFileExisted) CreateParentFolders(invocation.dataPath);
    FileVersion before = CurrentVersion(invocation.dataPath);
    HandOverTransfer(std::move(transfer));
    if (IsSameVersion(before, CurrentVersion(invocation.dataPath))) {
        throw CliError(kExitNo, "nothing was stored; " + invocation.dataPath + " is unchanged");
    }
    std::cout << "received store saved to " << invocation.dataPath << '\n';
    WarnOfLongTexts();
    return kExitOk;
}

int RunExport(const Invocation& invocation) {
    const std::string& target = invocation.operands[0];
    if (IsSameFile(target, invocation.dataPath)) {
        throw CliError(kExitUsage,
                       "export would overwrite the data file itself; name another file");
    }
    // Loaded whole or not at all: a damaged data file must not travel as a partial store.
    CSaveProp store;
    if (store.LoadFromFile() != 1) {
        throw CliError(kExitDataFile, "cannot read the whole store from " + invocation.dataPath +
                                          "; nothing was exported");
    }
    CObList list;  // does not own: the store stays ours
    list.AddTail(&store);
    CMemFile file;
    CArchive archive(&file, CArchive::store);
    list.Serialize(archive);
    archive.Close();
    WritePrivateFile(target, file.Bytes());
    std::cout << "store exported to " << target << " (" << file.Bytes().size() << " bytes)\n";
    return kExitOk;
}
