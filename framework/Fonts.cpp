#include "framework/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <optional>

#include "framework/ClassBuilder.h"

namespace fw {

namespace {

struct CharsetName {
  std::int64_t Value;
  const char* Name;
};
constexpr CharsetName kCharsets[] = {
    {0, "ANSI_CHARSET"},       {1, "DEFAULT_CHARSET"},   {2, "SYMBOL_CHARSET"},
    {77, "MAC_CHARSET"},       {128, "SHIFTJIS_CHARSET"}, {129, "HANGEUL_CHARSET"},
    {130, "JOHAB_CHARSET"},    {134, "GB2312_CHARSET"},  {136, "CHINESEBIG5_CHARSET"},
    {161, "GREEK_CHARSET"},    {162, "TURKISH_CHARSET"}, {163, "VIETNAMESE_CHARSET"},
    {177, "HEBREW_CHARSET"},   {178, "ARABIC_CHARSET"},  {186, "BALTIC_CHARSET"},
    {204, "RUSSIAN_CHARSET"},  {222, "THAI_CHARSET"},    {238, "EASTEUROPE_CHARSET"},
    {255, "OEM_CHARSET"},
};

}  // namespace

bool CharsetToIdent(std::int64_t Charset, std::string& Ident) {
  for (const auto& c : kCharsets)
    if (c.Value == Charset) {
      Ident = c.Name;
      return true;
    }
  return false;
}

bool IdentToCharset(const std::string& Ident, std::int64_t& Charset) {
  for (const auto& c : kCharsets)
    if (AnsiSameText(Ident, c.Name)) {
      Charset = c.Value;
      return true;
    }
  return false;
}

FW_REGISTER(TFont, [](TClassBuilder<TFont>& b) {
  TPropInfo& cs = b.Integer("Charset", &TFont::Charset, &TFont::SetCharset);
  cs.IntToIdent = CharsetToIdent;
  cs.IdentToInt = IdentToCharset;
  b.Color("Color", &TFont::Color, &TFont::SetColor);
  b.Integer("Height", &TFont::Height, &TFont::SetHeight);
  b.String("Name", &TFont::Name, &TFont::SetName);
  b.Enum("Pitch", {"fpDefault", "fpVariable", "fpFixed"}, &TFont::Pitch, &TFont::SetPitch).WithDefault(0);
  b.Integer("Size", &TFont::Size, &TFont::SetSize).StoredIf([](const TPersistent&) { return false; });
  b.Set("Style", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}, &TFont::Style, &TFont::SetStyle);
})

TFont::TFont() = default;

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& Value) {
  if (name_ == Value || Value.empty()) return;
  name_ = Value;
  Changed();
}

void TFont::SetHeight(int Value) {
  if (height_ == Value) return;
  height_ = Value;
  Changed();
}

int TFont::Size() const {
  return -static_cast<int>(std::lround(static_cast<double>(height_) * 72.0 / kScreenPixelsPerInch));
}

void TFont::SetSize(int Value) {
  SetHeight(-static_cast<int>(std::lround(static_cast<double>(Value) * kScreenPixelsPerInch / 72.0)));
}

void TFont::SetStyle(TFontStyles Value) {
  if (style_ == Value) return;
  style_ = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (color_ == Value) return;
  color_ = Value;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (charset_ == Value) return;
  charset_ = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (pitch_ == Value) return;
  pitch_ = Value;
  Changed();
}

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (SameAs(*f)) return;
    name_ = f->name_;
    height_ = f->height_;
    style_ = f->style_;
    color_ = f->color_;
    charset_ = f->charset_;
    pitch_ = f->pitch_;
    Changed();
    return;
  }
  TPersistent::Assign(Source);
}

bool TFont::SameAs(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_;
}

