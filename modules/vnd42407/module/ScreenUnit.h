#pragma once
// The screen unit's part in the module's load and unload.

namespace vnd {

/// Run when the module is loaded: no screen exists yet.
void initializeScreenUnit();
/// Run before the module is unloaded: the module-wide strings are released.
void finalizeScreenUnit();

}  // namespace vnd
