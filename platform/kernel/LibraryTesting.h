#pragma once
// What tests reach inside the library loader for: modules hidden on demand, load and reference
// counts, and a word when a module is unloaded. Not for programs: no public header includes
// this one.
#include <functional>
#include <string>

#include "platform/kernel/Library.h"

namespace kernel {

// Hides a module (LoadLibraryA then fails as for a missing file) and shows it again.
void SetModuleHidden(const std::string& name, bool hidden);
// How many times LoadLibraryA has loaded `name` (a load that found it already loaded counts too).
int LoadCount(const std::string& name);
void ResetLoadCounts();
// References currently held on `name` (0 when it is not loaded).
int RefCount(const std::string& name);
// Told the module's registered name whenever a module is unloaded (its last reference
// dropped). An empty hook turns this off.
void SetUnloadHook(std::function<void(const std::string& name)> hook);

}  // namespace kernel
