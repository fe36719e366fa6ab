// Makes the six pictures of the full-screen scene's image list and writes the image list as a
// stored object (text form of the component stream): the colour table the list builds from its
// pictures, then the items with their pictures.
//
//   make_scene_pictures out.form [preview-dir] [--into form-file]
//
// With a preview directory it also writes what the pictures look like once decoded, and a
// composed 800 x 600 scene as the 16-bit display keys it, as binary PPM files. With --into it
// also puts the image list into a form description in place of the one there, keeping the
// old object's links (its properties before the items), so that
//
//   make_scene_pictures forms/Unit4ImageList.form --into forms/Unit4.form
//
// renews both stored copies.
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
#include <sstream>
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
  std::uint8_t R, G, B;
};

struct Image {
  int W = 0, H = 0;
  std::vector<Rgb> Px;
  Image(int W, int H) : W(W), H(H), Px(static_cast<std::size_t>(W) * H) {}
  Rgb& at(int x, int y) { return Px[static_cast<std::size_t>(y) * W + x]; }
  const Rgb& at(int x, int y) const { return Px[static_cast<std::size_t>(y) * W + x]; }
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

// The surface band: pale misty air with faint horizontal streaks down to the water, whose
// surface is the band's bottom edge: the model puts it at row 100, and a body at rest stands
// out above it by just its protrusion. The swell is shown by a light rim along the surface,
// brighter towards the crests; where a crest rises, the water takes the band's last row (the
// transparent colour there lets it show through), never more, so that the surface stays
// within a row of where the model has it.
Image MakeBand(int width, Rgb key, std::uint32_t seed) {
  constexpr int H = 100;
  Image img(width, H);
  std::vector<PeriodicNoise> mist{{width / 100, 2, seed}, {width / 50, 4, seed + 1}, {width / 25, 8, seed + 2}};
  std::vector<PeriodicNoise> streak{{width / 40, 25, seed + 3}, {width / 20, 50, seed + 4}};
  for (int x = 0; x < width; ++x) {
    const double u = x / double(width);
    // Two swells and a short chop, -1..1 (a whole number of periods over the band, so that the
    // 1024-pixel band looks like the 800-pixel one, only wider).
    const double swell = (std::sin(2 * kPi * (x / 160.0)) + 0.6 * std::sin(2 * kPi * (x / 61.0 + 0.3)) +
                          0.3 * std::sin(2 * kPi * (x / 23.0))) / 1.9;
    const int surface = swell > 0.55 ? H - 1 : H;  // the first row of water
    for (int y = 0; y < H; ++y) {
      if (y >= surface) {
        img.at(x, y) = key;
        continue;
      }
      const double v = y / double(H);
      const double m = Fbm(mist, u, v);
      const double s = Fbm(streak, u, v) - 0.5;
      // Brighter towards the water, where the surface reflects the sky.
      const double lift = v * 18;
      double r = 206 + 22 * m + 10 * s + lift, g = 204 + 20 * m + 10 * s + lift, b = 222 + 18 * m + 8 * s + lift;
      const int d = surface - y;  // rows above the water
      if (d <= 3) {
        // The rim: white at the crests, a blue underside next to the water in the troughs.
        const double crest = 0.5 + 0.5 * swell, rim = d == 1 ? 0.9 : d == 2 ? 0.6 : 0.25;
        r = r * (1 - rim) + (150 + 100 * crest) * rim;
        g = g * (1 - rim) + (192 + 60 * crest) * rim;
        b = b * (1 - rim) + (232 + 22 * crest) * rim;
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

// Codes a picture at the given quality with full-resolution colour. The pixels are red, green
// and blue, or, with `components` JCS_YCbCr, already the coder's own luma and colour
// differences, so that a caller can say exactly what the coder gets.
std::vector<std::uint8_t> EncodeJpeg(const Image& img, int quality, J_COLOR_SPACE components = JCS_RGB) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = static_cast<JDIMENSION>(img.W);
  cinfo.image_height = static_cast<JDIMENSION>(img.H);
  cinfo.input_components = 3;
  cinfo.in_color_space = components;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution colour: flat areas of the transparent colour come back exactly.
  for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(img.W) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < img.W; ++x) {
      row[3 * x] = img.at(x, y).R;
      row[3 * x + 1] = img.at(x, y).G;
      row[3 * x + 2] = img.at(x, y).B;
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

// As the program decodes it.
Image DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
  const fw::TJpegPixels p = fw::DecodeJpeg(bytes.data(), bytes.size());
  Image img(p.Width, p.Height);
  for (std::size_t i = 0; i < img.Px.size(); ++i) img.Px[i] = Rgb{p.Rgb[3 * i], p.Rgb[3 * i + 1], p.Rgb[3 * i + 2]};
  return img;
}

// The decoder's luma and colour differences, before they become red, green and blue.
Image DecodeJpegComponents(const std::vector<std::uint8_t>& bytes) {
  jpeg_decompress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_YCbCr;
  jpeg_start_decompress(&cinfo);
  Image img(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height));
  std::vector<std::uint8_t> row(static_cast<std::size_t>(img.W) * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    const int y = static_cast<int>(cinfo.output_scanline);
    JSAMPROW p = row.data();
    jpeg_read_scanlines(&cinfo, &p, 1);
    for (int x = 0; x < img.W; ++x) img.at(x, y) = Rgb{row[3 * x], row[3 * x + 1], row[3 * x + 2]};
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return img;
}

// The coder's conversion of a colour into luma and colour differences.
Rgb ToYcc(const Rgb& c) {
  return Rgb{Clamp(0.299 * c.R + 0.587 * c.G + 0.114 * c.B),
             Clamp(-0.168736 * c.R - 0.331264 * c.G + 0.5 * c.B + 128),
             Clamp(0.5 * c.R - 0.418688 * c.G - 0.081312 * c.B + 128)};
}

bool SameRgb(const Rgb& a, const Rgb& b) { return a.R == b.R && a.G == b.G && a.B == b.B; }

// Luma and colour differences that decode to exactly the colour: the rounded conversion, or
// a neighbour of it where the rounding on the way back misses.
Rgb ExactYcc(const Rgb& c) {
  const Rgb y = ToYcc(c);
  for (int d = 0; d < 27; ++d) {
    const Rgb t{Clamp(y.R + d % 3 - (d % 3 == 2 ? 3 : 0)), Clamp(y.G + d / 3 % 3 - (d / 3 % 3 == 2 ? 3 : 0)),
                Clamp(y.B + d / 9 - (d / 9 == 2 ? 3 : 0))};
    Image flat(8, 8);
    std::fill(flat.Px.begin(), flat.Px.end(), t);
    if (SameRgb(DecodeJpeg(EncodeJpeg(flat, 100, JCS_YCbCr)).Px[0], c)) return t;
  }
  std::fprintf(stderr, "no luma and colour differences decode to %02X%02X%02X\n", c.R, c.G, c.B);
  std::exit(1);
}

// One component of one 8 x 8 block (fewer at the picture's right and bottom edges, which the
// coder fills by repeating the last column and row), coded and decoded on its own. Without
// subsampling the coder treats every block of every component apart, with the same
// quantization for luma and colour differences at quality 100, so this is what the block of
// the whole picture decodes to.
class BlockCoder {
 public:
  BlockCoder(int w, int h, int quality) : w_(w), h_(h), quality_(quality) {}
  void Decode(const std::uint8_t* in, std::uint8_t* out) {
    jpeg_compress_struct c{};
    jpeg_error_mgr cerr{};
    c.err = jpeg_std_error(&cerr);
    jpeg_create_compress(&c);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &mem, &size);
    c.image_width = static_cast<JDIMENSION>(w_);
    c.image_height = static_cast<JDIMENSION>(h_);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality_, TRUE);
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < h_; ++y) {
      JSAMPROW row = const_cast<std::uint8_t*>(in + 8 * y);
      jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    jpeg_decompress_struct d{};
    jpeg_error_mgr derr{};
    d.err = jpeg_std_error(&derr);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, mem, size);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
      JSAMPROW row = out + 8 * d.output_scanline;
      jpeg_read_scanlines(&d, &row, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::free(mem);
  }

 private:
  int w_, h_, quality_;
};

// Finds inputs for one component of one block such that its key pixels decode to exactly the
// target. A change of one input by one level moves the coefficients by fractions that the
// coder then rounds, so the outputs answer nearly at random in the last level: a random walk
// over the key pixels' inputs (and, a level or two, over the others', which nobody sees) keeps
// every step that does not make the key pixels worse, until they are all exact.
bool FitBlock(int w, int h, int quality, std::uint8_t* in, const bool* key, std::uint8_t target,
              std::uint32_t seed) {
  BlockCoder coder(w, h, quality);
  std::uint8_t out[64] = {}, orig[64];
  std::copy(in, in + 64, orig);
  auto cost = [&](const std::uint8_t* v) {
    coder.Decode(v, out);
    int c = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (key[8 * y + x]) c += std::abs(int(out[8 * y + x]) - target);
    return c;
  };
  int now = cost(in);
  std::uint32_t s = seed;
  auto next = [&s](std::uint32_t n) {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) % n;
  };
  for (int step = 0; step < 20000 && now > 0; ++step) {
    const int i = static_cast<int>(next(static_cast<std::uint32_t>(h)) * 8 + next(static_cast<std::uint32_t>(w)));
    const int d = next(2) ? 1 : -1;
    const int v = in[i] + d;
    if (v < 0 || v > 255 || (!key[i] && std::abs(v - orig[i]) > 2)) continue;
    const std::uint8_t old = in[i];
    in[i] = static_cast<std::uint8_t>(v);
    const int c = cost(in);
    if (c <= now) now = c;
    else in[i] = old;
  }
  return now == 0;
}

// Encodes a picture whose pixels of the transparent colour must come back as exactly that
// colour. Next to detail the coder rings, so the blocks where a key pixel comes back off are
// fitted one by one (FitBlock), in the coder's own components, where nothing but the coder's
// rounding stands between input and output.
std::vector<std::uint8_t> EncodeKeyedJpeg(const Image& painted, const Rgb& key, int quality) {
  const Rgb target = ExactYcc(key);
  Image input(painted.W, painted.H);
  for (std::size_t i = 0; i < input.Px.size(); ++i)
    input.Px[i] = SameRgb(painted.Px[i], key) ? target : ToYcc(painted.Px[i]);
  const Image decoded = DecodeJpegComponents(EncodeJpeg(input, quality, JCS_YCbCr));
  auto component = [](Rgb& p, int c) -> std::uint8_t& { return c == 0 ? p.R : c == 1 ? p.G : p.B; };
  Rgb t3 = target;
  for (int by = 0; by < painted.H; by += 8)
    for (int bx = 0; bx < painted.W; bx += 8) {
      const int w = std::min(8, painted.W - bx), h = std::min(8, painted.H - by);
      for (int c = 0; c < 3; ++c) {
        std::uint8_t in[64] = {};
        bool keyed[64] = {}, off = false;
        const std::uint8_t t = component(t3, c);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            Rgb d = decoded.at(bx + x, by + y), p = input.at(bx + x, by + y);
            in[8 * y + x] = component(p, c);
            keyed[8 * y + x] = SameRgb(painted.at(bx + x, by + y), key);
            off |= keyed[8 * y + x] && component(d, c) != t;
          }
        if (!off) continue;
        if (!FitBlock(w, h, quality, in, keyed, t, static_cast<std::uint32_t>(by * 7919 + bx * 31 + c)))
          std::fprintf(stderr, "block %d, %d, component %d: no fit\n", bx, by, c);
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) component(input.at(bx + x, by + y), c) = in[8 * y + x];
      }
    }
  return EncodeJpeg(input, quality, JCS_YCbCr);
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
    b.push_back(c.B);
    b.push_back(c.G);
    b.push_back(c.R);
    b.push_back(0);
  }
  b.insert(b.end(), bits.begin(), bits.end());
  return b;
}

