#include "examples/harbour/HarbourArt.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "dx/DIB.h"
#include "framework/Classes.h"

namespace harbour {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::uint32_t Rgb(int r, int g, int b) {
  auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
  return (c(r) << 16) | (c(g) << 8) | c(b);
}

// A strip of Frames patterns of W x H, each filled by Pixel(frame, x, y) as 0xRRGGBB; 0 is
// see-through on the sprites.
std::unique_ptr<dx::TDIB> Strip(int W, int H, int Frames, const std::function<std::uint32_t(int, int, int)>& Pixel) {
  auto dib = std::make_unique<dx::TDIB>();
  dib->SetSize(W * Frames, H, 24);
  for (int f = 0; f < Frames; ++f)
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) dib->SetPixel(f * W + x, y, Pixel(f, x, y));
  return dib;
}

std::uint32_t Water(int x, int y) {
  const double ripple = std::sin((x + y * 0.6) * kPi / 8) + 0.5 * std::sin((x * 0.7 - y) * kPi / 16);
  return Rgb(18, 72 + static_cast<int>(8 * ripple), 138 + static_cast<int>(14 * ripple));
}

std::uint32_t SeaPixel(int tile, int x, int y) {
  const double dx = x - 15.5, dy = y - 15.5;
  switch (tile) {
    case tSwell: {
      // Two white crests drifting across the cell.
      const double crest = std::fabs(std::sin((x * 0.2 + y) * kPi / 16));
      return crest > 0.93 && (x % 11) > 2 ? Rgb(200, 225, 240) : Water(x, y);
    }
    case tRock: {
      const double r = std::sqrt(dx * dx * 0.8 + dy * dy);
      if (r > 14) return r < 15.5 ? Rgb(210, 230, 240) : Water(x, y);  // surf round the rock
      const int shade = static_cast<int>(60 - 3 * r - 2 * dx - 2 * dy);
      return Rgb(90 + shade, 88 + shade, 84 + shade);
    }
    case tSand: {
      const double r = std::sqrt(dx * dx + dy * dy * 1.4);
      if (r > 15) return Water(x, y);
      const int grain = ((x * 7 + y * 13) % 5) * 4;
      return r > 13 ? Rgb(120, 170, 170) : Rgb(214 - grain, 190 - grain, 130 - grain);
    }
    default:
      return Water(x, y);
  }
}

std::uint32_t BoatPixel(int frame, int x, int y) {
  static constexpr int kBob[4] = {0, 1, 2, 1};
  const int yy = y - kBob[frame];
  // Hull: a trapezoid, narrower at the keel.
  if (yy >= 18 && yy <= 25) {
    const int inset = (yy - 18) / 2;
    if (x >= 2 + inset && x <= 37 - inset) return yy == 18 ? Rgb(240, 220, 160) : Rgb(170, 60, 40);
  }
  // Mast and a sail that leans with the rocking.
  const int lean = kBob[frame] - 1;
  if (x == 18 && yy >= 2 && yy < 18) return Rgb(110, 80, 50);
  if (yy >= 3 && yy < 17 && x > 18 && x <= 18 + (yy - 3) + lean && x < 34) return Rgb(245, 242, 230);
  // The pennant flutters.
  if (yy >= 1 && yy <= 2 && x >= 19 && x <= 22 + (frame % 2) * 2) return Rgb(230, 40, 40);
  return 0;
}

std::uint32_t BuoyPixel(int frame, int x, int y) {
  static constexpr int kBob[4] = {0, 1, 2, 1};
  const int yy = y - kBob[frame];
  const int dx = x - 10;
  // The lamp, lit in the first two frames.
  if (yy >= 2 && yy <= 5 && dx * dx + (yy - 4) * (yy - 4) <= 4)
    return frame < 2 ? Rgb(255, 240, 90) : Rgb(110, 90, 40);
  if (yy >= 6 && yy < 8 && (dx == 0)) return Rgb(60, 60, 60);
  // The body: a cone in red and white bands.
  if (yy >= 8 && yy <= 24) {
    const int half = 2 + (yy - 8) / 3;
    if (std::abs(dx) <= half) return ((yy - 8) / 4) % 2 == 0 ? Rgb(220, 30, 30) : Rgb(245, 245, 245);
  }
  return 0;
}

