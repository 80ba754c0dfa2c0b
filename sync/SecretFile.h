// The site key and the broker password: files only their owner may read.
#pragma once

#include <string>

#include "sync/Envelope.h"

// Writes 32 random bytes to a new file `path`, mode 0600. Refuses to overwrite anything.
bool GenerateSiteKey(const std::string& path, std::string* error);

// Reads the 32-byte site key. Refuses a file that is not a regular file of exactly 32 bytes, that
// is not owned by this user, or that its group or others may read or write.
bool LoadSiteKey(const std::string& path, SiteKey* key, std::string* error);

// Reads a password file under the same rules, without its trailing line end.
bool LoadSecretText(const std::string& path, std::string* text, std::string* error);
