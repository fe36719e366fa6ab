#pragma once
// Errors, message formatting and the string-to-integer conversion of the form framework.
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fw {

// Base of every error the framework and the component layer raise.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }

 private:
  std::string message_;
};

#define FW_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

FW_DECLARE_EXCEPTION(EConvertError, Exception);
FW_DECLARE_EXCEPTION(EListError, Exception);
FW_DECLARE_EXCEPTION(EIntfCastError, Exception);
FW_DECLARE_EXCEPTION(EStreamError, Exception);
FW_DECLARE_EXCEPTION(EFilerError, EStreamError);
FW_DECLARE_EXCEPTION(EReadError, EFilerError);
FW_DECLARE_EXCEPTION(EWriteError, EFilerError);
FW_DECLARE_EXCEPTION(EClassNotFound, EFilerError);
FW_DECLARE_EXCEPTION(EPropertyError, Exception);
FW_DECLARE_EXCEPTION(EComponentError, Exception);
FW_DECLARE_EXCEPTION(EInvalidOperation, Exception);
FW_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
FW_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
FW_DECLARE_EXCEPTION(EOutOfResources, Exception);
FW_DECLARE_EXCEPTION(EOutOfMemory, Exception);
FW_DECLARE_EXCEPTION(EIntError, Exception);
FW_DECLARE_EXCEPTION(EDivByZero, EIntError);
FW_DECLARE_EXCEPTION(EMathError, Exception);
FW_DECLARE_EXCEPTION(EZeroDivide, EMathError);

// The framework's own message texts.
namespace msg {
inline constexpr const char* InvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* ListIndexError = "List index out of bounds (%d)";
inline constexpr const char* ReadError = "Stream read error";
inline constexpr const char* WriteError = "Stream write error";
inline constexpr const char* InvalidImage = "Invalid stream format";
inline constexpr const char* InvalidPropertyValue = "Invalid property value";
inline constexpr const char* UnknownProperty = "Property %s does not exist";
inline constexpr const char* ClassNotFound = "Class %s not found";
inline constexpr const char* DuplicateName = "A component named %s already exists";
inline constexpr const char* InvalidName = "'%s' is not a valid component name";
inline constexpr const char* AssignError = "Cannot assign a %s to a %s";
inline constexpr const char* OutOfMemory = "Out of memory";
inline constexpr const char* DivByZero = "Division by zero";
inline constexpr const char* OutOfResources = "Out of system resources";
inline constexpr const char* InvalidGraphic = "Invalid graphic format";
inline constexpr const char* InvalidGraphicOperation = "Invalid graphic operation";
inline constexpr const char* UnknownExtension = "Unknown picture file extension (.%s)";
inline constexpr const char* InvalidFormat = "Format '%s' invalid or incompatible with argument";
inline constexpr const char* IntfCastError = "Interface not supported";
}  // namespace msg

// One argument of Format: an integer (for %d, %u, %x) or a text (for %s).
using FormatArg = std::variant<std::int64_t, std::string>;

// Fills %s, %d, %u and %x (with optional '-', width and, for %s, '.precision') and %% in order.
// A mismatched or missing argument raises EConvertError, as the framework's formatter does.
std::string FormatV(std::string_view format, const std::vector<FormatArg>& args);

namespace detail {
inline FormatArg ToFormatArg(const std::string& s) { return s; }
inline FormatArg ToFormatArg(std::string_view s) { return std::string(s); }
inline FormatArg ToFormatArg(const char* s) { return std::string(s ? s : ""); }
template <class T>
  requires std::is_integral_v<T> || std::is_enum_v<T>
FormatArg ToFormatArg(T v) {
  return static_cast<std::int64_t>(v);
}
}  // namespace detail

template <class... Args>
std::string Format(std::string_view format, const Args&... args) {
  return FormatV(format, std::vector<FormatArg>{detail::ToFormatArg(args)...});
}

// Decimal text with an optional sign to a 32-bit signed integer. Empty text, blanks, any other
// character or a value outside the 32-bit range raise EConvertError with InvalidInteger.
std::int32_t StrToInt(std::string_view text);
// The same conversion without raising: false where StrToInt would raise.
bool TryStrToInt(std::string_view text, std::int32_t& value);
std::string IntToStr(std::int64_t value);

// Texts are UTF-8 throughout; names handed to the platform's ANSI interfaces are code page 1251.
std::string Utf8ToCp1251(std::string_view utf8);
// Appends one code point as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
std::string Cp1251ToUtf8(std::string_view ansi);
// Upper and lower case as the ANSI code page sees it: ASCII and the Cyrillic letters of 1251.
std::string AnsiUpperCase(std::string_view utf8);
std::string AnsiLowerCase(std::string_view utf8);
bool AnsiSameText(std::string_view a, std::string_view b);

}  // namespace fw
