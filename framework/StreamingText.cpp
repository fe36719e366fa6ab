// The text form of the object stream and the conversions between it and the binary form.
//
//   object Name: TClass
//     Prop = 12
//     Caption = 'It''s'#13#10'two lines'
//     Font.Style = [fsBold]
//     Data = {
//       0A0B0C}
//     Items = <
//       item
//         Name = 'first'
//       end>
//     object Child: TChild
//     end
//   end
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/Streaming.h"

namespace fw {

namespace {

bool IsIdentStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsIdentChar(char c) { return IsIdentStart(c) || (c >= '0' && c <= '9'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// ---------------------------------------------------------------------------------------------
// Text to binary

enum class Tok { End, Ident, Integer, Float, String, Symbol };

class TextParser {
 public:
  TextParser(std::string_view text, TWriter& writer) : s_(text), w_(writer) {
    if (s_.size() >= 3 && std::memcmp(s_.data(), "\xEF\xBB\xBF", 3) == 0) pos_ = 3;
    Next();
  }

  void Convert() {
    w_.WriteSignature();
    ParseObject();
  }

 private:
  [[noreturn]] void Expected(const char* what) {
    throw EParserError(Format(msg::ParseExpected, line_, std::string(what)));
  }
  [[noreturn]] void Invalid(const char* what) {
    throw EParserError(Format(msg::ParseInvalid, line_, std::string(what)));
  }

  struct Depth {
    explicit Depth(TextParser& p) : p_(p) {
      if (p_.depth_ >= kMaxStreamNesting) throw EParserError(msg::NestingTooDeep);
      ++p_.depth_;
    }
    ~Depth() { --p_.depth_; }
    TextParser& p_;
  };

  void SkipBlanks() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\n') ++line_;
      if (static_cast<unsigned char>(c) > ' ') break;
      ++pos_;
    }
  }

  // Reads the next token into tok_/text_.
  void Next() {
    SkipBlanks();
    text_.clear();
    if (pos_ >= s_.size()) {
      tok_ = Tok::End;
      return;
    }
    const char c = s_[pos_];
    if (IsIdentStart(c)) {
      const std::size_t start = pos_;
      while (pos_ < s_.size() && (IsIdentChar(s_[pos_]) || (s_[pos_] == '.' && pos_ + 1 < s_.size() && IsIdentStart(s_[pos_ + 1]))))
        ++pos_;
      text_.assign(s_.substr(start, pos_ - start));
      tok_ = Tok::Ident;
      return;
    }
    if (c == '\'' || c == '#') {
      ReadStringToken();
      return;
    }
    if (IsDigit(c) || c == '$' || ((c == '-' || c == '+') && pos_ + 1 < s_.size() && (IsDigit(s_[pos_ + 1]) || s_[pos_ + 1] == '$'))) {
      ReadNumber();
      return;
    }
    tok_ = Tok::Symbol;
    text_.assign(1, c);
    ++pos_;
  }

  void ReadNumber() {
    const std::size_t start = pos_;
    bool negative = false;
    if (s_[pos_] == '-' || s_[pos_] == '+') negative = s_[pos_++] == '-';
    if (pos_ < s_.size() && s_[pos_] == '$') {
      ++pos_;
      std::uint64_t v = 0;
      std::size_t digits = 0;
      for (; pos_ < s_.size() && HexDigit(s_[pos_]) >= 0; ++pos_, ++digits) {
        if (digits >= 16) Invalid("number too large");
        v = (v << 4) | static_cast<std::uint64_t>(HexDigit(s_[pos_]));
      }
      if (digits == 0) Expected("hexadecimal digit");
      // $FFFFFFFF is a 32-bit pattern: -1 when it fits a 32-bit integer only that way.
      std::int64_t sv = digits <= 8 ? static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)))
                                    : static_cast<std::int64_t>(v);
      int_ = negative ? static_cast<std::int64_t>(0 - static_cast<std::uint64_t>(sv)) : sv;
      tok_ = Tok::Integer;
      return;
    }
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    bool is_float = false;
    if (pos_ < s_.size() && s_[pos_] == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1])) {
      is_float = true;
      ++pos_;
      while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
    }
    if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
      std::size_t p = pos_ + 1;
      if (p < s_.size() && (s_[p] == '+' || s_[p] == '-')) ++p;
      if (p < s_.size() && IsDigit(s_[p])) {
        is_float = true;
        pos_ = p;
        while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
      }
    }
    std::string_view num = s_.substr(start, pos_ - start);
    if (!num.empty() && num[0] == '+') num.remove_prefix(1);
    num_text_.assign(num);
    float_suffix_ = 0;
    if (pos_ < s_.size() && (s_[pos_] == 's' || s_[pos_] == 'S' || s_[pos_] == 'c' || s_[pos_] == 'C' ||
                             s_[pos_] == 'd' || s_[pos_] == 'D') &&
        !(pos_ + 1 < s_.size() && IsIdentChar(s_[pos_ + 1]))) {
      float_suffix_ = static_cast<char>(s_[pos_] | 0x20);
      ++pos_;
      is_float = true;
    }
    if (pos_ < s_.size() && IsIdentChar(s_[pos_])) Invalid("invalid number");
    if (is_float) {
      // Singles and dates are read at their own precision, so that their shortest text reads
      // back as the same number.
      auto parse = [&](auto& v) {
        auto r = std::from_chars(num.data(), num.data() + num.size(), v);
        if (r.ec != std::errc() || r.ptr != num.data() + num.size() || !std::isfinite(v)) Invalid("invalid number");
        float_ = v;
      };
      if (float_suffix_ == 's') {
        float f = 0;
        parse(f);
      } else if (float_suffix_ == 'd') {
        double d = 0;
        parse(d);
      } else {
        long double v = 0;
        parse(v);
      }
      tok_ = Tok::Float;
    } else {
      std::int64_t v = 0;
      auto r = std::from_chars(num.data(), num.data() + num.size(), v);
      if (r.ec != std::errc() || r.ptr != num.data() + num.size()) Invalid("number too large");
      int_ = v;
      tok_ = Tok::Integer;
    }
  }

  // 'quoted' parts and #code parts, adjacent: 'a'#13#10'b'.
  void ReadStringToken() {
    std::string out;
    for (;;) {
      if (pos_ < s_.size() && s_[pos_] == '\'') {
        ++pos_;
        for (;;) {
          if (pos_ >= s_.size() || s_[pos_] == '\n' || s_[pos_] == '\r') Expected("closing quote");
          if (s_[pos_] == '\'') {
            if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {
              out += '\'';
              pos_ += 2;
              continue;
            }
            ++pos_;
            break;
          }
          out += s_[pos_++];
        }
      } else if (pos_ < s_.size() && s_[pos_] == '#') {
        ++pos_;
        std::uint32_t cp = 0;
        std::size_t digits = 0;
        if (pos_ < s_.size() && s_[pos_] == '$') {
          ++pos_;
          for (; pos_ < s_.size() && HexDigit(s_[pos_]) >= 0; ++pos_, ++digits) {
            cp = cp * 16 + static_cast<std::uint32_t>(HexDigit(s_[pos_]));
            if (cp > 0x10FFFF) Invalid("invalid character code");
          }
        } else {
          for (; pos_ < s_.size() && IsDigit(s_[pos_]); ++pos_, ++digits) {
            cp = cp * 10 + static_cast<std::uint32_t>(s_[pos_] - '0');
            if (cp > 0x10FFFF) Invalid("invalid character code");
          }
        }
        if (digits == 0) Expected("character code");
        if (cp >= 0xD800 && cp < 0xE000) Invalid("invalid character code");
        AppendUtf8(out, static_cast<char32_t>(cp));
      } else {
        break;
      }
    }
    text_ = std::move(out);
    tok_ = Tok::String;
  }

  bool IsSymbol(char c) const { return tok_ == Tok::Symbol && text_[0] == c; }
  bool IsWord(const char* w) const { return tok_ == Tok::Ident && AnsiSameText(text_, w); }
  void ExpectSymbol(char c, const char* what) {
    if (!IsSymbol(c)) Expected(what);
    Next();
  }
  std::string ExpectIdent(const char* what) {
    if (tok_ != Tok::Ident) Expected(what);
    std::string s = std::move(text_);
    Next();
    return s;
  }
  // A plain (undotted) identifier: class, object and set element names.
  std::string ExpectName(const char* what) {
    if (tok_ != Tok::Ident || text_.find('.') != std::string::npos) Expected(what);
    if (text_.size() > 255) Invalid("name too long");
    return ExpectIdent(what);
  }
  bool AtObject() const { return IsWord("object") || IsWord("inherited") || IsWord("inline"); }

  void WriteName(const std::string& s) {
    if (s.size() > 255) Invalid("name too long");
    w_.WriteStr(s);
  }

  void ParseObject() {
    Depth depth(*this);
    std::uint8_t flags = 0;
    if (IsWord("inherited"))
      flags |= ffInherited;
    else if (IsWord("inline"))
      flags |= ffInline;
    else if (!IsWord("object"))
      Expected("'object'");
    Next();
    std::string name;
    std::string cls = ExpectName("identifier");
    if (IsSymbol(':')) {
      Next();
      name = std::move(cls);
      cls = ExpectName("class name");
    }
    std::int64_t child_pos = 0;
    if (IsSymbol('[')) {
      Next();
      if (tok_ != Tok::Integer) Expected("integer");
      child_pos = int_;
      Next();
      ExpectSymbol(']', "']'");
      flags |= ffChildPos;
    }
    // A class name of 240 characters or more begins with a length byte that reads as a prefix,
    // so it is given an empty prefix of its own.
    if (flags || cls.size() >= 0xF0) {
      w_.WriteByte(static_cast<std::uint8_t>(0xF0 | flags));
      if (flags & ffChildPos) w_.WriteInteger(child_pos);
    }
    WriteName(cls);
    WriteName(name);
    while (!AtObject() && !IsWord("end")) {
      if (tok_ == Tok::End) Expected("'end'");
      ParseProperty();
    }
    w_.WriteListEnd();
    while (AtObject()) ParseObject();
    w_.WriteListEnd();
    if (!IsWord("end")) Expected("'end'");
    Next();
  }

  void ParseProperty() {
    if (tok_ != Tok::Ident) Expected("property name");
    WriteName(text_);
    Next();
    ExpectSymbol('=', "'='");
    ParseValue();
  }

  void ParseValue() {
    switch (tok_) {
      case Tok::End: Expected("value");
      case Tok::Integer:
        w_.WriteInteger(int_);
        Next();
        return;
      case Tok::Float:
        WriteFloatToken();
        Next();
        return;
      case Tok::String: {
        std::string s = std::move(text_);
        Next();
        // Long strings may be split: 'first part' + 'second part'.
        while (IsSymbol('+')) {
          Next();
          if (tok_ != Tok::String) Expected("string");
          s += text_;
          Next();
        }
        w_.WriteString(s);
        return;
      }
      case Tok::Ident:
        if (text_.size() > 255) Invalid("identifier too long");
        w_.WriteIdent(text_);
        Next();
        return;
      case Tok::Symbol: break;
    }
    Depth depth(*this);
    switch (text_[0]) {
      case '[': {
        Next();
        std::vector<std::string> idents;
        if (!IsSymbol(']')) {
          for (;;) {
            std::string ident = ExpectName("identifier");
            idents.push_back(std::move(ident));
            if (IsSymbol(']')) break;
            ExpectSymbol(',', "','");
          }
        }
        Next();
        w_.WriteSet(idents);
        return;
      }
      case '(':
        Next();
        w_.WriteListBegin();
        while (!IsSymbol(')')) ParseValue();
        Next();
        w_.WriteListEnd();
        return;
      case '{': {
        // Raw hex digits up to the closing brace; blanks and line breaks are ignored.
        std::vector<std::uint8_t> bytes;
        int high = -1;
        for (;;) {
          if (pos_ >= s_.size()) Expected("'}'");
          const char c = s_[pos_++];
          if (c == '}') break;
          if (c == '\n') ++line_;
          if (static_cast<unsigned char>(c) <= ' ') continue;
          const int d = HexDigit(c);
          if (d < 0) Invalid("invalid binary value");
          if (high < 0) {
            high = d;
          } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | d));
            high = -1;
          }
        }
        if (high >= 0) Invalid("invalid binary value");
        w_.WriteBinary(bytes.data(), bytes.size());
        Next();
        return;
      }
      case '<':
        Next();
        w_.WriteValue(vaCollection);
        while (!IsSymbol('>')) {
          if (!IsWord("item")) Expected("'item'");
          Next();
          if (IsSymbol('[')) {
            Next();
            if (tok_ != Tok::Integer) Expected("integer");
            w_.WriteInteger(int_);
            Next();
            ExpectSymbol(']', "']'");
          }
          w_.WriteListBegin();
          while (!IsWord("end")) {
            if (tok_ == Tok::End) Expected("'end'");
            ParseProperty();
          }
          Next();
          w_.WriteListEnd();
        }
        Next();
        w_.WriteListEnd();
        return;
      default: Expected("value");
    }
  }

  // "-123.4567": currencies are scaled integers, so their usual text is read exactly.
  bool ExactCurrency(const std::string& text, std::int64_t& out) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    __int128 v = 0;
    int frac = -1;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c == '.' && frac < 0) {
        frac = 0;
        continue;
      }
      if (!IsDigit(c) || frac >= 4) return false;
      v = v * 10 + (c - '0');
      if (v > (static_cast<__int128>(1) << 64)) Invalid("number too large");
      if (frac >= 0) ++frac;
    }
    for (int k = frac < 0 ? 0 : frac; k < 4; ++k) v *= 10;
    if (negative) v = -v;
    if (v < std::numeric_limits<std::int64_t>::min() || v > std::numeric_limits<std::int64_t>::max())
      Invalid("number too large");
    out = static_cast<std::int64_t>(v);
    return true;
  }

  void WriteFloatToken() {
    switch (float_suffix_) {
      case 's': {
        const float f = static_cast<float>(float_);
        w_.WriteValue(vaSingle);
        w_.Stream().WriteBuffer(&f, 4);
        return;
      }
      case 'd': {
        const double d = static_cast<double>(float_);
        w_.WriteValue(vaDate);
        w_.Stream().WriteBuffer(&d, 8);
        return;
      }
      case 'c': {
        std::int64_t c = 0;
        if (!ExactCurrency(num_text_, c)) {
          const long double scaled = std::nearbyint(float_ * 10000);
          if (!(std::fabs(scaled) < std::ldexp(1.0L, 63))) Invalid("number too large");
          c = static_cast<std::int64_t>(scaled);
        }
        w_.WriteValue(vaCurrency);
        w_.Stream().WriteBuffer(&c, 8);
        return;
      }
      default: w_.WriteFloat(float_);
    }
  }

  std::string_view s_;
  TWriter& w_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
  Tok tok_ = Tok::End;
  std::string text_;
  std::int64_t int_ = 0;
  long double float_ = 0;
  char float_suffix_ = 0;
  std::string num_text_;
};

