// Reading the store the library hands out through GetConfigData.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/RecordLists.h"
#include "wardlet/wardlet.h"

// The store as the library reads it now; valid until the next call.
const CSaveProp& LoadStore();

// The catalogue operation with that code, or null.
const CInfoOper* FindOper(const CSaveProp& store, uint32_t code);
// The code of the argument `text` when it is a hexadecimal code of the catalogue; else a usage
// CliError.
uint32_t CatalogueCode(const CSaveProp& store, const std::string& text);
// "设备 / 操作" (UTF-8): the names from level 2 down to the code, or the root's own name.
std::string OperPath(const CSaveProp& store, uint32_t code);
// The catalogue's level 2 operations, in catalogue order.
std::vector<const CInfoOper*> TopLevelOpers(const CSaveProp& store);

// Printable names of the groups the user belongs to.
std::vector<std::string> GroupNamesOfUser(const CSaveProp& store, int32_t userID);
// The names of a group's members, in the order of the links.
std::vector<std::string> UserNamesOfGroup(const CSaveProp& store, int32_t groupID);
std::vector<uint32_t> CodesGrantedToGroup(const CSaveProp& store, int32_t groupID);
