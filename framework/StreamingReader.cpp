// Reading the binary object stream: values, properties, objects and the root loader.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

namespace fw {

FW_REGISTER(TReader, nullptr)

namespace {

[[noreturn]] void InvalidValue() { throw EReadError(msg::InvalidPropertyValue); }

// 80-bit x87 extended: sign and 15-bit exponent (bias 16383) in the top two bytes, a 64-bit
// mantissa with an explicit integer bit below.
long double DecodeExtended(const std::uint8_t (&b)[10]) {
  std::uint64_t mantissa = 0;
  for (int i = 7; i >= 0; --i) mantissa = (mantissa << 8) | b[i];
  const unsigned se = static_cast<unsigned>(b[8]) | (static_cast<unsigned>(b[9]) << 8);
  const bool negative = (se & 0x8000) != 0;
  const int exponent = static_cast<int>(se & 0x7FFF);
  long double v;
  if (exponent == 0x7FFF) {
    v = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                             : std::numeric_limits<long double>::quiet_NaN();
  } else if (exponent == 0) {
    v = std::ldexp(static_cast<long double>(mantissa), -16382 - 63);
  } else {
    v = std::ldexp(static_cast<long double>(mantissa), exponent - 16383 - 63);
  }
  return negative ? -v : v;
}

bool IsIntegerTag(TValueType t) { return t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64; }

}  // namespace

class TReader::DepthGuard {
 public:
  explicit DepthGuard(TReader& r) : r_(r) {
    if (r_.depth_ >= kMaxStreamNesting) throw EReadError(msg::NestingTooDeep);
    ++r_.depth_;
  }
  ~DepthGuard() { --r_.depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  TReader& r_;
};

TReader::TReader(TStream& Stream) : stream_(&Stream) {}
TReader::~TReader() = default;

// ---------------------------------------------------------------------------------------------
// Values

std::uint8_t TReader::ReadByte() {
  std::uint8_t b = 0;
  stream_->ReadBuffer(&b, 1);
  return b;
}

std::int64_t TReader::Remaining() {
  const std::int64_t left = stream_->Size() - stream_->Position();
  return left > 0 ? left : 0;
}

void TReader::CheckLength(std::int64_t Length) {
  // An absurd length is refused before anything is allocated for it.
  if (Length < 0 || Length > Remaining()) throw EReadError(msg::ReadError);
}

TValueType TReader::ReadValue() {
  const std::uint8_t b = ReadByte();
  if (b > static_cast<std::uint8_t>(vaUTF8String)) InvalidValue();
  return static_cast<TValueType>(b);
}

TValueType TReader::NextValue() {
  const TValueType v = ReadValue();
  stream_->Seek(-1, soCurrent);
  return v;
}

bool TReader::EndOfList() {
  // Looks at the raw byte: a child object may begin with its prefix byte, which is no value tag.
  const std::uint8_t b = ReadByte();
  stream_->Seek(-1, soCurrent);
  return b == 0;
}

void TReader::ReadListBegin() {
  if (ReadValue() != vaList) InvalidValue();
}

void TReader::ReadListEnd() {
  if (ReadValue() != vaNull) InvalidValue();
}

std::int64_t TReader::ReadOrdinalValue() {
  switch (ReadValue()) {
    case vaInt8: return stream_->ReadValue<std::int8_t>();
    case vaInt16: {
      std::uint8_t b[2];
      stream_->ReadBuffer(b, 2);
      return static_cast<std::int16_t>(b[0] | (b[1] << 8));
    }
    case vaInt32: {
      std::uint8_t b[4];
      stream_->ReadBuffer(b, 4);
      return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
                                       (static_cast<std::uint32_t>(b[2]) << 16) |
                                       (static_cast<std::uint32_t>(b[3]) << 24));
    }
    case vaInt64: {
      std::uint8_t b[8];
      stream_->ReadBuffer(b, 8);
      std::uint64_t u = 0;
      for (int i = 7; i >= 0; --i) u = (u << 8) | b[i];
      return static_cast<std::int64_t>(u);
    }
    default: InvalidValue();
  }
}

std::int32_t TReader::ReadInteger() {
  const std::int64_t v = ReadOrdinalValue();
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    InvalidValue();
  return static_cast<std::int32_t>(v);
}

std::int64_t TReader::ReadInt64() { return ReadOrdinalValue(); }

bool TReader::ReadBoolean() {
  switch (ReadValue()) {
    case vaTrue: return true;
    case vaFalse: return false;
    default: InvalidValue();
  }
}

std::string TReader::ReadLengthString(std::uint32_t Length) {
  CheckLength(Length);
  std::string s(Length, '\0');
  stream_->ReadBuffer(s.data(), Length);
  return s;
}

std::string TReader::ReadStr() { return ReadLengthString(ReadByte()); }

std::string TReader::ReadString() {
  switch (ReadValue()) {
    case vaString: return Cp1251ToUtf8(ReadStr());
    case vaLString: return Cp1251ToUtf8(ReadLengthString(stream_->ReadValue<std::uint32_t>()));
    case vaUTF8String: return ReadLengthString(stream_->ReadValue<std::uint32_t>());
    case vaWString: {
      const std::uint32_t count = stream_->ReadValue<std::uint32_t>();
      CheckLength(std::int64_t{count} * 2);
      std::vector<std::uint8_t> raw(std::size_t{count} * 2);
      stream_->ReadBuffer(raw.data(), static_cast<std::int64_t>(raw.size()));
      std::string out;
      out.reserve(count);
      for (std::size_t i = 0; i < count; ++i) {
        char32_t u = raw[2 * i] | (raw[2 * i + 1] << 8);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < count) {
          const char32_t lo = raw[2 * i + 2] | (raw[2 * i + 3] << 8);
          if (lo >= 0xDC00 && lo < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
            ++i;
          }
        }
        if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
        AppendUtf8(out, u);
      }
      return out;
    }
    default: InvalidValue();
  }
}