std::vector<std::uint8_t> Dib24(const Image& img) {
  const int stride = (img.W * 3 + 3) & ~3;
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride) * img.H, 0);
  for (int y = 0; y < img.H; ++y) {
    std::uint8_t* row = &bits[static_cast<std::size_t>(img.H - 1 - y) * stride];  // bottom row first
    for (int x = 0; x < img.W; ++x) {
      row[3 * x] = img.at(x, y).B;
      row[3 * x + 1] = img.at(x, y).G;
      row[3 * x + 2] = img.at(x, y).R;
    }
  }
  return DibBody(img.W, img.H, 24, 0, {}, bits);
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
    const long dr = pal[i].R - c.R, dg = pal[i].G - c.G, db = pal[i].B - c.B;
    const long d = dr * dr + dg * dg + db * db;
    if (d < best_d) best_d = d, best = i;
  }
  return best;
}

// ---- checks and previews --------------------------------------------------------------------

// The 16-bit display keys a pixel out when it falls into the transparent colour's 5-6-5 cell.
bool Keyed565(const Rgb& p, const Rgb& key) {
  return (p.R >> 3) == (key.R >> 3) && (p.G >> 2) == (key.G >> 2) && (p.B >> 3) == (key.B >> 3);
}

// Where the picture was painted in the key, the decoded picture must be keyed, and nowhere
// else: a key pixel that comes back off the key shows the picture's colour where the water
// should show, an air pixel that comes back on it is a hole.
bool CheckKey(const char* name, const Image& painted, const Image& decoded, const Rgb& key) {
  int lost = 0, holes = 0, exact = 0, keyed = 0;
  for (std::size_t i = 0; i < painted.Px.size(); ++i) {
    const bool is_key = SameRgb(painted.Px[i], key);
    keyed += is_key;
    exact += is_key && SameRgb(decoded.Px[i], key);
    lost += is_key && !Keyed565(decoded.Px[i], key);
    holes += !is_key && Keyed565(decoded.Px[i], key);
  }
  std::fprintf(stderr, "%-10s %4dx%-4d key pixels %6d, exact after decoding %6d, lost %d, holes %d\n", name,
               painted.W, painted.H, keyed, exact, lost, holes);
  return lost == 0 && holes == 0 && keyed > 0;
}

