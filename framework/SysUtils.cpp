#include "framework/SysUtils.h"

#include <array>
#include <charconv>
#include <climits>

namespace fw {

namespace {

[[noreturn]] void BadFormat(std::string_view format) {
  throw EConvertError(FormatV(msg::InvalidFormat, {std::string(format)}));
}

void Pad(std::string& out, const std::string& piece, int width, bool left) {
  const int fill = width - static_cast<int>(piece.size());
  if (fill > 0 && !left) out.append(static_cast<std::size_t>(fill), ' ');
  out += piece;
  if (fill > 0 && left) out.append(static_cast<std::size_t>(fill), ' ');
}

}  // namespace

std::string FormatV(std::string_view format, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 16);
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) BadFormat(format);
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    if (format[i] == '-') {
      left = true;
      if (++i >= format.size()) BadFormat(format);
    }
    int width = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9' && width < 10000)
      width = width * 10 + (format[i++] - '0');
    int precision = -1;
    if (i < format.size() && format[i] == '.') {
      precision = 0;
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9' && precision < 10000)
        precision = precision * 10 + (format[i++] - '0');
    }
    if (i >= format.size() || next >= args.size()) BadFormat(format);
    const FormatArg& arg = args[next++];
    const char conv = static_cast<char>(format[i] | 0x20);
    std::string piece;
    if (conv == 's') {
      if (!std::holds_alternative<std::string>(arg)) BadFormat(format);
      piece = std::get<std::string>(arg);
      if (precision >= 0 && piece.size() > static_cast<std::size_t>(precision))
        piece.resize(static_cast<std::size_t>(precision));
    } else if (conv == 'd' || conv == 'u' || conv == 'x') {
      if (!std::holds_alternative<std::int64_t>(arg)) BadFormat(format);
      std::int64_t v = std::get<std::int64_t>(arg);
      char buf[32];
      std::to_chars_result r;
      if (conv == 'd') {
        r = std::to_chars(buf, buf + sizeof buf, v);
      } else {
        // Unsigned and hexadecimal forms show the 32-bit pattern of a 32-bit value.
        std::uint64_t u = static_cast<std::uint64_t>(v);
        if (v >= INT32_MIN && v <= static_cast<std::int64_t>(UINT32_MAX)) u &= 0xFFFFFFFFu;
        r = std::to_chars(buf, buf + sizeof buf, u, conv == 'x' ? 16 : 10);
      }
      piece.assign(buf, r.ptr);
      if (format[i] == 'X')
        for (char& ch : piece) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      if (precision > static_cast<int>(piece.size()))
        piece.insert(piece[0] == '-' ? 1 : 0, static_cast<std::size_t>(precision) - piece.size(), '0');
    } else {
      BadFormat(format);
    }
    Pad(out, piece, width, left);
  }
  return out;
}

bool TryStrToInt(std::string_view text, std::int32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > static_cast<std::int64_t>(INT32_MAX) + 1) return false;
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

std::int32_t StrToInt(std::string_view text) {
  std::int32_t v = 0;
  if (!TryStrToInt(text, v)) throw EConvertError(Format(msg::InvalidInteger, std::string(text)));
  return v;
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

namespace {

// Code page 1251, bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F. 0 marks a hole.
constexpr std::array<char16_t, 64> kCp1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

unsigned char UnicodeTo1251(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<unsigned char>(0xC0 + (cp - 0x0410));
  for (std::size_t i = 0; i < kCp1251High.size(); ++i)
    if (kCp1251High[i] == cp && cp != 0) return static_cast<unsigned char>(0x80 + i);
  return '?';
}

char32_t Cp1251ToUnicode(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  const char16_t u = kCp1251High[b - 0x80];
  return u ? u : 0xFFFD;
}

// Decodes one UTF-8 sequence; malformed bytes come out as U+FFFD, one byte at a time.
char32_t NextCodePoint(std::string_view s, std::size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra = b0 >= 0xF0 && b0 < 0xF8 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC2 && b0 < 0xE0 ? 1 : -1;
  if (extra < 0 || b0 >= 0xF8) return 0xFFFD;
  char32_t cp = b0 & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return cp;
}

// Case pairs of code page 1251 beyond the plain ranges A-Z and 0xC0-0xDF.
constexpr std::array<std::pair<unsigned char, unsigned char>, 15> kCasePairs = {{
    {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D},
    {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4},
    {0xA8, 0xB8}, {0xAA, 0xBA}, {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}}};

unsigned char Upper1251(unsigned char b) {
  if (b >= 'a' && b <= 'z') return b - 32;
  if (b >= 0xE0) return b - 32;
  for (auto [u, l] : kCasePairs)
    if (b == l) return u;
  return b;
}

unsigned char Lower1251(unsigned char b) {
  if (b >= 'A' && b <= 'Z') return b + 32;
  if (b >= 0xC0 && b <= 0xDF) return b + 32;
  for (auto [u, l] : kCasePairs)
    if (b == u) return l;
  return b;
}

template <class F>
std::string MapCase(std::string_view utf8, F f) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t cp = NextCodePoint(utf8, i);
    const unsigned char b = UnicodeTo1251(cp);
    // Characters outside the code page keep their case.
    AppendUtf8(out, b == '?' && cp != '?' ? cp : Cp1251ToUnicode(f(b)));
  }
  return out;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) out += static_cast<char>(UnicodeTo1251(NextCodePoint(utf8, i)));
  return out;
}

std::string Cp1251ToUtf8(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size() * 2);
  for (char c : ansi) AppendUtf8(out, Cp1251ToUnicode(static_cast<unsigned char>(c)));
  return out;
}

std::string AnsiUpperCase(std::string_view utf8) { return MapCase(utf8, Upper1251); }
std::string AnsiLowerCase(std::string_view utf8) { return MapCase(utf8, Lower1251); }
bool AnsiSameText(std::string_view a, std::string_view b) { return AnsiUpperCase(a) == AnsiUpperCase(b); }

}  // namespace fw