std::string TReader::ReadIdent() {
  switch (ReadValue()) {
    case vaIdent: return ReadStr();
    case vaFalse: return "False";
    case vaTrue: return "True";
    case vaNil: return "nil";
    case vaNull: return "Null";
    default: InvalidValue();
  }
}

long double TReader::ReadFloat() {
  // Infinities, NaNs and denormals have no place in a stored property (nor a text form, which
  // could not read them back).
  const long double v = ReadFloatValue();
  if (!std::isfinite(v) || (v != 0 && !std::isnormal(v))) InvalidValue();
  return v;
}

long double TReader::ReadFloatValue() {
  switch (NextValue()) {
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64: return static_cast<long double>(ReadInt64());
    default: break;
  }
  switch (ReadValue()) {
    case vaExtended: {
      std::uint8_t b[10];
      stream_->ReadBuffer(b, 10);
      return DecodeExtended(b);
    }
    case vaSingle: return stream_->ReadValue<float>();
    case vaDate: return stream_->ReadValue<double>();
    case vaCurrency: return static_cast<long double>(stream_->ReadValue<std::int64_t>()) / 10000;
    default: InvalidValue();
  }
}

std::vector<std::uint8_t> TReader::ReadBinary() {
  if (ReadValue() != vaBinary) InvalidValue();
  const std::uint32_t n = stream_->ReadValue<std::uint32_t>();
  CheckLength(n);
  std::vector<std::uint8_t> bytes(n);
  stream_->ReadBuffer(bytes.data(), n);
  return bytes;
}

std::vector<std::string> TReader::ReadSet() {
  if (ReadValue() != vaSet) InvalidValue();
  std::vector<std::string> out;
  for (;;) {
    std::string s = ReadStr();
    if (s.empty()) break;
    out.push_back(std::move(s));
  }
  return out;
}

