// Stores in the transfer form, read and applied through the library's public interface
// (libwardlet.so and the framework classes): the agent never reaches the library's internals.
#pragma once

#include <string>

#include "sync/Envelope.h"

// The bytes that come before the data file's bytes in the transfer form: a one-element list, the
// new-class tag with schema 1 and the class name "CSaveProp".
Bytes TransferFormPrefix();

// Reads `form` whole as a list holding exactly one store, without saving anything, and writes
// what the library makes of it back out: `*dataFileBytes` receives the bytes a data file holding
// this store has. False, with `*error`, for a damaged transfer form.
bool ReadTransferForm(const Bytes& form, Bytes* dataFileBytes, std::string* error);

// Makes `form` the station's data file through ReceiveObjListFromArchive (the file lock and the
// atomic save hold, and the store is not forwarded again), then confirms that the data file holds
// `dataFileBytes`. REQUIRES: SetDataSource was called with the data file.
bool ApplyTransferForm(const std::string& dataFile, const Bytes& form, const Bytes& dataFileBytes,
                       std::string* error);

// The data file's store in the transfer form, as the library reads it. Fails when the file is
// missing or does not read back whole. REQUIRES: SetDataSource was called with `dataFile`.
bool CurrentTransferForm(const std::string& dataFile, Bytes* form, std::string* error);

// BLAKE2b-256 of `bytes`, in hex.
std::string Digest(const Bytes& bytes);