std::uint32_t GullPixel(int frame, int x, int y) {
  static constexpr int kTip[4] = {0, 5, 11, 5};
  const int dx = x - 16;
  const int ax = std::abs(dx);
  // Body and head.
  if (ax <= 3 && y >= 6 && y <= 8) return Rgb(240, 240, 235);
  if (dx >= 4 && dx <= 5 && y >= 5 && y <= 7) return dx == 5 && y == 7 ? Rgb(240, 170, 40) : Rgb(240, 240, 235);
  // Wings: from the shoulders up (or down) to the tips, bent at the wrist.
  if (ax >= 2 && ax <= 15) {
    const int tip = kTip[frame];
    const int wing = ax <= 8 ? 6 - (ax - 2) / 2 : 3 + (ax - 8) * (tip - 3) / 7;
    if (y == wing || (ax <= 10 && y == wing + 1)) return ax > 11 ? Rgb(60, 60, 70) : Rgb(205, 205, 200);
  }
  return 0;
}

void AddPicture(dx::TPictureCollection& Items, const std::string& Name, dx::TDIB& Dib, int PW, int PH,
                bool Transparent) {
  dx::TPictureCollectionItem* item = Items.Add();
  item->SetName(Name);
  item->Picture()->SetGraphic(&Dib);
  item->SetPatternWidth(PW);
  item->SetPatternHeight(PH);
  item->SetTransparent(Transparent);
  item->SetTransparentColor(fw::clBlack);
}

void AddWave(dx::TWaveCollection& Items, const std::string& Name, const std::vector<double>& Samples) {
  auto* item = static_cast<dx::TWaveCollectionItem*>(Items.Add());
  item->SetName(Name);
  item->SetMaxPlayingCount(4);
  const std::string riff = MakeRiffWave(22050, Samples);
  fw::TMemoryStream stream;
  stream.Write(riff.data(), static_cast<std::int64_t>(riff.size()));
  stream.Seek(0, fw::soBeginning);
  item->Wave()->LoadFromStream(stream);
}

}  // namespace

void AddPictures(dx::TPictureCollection& Items) {
  auto sea = Strip(kTile, kTile, 4, SeaPixel);
  auto boat = Strip(kBoatW, kBoatH, 4, BoatPixel);
  auto buoy = Strip(kBuoyW, kBuoyH, 4, BuoyPixel);
  auto gull = Strip(kGullW, kGullH, 4, GullPixel);
  AddPicture(Items, "sea", *sea, kTile, kTile, false);
  AddPicture(Items, "boat", *boat, kBoatW, kBoatH, true);
  AddPicture(Items, "buoy", *buoy, kBuoyW, kBuoyH, true);
  AddPicture(Items, "gull", *gull, kGullW, kGullH, true);
}

void AddWaves(dx::TWaveCollection& Items) {
  constexpr int kRate = 22050;
  auto make = [](double Seconds, const std::function<double(double)>& F) {
    std::vector<double> s(static_cast<std::size_t>(Seconds * kRate));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = F(static_cast<double>(i) / kRate);
    return s;
  };
  // A bell: a few inharmonic partials dying away.
  AddWave(Items, "bell", make(0.6, [](double t) {
            return 0.5 * std::exp(-6 * t) *
                   (std::sin(2 * kPi * 880 * t) + 0.5 * std::sin(2 * kPi * 2210 * t) +
                    0.3 * std::sin(2 * kPi * 1330 * t)) / 1.8;
          }));
  // A thud: a low tone under a burst of noise.
  std::uint32_t seed = 12345;
  AddWave(Items, "thud", make(0.3, [&seed](double t) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = static_cast<double>(seed >> 8) / (1u << 24) * 2 - 1;
            return std::exp(-14 * t) * (0.6 * std::sin(2 * kPi * 70 * t) + 0.3 * noise);
          }));
  // A horn: a reedy tone with a short attack and release.
  AddWave(Items, "horn", make(0.7, [](double t) {
            double v = 0;
            for (int k = 1; k <= 5; ++k) v += std::sin(2 * kPi * 196 * k * t) / k;
            const double env = std::min({1.0, t / 0.05, (0.7 - t) / 0.1});
            return 0.3 * env * v;
          }));
}

std::string MakeRiffWave(int Rate, const std::vector<double>& Samples) {
  std::string out;
  auto u32 = [&out](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto u16 = [&out](std::uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
  };
  const auto data = static_cast<std::uint32_t>(Samples.size() * 2);
  out += "RIFF";
  u32(36 + data);
  out += "WAVEfmt ";
  u32(16);
  u16(1);  // PCM
  u16(1);  // mono
  u32(static_cast<std::uint32_t>(Rate));
  u32(static_cast<std::uint32_t>(Rate) * 2);
  u16(2);
  u16(16);
  out += "data";
  u32(data);
  for (double s : Samples) {
    const auto v = static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 1.0) * 32767));
    u16(static_cast<std::uint16_t>(v));
  }
  return out;
}

}  // namespace harbour