void TReader::ReadCollection(TCollection& Collection) {
  if (ReadValue() != vaCollection) InvalidValue();
  DepthGuard guard(*this);
  // References waiting in the items that go now would point at freed items.
  std::erase_if(fixups_, [&](const Fixup& f) {
    return std::find(f.Chain.begin(), f.Chain.end(), &Collection) != f.Chain.end();
  });
  collections_.push_back(&Collection);
  Collection.BeginUpdate();
  try {
    Collection.Clear();
    while (!EndOfList()) {
      if (IsIntegerTag(NextValue())) ReadInteger();  // an item's stored index: order is enough
      ReadListBegin();
      TCollectionItem* item = Collection.Add();
      while (!EndOfList()) ReadProperty(*item);
      ReadListEnd();
    }
    ReadListEnd();
  } catch (...) {
    collections_.pop_back();
    Collection.EndUpdate();
    throw;
  }
  collections_.pop_back();
  Collection.EndUpdate();
}

void TReader::SkipValue() {
  auto skip = [this](std::int64_t n) {
    CheckLength(n);
    stream_->Seek(n, soCurrent);
  };
  switch (ReadValue()) {
    case vaNull:
    case vaFalse:
    case vaTrue:
    case vaNil: break;
    case vaList: {
      DepthGuard guard(*this);
      while (!EndOfList()) SkipValue();
      ReadListEnd();
      break;
    }
    case vaInt8: skip(1); break;
    case vaInt16: skip(2); break;
    case vaInt32:
    case vaSingle: skip(4); break;
    case vaInt64:
    case vaCurrency:
    case vaDate: skip(8); break;
    case vaExtended: skip(10); break;
    case vaString:
    case vaIdent: skip(ReadByte()); break;
    case vaBinary:
    case vaLString:
    case vaUTF8String: skip(stream_->ReadValue<std::uint32_t>()); break;
    case vaWString: skip(std::int64_t{stream_->ReadValue<std::uint32_t>()} * 2); break;
    case vaSet:
      while (!ReadStr().empty()) {
      }
      break;
    case vaCollection: {
      DepthGuard guard(*this);
      while (!EndOfList()) {
        if (IsIntegerTag(NextValue())) SkipValue();
        ReadListBegin();
        while (!EndOfList()) {
          ReadStr();
          SkipValue();
        }
        ReadListEnd();
      }
      ReadListEnd();
      break;
    }
  }
}

void TReader::ReadSignature() {
  char sig[4];
  stream_->ReadBuffer(sig, 4);
  if (std::memcmp(sig, "TPF0", 4) != 0) throw EReadError(msg::InvalidImage);
}

std::uint8_t TReader::ReadPrefix(std::int32_t& ChildPos) {
  const std::uint8_t b = ReadByte();
  if ((b & 0xF0) != 0xF0) {
    stream_->Seek(-1, soCurrent);
    return 0;
  }
  const std::uint8_t flags = b & 0x0F;
  if (flags & ffChildPos) ChildPos = ReadInteger();
  return flags;
}

// ---------------------------------------------------------------------------------------------
// Properties

