// A settings file as the tests compare it: one line per entry, so that a
// wrongly decoded or reordered value cannot pass for the right one.
#pragma once

#include <string>

#include "core/launcher_config.h"

// "[key] <value> <value>\n" per entry; every unit outside printable ASCII as
// \uXXXX, and a run of more than 8 equal printable units as "x*count".
std::string DescribeSettings(const LauncherConfig& config);
