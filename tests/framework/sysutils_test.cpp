#include <gtest/gtest.h>

#include "framework/SysUtils.h"

using namespace fw;

TEST(StrToInt, AcceptsDecimalWithOptionalSign) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("75"), 75);
  EXPECT_EQ(StrToInt("+25"), 25);
  EXPECT_EQ(StrToInt("-400"), -400);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("007"), 7);
}

TEST(StrToInt, RefusesEverythingElseWithTheConversionError) {
  for (const char* bad : {"", " ", " 5", "5 ", "+", "-", "1e3", "12a", "0x10", "2147483648",
                          "-2147483649", "99999999999999999999", "1,5", "٣"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << "accepted '" << bad << "'";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
}

TEST(Format, FillsPlaceholdersInOrder) {
  EXPECT_EQ(Format("Display mode cannot be changed (%dx%d %dbit)", 800, 600, 16),
            "Display mode cannot be changed (800x600 16bit)");
  EXPECT_EQ(Format("%s not loaded", "DDraw.dll"), "DDraw.dll not loaded");
  EXPECT_EQ(Format("%x", 0x887601C2u), "887601c2");
  EXPECT_EQ(Format("%X", -1), "FFFFFFFF");
  EXPECT_EQ(Format("%5d|%-4s|%%", 42, "ab"), "   42|ab  |%");
  EXPECT_EQ(Format("%.3d", 7), "007");
}

TEST(Format, MismatchedArgumentsRaise) {
  EXPECT_THROW(Format("%d", "text"), EConvertError);
  EXPECT_THROW(Format("%s %s", "one"), EConvertError);
  EXPECT_THROW(Format("%q", 1), EConvertError);
  EXPECT_THROW(Format("trailing %", 1), EConvertError);
}

TEST(AnsiCodePage, RoundTripsCyrillicAndFoldsCase) {
  const std::string ua = "Модель_Sprix Ґґ Єє Іі Її";
  EXPECT_EQ(Cp1251ToUtf8(Utf8ToCp1251(ua)), ua);
  EXPECT_EQ(Utf8ToCp1251("Вийти").size(), 5u);
  EXPECT_EQ(static_cast<unsigned char>(Utf8ToCp1251("А")[0]), 0xC0);
  EXPECT_EQ(AnsiUpperCase("вода ґ ї abc"), "ВОДА Ґ Ї ABC");
  EXPECT_EQ(AnsiLowerCase("IMG1 ВОДА"), "img1 вода");
  EXPECT_TRUE(AnsiSameText("Background", "BACKGROUND"));
  EXPECT_FALSE(AnsiSameText("img1", "img2"));
  EXPECT_EQ(Utf8ToCp1251("日"), "?");
}