namespace {

// Fonts are set with vertical hinting only, so that advances keep the face's own widths on
// every display (full hinting rounds each letter to whole pixels, and a caption's width would
// then depend on the desktop's settings).
QFont MakeQFont(const std::string& family, int pixels, int stretch) {
  QFont f(QString::fromStdString(family));
  f.setPixelSize(std::max(1, pixels));
  if (stretch != 100) f.setStretch(stretch);
  f.setHintingPreference(QFont::PreferVerticalHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

}  // namespace

TFontFallback ChooseFontFallback(const std::vector<std::string>& CyrillicFamilies,
                                 const std::function<double(const std::string&, int)>& ReferenceWidth) {
  TFontFallback r;
  auto has = [&](const std::string& f) {
    return std::find(CyrillicFamilies.begin(), CyrillicFamilies.end(), f) != CyrillicFamilies.end();
  };
  for (const char* want : {kFallbackFamily, "DejaVu Sans", "Noto Sans", "FreeSans"})
    if (has(want)) {
      r.Family = want;
      break;
    }
  if (r.Family.empty()) r.Family = CyrillicFamilies.empty() ? "Sans Serif" : CyrillicFamilies.front();
  if (r.Family != kFallbackFamily)
    r.Warning = std::string("The font \"") + kFallbackFamily + "\" is not installed (Debian package " +
                kFallbackPackage + "): the forms are shown in \"" + r.Family +
                "\" instead, and some of their captions may be cut or run together.";
  // No wider than the stored font sets the reference (the small slack absorbs rounding in the
  // measurement, not a pixel).
  auto fits = [&](int stretch) { return ReferenceWidth(r.Family, stretch) <= kReferenceWidth + 1e-3; };
  constexpr int kNarrowest = 50;
  if (!fits(100)) {
    const double natural = ReferenceWidth(r.Family, 100);
    int st = std::clamp(static_cast<int>(std::floor(100.0 * kReferenceWidth / natural + 1e-9)), kNarrowest, 100);
    // A family with narrow faces of its own may answer a stretch with one of them rather than
    // with exactly the width asked for: narrow on until the reference fits.
    while (st > kNarrowest && !fits(st)) --st;
    r.Stretch = st;
  }
  return r;
}

const TFontFallback& TFont::Fallback() {
  // Before the window system is up nothing can be measured; the choice waits for it.
  static const TFontFallback before{"Sans Serif", 100, {}};
  static std::optional<TFontFallback> chosen;
  if (chosen) return *chosen;
  if (!QGuiApplication::instance()) return before;
  std::vector<std::string> families;
  for (const QString& f : QFontDatabase::families(QFontDatabase::Cyrillic)) families.push_back(f.toStdString());
  chosen = ChooseFontFallback(families, [](const std::string& family, int stretch) {
    return QFontMetricsF(MakeQFont(family, kReferencePixels, stretch)).horizontalAdvance(QString::fromLatin1(kReferenceText));
  });
  if (!chosen->Warning.empty()) std::fprintf(stderr, "%s\n", chosen->Warning.c_str());
  return *chosen;
}

bool TFont::HasOwnFamily() const {
  if (!QGuiApplication::instance()) return true;
  static std::map<std::string, bool> known;
  auto it = known.find(name_);
  if (it == known.end()) {
    const QString name = QString::fromStdString(name_);
    bool has = QFontDatabase::families().contains(name) &&
               QFontDatabase::writingSystems(name).contains(QFontDatabase::Cyrillic);
    it = known.emplace(name_, has).first;
  }
  return it->second;
}

std::string TFont::ResolvedFamily() const { return HasOwnFamily() ? name_ : Fallback().Family; }

QFont TFont::ToQFont() const {
  // A negative height is the character height; a positive one the cell height, of which the
  // characters take about four fifths.
  int px = height_ < 0 ? -height_ : height_ > 0 ? std::max(1, static_cast<int>(std::lround(height_ * 0.8))) : 11;
  QFont f = HasOwnFamily() ? MakeQFont(name_, px, 100) : MakeQFont(Fallback().Family, px, Fallback().Stretch);
  f.setBold(style_.Contains(fsBold));
  f.setItalic(style_.Contains(fsItalic));
  f.setUnderline(style_.Contains(fsUnderline));
  f.setStrikeOut(style_.Contains(fsStrikeOut));
  if (pitch_ == fpFixed) f.setFixedPitch(true);
  return f;
}

}  // namespace fw
