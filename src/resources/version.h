// The version both deliverables carry in their version resources; scripts/package names
// the packages after ORVEX_VERSION_TEXT.
#pragma once

#define ORVEX_VERSION_MAJOR 0
#define ORVEX_VERSION_MINOR 6
#define ORVEX_VERSION_TEXT "0.6"
