// Makes the six pictures of the full-screen scene's image list and writes the image list as a
// stored object (text form of the component stream): the colour table the list builds from its
// pictures, then the items with their pictures.
//
//   make_scene_pictures out.form [preview-dir]
//
// With a preview directory it also writes what the pictures look like once decoded, and a
// composed 800 x 600 scene as the 16-bit display keys it, as binary PPM files.
//
// Every picture is deterministic. Where a picture is to be see-through, the transparent colour
// is painted in whole 8 x 8 blocks wherever the shape allows, so that the JPEG coder gives it
// back exactly; the generator checks that after decoding.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "framework/Jpeg.h"
#include "framework/Streaming.h"

// After the platform headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Rgb {
  std::uint8_t r, g, b;
};

struct Image {
  int w = 0, h = 0;
  std::vector<Rgb> px;
  Image(int W, int H) : w(W), h(H), px(static_cast<std::size_t>(W) * H) {}
  Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y) * w + x]; }
  const Rgb& at(int x, int y) const { return px[static_cast<std::size_t>(y) * w + x]; }
};

std::uint8_t Clamp(double v) { return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

// Value noise on a lattice that wraps, so that a picture made of it tiles without a seam.
class PeriodicNoise {
 public:
  PeriodicNoise(int cellsX, int cellsY, std::uint32_t seed) : cx_(cellsX), cy_(cellsY), v_(cellsX * cellsY) {
    std::uint32_t s = seed;
    for (double& d : v_) {
      s = s * 1664525u + 1013904223u;
      d = static_cast<double>(s >> 8) / static_cast<double>(1u << 24);
    }
  }
  // u, v in [0, 1): position over the whole period.
  double At(double u, double v) const {
    const double fx = u * cx_, fy = v * cy_;
    const int ix = static_cast<int>(std::floor(fx)), iy = static_cast<int>(std::floor(fy));
    const double tx = fx - ix, ty = fy - iy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    auto L = [&](int x, int y) { return v_[static_cast<std::size_t>(((y % cy_ + cy_) % cy_) * cx_ + ((x % cx_ + cx_) % cx_))]; };
    const double top = L(ix, iy) * (1 - sx) + L(ix + 1, iy) * sx;
    const double bottom = L(ix, iy + 1) * (1 - sx) + L(ix + 1, iy + 1) * sx;
    return top * (1 - sy) + bottom * sy;
  }

 private:
  int cx_, cy_;
  std::vector<double> v_;
};

// Octaves of periodic noise, 0..1.
double Fbm(const std::vector<PeriodicNoise>& octaves, double u, double v) {
  double sum = 0, amp = 0.5, norm = 0;
  for (const PeriodicNoise& n : octaves) {
    sum += amp * n.At(u, v);
    norm += amp;
    amp *= 0.5;
  }
  return sum / norm;
}

// ---- the pictures ---------------------------------------------------------------------------

// Blue water seen from the side: depth shading, slow swirls and bright caustic threads. Every
// term repeats over the 256-pixel period, so the tiles meet without a seam.
Image MakeWater() {
  constexpr int N = 256;
  Image img(N, N);
  std::vector<PeriodicNoise> swirl{{4, 4, 11}, {8, 8, 12}, {16, 16, 13}, {32, 32, 14}};
  std::vector<PeriodicNoise> threads{{6, 6, 21}, {12, 12, 22}};
  std::vector<PeriodicNoise> grain{{64, 64, 31}, {128, 128, 32}};
  for (int y = 0; y < N; ++y) {
    for (int x = 0; x < N; ++x) {
      const double u = x / double(N), v = y / double(N);
      // Warp the thread pattern by the swirl so the caustics wander instead of forming a grid.
      const double s = Fbm(swirl, u, v);
      const double wu = u + 0.08 * std::sin(2 * kPi * (v + s)), wv = v + 0.08 * std::cos(2 * kPi * (u + s));
      const double t = Fbm(threads, wu - std::floor(wu), wv - std::floor(wv));
      const double ridge = std::pow(1.0 - std::fabs(2 * t - 1), 10);  // thin bright lines
      const double g = Fbm(grain, u, v) - 0.5;
      const double shade = 0.55 + 0.45 * s;
      img.at(x, y) = Rgb{Clamp(18 + 40 * shade + 70 * ridge + 10 * g), Clamp(66 + 70 * shade + 90 * ridge + 14 * g),
                         Clamp(128 + 80 * shade + 60 * ridge + 16 * g)};
    }
  }
  return img;
}

// The surface band: pale misty air with faint horizontal streaks, ending in a wavy water line
// with a light crest; below the line it is the transparent colour, so the water shows through.
Image MakeBand(int width, Rgb key, std::uint32_t seed) {
  constexpr int H = 100;
  Image img(width, H);
  std::vector<PeriodicNoise> mist{{width / 100, 2, seed}, {width / 50, 4, seed + 1}, {width / 25, 8, seed + 2}};
  std::vector<PeriodicNoise> streak{{width / 40, 25, seed + 3}, {width / 20, 50, seed + 4}};
  for (int x = 0; x < width; ++x) {
    const double u = x / double(width);
    // Wave crests: two swells and a short chop; the line stays between rows 70 and 86, so rows
    // 88 to 99 are the transparent colour in whole blocks.
    const double line = 78 + 4.0 * std::sin(2 * kPi * (u * width / 160.0)) +
                        2.5 * std::sin(2 * kPi * (u * width / 61.0 + 0.3)) + 1.2 * std::sin(2 * kPi * (u * width / 23.0));
    for (int y = 0; y < H; ++y) {
      if (y >= 88 || y > line + 0.5) {
        img.at(x, y) = key;
        continue;
      }
      const double v = y / double(H);
      const double m = Fbm(mist, u, v);
      const double s = Fbm(streak, u, v) - 0.5;
      // Brighter towards the water, where the surface reflects the sky.
      const double lift = v * 18;
      double r = 206 + 22 * m + 10 * s + lift, g = 204 + 20 * m + 10 * s + lift, b = 222 + 18 * m + 8 * s + lift;
      const double d = line - y;  // rows above the water line
      if (d < 3) {                // the crest: a white rim with a blue underside
        r = 244 - 20 * (3 - d);
        g = 248 - 14 * (3 - d);
        b = 252 - 4 * (3 - d);
      }
      img.at(x, y) = Rgb{Clamp(r), Clamp(g), Clamp(b)};
    }
  }
  return img;
}

// A body: a grey-white block with a stony texture, a bevel and rounded corners. Outside the
// corners it is the transparent colour. Grey levels close to the transparent colour are moved
// away from it, so that no part of the body is keyed out by accident.
Image MakeBody(int size, std::uint8_t key, int radius, std::uint32_t seed) {
  Image img(size, size);
  std::vector<PeriodicNoise> stone{{3, 3, seed}, {6, 6, seed + 1}, {12, 12, seed + 2}, {24, 24, seed + 3}};
  std::uint32_t s = seed * 7919u;
  auto grain = [&] {
    s = s * 1664525u + 1013904223u;
    return static_cast<double>(s >> 8) / static_cast<double>(1u << 24) - 0.5;
  };
  const int edge = std::max(2, size / 16);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      // Distance outside the rounded square, in pixels (negative inside).
      const double cx = std::clamp(x + 0.5, double(radius), double(size - radius));
      const double cy = std::clamp(y + 0.5, double(radius), double(size - radius));
      const double out = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - radius;
      if (out > 0) {
        img.at(x, y) = Rgb{key, key, key};
        continue;
      }
      double v = 214 + 34 * Fbm(stone, x / double(size), y / double(size)) + 10 * grain();
      if (x < edge || y < edge) v += 14;                       // light from the top left
      if (x >= size - edge || y >= size - edge) v -= 62;       // shade at the bottom right
      if (out > -1.2) v = std::min(v, 150.0);                  // a dark rim holds the outline
      if (std::fabs(v - key) < 14) v = v < key ? key - 14 : key + 14;
      const std::uint8_t g = Clamp(v);
      img.at(x, y) = Rgb{g, g, static_cast<std::uint8_t>(std::min(255, g + 3))};  // a cold white
    }
  }
  return img;
}

