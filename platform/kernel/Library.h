#pragma once
// Run-time loading of libraries. The libraries are modules built into the program, registered
// by name with their entry points (the DirectX stand-ins "DDraw.dll", "DInput.dll", "DSound.dll"
// and "D3DRM.dll" by builtins::InstallLibraries at start-up); names compare without regard to
// case, as on the original platform.
#include <string>
#include <utility>
#include <vector>

#include "platform/base/Types.h"

namespace kernel {

using win::BOOL;
using win::HMODULE;
using FARPROC = void (*)();

struct Export {
  std::string Name;
  FARPROC Proc;
};

// Makes a module loadable under `name`. Registering a name again replaces its exports.
void RegisterModule(const std::string& name, std::vector<Export> exports);

// Null when the module is unknown or hidden. Each load takes a reference.
HMODULE LoadLibraryA(const char* name);
// The handle of a loaded module without taking a reference; null gives the program's own.
HMODULE GetModuleHandleA(const char* name);
// Null for an unknown entry.
FARPROC GetProcAddress(HMODULE module, const char* name);
// Drops a reference; the module is unloaded with the last.
BOOL FreeLibrary(HMODULE module);

template <class F>
F ProcAs(FARPROC p) {
  return reinterpret_cast<F>(p);
}

}  // namespace kernel
