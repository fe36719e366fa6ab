#include "framework/TypInfo.h"

#include <map>

#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace fw {

namespace {

// Keyed by the name in capitals: class names compare without regard to case.
std::map<std::string, const TClassInfo*>& Registry() {
  static std::map<std::string, const TClassInfo*> registry;
  return registry;
}

using ClassGetter = const TClassInfo& (*)();

std::map<std::string, ClassGetter>& Getters() {
  static std::map<std::string, ClassGetter> getters;
  return getters;
}

}  // namespace

const TClassInfo& TObject::StaticClass() {
  static const TClassInfo& info = [] () -> const TClassInfo& {
    auto* i = new TClassInfo;
    i->Name = "TObject";
    RegisterClass(*i);
    return *i;
  }();
  return info;
}

const std::string& TObject::ClassName() const { return ClassType().Name; }

bool TObject::InheritsFrom(const TClassInfo& cls) const { return ClassType().InheritsFrom(cls); }

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    if (c == &other) return true;
  return false;
}

const TPropInfo* TClassInfo::FindProp(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TPropInfo& p : c->Props)
      if (AnsiSameText(p.Name, name)) return &p;
  return nullptr;
}

const TMethodEntry* TClassInfo::FindMethod(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TMethodEntry& m : c->Methods)
      if (AnsiSameText(m.Name, name)) return &m;
  return nullptr;
}

const TFieldEntry* TClassInfo::FindField(const std::string& name) const {
  for (const TClassInfo* c = this; c; c = c->Parent)
    for (const TFieldEntry& f : c->Fields)
      if (AnsiSameText(f.Name, name)) return &f;
  return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProps() const {
  std::vector<const TClassInfo*> chain;
  for (const TClassInfo* c = this; c; c = c->Parent) chain.push_back(c);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->Props) out.push_back(&p);
  return out;
}

void RegisterClass(const TClassInfo& cls) { Registry()[AnsiUpperCase(cls.Name)] = &cls; }

bool RegisterClassGetter(const char* name, const TClassInfo& (*getter)()) {
  // Only the name and a function are kept: building the class information now could touch
  // other units' data before it is initialised.
  Getters().emplace(AnsiUpperCase(name), getter);
  return true;
}

const TClassInfo* GetClass(const std::string& name) {
  const std::string key = AnsiUpperCase(name);
  if (auto it = Registry().find(key); it != Registry().end()) return it->second;
  if (auto it = Getters().find(key); it != Getters().end()) {
    const TClassInfo& info = it->second();
    return AnsiSameText(info.Name, name) ? &info : nullptr;
  }
  return nullptr;
}

const TClassInfo& FindClass(const std::string& name) {
  if (const TClassInfo* c = GetClass(name)) return *c;
  throw EClassNotFound(Format(msg::ClassNotFound, name));
}

}  // namespace fw
