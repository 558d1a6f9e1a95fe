#pragma once
// The inquiry screen unit's part in the module's load and unload.

namespace vnd {

/// Run when the module is loaded: no screen exists yet.
void initializeInquiryUnit();
/// Run before the module is unloaded.
void finalizeInquiryUnit();

}  // namespace vnd