// ---- encoders -------------------------------------------------------------------------------

std::vector<std::uint8_t> EncodeJpeg(const Image& img, int quality) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = static_cast<JDIMENSION>(img.w);
  cinfo.image_height = static_cast<JDIMENSION>(img.h);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution colour: flat areas of the transparent colour come back exactly.
  for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(img.w) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < img.w; ++x) {
      row[3 * x] = img.at(x, y).r;
      row[3 * x + 1] = img.at(x, y).g;
      row[3 * x + 2] = img.at(x, y).b;
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + out_size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

Image DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
  const fw::TJpegPixels p = fw::DecodeJpeg(bytes.data(), bytes.size());
  Image img(p.Width, p.Height);
  for (std::size_t i = 0; i < img.px.size(); ++i) img.px[i] = Rgb{p.Rgb[3 * i], p.Rgb[3 * i + 1], p.Rgb[3 * i + 2]};
  return img;
}

bool SameRgb(const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Encodes a picture whose pixels of the transparent colour must come back as exactly that
// colour. Next to detail the coder rings; the error is fed back into the key pixels (only
// those) and the picture coded again, until they decode exactly or the rounds run out.
std::vector<std::uint8_t> EncodeKeyedJpeg(const Image& painted, const Rgb& key, int quality) {
  Image input = painted;
  std::vector<std::uint8_t> bytes;
  for (int round = 0; round < 12; ++round) {
    bytes = EncodeJpeg(input, quality);
    const Image decoded = DecodeJpeg(bytes);
    int off = 0;
    for (std::size_t i = 0; i < input.px.size(); ++i) {
      if (!SameRgb(painted.px[i], key) || SameRgb(decoded.px[i], key)) continue;
      ++off;
      Rgb& in = input.px[i];
      in = Rgb{Clamp(in.r + double(key.r) - decoded.px[i].r), Clamp(in.g + double(key.g) - decoded.px[i].g),
               Clamp(in.b + double(key.b) - decoded.px[i].b)};
    }
    if (off == 0) break;
  }
  return bytes;
}

void Put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// The stored form of a device-independent bitmap: info header, colour table, bits.
std::vector<std::uint8_t> DibBody(int w, int h, int bitCount, int compression, const std::vector<Rgb>& palette,
                                  const std::vector<std::uint8_t>& bits) {
  std::vector<std::uint8_t> b;
  Put32(b, 40);
  Put32(b, static_cast<std::uint32_t>(w));
  Put32(b, static_cast<std::uint32_t>(h));
  Put16(b, 1);
  Put16(b, static_cast<std::uint32_t>(bitCount));
  Put32(b, static_cast<std::uint32_t>(compression));
  Put32(b, static_cast<std::uint32_t>(bits.size()));
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  for (const Rgb& c : palette) {
    b.push_back(c.b);
    b.push_back(c.g);
    b.push_back(c.r);
    b.push_back(0);
  }
  b.insert(b.end(), bits.begin(), bits.end());
  return b;
}

std::vector<std::uint8_t> Dib24(const Image& img) {
  const int stride = (img.w * 3 + 3) & ~3;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * img.h, 0);
  for (int y = 0; y < img.h; ++y) {
    std::uint8_t* row = &bits[static_cast<std::size_t>(img.h - 1 - y) * stride];  // bottom row first
    for (int x = 0; x < img.w; ++x) {
      row[3 * x] = img.at(x, y).b;
      row[3 * x + 1] = img.at(x, y).g;
      row[3 * x + 2] = img.at(x, y).r;
    }
  }
  return DibBody(img.w, img.h, 24, 0, {}, bits);
}