void WritePpm(const std::string& path, const Image& img) {
  std::ofstream f(path, std::ios::binary);
  f << "P6\n" << img.W << " " << img.H << "\n255\n";
  for (const Rgb& p : img.Px) f.write(reinterpret_cast<const char*>(&p), 3);
}

// The scene as an 800 x 600 x 16 display shows it: the water tiled, the band at the top, a body
// floating across the water line.
Image Compose(const Image& water, const Image& band, const Rgb& bandKey, const Image& body, const Rgb& bodyKey) {
  Image s(800, 600);
  auto to565 = [](Rgb p) {
    const int r = p.R >> 3, g = p.G >> 2, b = p.B >> 3;
    return Rgb{static_cast<std::uint8_t>(r << 3 | r >> 2), static_cast<std::uint8_t>(g << 2 | g >> 4),
               static_cast<std::uint8_t>(b << 3 | b >> 2)};
  };
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) s.at(x, y) = to565(water.at(x % water.W, y % water.H));
  for (int y = 0; y < band.H; ++y)
    for (int x = 0; x < band.W && x < 800; ++x)
      if (!Keyed565(band.at(x, y), bandKey)) s.at(x, y) = to565(band.at(x, y));
  for (int y = 0; y < body.H; ++y)
    for (int x = 0; x < body.W; ++x)
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

