#pragma once
// The component stream: the binary object stream ("TPF0" ...), its text form ("object Name:
// TClass" ... "end"), the resource header that wraps a stored object, and the loader that
// builds a form from its stored description.
//
// A stored object is: an optional prefix byte, the class name and the object name (short
// strings), its properties (name, tagged value) ended by a 0 byte, its child objects ended by a
// 0 byte. Properties of owned sub-objects are stored under a dotted path ("Font.Height");
// collections as a list of items, each a property list.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/Classes.h"

namespace fw {

// Tags of the values in the binary object stream.
enum class TValueType : std::uint8_t {
  vaNull = 0,        // end of a list
  vaList = 1,        // values until vaNull
  vaInt8 = 2,
  vaInt16 = 3,
  vaInt32 = 4,
  vaExtended = 5,    // 10-byte x87 extended
  vaString = 6,      // length byte + code page 1251 bytes
  vaIdent = 7,       // length byte + bytes
  vaFalse = 8,
  vaTrue = 9,
  vaBinary = 10,     // 32-bit length + bytes
  vaSet = 11,        // identifiers (short strings), ended by an empty one
  vaLString = 12,    // 32-bit length + code page 1251 bytes
  vaNil = 13,
  vaCollection = 14, // items (optional index, vaList, properties, vaNull) until vaNull
  vaSingle = 15,
  vaCurrency = 16,   // 64-bit integer, value x 10000
  vaDate = 17,       // 8-byte double
  vaWString = 18,    // 32-bit count + UTF-16LE units
  vaInt64 = 19,
  vaUTF8String = 20, // 32-bit length + UTF-8 bytes
};
using enum TValueType;

// Flags of the optional prefix byte (0xF0 | flags) before a stored object's class name.
enum TFilerFlag : std::uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

FW_DECLARE_EXCEPTION(EParserError, EReadError);

namespace msg {
inline constexpr const char* HandlerNotFound = "Handler %s not found";
inline constexpr const char* HandlerMismatch = "Handler %s does not match event %s";
inline constexpr const char* FieldMismatch = "Field %s is not a %s";
inline constexpr const char* ReferenceNotFound = "Component %s not found";
inline constexpr const char* CannotCreate = "Cannot create an instance of %s";
inline constexpr const char* NestingTooDeep = "Stored objects nested too deeply";
inline constexpr const char* ParseExpected = "Line %d: %s expected";
inline constexpr const char* ParseInvalid = "Line %d: %s";
inline constexpr const char* NameTooLong = "Name %s is too long";
}  // namespace msg

// Stored objects, lists and collections nested deeper than this are refused as malformed.
inline constexpr int kMaxStreamNesting = 64;

// Reads values and objects from a binary object stream. Truncated or malformed data raise
// EReadError ("Stream read error", "Invalid property value", "Invalid stream format") and
// never read outside the stream.
class TReader : public TFiler {
  FW_CLASS(TReader, TFiler)
 public:
  explicit TReader(TStream& Stream);
  ~TReader() override;

  TStream& Stream() const { return *stream_; }

  // --- values
  TValueType ReadValue();
  TValueType NextValue();
  bool EndOfList();
  void ReadListBegin();
  void ReadListEnd();
  std::int32_t ReadInteger();
  std::int64_t ReadInt64();
  bool ReadBoolean();
  // Any string value (short, long, wide, UTF-8); short and long ones are code page 1251.
  std::string ReadString();
  // An identifier; True, False and nil come back as "True", "False", "nil".
  std::string ReadIdent();
  // Any number; infinities, NaNs and denormals are refused.
  long double ReadFloat();
  // A binary value (vaBinary) as bytes.
  std::vector<std::uint8_t> ReadBinary();
  // A set value: its element identifiers, in stored order.
  std::vector<std::string> ReadSet();
  // Clears the collection and reads its items (a vaCollection value).
  void ReadCollection(TCollection& Collection);
  // Skips one value of any kind.
  void SkipValue();

  // --- raw pieces of the object stream
  std::uint8_t ReadByte();
  // A short string: length byte + bytes (names of classes, objects and properties).
  std::string ReadStr();
  // "TPF0"; anything else raises "Invalid stream format".
  void ReadSignature();
  // The optional prefix byte; ChildPos is set when ffChildPos is among the flags.
  std::uint8_t ReadPrefix(std::int32_t& ChildPos);
  // Bytes left between the position and the end of the stream.
  std::int64_t Remaining();

  // --- objects
  // Reads one stored property (a possibly dotted name and its value) into Instance.
  void ReadProperty(TPersistent& Instance);
  // Reads the rest of a stored object whose header is already read: properties, then the
  // child objects (created with the root as owner and Parent as parent component).
  void ReadData(TComponent& Instance);
  // Reads a whole object (header included). Instance null: the object is created by class
  // name with the root as owner; otherwise the stored properties go into Instance.
  TComponent* ReadComponent(TComponent* Instance, TComponent* Parent);
  // Reads a stored root object into Root (the object whose members, handlers and owned
  // components the description names). Instance null and Owner given: creates it by class.
  TComponent* ReadRootComponent(TComponent* Root, TComponent* Owner, bool RenameRoot);

  // The components created or read so far, in reading order.
  const std::vector<TComponent*>& Loaded() const { return loaded_; }

