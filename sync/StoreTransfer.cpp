#include "sync/StoreTransfer.h"

#include <sodium.h>

#include <cstring>
#include <exception>

#include "platform/AtomicFile.h"
#include "wardlet/wardlet.h"

namespace {

// DO NOT CHANGE: the transfer form's opening bytes (docs/data-format.md).
constexpr unsigned char kPrefix[] = {0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x09, 0x00, 'C', 'S',
                                     'a',  'v',  'e',  'P',  'r',  'o',  'p'};

// Deletes what a list read from an archive holds: those records are ours.
struct ReadList {
    CObList list;
    ~ReadList() {
        while (!list.IsEmpty()) delete list.RemoveHead();
    }
};

Bytes Store(CObList& list) {
    CMemFile file;
    CArchive archive(&file, CArchive::store);
    list.Serialize(archive);
    archive.Close();
    return file.Bytes();
}

bool StripPrefix(const Bytes& form, Bytes* body) {
    if (form.size() < sizeof(kPrefix) || std::memcmp(form.data(), kPrefix, sizeof(kPrefix)) != 0) {
        return false;
    }
    body->assign(form.begin() + sizeof(kPrefix), form.end());
    return true;
}

}  // namespace

Bytes TransferFormPrefix() { return Bytes(kPrefix, kPrefix + sizeof(kPrefix)); }

bool ReadTransferForm(const Bytes& form, Bytes* dataFileBytes, std::string* error) {
    ReadList read;
    try {
        CMemFile file(form.data(), form.size());
        CArchive archive(&file, CArchive::load);
        read.list.Serialize(archive);
    } catch (const std::exception& failure) {
        *error = std::string("damaged transfer form: ") + failure.what();
        return false;
    }
    if (read.list.GetCount() != 1 || read.list.GetHead() == nullptr ||
        std::strcmp(read.list.GetHead()->GetRuntimeClass()->m_lpszClassName, "CSaveProp") != 0) {
        *error = "damaged transfer form: not a list holding one store";
        return false;
    }
    try {
        if (!StripPrefix(Store(read.list), dataFileBytes)) {
            *error = "damaged transfer form: the store does not write back as one";
            return false;
        }
    } catch (const std::exception& failure) {
        *error = std::string("damaged transfer form: ") + failure.what();
        return false;
    }
    return true;
}

bool ApplyTransferForm(const std::string& dataFile, const Bytes& form, const Bytes& dataFileBytes,
                       std::string* error) {
    {
        CMemFile file(form.data(), form.size());
        CArchive archive(&file, CArchive::load);
        ReceiveObjListFromArchive(archive);
    }
    FileBytes held;
    if (!ReadWholeFile(dataFile, &held)) {
        *error = dataFile + ": cannot be read after the store was applied";
        return false;
    }
    if (held.size() != dataFileBytes.size() ||
        std::memcmp(held.data(), dataFileBytes.data(), held.size()) != 0) {
        *error = dataFile + ": does not hold the applied store (not written, or changed since)";
        return false;
    }
    return true;
}

bool CurrentTransferForm(const std::string& dataFile, Bytes* form, std::string* error) {
    FileBytes file;
    if (!ReadWholeFile(dataFile, &file)) {
        *error = dataFile + ": cannot be read";
        return false;
    }
    CObList list;
    GetConfigData(&list);  // the record stays the library's
    try {
        *form = Store(list);
    } catch (const std::exception& failure) {
        *error = dataFile + ": " + failure.what();
        return false;
    }
    Bytes body;
    if (!StripPrefix(*form, &body) || body.size() != file.size() ||
        std::memcmp(body.data(), file.data(), body.size()) != 0) {
        *error = dataFile + ": does not read back whole (damaged, or not a data file)";
        return false;
    }
    return true;
}

std::string Digest(const Bytes& bytes) {
    unsigned char hash[32];
    crypto_generichash(hash, sizeof(hash), bytes.data(), bytes.size(), nullptr, 0);
    char hex[65];
    sodium_bin2hex(hex, sizeof(hex), hash, sizeof(hash));
    return hex;
}
