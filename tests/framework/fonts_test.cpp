// The fallback for fonts the system lacks: which family it takes, what it says when the
// preferred one is missing, and how far it narrows the family to the stored font's widths.
#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include <string>
#include <vector>

#include "framework/Fonts.h"
#include "tests/support/QtTestApp.h"

using namespace fw;

namespace {

// A family whose reference text is `natural` pixels wide and narrows in proportion.
auto Proportional(double natural) {
  return [natural](const std::string&, int stretch) { return natural * stretch / 100.0; };
}

TEST(FontFallback, PrefersTheFamilyThePackageDependsOn) {
  const TFontFallback f = ChooseFontFallback({"DejaVu Sans", "Liberation Sans", "Noto Sans"}, Proportional(33.0));
  EXPECT_EQ(f.Family, "Liberation Sans");
  EXPECT_TRUE(f.Warning.empty()) << f.Warning;
}

TEST(FontFallback, WithoutItSaysSoAndTakesTheBestThereIs) {
  const TFontFallback dejavu = ChooseFontFallback({"Noto Sans", "DejaVu Sans", "Liberation Serif"}, Proportional(36.6));
  EXPECT_EQ(dejavu.Family, "DejaVu Sans");
  for (const char* needle : {"\"Liberation Sans\"", "fonts-liberation2", "\"DejaVu Sans\""})
    EXPECT_NE(dejavu.Warning.find(needle), std::string::npos) << needle << " in: " << dejavu.Warning;

  EXPECT_EQ(ChooseFontFallback({"Liberation Serif", "Noto Sans"}, Proportional(33)).Family, "Noto Sans");
  const TFontFallback other = ChooseFontFallback({"Liberation Serif", "Quirky"}, Proportional(33));
  EXPECT_EQ(other.Family, "Liberation Serif");
  EXPECT_FALSE(other.Warning.empty());
  const TFontFallback none = ChooseFontFallback({}, Proportional(33));
  EXPECT_EQ(none.Family, "Sans Serif");
  EXPECT_FALSE(none.Warning.empty());
}

TEST(FontFallback, NarrowsToTheStoredFontsWidthAndNeverWidens) {
  // 33 px at full width: 97 % would give 32.01, a hundredth wider than the stored font.
  EXPECT_EQ(ChooseFontFallback({"Liberation Sans"}, Proportional(33.0)).Stretch, 96);
  EXPECT_EQ(ChooseFontFallback({"Liberation Sans"}, Proportional(32.98)).Stretch, 97);
  EXPECT_EQ(ChooseFontFallback({"Liberation Sans"}, Proportional(40.0)).Stretch, 80);
  EXPECT_EQ(ChooseFontFallback({"Liberation Sans"}, Proportional(32.0)).Stretch, 100);
  EXPECT_EQ(ChooseFontFallback({"Liberation Sans"}, Proportional(25.0)).Stretch, 100);
  // A family with a narrow face of its own answers every stretch up to 87 % with that face, a
  // little wider than asked: the fallback narrows on until the reference fits.
  auto snapping = [](const std::string&, int stretch) { return stretch > 87 ? 36.6 * stretch / 100.0 : 33.0 * stretch / 87.0; };
  const int st = ChooseFontFallback({"DejaVu Sans"}, snapping).Stretch;
  EXPECT_EQ(st, 84);
  // One that does not narrow at all stops at half width rather than looping on.
  EXPECT_EQ(ChooseFontFallback({"Stubborn"}, [](const std::string&, int) { return 50.0; }).Stretch, 50);
}

TEST(FontFallback, TheSystemsFallbackSetsTheReferenceAsNarrowAsTheStoredFont) {
  testsupport::EnsureApplication();
  const TFontFallback& f = TFont::Fallback();
  ASSERT_EQ(f.Family, kFallbackFamily) << f.Warning;
  EXPECT_LT(f.Stretch, 100);
  EXPECT_GT(f.Stretch, 85);

  TFont stored;  // "MS Sans Serif", 11 pixels: not on this system
  ASSERT_EQ(stored.Name(), "MS Sans Serif");
  const QFont q = stored.ToQFont();
  EXPECT_EQ(QFontInfo(q).family().toStdString(), kFallbackFamily);
  EXPECT_EQ(q.stretch(), f.Stretch);
  const int reference = QFontMetrics(q).horizontalAdvance(QString::fromLatin1(kReferenceText));
  EXPECT_LE(reference, kReferenceWidth);
  EXPECT_GE(reference, kReferenceWidth - 1);

  // A family the system has is shown as it is, at its own width.
  TFont own;
  own.SetName(kFallbackFamily);
  EXPECT_EQ(own.ResolvedFamily(), kFallbackFamily);
  const QFont wide = own.ToQFont();
  EXPECT_NE(wide.stretch(), f.Stretch);
  EXPECT_GT(QFontMetrics(wide).horizontalAdvance(QString::fromLatin1(kReferenceText)), reference);
}

}  // namespace