// RLE8, bottom row first: repeated bytes as runs, the rest as absolute runs, each row closed
// by an end of line and the picture by an end of bitmap.
std::vector<std::uint8_t> EncodeRle8(const std::vector<std::uint8_t>& index, int w, int h) {
  std::vector<std::uint8_t> out;
  for (int y = h - 1; y >= 0; --y) {
    const std::uint8_t* row = &index[static_cast<std::size_t>(y) * w];
    int x = 0;
    while (x < w) {
      int run = 1;
      while (x + run < w && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 3 || x + run == w) {
        out.push_back(static_cast<std::uint8_t>(run));
        out.push_back(row[x]);
        x += run;
        continue;
      }
      // Literal bytes until a run of three begins.
      int lit = 0;
      while (x + lit < w && lit < 255) {
        if (x + lit + 2 < w && row[x + lit] == row[x + lit + 1] && row[x + lit] == row[x + lit + 2]) break;
        ++lit;
      }
      if (lit < 3) {
        for (int i = 0; i < lit; ++i) {
          out.push_back(1);
          out.push_back(row[x + i]);
        }
      } else {
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(lit));
        out.insert(out.end(), row + x, row + x + lit);
        if (lit & 1) out.push_back(0);
      }
      x += lit;
    }
    out.push_back(0);
    out.push_back(y == 0 ? 1 : 0);
  }
  return out;
}

