// The machine-readable forms (--json) of what the reports print: one JSON document on standard
// output, texts in UTF-8, never a password.
#pragma once

#include <nlohmann/json.hpp>

#include "wardlet/store/SaveProp.h"

using OrderedJson = nlohmann::ordered_json;

OrderedJson ValidityJson(int32_t kind, int32_t from, int32_t to);
OrderedJson UserJson(const CSaveProp& store, const CInfoUser& user);
OrderedJson GroupJson(const CSaveProp& store, const CInfoGroup& group);
OrderedJson SettingsJson(const CSaveProp& store);
OrderedJson CatalogueJson(const CSaveProp& store);

// Prints `document` on standard output with a line end.
void PrintJson(const OrderedJson& document);
