#include "platform/kernel/Library.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <string_view>

#include "platform/kernel/LibraryTesting.h"

namespace kernel {

namespace {

struct Module {
  std::string name;  // as registered
  std::vector<Export> exports;
  bool hidden = false;
  int refs = 0;
  int loads = 0;
};

struct Registry {
  std::mutex mutex;
  std::vector<std::unique_ptr<Module>> modules;  // never shrinks: handles stay valid
  std::function<void(const std::string&)> unload_hook;
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
  for (auto& m : r.modules)
    if (SameName(m->name, file)) return m.get();
  return nullptr;
}

Module* FindByHandle(Registry& r, HMODULE h) {
  if (!h) return nullptr;
  for (auto& m : r.modules)
    if (reinterpret_cast<HMODULE>(m.get()) == h) return m.get();
  return nullptr;
}

}  // namespace

void RegisterModule(const std::string& name, std::vector<Export> exports) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  Module* m = FindByName(r, name);
  if (!m) {
    r.modules.push_back(std::make_unique<Module>());
    m = r.modules.back().get();
    m->name = FileName(name);
  }
  m->exports = std::move(exports);
}

void SetModuleHidden(const std::string& name, bool hidden) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  if (Module* m = FindByName(r, name)) m->hidden = hidden;
}

int LoadCount(const std::string& name) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  const Module* m = FindByName(r, name);
  return m ? m->loads : 0;
}

void ResetLoadCounts() {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  for (auto& m : r.modules) m->loads = 0;
}

int RefCount(const std::string& name) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  const Module* m = FindByName(r, name);
  return m ? m->refs : 0;
}

void SetUnloadHook(std::function<void(const std::string& name)> hook) {
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  r.unload_hook = std::move(hook);
}

HMODULE LoadLibraryA(const char* name) {
  if (!name || !*name) return nullptr;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  Module* m = FindByName(r, name);
  if (!m || m->hidden) return nullptr;
  ++m->refs;
  ++m->loads;
  return reinterpret_cast<HMODULE>(m);
}

HMODULE GetModuleHandleA(const char* name) {
  static char program;  // the program itself: any distinct address will do
  if (!name) return reinterpret_cast<HMODULE>(&program);
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  Module* m = FindByName(r, name);
  return m && m->refs > 0 ? reinterpret_cast<HMODULE>(m) : nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!name) return nullptr;
  Registry& r = Reg();
  std::lock_guard lock(r.mutex);
  const Module* m = FindByHandle(r, module);
  if (!m || m->refs == 0) return nullptr;
  for (const Export& e : m->exports)
    if (e.Name == name) return e.Proc;  // entry names are case-sensitive
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  Registry& r = Reg();
  std::function<void(const std::string&)> hook;
  std::string unloaded;
  {
    std::lock_guard lock(r.mutex);
    Module* m = FindByHandle(r, module);
    if (!m || m->refs == 0) return win::FALSE;
    if (--m->refs == 0) {
      hook = r.unload_hook;
      unloaded = m->name;
    }
  }
  if (hook) hook(unloaded);
  return win::TRUE;
}

}  // namespace kernel