// ---------------------------------------------------------------------------------------------
// Binary to text

class BinaryConverter {
 public:
  BinaryConverter(TReader& reader, std::string& out) : r_(reader), out_(out) {}

  void Convert() {
    r_.ReadSignature();
    ConvertObject(0);
  }

 private:
  struct Depth {
    explicit Depth(BinaryConverter& c) : c_(c) {
      if (c_.depth_ >= kMaxStreamNesting) throw EReadError(msg::NestingTooDeep);
      ++c_.depth_;
    }
    ~Depth() { --c_.depth_; }
    BinaryConverter& c_;
  };

  void Indent(int n) { out_.append(static_cast<std::size_t>(n), ' '); }

  // Names that the text form could not carry (or would read back as something else) make the
  // stream one that has no text form.
  static const std::string& Checked(const std::string& name, bool dotted) {
    std::size_t start = 0;
    for (;;) {
      const std::size_t dot = dotted ? name.find('.', start) : std::string::npos;
      if (!IsValidIdent(name.substr(start, dot == std::string::npos ? std::string::npos : dot - start)))
        throw EReadError(msg::InvalidImage);
      if (dot == std::string::npos) return name;
      start = dot + 1;
    }
  }

  void ConvertObject(int indent) {
    Depth depth(*this);
    std::int32_t child_pos = 0;
    const std::uint8_t flags = r_.ReadPrefix(child_pos);
    const std::string cls = Checked(r_.ReadStr(), false);
    const std::string name = r_.ReadStr();
    if (!name.empty()) Checked(name, false);
    Indent(indent);
    out_ += (flags & ffInherited) ? "inherited " : (flags & ffInline) ? "inline " : "object ";
    if (!name.empty()) out_ += name + ": ";
    out_ += cls;
    if (flags & ffChildPos) out_ += " [" + std::to_string(child_pos) + "]";
    out_ += '\n';
    while (!r_.EndOfList()) ConvertProperty(indent + 2);
    r_.ReadListEnd();
    while (!r_.EndOfList()) ConvertObject(indent + 2);
    r_.ReadListEnd();
    Indent(indent);
    out_ += "end\n";
  }