// The 8-bit picture's palette doubles as a palette for the whole scene in 8-bit modes: water
// blues, body greys, the pale tones of the band, then the window system's sixteen colours.
std::vector<Rgb> ScenePalette() {
  std::vector<Rgb> p;
  for (int i = 0; i < 80; ++i) {  // water, deep to light
    const double t = i / 79.0;
    p.push_back(Rgb{Clamp(14 + 110 * t * t), Clamp(50 + 150 * t), Clamp(110 + 140 * t)});
  }
  for (int i = 0; i < 80; ++i) {  // greys with a cold tint, for the body
    const double t = i / 79.0;
    const std::uint8_t g = Clamp(96 + 158 * t);
    p.push_back(Rgb{g, g, static_cast<std::uint8_t>(std::min(255, g + 3))});
  }
  for (int i = 0; i < 80; ++i) {  // pale air and the crest of the band
    const double t = i / 79.0;
    p.push_back(Rgb{Clamp(196 + 56 * t), Clamp(194 + 58 * t), Clamp(214 + 40 * t)});
  }
  const Rgb fixed[16] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
                         {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0}, {255, 255, 0},
                         {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
  p.insert(p.end(), fixed, fixed + 16);
  return p;
}

int Nearest(const std::vector<Rgb>& pal, int first, int count, const Rgb& c) {
  int best = first;
  long best_d = 1L << 30;
  for (int i = first; i < first + count; ++i) {
    const long dr = pal[i].r - c.r, dg = pal[i].g - c.g, db = pal[i].b - c.b;
    const long d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = i;
  }
  return best;
}

// ---- checks and previews --------------------------------------------------------------------

// The 16-bit display keys a pixel out when it falls into the transparent colour's 5-6-5 cell.
bool Keyed565(const Rgb& p, const Rgb& key) {
  return (p.r >> 3) == (key.r >> 3) && (p.g >> 2) == (key.g >> 2) && (p.b >> 3) == (key.b >> 3);
}

// Where the picture was painted in the key, the decoded picture must be keyed; where it was
// not, it must not be (apart from pixels next to the outline, which the coder blurs, and a
// few under a wavy outline).
bool CheckKey(const char* name, const Image& painted, const Image& decoded, const Rgb& key) {
  int lost = 0, holes = 0, exact = 0, keyed = 0;
  for (int y = 0; y < painted.h; ++y) {
    for (int x = 0; x < painted.w; ++x) {
      bool near_outline = false;
      for (int dy = -2; dy <= 2 && !near_outline; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= painted.w || ny >= painted.h) continue;
          if (SameRgb(painted.at(nx, ny), key) != SameRgb(painted.at(x, y), key)) near_outline = true;
        }
      const bool is_key = SameRgb(painted.at(x, y), key);
      keyed += is_key;
      if (is_key && SameRgb(decoded.at(x, y), key)) ++exact;
      if (near_outline) continue;
      if (is_key && !Keyed565(decoded.at(x, y), key)) ++lost;
      if (!is_key && Keyed565(decoded.at(x, y), key)) ++holes;
    }
  }
  std::fprintf(stderr, "%-10s %4dx%-4d key pixels %6d, exact after decoding %6d, lost %d, holes %d\n", name,
               painted.w, painted.h, keyed, exact, lost, holes);
  // Blocks that the water line crosses ring even at the highest quality: a few pixels under
  // the line keep the key's colour instead of letting the water through.
  return lost * 20 <= keyed && holes == 0 && keyed > 0;
}

