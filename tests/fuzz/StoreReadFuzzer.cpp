// Fuzz target: any bytes as a data file and as a received store. Reading must never crash, hang
// or allocate without bound, and the byte scan behind Islegal must answer as the full load does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "module/Credentials.h"
#include "rights/Evaluation.h"
#include "store/RightCheckScan.h"
#include "wardlet/platform/Archive.h"
#include "wardlet/platform/MemFile.h"
#include "wardlet/store/SaveProp.h"

namespace {

struct Question {
    const char* name;
    const char* password;
    uint32_t code;
};

const Question kQuestions[] = {{"Admin", "4827", 0x01000000},
                               {"a", "", 0x01010201},
                               {"", "", 0x01040000},
                               {"op", "pw", 0x01050100}};

int AnswerByLoading(const CSaveProp& store, const Question& q) {
    if (IsAdministrator(store, q.name, q.password)) return -1;
    return CheckUserRight(store, q.name, q.password, q.code);
}

int AnswerByScanning(const uint8_t* data, size_t size, const Question& q) {
    RightCheckFacts facts = ScanForRightCheck(data, size, q.name);
    if (IsAdministrator(facts, q.name, q.password)) return -1;
    return CheckUserRight(facts, q.password, q.code);
}

void ReadAsDataFile(const uint8_t* data, size_t size) {
    CSaveProp store;
    CMemFile file(data, size);
    CArchive ar(&file, CArchive::load);
    try {
        store.Serialize(ar);
    } catch (const CArchiveException&) {
    }
    for (const Question& q : kQuestions) {
        if (AnswerByScanning(data, size, q) != AnswerByLoading(store, q)) std::abort();
    }
    if (ScanForRightCheck(data, size, "").logoutMinutes != store.m_nLogoutMinutes) std::abort();
}

void ReadAsTransferForm(const uint8_t* data, size_t size) {
    CMemFile file(data, size);
    CArchive ar(&file, CArchive::load);
    try {
        if (ar.ReadCount() == 1) delete ar.ReadOwnedObject(RUNTIME_CLASS(CSaveProp));
    } catch (const CArchiveException&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAsDataFile(data, size);
    ReadAsTransferForm(data, size);
    return 0;
}