void TReader::ReadProperty(TPersistent& Instance) {
  const std::string name = ReadStr();
  if (name.empty()) InvalidValue();
  auto unknown = [&]() -> EReadError { return EReadError(Format(msg::UnknownProperty, name)); };

  // "Font.Height": walk to the owned sub-object, then look the last part up there.
  TPersistent* obj = &Instance;
  std::size_t start = 0;
  for (std::size_t dot; (dot = name.find('.', start)) != std::string::npos; start = dot + 1) {
    const TPropInfo* p = obj->ClassType().FindProp(name.substr(start, dot - start));
    if (!p || p->Kind != TPropKind::Object || !p->GetObj) throw unknown();
    TPersistent* sub = p->GetObj(*obj);
    if (!sub) throw unknown();
    obj = sub;
  }
  const std::string last = name.substr(start);
  if (const TPropInfo* p = obj->ClassType().FindProp(last)) {
    ReadPropValue(*obj, *p, name);
    return;
  }

  // Not published: one of the properties the object defines itself.
  const std::string* saved_name = pending_name_;
  const bool saved_found = pending_found_;
  pending_name_ = &last;
  pending_found_ = false;
  try {
    obj->DefineProperties(*this);
  } catch (...) {
    pending_name_ = saved_name;
    pending_found_ = saved_found;
    throw;
  }
  const bool found = pending_found_;
  pending_name_ = saved_name;
  pending_found_ = saved_found;
  if (!found) throw unknown();
}

void TReader::DefineProperty(const std::string& Name, ReaderProc ReadData, WriterProc, bool) {
  if (!pending_name_ || !AnsiSameText(Name, *pending_name_)) return;
  pending_name_ = nullptr;
  pending_found_ = true;
  if (ReadData)
    ReadData(*this);
  else
    SkipValue();
}

void TReader::DefineBinaryProperty(const std::string& Name, StreamProc ReadData, StreamProc, bool) {
  if (!pending_name_ || !AnsiSameText(Name, *pending_name_)) return;
  pending_name_ = nullptr;
  pending_found_ = true;
  const std::vector<std::uint8_t> bytes = ReadBinary();
  TBytesStream data(bytes.data(), bytes.size());
  if (ReadData) ReadData(data);
}

