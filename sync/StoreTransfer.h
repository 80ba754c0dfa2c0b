// Stores in the transfer form, read and applied through the library's public interface
// (libwardlet.so and the framework classes): the agent never reaches the library's internals.
#pragma once

#include <string>

#include "sync/Envelope.h"

// Reads `form` whole as a list holding exactly one store, without saving anything, and writes
// the store back out alone: `*dataFileBytes` receives the bytes of a data file holding it (the
// object indices inside differ from the transfer form's). False, with `*error`, for a damaged
// transfer form.
bool ReadTransferForm(const Bytes& form, Bytes* dataFileBytes, std::string* error);

// Makes `form` the station's data file through ReceiveObjListFromArchive (the file lock and the
// atomic save hold, and the store is not forwarded again), then confirms that the data file holds
// `dataFileBytes`. REQUIRES: SetDataSource was called with the data file.
bool ApplyTransferForm(const std::string& dataFile, const Bytes& form, const Bytes& dataFileBytes,
                       std::string* error);

// The store a data file holds, in the transfer form. Fails when `dataFileBytes` do not read back
// whole as a store (damaged, or not a data file).
bool DataFileToTransferForm(const Bytes& dataFileBytes, Bytes* form, std::string* error);

// The same for the data file at `path`, which must exist.
bool CurrentTransferForm(const std::string& path, Bytes* form, std::string* error);

// BLAKE2b-256 of `bytes`, in hex.
std::string Digest(const Bytes& bytes);
