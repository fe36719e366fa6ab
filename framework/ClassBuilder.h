#pragma once
// Declaring a class's published properties, handlers and form members:
//
//   FW_REGISTER(TButton, [](fw::TClassBuilder<TButton>& b) {
//     b.Integer("Left", &TButton::Left, &TButton::SetLeft).WithDefault(0);
//     b.Event("OnClick", &TButton::OnClick);
//   })
//
// Getters are anything invocable on a const T& (a const member function or a data member);
// setters anything invocable on (T&, value), or a data member, which is assigned.
#include <functional>
#include <type_traits>

#include "framework/Classes.h"
#include "framework/Colors.h"

namespace fw {

namespace detail {

template <class V>
std::int64_t ToOrd(const V& v) {
  if constexpr (IsSet<V>::value)
    return static_cast<std::int64_t>(v.Mask());
  else
    return static_cast<std::int64_t>(v);
}

template <class V>
V FromOrd(std::int64_t o) {
  if constexpr (IsSet<V>::value)
    return V::FromMask(static_cast<std::uint64_t>(o));
  else if constexpr (std::is_same_v<V, bool>)
    return o != 0;
  else
    return static_cast<V>(o);
}

template <class T, class S, class V>
void CallSetter(const S& s, T& obj, V&& v) {
  if constexpr (std::is_member_object_pointer_v<S>)
    obj.*s = std::forward<V>(v);
  else
    std::invoke(s, obj, std::forward<V>(v));
}

template <class T, class G>
using GetResult = std::remove_cvref_t<std::invoke_result_t<const G&, const T&>>;

template <class T>
concept HasStaticClass = requires { T::StaticClass(); };

template <class M>
struct MethodTraits;
template <class C, class R, class... A>
struct MethodTraits<R (C::*)(A...)> {
  using Class = C;
  using Signature = R(A...);
};

}  // namespace detail

template <class T>
class TClassBuilder {
 public:
  explicit TClassBuilder(TClassInfo& info) : info_(info) {}
  TClassInfo& Info() { return info_; }

  // Integers (any integral type; Int64 when wider than 32 bits) and booleans.
  template <class G, class S>
  TPropInfo& Integer(std::string name, G get, S set) {
    using V = detail::GetResult<T, G>;
    return Ordinal(std::move(name), sizeof(V) > 4 ? TPropKind::Int64 : TPropKind::Integer, get, set);
  }
  template <class G, class S>
  TPropInfo& Boolean(std::string name, G get, S set) {
    return Ordinal(std::move(name), TPropKind::Boolean, get, set);
  }
  // Enumerations, stored as the identifier of the member.
  template <class G, class S>
  TPropInfo& Enum(std::string name, std::vector<std::string> idents, G get, S set) {
    TPropInfo& p = Ordinal(std::move(name), TPropKind::Enumeration, get, set);
    p.Idents = std::move(idents);
    return p;
  }
  // Sets of enumeration members, stored as a list of element identifiers.
  template <class G, class S>
  TPropInfo& Set(std::string name, std::vector<std::string> idents, G get, S set) {
    TPropInfo& p = Ordinal(std::move(name), TPropKind::Set, get, set);
    p.Idents = std::move(idents);
    return p;
  }
  // Colours: integers stored as "clSilver" where the colour has a name.
  template <class G, class S>
  TPropInfo& Color(std::string name, G get, S set) {
    TPropInfo& p = Ordinal(std::move(name), TPropKind::Integer, get, set);
    p.IntToIdent = [](std::int64_t v, std::string& ident) {
      auto n = ColorToIdent(static_cast<TColor>(v));
      if (n) ident = *n;
      return n.has_value();
    };
    p.IdentToInt = [](const std::string& ident, std::int64_t& v) {
      auto c = IdentToColor(ident);
      if (c) v = *c;
      return c.has_value();
    };
    return p;
  }
  template <class G, class S>
  TPropInfo& Float(std::string name, G get, S set) {
    TPropInfo& p = Add(std::move(name), TPropKind::Float);
    p.GetFloat = [get](const TPersistent& o) {
      return static_cast<long double>(std::invoke(get, static_cast<const T&>(o)));
    };
    p.SetFloat = [set](TPersistent& o, long double v) {
      using V = detail::GetResult<T, G>;
      detail::CallSetter(set, static_cast<T&>(o), static_cast<V>(v));
    };
    return p;
  }
  template <class G, class S>
  TPropInfo& String(std::string name, G get, S set) {
    TPropInfo& p = Add(std::move(name), TPropKind::String);
    p.GetStr = [get](const TPersistent& o) { return std::string(std::invoke(get, static_cast<const T&>(o))); };
    p.SetStr = [set](TPersistent& o, const std::string& v) { detail::CallSetter(set, static_cast<T&>(o), v); };
    return p;
  }
  // An owned sub-object (Font, Display, Items): its properties are stored under "Name.".
  template <class G>
  TPropInfo& Object(std::string name, G get) {
    TPropInfo& p = Add(std::move(name), TPropKind::Object);
    p.GetObj = [get](const TPersistent& o) -> TPersistent* {
      return std::invoke(get, static_cast<const T&>(o));
    };
    using V = std::remove_pointer_t<detail::GetResult<T, G>>;
    if constexpr (detail::HasStaticClass<V>) p.ObjClass = [] { return &V::StaticClass(); };
    return p;
  }
  // A reference to another component, stored by its name.
  template <class G, class S>
  TPropInfo& Component(std::string name, G get, S set) {
    using V = std::remove_pointer_t<detail::GetResult<T, G>>;
    TPropInfo& p = Add(std::move(name), TPropKind::Component);
    p.GetObj = [get](const TPersistent& o) -> TPersistent* {
      return std::invoke(get, static_cast<const T&>(o));
    };
    p.SetObj = [set](TPersistent& o, TPersistent* v) {
      V* c = dynamic_cast<V*>(v);
      if (v && !c) return false;
      detail::CallSetter(set, static_cast<T&>(o), c);
      return true;
    };
    p.ObjClass = [] { return &V::StaticClass(); };
    return p;
  }
  // An event member (TEvent<Sig>); stored as the name of the owner's handler.
  template <class Sig>
  TPropInfo& Event(std::string name, TEvent<Sig> T::*member) {
    TPropInfo& p = Add(std::move(name), TPropKind::Event);
    p.GetMethodName = [member](const TPersistent& o) { return (static_cast<const T&>(o).*member).MethodName(); };
    p.SetMethod = [member](TPersistent& o, TObject* instance, const TMethodEntry& m) {
      if (m.Signature != std::type_index(typeid(Sig))) return false;
      auto f = std::any_cast<std::function<Sig>>(m.Bind(instance));
      (static_cast<T&>(o).*member).Bind(std::move(f), m.Name);
      return true;
    };
    p.ClearMethod = [member](TPersistent& o) { (static_cast<T&>(o).*member).Clear(); };
    return p;
  }
  // A handler that stored forms bind events to by name.
  template <class M>
  void Method(std::string name, M method) {
    using Sig = typename detail::MethodTraits<M>::Signature;
    TMethodEntry e;
    e.Name = std::move(name);
    e.Signature = typeid(Sig);
    e.Bind = [method](TObject* instance) -> std::any {
      T* self = dynamic_cast<T*>(instance);
      return std::function<Sig>(BindMethod<Sig>(self, method));
    };
    info_.Methods.push_back(std::move(e));
  }
  // A member the loader points at the component of the same name.
  template <class C>
  void Field(std::string name, C* T::*member) {
    TFieldEntry e;
    e.Name = std::move(name);
    e.Class = [] { return &C::StaticClass(); };
    C::StaticClass();  // makes the member's class known to the reader
    e.Set = [member](TObject* instance, TComponent* component) {
      T* self = dynamic_cast<T*>(instance);
      C* c = dynamic_cast<C*>(component);
      if (!self || (component && !c)) return false;
      self->*member = c;
      return true;
    };
    info_.Fields.push_back(std::move(e));
  }

