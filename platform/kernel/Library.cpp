#include "platform/kernel/Library.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/kernel/LibraryTesting.h"

namespace kernel {

namespace {

struct Module {
  std::string Name;  // as registered
  std::vector<Export> Exports;
  bool Hidden = false;
  int Refs = 0;
  int Loads = 0;
};

struct Registry {
  std::mutex Mutex;
  std::vector<std::unique_ptr<Module>> Modules;  // never shrinks: handles stay valid
  std::function<void(const std::string&)> UnloadHook;
};

// Libraries are freed from the destructors of other process-wide objects at program end, so the
// registry must outlive every one of them: it is made on first use and never destroyed.
Registry& Reg() {
  static Registry& r = *new Registry;
  return r;
}

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return FoldChar(x) == FoldChar(y); });
}

// The file part of a library name; a name without an extension means the ".dll" of that name.
std::string FileName(std::string_view name) {
  const auto slash = name.find_last_of("\\/");
  if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
  std::string file(name);
  if (file.find('.') == std::string::npos) file += ".dll";
  return file;
}

Module* FindByName(Registry& r, std::string_view name) {
  const std::string file = FileName(name);
  for (auto& m : r.Modules)
    if (SameName(m->Name, file)) return m.get();
  return nullptr;
}

Module* FindByHandle(Registry& r, HMODULE h) {
  if (!h) return nullptr;
  for (auto& m : r.Modules)
    if (reinterpret_cast<HMODULE>(m.get()) == h) return m.get();
  return nullptr;
}

}  // namespace

void RegisterModule(const std::string& name, std::vector<Export> exports) {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  Module* m = FindByName(r, name);
  if (!m) {
    r.Modules.push_back(std::make_unique<Module>());
    m = r.Modules.back().get();
    m->Name = FileName(name);
  }
  m->Exports = std::move(exports);
}

void SetModuleHidden(const std::string& name, bool hidden) {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  if (Module* m = FindByName(r, name)) m->Hidden = hidden;
}

int LoadCount(const std::string& name) {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  const Module* m = FindByName(r, name);
  return m ? m->Loads : 0;
}

void ResetLoadCounts() {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  for (auto& m : r.Modules) m->Loads = 0;
}

int RefCount(const std::string& name) {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  const Module* m = FindByName(r, name);
  return m ? m->Refs : 0;
}

void SetUnloadHook(std::function<void(const std::string& name)> hook) {
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  r.UnloadHook = std::move(hook);
}

HMODULE LoadLibraryA(const char* name) {
  if (!name || !*name) return nullptr;
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  Module* m = FindByName(r, name);
  if (!m || m->Hidden) return nullptr;
  ++m->Refs;
  ++m->Loads;
  return reinterpret_cast<HMODULE>(m);
}

HMODULE GetModuleHandleA(const char* name) {
  static char program;  // the program itself: any distinct address will do
  if (!name) return reinterpret_cast<HMODULE>(&program);
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  Module* m = FindByName(r, name);
  return m && m->Refs > 0 ? reinterpret_cast<HMODULE>(m) : nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!name) return nullptr;
  Registry& r = Reg();
  std::lock_guard lock(r.Mutex);
  const Module* m = FindByHandle(r, module);
  if (!m || m->Refs == 0) return nullptr;
  for (const Export& e : m->Exports)
    if (e.Name == name) return e.Proc;  // entry names are case-sensitive
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  Registry& r = Reg();
  std::function<void(const std::string&)> hook;
  std::string unloaded;
  {
    std::lock_guard lock(r.Mutex);
    Module* m = FindByHandle(r, module);
    if (!m || m->Refs == 0) return win::FALSE;
    if (--m->Refs == 0) {
      hook = r.UnloadHook;
      unloaded = m->Name;
    }
  }
  if (hook) hook(unloaded);
  return win::TRUE;
}

}  // namespace kernel
