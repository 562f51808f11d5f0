// SPDX-License-Identifier: MIT
#pragma once

#include "records/run_record.h"

// This program (the application's name and version), this computer and the
// account it runs under, as the records name them.
RunRecord::Identity sessionIdentity();
