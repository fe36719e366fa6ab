// Whole-object streams, the resource header and the root loader.
#include "framework/Streaming.h"

#include <cstring>

namespace fw {

namespace {

constexpr std::uint16_t kResourceType = 10;  // raw data
constexpr std::uint16_t kResourceFlags = 0x1030;
constexpr std::size_t kMaxResourceName = 1024;

std::uint32_t CheckedLength(TStream& Stream, std::uint32_t Length) {
  const std::int64_t left = Stream.Size() - Stream.Position();
  if (static_cast<std::int64_t>(Length) > left) throw EReadError(msg::ReadError);
  return Length;
}

std::vector<std::uint8_t> ReadBlock(TStream& Stream, std::uint32_t Length) {
  std::vector<std::uint8_t> bytes(CheckedLength(Stream, Length));
  Stream.ReadBuffer(bytes.data(), Length);
  return bytes;
}

bool StartsWithWord(std::string_view s, std::string_view word) {
  if (s.size() < word.size() || !AnsiSameText(s.substr(0, word.size()), word)) return false;
  if (s.size() == word.size()) return true;
  const char c = s[word.size()];
  return !((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_');
}

// Text descriptions begin with "object", "inherited" or "inline", maybe after a BOM and blanks.
bool LooksLikeText(std::string_view s) {
  if (s.size() >= 3 && std::memcmp(s.data(), "\xEF\xBB\xBF", 3) == 0) s.remove_prefix(3);
  while (!s.empty() && static_cast<unsigned char>(s[0]) <= ' ') s.remove_prefix(1);
  return StartsWithWord(s, "object") || StartsWithWord(s, "inherited") || StartsWithWord(s, "inline");
}

void ReadRootFrom(TComponent& Root, const std::uint8_t* data, std::size_t size) {
  TBytesStream in(data, size);
  TReader reader(in);
  reader.ReadRootComponent(&Root, nullptr, true);
}

}  // namespace

void WriteResourceHeader(TStream& Stream, const std::string& ResName, std::uint32_t Length) {
  const std::string name = Utf8ToCp1251(AnsiUpperCase(ResName));
  if (name.find('\0') != std::string::npos) throw EWriteError(msg::WriteError);
  Stream.WriteValue<std::uint8_t>(0xFF);
  Stream.WriteValue<std::uint16_t>(kResourceType);
  Stream.WriteBuffer(name.data(), static_cast<std::int64_t>(name.size()));
  Stream.WriteValue<std::uint8_t>(0);
  Stream.WriteValue<std::uint16_t>(kResourceFlags);
  Stream.WriteValue<std::uint32_t>(Length);
}

std::uint32_t ReadResourceHeader(TStream& Stream, std::string* ResName) {
  if (Stream.ReadValue<std::uint8_t>() != 0xFF || Stream.ReadValue<std::uint16_t>() != kResourceType)
    throw EReadError(msg::InvalidImage);
  std::string name;
  for (;;) {
    const char c = Stream.ReadValue<char>();
    if (c == '\0') break;
    if (name.size() >= kMaxResourceName) throw EReadError(msg::InvalidImage);
    name += c;
  }
  Stream.ReadValue<std::uint16_t>();  // flags: nothing depends on them
  const std::uint32_t length = Stream.ReadValue<std::uint32_t>();
  if (ResName) *ResName = Cp1251ToUtf8(name);
  return CheckedLength(Stream, length);
}

void WriteComponent(TStream& Stream, TComponent& Instance) {
  TWriter writer(Stream);
  writer.WriteRootComponent(Instance);
}

TComponent* ReadComponent(TStream& Stream, TComponent* Instance, TComponent* Owner) {
  TReader reader(Stream);
  return reader.ReadRootComponent(Instance, Owner, false);
}

void WriteComponentRes(TStream& Stream, const std::string& ResName, TComponent& Instance) {
  // The length goes before the object, so the object is written aside first.
  TMemoryStream body;
  WriteComponent(body, Instance);
  if (body.Size() > static_cast<std::int64_t>(UINT32_MAX)) throw EWriteError(msg::WriteError);
  WriteResourceHeader(Stream, ResName, static_cast<std::uint32_t>(body.Size()));
  body.SaveToStream(Stream);
}

void ReadComponentRes(TStream& Stream, TComponent& Instance) {
  const std::uint32_t length = ReadResourceHeader(Stream);
  // The object is read from exactly the bytes the header announces.
  const std::vector<std::uint8_t> body = ReadBlock(Stream, length);
  TBytesStream in(body.data(), body.size());
  ReadComponent(in, &Instance, nullptr);
}

void ReadRootComponent(TComponent& Root, TStream& Stream) {
  const std::int64_t left = Stream.Size() - Stream.Position();
  if (left <= 0) throw EReadError(msg::ReadError);
  std::uint8_t head[4] = {};
  const std::int64_t got = Stream.Read(head, 4);
  Stream.Seek(-got, soCurrent);
  if (got == 4 && std::memcmp(head, "TPF0", 4) == 0) {
    TReader reader(Stream);
    reader.ReadRootComponent(&Root, nullptr, true);
    return;
  }
  if (head[0] == 0xFF) {
    const std::uint32_t length = ReadResourceHeader(Stream);
    const std::vector<std::uint8_t> body = ReadBlock(Stream, length);
    ReadRootFrom(Root, body.data(), body.size());
    return;
  }
  std::string text(static_cast<std::size_t>(left), '\0');
  Stream.ReadBuffer(text.data(), left);
  ReadRootComponentText(Root, text);
}

void ReadRootComponentText(TComponent& Root, std::string_view Text) {
  if (!LooksLikeText(Text)) throw EReadError(msg::InvalidImage);
  const std::string binary = ObjectTextToBinary(Text);
  ReadRootFrom(Root, reinterpret_cast<const std::uint8_t*>(binary.data()), binary.size());
}

std::string ComponentToText(TComponent& Instance) {
  TMemoryStream binary;
  WriteComponent(binary, Instance);
  binary.SetPosition(0);
  TMemoryStream text;
  ObjectBinaryToText(binary, text);
  if (text.Size() == 0) return {};
  return std::string(static_cast<const char*>(text.Memory()), static_cast<std::size_t>(text.Size()));
}

}  // namespace fw
