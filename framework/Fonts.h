#pragma once
// The framework's font: name, height in pixels (negative: the character height, as stored
// forms give it; positive: the cell height), style, colour, character set; changes are
// announced. A name the system does not have falls back to a font that has Cyrillic letters,
// narrowed to the width of the font the stored forms were laid out in.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Colors.h"
#include "framework/Sets.h"

class QFont;

namespace fw {

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using enum TFontStyle;
using TFontStyles = TSet<TFontStyle>;

enum class TFontPitch { fpDefault, fpVariable, fpFixed };
using enum TFontPitch;

using TFontCharset = std::uint8_t;
inline constexpr TFontCharset ANSI_CHARSET = 0;
inline constexpr TFontCharset DEFAULT_CHARSET = 1;
inline constexpr TFontCharset SYMBOL_CHARSET = 2;
inline constexpr TFontCharset RUSSIAN_CHARSET = 204;
inline constexpr TFontCharset EASTEUROPE_CHARSET = 238;
inline constexpr TFontCharset OEM_CHARSET = 255;
bool CharsetToIdent(std::int64_t Charset, std::string& Ident);
bool IdentToCharset(const std::string& Ident, std::int64_t& Charset);

// Screen resolution the framework assumes for point sizes.
inline constexpr int kScreenPixelsPerInch = 96;

// The family fonts the system lacks are shown in, and the Debian package that brings it. Its
// letters have the shapes and, narrowed a little, the widths the stored forms' captions were
// measured in; the program's package depends on it.
inline constexpr const char* kFallbackFamily = "Liberation Sans";
inline constexpr const char* kFallbackPackage = "fonts-liberation2";

// The fonts the stored forms name were laid out in "MS Sans Serif": at a character height of
// 11 pixels it sets the text below in 32 pixels (the forms keep a hidden label of that size).
inline constexpr const char* kReferenceText = "Label5";
inline constexpr int kReferencePixels = 11;
inline constexpr int kReferenceWidth = 32;

struct TFontFallback {
  std::string Family;
  // Horizontal stretch in percent that makes the reference text no wider than in the stored
  // font; 100 where the family is no wider already.
  int Stretch = 100;
  // Empty when the preferred family is there; otherwise what is shown in its place, and why.
  std::string Warning;
};

// Picks the fallback among the families with Cyrillic letters the system has: the preferred
// family, else a common sans-serif one, else the first. `ReferenceWidth(family, stretch)` gives
// the width of the reference text at the reference height in that family and stretch.
TFontFallback ChooseFontFallback(const std::vector<std::string>& CyrillicFamilies,
                                 const std::function<double(const std::string&, int)>& ReferenceWidth);

class TFont : public TPersistent {
  FW_CLASS(TFont, TPersistent)
 public:
  TFont();

  const std::string& Name() const { return name_; }
  void SetName(const std::string& Value);
  int Height() const { return height_; }
  void SetHeight(int Value);
  // Points; Height = -Size * 96 / 72.
  int Size() const;
  void SetSize(int Value);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles Value);
  TColor Color() const { return color_; }
  void SetColor(TColor Value);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset Value);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch Value);

  void Assign(TPersistent* Source) override;
  bool SameAs(const TFont& Other) const;

  // The Qt font that shows it: the named family if the system has it with Cyrillic letters,
  // otherwise the fallback family at the fallback's stretch; pixel size from the height.
  QFont ToQFont() const;
  // The family ToQFont uses.
  std::string ResolvedFamily() const;
  // The system's fallback, chosen once the window system is up; one that is not the preferred
  // family is reported once on the standard error stream.
  static const TFontFallback& Fallback();
  static std::string FallbackFamily() { return Fallback().Family; }

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  // Whether the system has the named family with Cyrillic letters.
  bool HasOwnFamily() const;

  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int updating_ = 0;
};

}  // namespace fw
