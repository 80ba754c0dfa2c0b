#include "sync/StoreTransfer.h"

#include <sodium.h>

#include <cstring>
#include <exception>

#include "platform/AtomicFile.h"
#include "wardlet/wardlet.h"

namespace {

constexpr char kStoreClassName[] = "CSaveProp";

// Deletes what a list read from an archive holds: those records are ours.
struct OwnedList {
    CObList list;
    ~OwnedList() {
        while (!list.IsEmpty()) delete list.RemoveHead();
    }
};

Bytes Store(CObject& object) {
    CMemFile file;
    CArchive archive(&file, CArchive::store);
    object.Serialize(archive);
    archive.Close();
    return file.Bytes();
}

bool Fail(std::string* error, const std::string& what) {
    *error = what;
    return false;
}

}  // namespace

bool ReadTransferForm(const Bytes& form, Bytes* dataFileBytes, std::string* error) {
    OwnedList read;
    try {
        CMemFile file(form.data(), form.size());
        CArchive archive(&file, CArchive::load);
        read.list.Serialize(archive);
        if (read.list.GetCount() != 1 || read.list.GetHead() == nullptr ||
            std::strcmp(read.list.GetHead()->GetRuntimeClass()->m_lpszClassName, kStoreClassName) !=
                0) {
            return Fail(error, "damaged transfer form: not a list holding one store");
        }
        *dataFileBytes = Store(*read.list.GetHead());
    } catch (const std::exception& failure) {
        return Fail(error, std::string("damaged transfer form: ") + failure.what());
    }
    return true;
}

bool DataFileToTransferForm(const Bytes& dataFileBytes, Bytes* form, std::string* error) {
    const CRuntimeClass* storeClass = CRuntimeClass::FromName(kStoreClassName);
    if (storeClass == nullptr) return Fail(error, "the library's store class is not registered");
    OwnedList store;
    store.list.AddTail(storeClass->CreateObject());
    try {
        CMemFile file(dataFileBytes.data(), dataFileBytes.size());
        CArchive archive(&file, CArchive::load);
        store.list.GetHead()->Serialize(archive);
        if (Store(*store.list.GetHead()) != dataFileBytes) {
            return Fail(error,
                        "does not read back whole (bytes after the store, or not written "
                        "by this library)");
        }
        *form = Store(store.list);
    } catch (const std::exception& failure) {
        return Fail(error, std::string("not a whole store: ") + failure.what());
    }
    return true;
}

bool CurrentTransferForm(const std::string& path, Bytes* form, std::string* error) {
    FileBytes file;
    if (!ReadWholeFile(path, &file)) return Fail(error, path + ": cannot be read");
    if (!DataFileToTransferForm(Bytes(file.begin(), file.end()), form, error)) {
        *error = path + ": " + *error;
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
        return Fail(error, dataFile + ": cannot be read after the store was applied");
    }
    if (held.size() != dataFileBytes.size() ||
        std::memcmp(held.data(), dataFileBytes.data(), held.size()) != 0) {
        return Fail(error, dataFile +
                               ": does not hold the applied store (not written, or "
                               "changed since)");
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