void WritePpm(const std::string& path, const Image& img) {
  std::ofstream f(path, std::ios::binary);
  f << "P6\n" << img.w << " " << img.h << "\n255\n";
  for (const Rgb& p : img.px) f.write(reinterpret_cast<const char*>(&p), 3);
}

// The scene as an 800 x 600 x 16 display shows it: the water tiled, the band at the top, a body
// floating across the water line.
Image Compose(const Image& water, const Image& band, const Rgb& bandKey, const Image& body, const Rgb& bodyKey) {
  Image s(800, 600);
  auto to565 = [](Rgb p) {
    const int r = p.r >> 3, g = p.g >> 2, b = p.b >> 3;
    return Rgb{static_cast<std::uint8_t>(r << 3 | r >> 2), static_cast<std::uint8_t>(g << 2 | g >> 4),
               static_cast<std::uint8_t>(b << 3 | b >> 2)};
  };
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) s.at(x, y) = to565(water.at(x % water.w, y % water.h));
  for (int y = 0; y < band.h; ++y)
    for (int x = 0; x < band.w && x < 800; ++x)
      if (!Keyed565(band.at(x, y), bandKey)) s.at(x, y) = to565(band.at(x, y));
  for (int y = 0; y < body.h; ++y)
    for (int x = 0; x < body.w; ++x)
      if (!Keyed565(body.at(x, y), bodyKey)) s.at(200 + x, 75 + y) = to565(body.at(x, y));
  return s;
}

// ---- the image list -------------------------------------------------------------------------

void AddItem(dx::TPictureCollection& items, const std::string& name, fw::TGraphic& graphic, bool transparent,
             fw::TColor key) {
  dx::TPictureCollectionItem* item = items.Add();
  item->SetName(name);
  item->SetPatternWidth(0);
  item->SetPatternHeight(0);
  item->SetSystemMemory(false);
  item->SetTransparent(transparent);
  item->SetTransparentColor(key);
  item->Picture()->SetGraphic(&graphic);
}

