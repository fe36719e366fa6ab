// Writing the binary object stream: values, properties and objects.
#include <cmath>
#include <limits>

#include "framework/ClassBuilder.h"
#include "framework/Streaming.h"

namespace fw {

FW_REGISTER(TWriter, nullptr)

namespace {

void EncodeExtended(long double v, std::uint8_t (&b)[10]) {
  std::uint64_t mantissa = 0;
  unsigned exponent = 0;
  const bool negative = std::signbit(v);
  if (std::isnan(v)) {
    exponent = 0x7FFF;
    mantissa = 0xC000000000000000ull;
  } else if (std::isinf(v)) {
    exponent = 0x7FFF;
    mantissa = 0x8000000000000000ull;
  } else if (v != 0) {
    int e = 0;
    const long double m = std::frexp(std::fabs(v), &e);  // m in [0.5, 1)
    int biased = e - 1 + 16383;
    if (biased <= 0) {
      // Too small for a normal number: store it denormal.
      mantissa = static_cast<std::uint64_t>(std::ldexp(m, 63 + biased));
      exponent = 0;
    } else if (biased >= 0x7FFF) {
      exponent = 0x7FFF;
      mantissa = 0x8000000000000000ull;
    } else {
      mantissa = static_cast<std::uint64_t>(std::ldexp(m, 64));
      exponent = static_cast<unsigned>(biased);
    }
  }
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(mantissa >> (8 * i));
  const unsigned se = exponent | (negative ? 0x8000u : 0u);
  b[8] = static_cast<std::uint8_t>(se);
  b[9] = static_cast<std::uint8_t>(se >> 8);
}

void WriteLE(TStream& s, std::uint64_t v, int bytes) {
  std::uint8_t b[8];
  for (int i = 0; i < bytes; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  s.WriteBuffer(b, bytes);
}

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

std::uint32_t Length32(std::size_t n) {
  if (n > std::numeric_limits<std::uint32_t>::max()) throw EWriteError(msg::WriteError);
  return static_cast<std::uint32_t>(n);
}

}  // namespace

TWriter::TWriter(TStream& Stream) : stream_(&Stream) {}
TWriter::~TWriter() = default;

void TWriter::WriteByte(std::uint8_t Value) { stream_->WriteBuffer(&Value, 1); }
void TWriter::WriteValue(TValueType Value) { WriteByte(static_cast<std::uint8_t>(Value)); }
void TWriter::WriteListBegin() { WriteValue(vaList); }
void TWriter::WriteListEnd() { WriteValue(vaNull); }

void TWriter::WriteInteger(std::int64_t Value) {
  if (Value >= -128 && Value <= 127) {
    WriteValue(vaInt8);
    WriteLE(*stream_, static_cast<std::uint64_t>(Value), 1);
  } else if (Value >= -32768 && Value <= 32767) {
    WriteValue(vaInt16);
    WriteLE(*stream_, static_cast<std::uint64_t>(Value), 2);
  } else if (Value >= std::numeric_limits<std::int32_t>::min() && Value <= std::numeric_limits<std::int32_t>::max()) {
    WriteValue(vaInt32);
    WriteLE(*stream_, static_cast<std::uint64_t>(Value), 4);
  } else {
    WriteValue(vaInt64);
    WriteLE(*stream_, static_cast<std::uint64_t>(Value), 8);
  }
}

void TWriter::WriteBoolean(bool Value) { WriteValue(Value ? vaTrue : vaFalse); }

void TWriter::WriteString(std::string_view Value) {
  if (IsAscii(Value)) {
    if (Value.size() <= 255) {
      WriteValue(vaString);
      WriteByte(static_cast<std::uint8_t>(Value.size()));
    } else {
      WriteValue(vaLString);
      WriteLE(*stream_, Length32(Value.size()), 4);
    }
  } else {
    WriteValue(vaUTF8String);
    WriteLE(*stream_, Length32(Value.size()), 4);
  }
  stream_->WriteBuffer(Value.data(), static_cast<std::int64_t>(Value.size()));
}

void TWriter::WriteIdent(std::string_view Ident) {
  if (AnsiSameText(Ident, "False")) {
    WriteValue(vaFalse);
  } else if (AnsiSameText(Ident, "True")) {
    WriteValue(vaTrue);
  } else if (AnsiSameText(Ident, "nil")) {
    WriteValue(vaNil);
  } else {
    WriteValue(vaIdent);
    WriteStr(Ident);
  }
}

void TWriter::WriteFloat(long double Value) {
  if (!std::isfinite(Value)) throw EWriteError(msg::InvalidPropertyValue);
  if (Value != 0 && !std::isnormal(Value)) Value = 0;  // denormals are stored as zero
  std::uint8_t b[10];
  EncodeExtended(Value, b);
  WriteValue(vaExtended);
  stream_->WriteBuffer(b, 10);
}

void TWriter::WriteBinary(const void* Data, std::size_t Size) {
  WriteValue(vaBinary);
  WriteLE(*stream_, Length32(Size), 4);
  stream_->WriteBuffer(Data, static_cast<std::int64_t>(Size));
}

void TWriter::WriteSet(const std::vector<std::string>& Idents) {
  WriteValue(vaSet);
  for (const std::string& s : Idents)
    if (!s.empty()) WriteStr(s);
  WriteStr("");
}

void TWriter::WriteStr(std::string_view Value) {
  if (Value.size() > 255) throw EWriteError(Format(msg::NameTooLong, std::string(Value.substr(0, 32)) + "..."));
  WriteByte(static_cast<std::uint8_t>(Value.size()));
  stream_->WriteBuffer(Value.data(), static_cast<std::int64_t>(Value.size()));
}

void TWriter::WriteSignature() { stream_->WriteBuffer("TPF0", 4); }

void TWriter::WriteCollection(TCollection& Collection) {
  const std::string saved = prefix_;
  prefix_.clear();
  try {
    WriteValue(vaCollection);
    for (int i = 0; i < Collection.Count(); ++i) {
      WriteListBegin();
      WriteObjectProperties(*Collection.Items(i));
      WriteListEnd();
    }
    WriteListEnd();
  } catch (...) {
    prefix_ = saved;
    throw;
  }
  prefix_ = saved;
}

void TWriter::WritePropName(const std::string& Name) { WriteStr(prefix_ + Name); }

std::string TWriter::ReferenceName(TComponent* Component) const {
  if (Component == root_ || !root_ || Component->Owner() == root_) return Component->Name();
  TComponent* owner = Component->Owner();
  if (owner && !owner->Name().empty() && !Component->Name().empty()) return owner->Name() + "." + Component->Name();
  return Component->Name();
}

void TWriter::WriteProperties(TPersistent& Instance) { WriteObjectProperties(Instance); }

void TWriter::Enter() {
  // Objects that contain themselves would otherwise be written without end.
  // (Sub-objects and collections count too, so the bound is wider than the reader's.)
  if (depth_ >= 3 * kMaxStreamNesting) throw EWriteError(msg::NestingTooDeep);
  ++depth_;
}

void TWriter::WriteObjectProperties(TPersistent& Instance) {
  Enter();
  try {
    for (const TPropInfo* p : Instance.ClassType().AllProps()) WriteProperty(Instance, *p);
    Instance.DefineProperties(*this);
  } catch (...) {
    Leave();
    throw;
  }
  Leave();
}

void TWriter::WriteProperty(TPersistent& Instance, const TPropInfo& Prop) {
  if (Prop.IsStored && !Prop.IsStored(Instance)) return;
  switch (Prop.Kind) {
    case TPropKind::Integer:
    case TPropKind::Int64:
    case TPropKind::Boolean:
    case TPropKind::Enumeration:
    case TPropKind::Set: {
      if (!Prop.GetOrd) return;
      const std::int64_t v = Prop.GetOrd(Instance);
      if (Prop.HasDefault && v == Prop.Default) return;
      WritePropName(Prop.Name);
      if (Prop.Kind == TPropKind::Boolean) {
        WriteBoolean(v != 0);
      } else if (Prop.Kind == TPropKind::Enumeration) {
        if (v >= 0 && v < static_cast<std::int64_t>(Prop.Idents.size()))
          WriteIdent(Prop.Idents[static_cast<std::size_t>(v)]);
        else
          WriteInteger(v);
      } else if (Prop.Kind == TPropKind::Set) {
        std::vector<std::string> idents;
        for (std::size_t i = 0; i < Prop.Idents.size() && i < 64; ++i)
          if (static_cast<std::uint64_t>(v) & (std::uint64_t{1} << i)) idents.push_back(Prop.Idents[i]);
        WriteSet(idents);
      } else {
        std::string ident;
        if (Prop.IntToIdent && Prop.IntToIdent(v, ident))
          WriteIdent(ident);
        else
          WriteInteger(v);
      }
      break;
    }
    case TPropKind::Float: {
      if (!Prop.GetFloat) return;
      const long double v = Prop.GetFloat(Instance);
      if (Prop.HasDefault && v == static_cast<long double>(Prop.Default)) return;
      WritePropName(Prop.Name);
      WriteFloat(v);
      break;
    }
    case TPropKind::String: {
      if (!Prop.GetStr) return;
      const std::string v = Prop.GetStr(Instance);
      if (v.empty()) return;
      WritePropName(Prop.Name);
      WriteString(v);
      break;
    }
    case TPropKind::Object: {
      TPersistent* sub = Prop.GetObj ? Prop.GetObj(Instance) : nullptr;
      if (!sub) return;
      const std::string saved = prefix_;
      try {
        // A collection's own properties come first, under its name; then its items.
        prefix_ = saved + Prop.Name + ".";
        WriteObjectProperties(*sub);
        prefix_ = saved;
        if (auto* collection = dynamic_cast<TCollection*>(sub)) {
          WritePropName(Prop.Name);
          WriteCollection(*collection);
        }
      } catch (...) {
        prefix_ = saved;
        throw;
      }
      break;
    }
    case TPropKind::Component: {
      auto* ref = dynamic_cast<TComponent*>(Prop.GetObj ? Prop.GetObj(Instance) : nullptr);
      if (!ref) return;
      const std::string name = ReferenceName(ref);
      if (name.empty()) return;
      WritePropName(Prop.Name);
      WriteIdent(name);
      break;
    }
    case TPropKind::Event: {
      const std::string name = Prop.GetMethodName ? Prop.GetMethodName(Instance) : std::string();
      if (name.empty()) return;
      WritePropName(Prop.Name);
      WriteIdent(name);
      break;
    }
  }
}

void TWriter::DefineProperty(const std::string& Name, ReaderProc, WriterProc WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  WritePropName(Name);
  const std::string saved = prefix_;
  WriteData(*this);
  prefix_ = saved;
}

void TWriter::DefineBinaryProperty(const std::string& Name, StreamProc, StreamProc WriteData, bool HasData) {
  if (!HasData || !WriteData) return;
  TMemoryStream data;
  WriteData(data);
  WritePropName(Name);
  WriteBinary(data.Memory(), static_cast<std::size_t>(data.Size()));
}

void TWriter::WriteComponent(TComponent& Instance) {
  Enter();
  const std::string saved = prefix_;
  prefix_.clear();
  try {
    Instance.IncludeState(csWriting);
    // The length byte of a class name of 240 characters or more would read as a prefix: such
    // a name goes behind an empty prefix.
    if (Instance.ClassName().size() >= 0xF0) WriteByte(0xF0);
    WriteStr(Instance.ClassName());
    WriteStr(Instance.Name());
    WriteProperties(Instance);
    WriteListEnd();
    Instance.GetChildren([this](TComponent* child) { WriteComponent(*child); }, root_ ? root_ : &Instance);
    WriteListEnd();
  } catch (...) {
    Instance.ExcludeState(csWriting);
    prefix_ = saved;
    Leave();
    throw;
  }
  Instance.ExcludeState(csWriting);
  prefix_ = saved;
  Leave();
}

void TWriter::WriteRootComponent(TComponent& Root) {
  root_ = &Root;
  WriteSignature();
  WriteComponent(Root);
}

}  // namespace fw
