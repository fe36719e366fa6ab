#pragma once
// The framework's font: name, height in pixels (negative: the character height, as stored
// forms give it; positive: the cell height), style, colour, character set; changes are
// announced. A name the system does not have falls back to a font that has Cyrillic letters.
#include <cstdint>
#include <string>

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

  // The Qt font that shows it: the named family if the system has it, otherwise the fallback
  // family; pixel size from the height.
  QFont ToQFont() const;
  // The family ToQFont uses.
  std::string ResolvedFamily() const;
  static std::string FallbackFamily();

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  std::string name_ = "MS Sans Serif";
  int height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
  int updating_ = 0;
};

}  // namespace fw
