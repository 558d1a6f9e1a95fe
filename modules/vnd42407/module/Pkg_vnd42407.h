#pragma once
// The module's entries, exported with C linkage for the host's module loader.

#include "plugin/ModuleExports.h"