fw::TColor ColorOf(const Rgb& c) { return static_cast<fw::TColor>(c.r | c.g << 8 | c.b << 16); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_scene_pictures out.form [preview-dir]\n");
    return 2;
  }
  const std::string preview = argc > 2 ? argv[2] : "";

  const Rgb silver{192, 192, 192}, white{255, 255, 255}, grey185{0xB9, 0xB9, 0xB9}, surface{0xA6, 0xA8, 0xC1};

  // JPEG pictures.
  const Image img1 = MakeBody(50, silver.r, 9, 101);
  const Image img2 = MakeBody(25, grey185.r, 6, 202);
  const Image fon1 = MakeBand(800, surface, 301);
  const Image fon2 = MakeBand(1024, surface, 401);
  const auto jpg1 = EncodeKeyedJpeg(img1, silver, 100), jpg2 = EncodeKeyedJpeg(img2, grey185, 100);
  const auto jfon1 = EncodeKeyedJpeg(fon1, surface, 100), jfon2 = EncodeKeyedJpeg(fon2, surface, 100);
  const Image d1 = DecodeJpeg(jpg1), d2 = DecodeJpeg(jpg2), dfon1 = DecodeJpeg(jfon1), dfon2 = DecodeJpeg(jfon2);
  bool ok = CheckKey("img1", img1, d1, silver) & CheckKey("img2", img2, d2, grey185) &
            CheckKey("fon1", fon1, dfon1, surface) & CheckKey("fon2", fon2, dfon2, surface);

  // The water, 24 bits.
  const Image water = MakeWater();
  const auto water_dib = Dib24(water);

  // The 8-bit picture: a larger body on white, RLE8-compressed.
  const std::vector<Rgb> palette = ScenePalette();
  const Image big = MakeBody(160, 255, 24, 505);
  std::vector<std::uint8_t> index(160 * 160);
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 160; ++x) {
      const Rgb& c = big.at(x, y);
      // Every fourth grey only: flat steps give the RLE coder runs to work with.
      index[y * 160 + x] =
          SameRgb(c, white) ? 255 : static_cast<std::uint8_t>(80 + (Nearest(palette, 80, 80, c) - 80) / 4 * 4);
    }
  const auto rle = EncodeRle8(index, 160, 160);
  const auto big_dib = DibBody(160, 160, 8, 1, palette, rle);
  std::fprintf(stderr, "img1-2     RLE8 %zu bytes for %d pixels\n", rle.size(), 160 * 160);

  // The image list, written through the component stream.
  auto list = fw::MakeOwned<dx::TDXImageList>(nullptr);
  list->SetName("ImageList");
  dx::TPictureCollection& items = *list->Items();
  {
    fw::TJPEGImage j1, j2, f1, f2;
    j1.LoadFromBytes(jpg1.data(), jpg1.size());
    j2.LoadFromBytes(jpg2.data(), jpg2.size());
    f1.LoadFromBytes(jfon1.data(), jfon1.size());
    f2.LoadFromBytes(jfon2.data(), jfon2.size());
    dx::TDIB bigdib, waterdib;
    fw::TBytesStream bs(big_dib.data(), big_dib.size());
    bigdib.ReadBody(bs);
    fw::TBytesStream ws(water_dib.data(), water_dib.size());
    waterdib.ReadBody(ws);
    AddItem(items, "img1", j1, true, fw::clSilver);
    AddItem(items, "img1-2", bigdib, true, fw::clWhite);
    AddItem(items, "background", waterdib, false, fw::clBlack);
    AddItem(items, "img2", j2, true, ColorOf(grey185));
    AddItem(items, "fon1", f1, true, ColorOf(surface));
    AddItem(items, "fon2", f2, true, ColorOf(surface));
  }
  items.BuildColorTable();
  const std::string text = fw::ComponentToText(*list);
  std::ofstream(argv[1], std::ios::binary) << text;

  if (!preview.empty()) {
    WritePpm(preview + "/img1.ppm", d1);
    WritePpm(preview + "/img2.ppm", d2);
    WritePpm(preview + "/fon1.ppm", dfon1);
    WritePpm(preview + "/fon2.ppm", dfon2);
    WritePpm(preview + "/background.ppm", water);
    Image bigview(160, 160);
    for (int i = 0; i < 160 * 160; ++i) bigview.px[i] = palette[index[i]];
    WritePpm(preview + "/img1-2.ppm", bigview);
    Image tiled(512, 512);
    for (int y = 0; y < 512; ++y)
      for (int x = 0; x < 512; ++x) tiled.at(x, y) = water.at(x % 256, y % 256);
    WritePpm(preview + "/background-tiled.ppm", tiled);
    WritePpm(preview + "/scene.ppm", Compose(water, dfon1, surface, d1, silver));
  }
  if (!ok) {
    std::fprintf(stderr, "a transparent colour does not survive the JPEG coder\n");
    return 1;
  }
  return 0;
}
