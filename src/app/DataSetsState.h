#pragma once
// The "datasets" member of the window's state file (MORVANE_STATE): for every dataset the window
// owns its name, class, state, record count, field names, the display texts of the current record
// and of the first rows.
#include "framework/core/Component.h"

#include <string>

// The rows listed per dataset at most; the current record is always listed.
constexpr int kStateRows = 200;

// A JSON array (UTF-8) of the datasets owned by `owner`; "[]" without an owner.
std::string DataSetsState(const TComponent* owner);
