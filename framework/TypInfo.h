#pragma once
// Run-time class information: the root object, the class registry, published properties,
// events bound by name and the handler and field tables of forms.
#include <any>
#include <cstdint>
#include <functional>
#include <string>
#include <typeindex>
#include <vector>

namespace fw {

class TClassInfo;
class TPersistent;
class TComponent;
class TCollection;
class TCollectionItem;

// Root of every framework object. Objects are not copied; Assign copies their content.
class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  static const TClassInfo& StaticClass();
  virtual const TClassInfo& ClassType() const { return StaticClass(); }
  const std::string& ClassName() const;
  bool InheritsFrom(const TClassInfo& cls) const;
};

// An event: a handler plus, when it was bound from a stored form, the handler's name.
template <class Sig>
class TEvent;
template <class R, class... A>
class TEvent<R(A...)> {
 public:
  using Signature = R(A...);
  using Function = std::function<R(A...)>;
  TEvent() = default;
  TEvent(Function f) : fn_(std::move(f)) {}  // NOLINT: handlers are assigned like values
  TEvent& operator=(Function f) {
    fn_ = std::move(f);
    name_.clear();
    return *this;
  }
  void Bind(Function f, std::string name) {
    fn_ = std::move(f);
    name_ = std::move(name);
  }
  void Clear() {
    fn_ = nullptr;
    name_.clear();
  }
  explicit operator bool() const { return static_cast<bool>(fn_); }
  R operator()(A... a) const { return fn_(std::forward<A>(a)...); }
  const std::string& MethodName() const { return name_; }

 private:
  Function fn_;
  std::string name_;
};

using TNotifyEvent = TEvent<void(TObject* Sender)>;

enum class TPropKind { Integer, Int64, Boolean, Float, String, Enumeration, Set, Object, Component, Event };

// A handler of a class, found by name when a stored form binds `OnClick = Button1Click`.
struct TMethodEntry {
  std::string Name;
  std::type_index Signature = typeid(void);
  // Returns a std::function<Signature> calling the handler on the given instance.
  std::function<std::any(TObject* instance)> Bind;
};

// A member of a form that the loader sets to the component of the same name.
struct TFieldEntry {
  std::string Name;
  const TClassInfo* (*Class)() = nullptr;
  // False when the component is not of the member's class.
  std::function<bool(TObject* instance, TComponent* component)> Set;
};

// One published property. Only the accessors of its kind are set.
struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::Integer;
  // Names of an enumeration's members, or of a set's elements, by ordinal.
  std::vector<std::string> Idents;
  // Integers shown as names where they have one (colours: "clSilver").
  std::function<bool(std::int64_t, std::string&)> IntToIdent;
  std::function<bool(const std::string&, std::int64_t&)> IdentToInt;
  // An ordinal equal to the default is not written.
  bool HasDefault = false;
  std::int64_t Default = 0;
  // Null means always stored.
  std::function<bool(const TPersistent&)> IsStored;

  std::function<std::int64_t(const TPersistent&)> GetOrd;  // Integer, Int64, Boolean, Enumeration, Set (mask)
  std::function<void(TPersistent&, std::int64_t)> SetOrd;
  std::function<long double(const TPersistent&)> GetFloat;
  std::function<void(TPersistent&, long double)> SetFloat;
  std::function<std::string(const TPersistent&)> GetStr;
  std::function<void(TPersistent&, const std::string&)> SetStr;
  // Object: an owned sub-object or collection, read and written in place through GetObj.
  // Component: a reference to another component, stored by name.
  std::function<TPersistent*(const TPersistent&)> GetObj;
  std::function<bool(TPersistent&, TPersistent*)> SetObj;  // false: wrong class
  const TClassInfo* (*ObjClass)() = nullptr;
  // Event: the bound handler's name ("" when none), and binding a handler of `instance`.
  std::function<std::string(const TPersistent&)> GetMethodName;
  std::function<bool(TPersistent&, TObject* instance, const TMethodEntry&)> SetMethod;
  std::function<void(TPersistent&)> ClearMethod;

  TPropInfo& WithDefault(std::int64_t v) {
    HasDefault = true;
    Default = v;
    return *this;
  }
  TPropInfo& StoredIf(std::function<bool(const TPersistent&)> f) {
    IsStored = std::move(f);
    return *this;
  }
};

class TClassInfo {
 public:
  std::string Name;
  const TClassInfo* Parent = nullptr;
  std::vector<TPropInfo> Props;  // this class's own, in declaration order
  std::vector<TMethodEntry> Methods;
  std::vector<TFieldEntry> Fields;
  // Set for classes the reader can create: components from their owner, items from their
  // collection.
  std::function<TComponent*(TComponent* owner)> CreateComponent;
  std::function<TCollectionItem*(TCollection* collection)> CreateItem;

  bool InheritsFrom(const TClassInfo& other) const;
  // Searches this class and its ancestors; property names compare without regard to case.
  const TPropInfo* FindProp(const std::string& name) const;
  const TMethodEntry* FindMethod(const std::string& name) const;
  const TFieldEntry* FindField(const std::string& name) const;
  // Every property, the ancestors' first.
  std::vector<const TPropInfo*> AllProps() const;
};

// The class registry: classes the reader may create by name.
void RegisterClass(const TClassInfo& cls);
// Makes a class known by name before anything has asked for its class information: the first
// look-up by name builds it. FW_REGISTER does this for every class at start-up, so that a stored
// form may name any class linked into the program. Returns true.
bool RegisterClassGetter(const char* name, const TClassInfo& (*getter)());
const TClassInfo* GetClass(const std::string& name);
// Raises EClassNotFound ("Class %s not found").
const TClassInfo& FindClass(const std::string& name);

}  // namespace fw
