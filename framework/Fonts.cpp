#include "framework/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>

#include <cmath>
#include <map>

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

std::string TFont::FallbackFamily() {
  // A family with Cyrillic letters; Liberation Sans first, because its letters are about as
  // wide as those of the fonts the stored forms name, so captions laid out for them still fit.
  // Whatever the system offers for the generic sans-serif family otherwise.
  static const std::string chosen = [] {
    if (QGuiApplication::instance()) {
      const QStringList fams = QFontDatabase::families(QFontDatabase::Cyrillic);
      for (const char* want : {"Liberation Sans", "DejaVu Sans", "Noto Sans", "FreeSans"})
        if (fams.contains(QString::fromLatin1(want))) return std::string(want);
      if (!fams.isEmpty()) return fams.front().toStdString();
    }
    return std::string("Sans Serif");
  }();
  return chosen;
}

std::string TFont::ResolvedFamily() const {
  if (!QGuiApplication::instance()) return name_;
  static std::map<std::string, bool> known;
  auto it = known.find(name_);
  if (it == known.end()) {
    bool has = QFontDatabase::families().contains(QString::fromStdString(name_)) &&
               QFontDatabase::writingSystems(QString::fromStdString(name_)).contains(QFontDatabase::Cyrillic);
    it = known.emplace(name_, has).first;
  }
  return it->second ? name_ : FallbackFamily();
}

QFont TFont::ToQFont() const {
  QFont f(QString::fromStdString(ResolvedFamily()));
  // A negative height is the character height; a positive one the cell height, of which the
  // characters take about four fifths.
  int px = height_ < 0 ? -height_ : height_ > 0 ? std::max(1, static_cast<int>(std::lround(height_ * 0.8))) : 11;
  f.setPixelSize(std::max(1, px));
  f.setBold(style_.Contains(fsBold));
  f.setItalic(style_.Contains(fsItalic));
  f.setUnderline(style_.Contains(fsUnderline));
  f.setStrikeOut(style_.Contains(fsStrikeOut));
  if (pitch_ == fpFixed) f.setFixedPitch(true);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

}  // namespace fw