fw::TColor ColorOf(const Rgb& c) { return static_cast<fw::TColor>(c.R | c.G << 8 | c.B << 16); }

// Replaces the image list object of a form description by `text` (an image list written on its
// own), indented to the old object's depth; the old object's lines before its items stay.
bool PutInto(const std::string& path, const std::string& text) {
  std::vector<std::string> lines;
  {
    std::ifstream f(path, std::ios::binary);
    for (std::string l; std::getline(f, l);) lines.push_back(l);
  }
  auto indent = [](const std::string& l) { return l.size() - l.find_first_not_of(' '); };
  std::size_t first = 0;
  while (first < lines.size() && lines[first].find("object ImageList: TDXImageList") == std::string::npos) ++first;
  if (first == lines.size()) {
    std::fprintf(stderr, "%s holds no image list\n", path.c_str());
    return false;
  }
  const std::string pad(lines[first].size() - indent(lines[first]), ' ');
  std::size_t last = first + 1, items = 0;
  while (last < lines.size() && lines[last] != pad + "end") {
    if (!items && lines[last].find_first_not_of(' ') == pad.size() + 2 && lines[last].compare(pad.size() + 2, 5, "Items") == 0)
      items = last;
    ++last;
  }
  if (last == lines.size() || !items) {
    std::fprintf(stderr, "%s: the image list has no items or no end\n", path.c_str());
    return false;
  }
  std::vector<std::string> fresh;
  {
    std::istringstream t(text);
    for (std::string l; std::getline(t, l);) fresh.push_back(pad + l);
  }
  std::vector<std::string> out(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(first));
  out.push_back(fresh.front());
  out.insert(out.end(), lines.begin() + static_cast<std::ptrdiff_t>(first) + 1, lines.begin() + static_cast<std::ptrdiff_t>(items));
  out.insert(out.end(), fresh.begin() + 1, fresh.end());
  out.insert(out.end(), lines.begin() + static_cast<std::ptrdiff_t>(last) + 1, lines.end());
  std::ofstream f(path, std::ios::binary);
  for (const std::string& l : out) f << l << "\n";
  return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  std::string into;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--into" && i + 1 < argc) into = argv[++i];
    else args.emplace_back(argv[i]);
  }
  if (args.empty() || args.size() > 2) {
    std::fprintf(stderr, "usage: make_scene_pictures out.form [preview-dir] [--into form-file]\n");
    return 2;
  }
  const std::string preview = args.size() > 1 ? args[1] : "";

  const Rgb silver{192, 192, 192}, white{255, 255, 255}, grey185{0xB9, 0xB9, 0xB9}, surface{0xA6, 0xA8, 0xC1};

  // JPEG pictures.
  const Image img1 = MakeBody(50, silver.R, 9, 101);
  const Image img2 = MakeBody(25, grey185.R, 6, 202);
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
  std::ofstream(args[0], std::ios::binary) << text;
  if (!into.empty() && !PutInto(into, text)) return 1;

  if (!preview.empty()) {
    WritePpm(preview + "/img1.ppm", d1);
    WritePpm(preview + "/img2.ppm", d2);
    WritePpm(preview + "/fon1.ppm", dfon1);
    WritePpm(preview + "/fon2.ppm", dfon2);
    WritePpm(preview + "/background.ppm", water);
    Image bigview(160, 160);
    for (int i = 0; i < 160 * 160; ++i) bigview.Px[i] = palette[index[i]];
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