  void ConvertProperty(int indent) {
    const std::string name = Checked(r_.ReadStr(), true);
    Indent(indent);
    out_ += name;
    out_ += " = ";
    ConvertValue(indent);
    out_ += '\n';
  }

  void WriteQuoted(const std::string& s, int indent) {
    if (s.empty()) {
      out_ += "''";
      return;
    }
    // Printable runs in quotes, control characters as #n, pieces of about 64 characters joined
    // by '+' on the next line.
    constexpr std::size_t kPiece = 64;
    std::size_t in_piece = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (in_piece >= kPiece && (c & 0xC0) != 0x80) {
        if (quoted) out_ += '\'';
        quoted = false;
        out_ += " +\n";
        Indent(indent + 2);
        in_piece = 0;
      }
      if (c < ' ' || c == 0x7F) {
        if (quoted) out_ += '\'';
        quoted = false;
        out_ += '#';
        out_ += std::to_string(c);
      } else {
        if (!quoted) out_ += '\'';
        quoted = true;
        out_ += static_cast<char>(c);
        if (c == '\'') out_ += '\'';
      }
      ++in_piece;
    }
    if (quoted) out_ += '\'';
  }

  static std::string FloatText(long double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
  }

  void ConvertValue(int indent) {
    switch (r_.NextValue()) {
      case vaNull: throw EReadError(msg::InvalidPropertyValue);
      case vaList: {
        Depth depth(*this);
        r_.ReadValue();
        out_ += '(';
        while (!r_.EndOfList()) {
          out_ += '\n';
          Indent(indent + 2);
          ConvertValue(indent + 2);
        }
        r_.ReadListEnd();
        out_ += ')';
        return;
      }
      case vaInt8:
      case vaInt16:
      case vaInt32:
      case vaInt64: out_ += std::to_string(r_.ReadInt64()); return;
      case vaExtended: out_ += FloatText(r_.ReadFloat()); return;
      case vaSingle: {
        r_.ReadValue();
        const float f = r_.Stream().ReadValue<float>();
        if (!std::isfinite(f) || (f != 0 && !std::isnormal(f))) throw EReadError(msg::InvalidPropertyValue);
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, f);
        std::string s(buf, res.ptr);
        if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
        out_ += s + "s";
        return;
      }
      case vaDate: {
        r_.ReadValue();
        const double d = r_.Stream().ReadValue<double>();
        if (!std::isfinite(d) || (d != 0 && !std::isnormal(d))) throw EReadError(msg::InvalidPropertyValue);
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, d);
        std::string s(buf, res.ptr);
        if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
        out_ += s + "d";
        return;
      }
      case vaCurrency: {
        r_.ReadValue();
        const std::int64_t c = r_.Stream().ReadValue<std::int64_t>();
        const bool negative = c < 0;
        const std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(c) : static_cast<std::uint64_t>(c);
        std::string frac = std::to_string(u % 10000);
        frac.insert(0, 4 - frac.size(), '0');
        out_ += (negative ? "-" : "") + std::to_string(u / 10000) + "." + frac + "c";
        return;
      }
      case vaString:
      case vaLString:
      case vaWString:
      case vaUTF8String: WriteQuoted(r_.ReadString(), indent); return;
      case vaIdent:
      case vaFalse:
      case vaTrue:
      case vaNil: out_ += Checked(r_.ReadIdent(), true); return;
      case vaBinary: {
        const std::vector<std::uint8_t> bytes = r_.ReadBinary();
        static const char kHex[] = "0123456789ABCDEF";
        out_ += '{';
        for (std::size_t i = 0; i < bytes.size(); ++i) {
          if (i % 32 == 0) {
            out_ += '\n';
            Indent(indent + 2);
          }
          out_ += kHex[bytes[i] >> 4];
          out_ += kHex[bytes[i] & 15];
        }
        out_ += '}';
        return;
      }
      case vaSet: {
        const std::vector<std::string> idents = r_.ReadSet();
        out_ += '[';
        for (std::size_t i = 0; i < idents.size(); ++i) {
          if (i) out_ += ", ";
          out_ += Checked(idents[i], false);
        }
        out_ += ']';
        return;
      }
      case vaCollection: {
        Depth depth(*this);
        r_.ReadValue();
        out_ += '<';
        while (!r_.EndOfList()) {
          out_ += '\n';
          Indent(indent + 2);
          out_ += "item";
          const TValueType t = r_.NextValue();
          if (t == vaInt8 || t == vaInt16 || t == vaInt32 || t == vaInt64)
            out_ += " [" + std::to_string(r_.ReadInt64()) + "]";
          out_ += '\n';
          r_.ReadListBegin();
          while (!r_.EndOfList()) ConvertProperty(indent + 4);
          r_.ReadListEnd();
          Indent(indent + 2);
          out_ += "end";
        }
        r_.ReadListEnd();
        out_ += '>';
        return;
      }
    }
  }

  TReader& r_;
  std::string& out_;
  int depth_ = 0;
};

std::string ReadRest(TStream& Input) {
  const std::int64_t left = Input.Size() - Input.Position();
  if (left <= 0) return {};
  std::string s(static_cast<std::size_t>(left), '\0');
  Input.ReadBuffer(s.data(), left);
  return s;
}

}  // namespace

void ObjectTextToBinary(TStream& Input, TStream& Output) {
  const std::string text = ReadRest(Input);
  TWriter writer(Output);
  TextParser(text, writer).Convert();
}

void ObjectBinaryToText(TStream& Input, TStream& Output) {
  TReader reader(Input);
  std::string text;
  BinaryConverter(reader, text).Convert();
  Output.WriteBuffer(text.data(), static_cast<std::int64_t>(text.size()));
}

std::string ObjectTextToBinary(std::string_view Text) {
  TMemoryStream out;
  TWriter writer(out);
  TextParser(Text, writer).Convert();
  return std::string(static_cast<const char*>(out.Memory()), static_cast<std::size_t>(out.Size()));
}

std::string ObjectBinaryToText(std::string_view Binary) {
  TBytesStream in(Binary.data(), Binary.size());
  TReader reader(in);
  std::string text;
  BinaryConverter(reader, text).Convert();
  return text;
}

}  // namespace fw
