#include "framework/Colors.h"

#include <array>
#include <utility>

#include "framework/SysUtils.h"

namespace fw {

namespace {

constexpr std::array<std::pair<TColor, const char*>, 45> kColorNames = {{
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clLtGray, "clLtGray"},
    {clDkGray, "clDkGray"},
}};

// The classic scheme, as 0x00BBGGRR, by system colour index.
constexpr std::array<TColor, 25> kSystemRgb = {
    0xC8C8C8, 0x000000, 0x6A240A, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xC0C0C0, 0xC0C0C0, 0x808080, 0x6A240A, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x808080,
    0x000000, 0xC0C0C0, 0xFFFFFF, 0x404040, 0xC0C0C0, 0x000000, 0xE1FFFF};

}  // namespace

std::optional<std::string> ColorToIdent(TColor color) {
  for (const auto& [value, name] : kColorNames)
    if (value == color) return std::string(name);
  return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string& ident) {
  for (const auto& [value, name] : kColorNames)
    if (AnsiSameText(ident, name)) return value;
  return std::nullopt;
}

TColor ColorToRGB(TColor color) {
  if (color == clNone || color == clDefault) return clBlack;
  if (color < 0) {
    const auto index = static_cast<std::size_t>(static_cast<std::uint32_t>(color) & 0xFF);
    return index < kSystemRgb.size() ? kSystemRgb[index] : clBlack;
  }
  return color;
}

}  // namespace fw