void TReader::ReadPropValue(TPersistent& Instance, const TPropInfo& Prop, const std::string& FullName) {
  switch (Prop.Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64: {
      if (!Prop.SetOrd) throw EReadError(Format(msg::UnknownProperty, FullName));
      std::int64_t v = 0;
      if (NextValue() == vaIdent) {
        // Colour names and the like.
        const std::string ident = ReadIdent();
        if (!Prop.IdentToInt || !Prop.IdentToInt(ident, v)) InvalidValue();
      } else {
        v = ReadInt64();
        // 32-bit properties take signed and unsigned 32-bit values.
        if (Prop.Kind == TPropKind::Integer &&
            (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::uint32_t>::max()))
          InvalidValue();
      }
      Prop.SetOrd(Instance, v);
      break;
    }
    case TPropKind::Boolean:
      if (!Prop.SetOrd) throw EReadError(Format(msg::UnknownProperty, FullName));
      Prop.SetOrd(Instance, ReadBoolean() ? 1 : 0);
      break;
    case TPropKind::Enumeration: {
      if (!Prop.SetOrd) throw EReadError(Format(msg::UnknownProperty, FullName));
      const std::string ident = ReadIdent();
      auto it = std::find_if(Prop.Idents.begin(), Prop.Idents.end(),
                             [&](const std::string& s) { return AnsiSameText(s, ident); });
      if (it == Prop.Idents.end()) InvalidValue();
      Prop.SetOrd(Instance, it - Prop.Idents.begin());
      break;
    }
    case TPropKind::Set: {
      if (!Prop.SetOrd) throw EReadError(Format(msg::UnknownProperty, FullName));
      std::uint64_t mask = 0;
      for (const std::string& ident : ReadSet()) {
        auto it = std::find_if(Prop.Idents.begin(), Prop.Idents.end(),
                               [&](const std::string& s) { return AnsiSameText(s, ident); });
        const auto index = it - Prop.Idents.begin();
        if (it == Prop.Idents.end() || index >= 64) InvalidValue();
        mask |= std::uint64_t{1} << index;
      }
      Prop.SetOrd(Instance, static_cast<std::int64_t>(mask));
      break;
    }
    case TPropKind::Float:
      if (!Prop.SetFloat) throw EReadError(Format(msg::UnknownProperty, FullName));
      Prop.SetFloat(Instance, ReadFloat());
      break;
    case TPropKind::String:
      if (!Prop.SetStr) throw EReadError(Format(msg::UnknownProperty, FullName));
      Prop.SetStr(Instance, ReadString());
      break;
    case TPropKind::Object: {
      TPersistent* sub = Prop.GetObj ? Prop.GetObj(Instance) : nullptr;
      const TValueType t = NextValue();
      if (t == vaCollection) {
        auto* collection = dynamic_cast<TCollection*>(sub);
        if (!collection) InvalidValue();
        ReadCollection(*collection);
      } else if (t == vaNil) {
        ReadValue();  // an owned object stays as it is
      } else {
        InvalidValue();
      }
      break;
    }
    case TPropKind::Component: {
      if (!Prop.SetObj) throw EReadError(Format(msg::UnknownProperty, FullName));
      if (NextValue() == vaNil) {
        ReadValue();
        Prop.SetObj(Instance, nullptr);
        break;
      }
      if (NextValue() != vaIdent) InvalidValue();
      fixups_.push_back(Fixup{&Instance, &Prop, ReadIdent(), collections_});
      break;
    }
    case TPropKind::Event: {
      if (NextValue() == vaNil) {
        ReadValue();
        if (Prop.ClearMethod) Prop.ClearMethod(Instance);
        break;
      }
      if (NextValue() != vaIdent) InvalidValue();
      const std::string handler = ReadIdent();
      const TMethodEntry* m = root_ ? root_->ClassType().FindMethod(handler) : nullptr;
      if (!m) throw EReadError(Format(msg::HandlerNotFound, handler));
      if (!Prop.SetMethod || !Prop.SetMethod(Instance, root_, *m))
        throw EReadError(Format(msg::HandlerMismatch, handler, Prop.Name));
      break;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Objects

void TReader::ReadData(TComponent& Instance) {
  DepthGuard guard(*this);
  while (!EndOfList()) ReadProperty(Instance);
  ReadListEnd();
  Instance.ExcludeState(csReading);
  while (!EndOfList()) ReadComponent(nullptr, &Instance);
  ReadListEnd();
}

TComponent* TReader::ReadComponent(TComponent* Instance, TComponent* Parent) {
  std::int32_t child_pos = -1;
  const std::uint8_t flags = ReadPrefix(child_pos);
  const std::string class_name = ReadStr();
  const std::string name = ReadStr();
  if (class_name.empty()) throw EReadError(msg::InvalidImage);

  TComponent* c = Instance;
  bool fresh = false;
  if (!c && (flags & ffInherited) && root_) {
    // Inherited objects exist already; the stream only changes their properties.
    c = AnsiSameText(root_->Name(), name) ? root_ : root_->FindComponent(name);
    if (!c) throw EReadError(Format(msg::ReferenceNotFound, name));
  }
  if (!c) {
    const TClassInfo* info = GetClass(class_name);
    if (!info && root_) {
      // A member of the root names the class even when nothing else has made it known yet.
      if (const TFieldEntry* f = root_->ClassType().FindField(name); f && f->Class) {
        const TClassInfo* fc = f->Class();
        if (fc && AnsiSameText(fc->Name, class_name)) info = fc;
      }
    }
    if (!info) throw EClassNotFound(Format(msg::ClassNotFound, class_name));
    if (!info->CreateComponent) throw EClassNotFound(Format(msg::CannotCreate, class_name));
    c = info->CreateComponent(root_);
    created_.push_back(c);
    fresh = true;
  }
  c->IncludeState(csLoading);
  c->IncludeState(csReading);
  if (std::find(loaded_.begin(), loaded_.end(), c) == loaded_.end()) loaded_.push_back(c);
  if (fresh) {
    c->SetName(name);
    if (root_ && !name.empty()) {
      if (const TFieldEntry* f = root_->ClassType().FindField(name)) {
        if (!f->Set || !f->Set(root_, c)) {
          const TClassInfo* fc = f->Class ? f->Class() : nullptr;
          throw EReadError(Format(msg::FieldMismatch, name, fc ? fc->Name : std::string("?")));
        }
        fields_set_.push_back(f);
      }
    }
  }
  if (Parent) c->SetParentComponent(Parent);
  ReadData(*c);
  return c;
}

TComponent* TReader::FindReference(const std::string& Name) const {
  if (!root_) return nullptr;
  if (AnsiSameText(root_->Name(), Name)) return root_;
  if (TComponent* c = root_->FindComponent(Name)) return c;
  // "Root.Member" names a component of the root too.
  const auto dot = Name.find('.');
  if (dot != std::string::npos && AnsiSameText(Name.substr(0, dot), root_->Name()))
    return root_->FindComponent(Name.substr(dot + 1));
  return nullptr;
}

void TReader::ResolveFixups() {
  for (const Fixup& f : fixups_) {
    TComponent* c = FindReference(f.Name);
    if (!c) throw EReadError(Format(msg::ReferenceNotFound, f.Name));
    if (!f.Prop->SetObj(*f.Instance, c)) InvalidValue();
  }
  fixups_.clear();
}

void TReader::FinishLoading() {
  for (TComponent* c : loaded_) c->ExcludeState(csReading);
  // Every component is complete now; an error in one Loaded does not undo the read, but no
  // component is left loading.
  std::size_t i = 0;
  try {
    for (; i < loaded_.size(); ++i) {
      loaded_[i]->Loaded();
      loaded_[i]->ExcludeState(csLoading);
    }
  } catch (...) {
    for (; i < loaded_.size(); ++i) loaded_[i]->ExcludeState(csLoading);
    throw;
  }
}

void TReader::AbandonCreated() {
  fixups_.clear();
  for (const TFieldEntry* f : fields_set_)
    if (root_ && f->Set) f->Set(root_, nullptr);
  fields_set_.clear();
  for (TComponent* c : loaded_)
    if (std::find(created_.begin(), created_.end(), c) == created_.end()) {
      c->ExcludeState(csReading);
      c->ExcludeState(csLoading);
    }
  loaded_.clear();
  // Newest first; a component freed with its owner is no longer in its owner's list.
  while (!created_.empty()) {
    TComponent* c = created_.back();
    created_.pop_back();
    c->Free();
  }
}

TComponent* TReader::ReadRootComponent(TComponent* Root, TComponent* Owner, bool RenameRoot) {
  try {
    ReadSignature();
    std::int32_t child_pos = -1;
    ReadPrefix(child_pos);
    const std::string class_name = ReadStr();
    const std::string name = ReadStr();
    TComponent* r = Root;
    if (!r) {
      const TClassInfo& info = FindClass(class_name);
      if (!info.CreateComponent) throw EClassNotFound(Format(msg::CannotCreate, class_name));
      r = info.CreateComponent(Owner);
      created_.push_back(r);
      r->SetName(name);
    } else {
      // The description must be of the root's class or one of its ancestors.
      bool known = false;
      for (const TClassInfo* c = &r->ClassType(); c && !known; c = c->Parent)
        known = AnsiSameText(c->Name, class_name);
      if (!known) throw EReadError(msg::InvalidImage);
      if (RenameRoot && r->Name().empty() && !name.empty()) {
        try {
          r->SetName(name);
        } catch (const EComponentError&) {
          // Another component of the owner has this name already; the root stays unnamed.
        }
      }
    }
    root_ = r;
    r->IncludeState(csLoading);
    r->IncludeState(csReading);
    loaded_.push_back(r);
    ReadData(*r);
    ResolveFixups();
  } catch (...) {
    AbandonCreated();
    throw;
  }
  created_.clear();
  fields_set_.clear();
  FinishLoading();
  return root_;
}

}  // namespace fw