  void DefineProperty(const std::string& Name, ReaderProc ReadData, WriterProc WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, StreamProc ReadData, StreamProc WriteData,
                            bool HasData) override;

 private:
  // A reference property waiting for the whole tree: resolved by name at the end. Chain holds
  // the collections whose items lead to Instance, so that a fixup goes when its item does.
  struct Fixup {
    TPersistent* Instance;
    const TPropInfo* Prop;
    std::string Name;
    std::vector<TCollection*> Chain;
  };
  class DepthGuard;

  void ReadPropValue(TPersistent& Instance, const TPropInfo& Prop, const std::string& FullName);
  std::int64_t ReadOrdinalValue();
  long double ReadFloatValue();
  std::string ReadLengthString(std::uint32_t Length);
  void CheckLength(std::int64_t Length);
  TComponent* FindReference(const std::string& Name) const;
  void ResolveFixups();
  void FinishLoading();
  void AbandonCreated();

  TStream* stream_;
  int depth_ = 0;
  // The defined property being looked for while the instance's DefineProperties runs.
  const std::string* pending_name_ = nullptr;
  bool pending_found_ = false;
  std::vector<Fixup> fixups_;
  std::vector<TComponent*> loaded_;
  std::vector<TComponent*> created_;
  std::vector<const TFieldEntry*> fields_set_;
  std::vector<TCollection*> collections_;
};

// Writes values and objects in the binary object stream.
class TWriter : public TFiler {
  FW_CLASS(TWriter, TFiler)
 public:
  explicit TWriter(TStream& Stream);
  ~TWriter() override;

  TStream& Stream() const { return *stream_; }
  void SetRoot(TComponent* Root) { root_ = Root; }

  // --- values
  void WriteValue(TValueType Value);
  void WriteListBegin();
  void WriteListEnd();
  // The smallest of int8, int16, int32, int64 that holds the value.
  void WriteInteger(std::int64_t Value);
  void WriteBoolean(bool Value);
  // ASCII text as vaString (vaLString past 255 bytes); anything else as vaUTF8String.
  void WriteString(std::string_view Value);
  // True, False and nil become their own tags.
  void WriteIdent(std::string_view Ident);
  void WriteFloat(long double Value);
  void WriteBinary(const void* Data, std::size_t Size);
  void WriteSet(const std::vector<std::string>& Idents);
  void WriteCollection(TCollection& Collection);

  // --- raw pieces
  void WriteByte(std::uint8_t Value);
  // Raises EWriteError for a text longer than 255 bytes.
  void WriteStr(std::string_view Value);
  void WriteSignature();

  // --- objects
  // Published properties in declaration order (ancestors' first) that are stored and differ
  // from their default, then the defined ones.
  void WriteProperties(TPersistent& Instance);
  // A whole object: header, properties, children.
  void WriteComponent(TComponent& Instance);
  // Signature and the root object.
  void WriteRootComponent(TComponent& Root);

  void DefineProperty(const std::string& Name, ReaderProc ReadData, WriterProc WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, StreamProc ReadData, StreamProc WriteData,
                            bool HasData) override;

 private:
  void WritePropName(const std::string& Name);
  void WriteObjectProperties(TPersistent& Instance);
  void WriteProperty(TPersistent& Instance, const TPropInfo& Prop);
  void Enter();
  void Leave() { --depth_; }
  std::string ReferenceName(TComponent* Component) const;

  TStream* stream_;
  std::string prefix_;
  int depth_ = 0;
};

// Reads a stored description (binary "TPF0...", binary with the resource header, or text
// "object ..."; detected) into an existing root component, such as a form: creates each child
// by class name with the root as owner, calls SetParentComponent(enclosing object) for each,
// points the root's members at the components of the same name, binds events to the root's
// handlers by name, resolves component references by name once the whole tree is read, then
// calls Loaded on every component read. A failed read frees the components it created.
void ReadRootComponent(TComponent& Root, TStream& Stream);
void ReadRootComponentText(TComponent& Root, std::string_view Text);

// Whole-object streams: "TPF0", class name, object name, properties, children.
void WriteComponent(TStream& Stream, TComponent& Instance);
// Instance null: the object is created by its stored class name with Owner as owner (and
// named from the stream). Otherwise the stream is read into Instance, whatever its stored name.
TComponent* ReadComponent(TStream& Stream, TComponent* Instance, TComponent* Owner);

// The same, wrapped in a resource header: 0xFF, 16-bit 10, the name in capitals with a closing
// NUL, 16-bit flags 0x1030, 32-bit length of the object stream that follows.
void WriteComponentRes(TStream& Stream, const std::string& ResName, TComponent& Instance);
void ReadComponentRes(TStream& Stream, TComponent& Instance);
void WriteResourceHeader(TStream& Stream, const std::string& ResName, std::uint32_t Length);
// Reads a header and returns the length of the object stream after it.
std::uint32_t ReadResourceHeader(TStream& Stream, std::string* ResName = nullptr);

// Conversions between the binary object stream and its text form. Both read the input from
// its position to its end (one stored object) and append to the output.
void ObjectTextToBinary(TStream& Input, TStream& Output);
void ObjectBinaryToText(TStream& Input, TStream& Output);
std::string ObjectTextToBinary(std::string_view Text);
std::string ObjectBinaryToText(std::string_view Binary);

// An object as text: its stored form, converted to the text notation.
std::string ComponentToText(TComponent& Instance);

}  // namespace fw
