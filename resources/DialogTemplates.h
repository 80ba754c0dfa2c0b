// The library's dialog templates, by resource id.
#pragma once

#include "platform/DialogTemplate.h"

// The template `id`. REQUIRES: `id` is one of the ids in ResourceIds.h (anything else is a
// programming error and throws std::out_of_range).
const DialogTemplate& LoadDialogTemplate(int id);