  static const TClassInfo& Build(const char* name, const TClassInfo* parent,
                                 void (*declare)(TClassBuilder<T>&)) {
    auto* info = new TClassInfo;  // class information lives as long as the program
    info->Name = name;
    info->Parent = parent;
    if constexpr (std::is_base_of_v<TComponent, T> && std::is_constructible_v<T, TComponent*> &&
                  !std::is_abstract_v<T>)
      info->CreateComponent = [](TComponent* owner) -> TComponent* { return new T(owner); };
    if constexpr (std::is_base_of_v<TCollectionItem, T> && std::is_constructible_v<T, TCollection*> &&
                  !std::is_abstract_v<T>)
      info->CreateItem = [](TCollection* c) -> TCollectionItem* { return new T(c); };
    TClassBuilder<T> b(*info);
    if (declare) declare(b);
    RegisterClass(*info);
    return *info;
  }

 private:
  template <class Sig, class M>
  static auto BindMethod(T* self, M method) {
    return [self, method](auto&&... a) { return (self->*method)(std::forward<decltype(a)>(a)...); };
  }

  TPropInfo& Add(std::string name, TPropKind kind) {
    info_.Props.emplace_back();
    TPropInfo& p = info_.Props.back();
    p.Name = std::move(name);
    p.Kind = kind;
    return p;
  }
  template <class G, class S>
  TPropInfo& Ordinal(std::string name, TPropKind kind, G get, S set) {
    using V = detail::GetResult<T, G>;
    TPropInfo& p = Add(std::move(name), kind);
    p.GetOrd = [get](const TPersistent& o) { return detail::ToOrd(std::invoke(get, static_cast<const T&>(o))); };
    p.SetOrd = [set](TPersistent& o, std::int64_t v) {
      detail::CallSetter(set, static_cast<T&>(o), detail::FromOrd<V>(v));
    };
    return p;
  }

  TClassInfo& info_;
};

}  // namespace fw

// Defines T::StaticClass() and makes the class known to the reader by name. `declare` is a
// function or capture-less lambda taking fw::TClassBuilder<T>&, or nullptr for a class without
// published properties.
#define FW_REGISTER(T, declare)                                                              \
  const ::fw::TClassInfo& T::StaticClass() {                                                 \
    static const ::fw::TClassInfo& info = ::fw::TClassBuilder<T>::Build(                     \
        #T, &T::inherited::StaticClass(), static_cast<void (*)(::fw::TClassBuilder<T>&)>(declare)); \
    return info;                                                                             \
  }                                                                                          \
  namespace {                                                                                \
  [[maybe_unused]] const bool fw_class_getter_##T = ::fw::RegisterClassGetter(#T, &T::StaticClass); \
  }
