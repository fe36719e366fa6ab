// Makes the body picture of the modelling window: a 50 x 50 grey textured square, compressed
// as a baseline JFIF file, and prints it as the block that the form description stores under
// Picture.Data (class name, 32-bit little-endian byte count, the file itself), in hex lines.
//
//   make_body_picture            prints the block
//   make_body_picture out.jpg    also writes the JPEG file
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kSize = 50;

// A small deterministic generator, so that the picture is the same on every run.
struct Lcg {
  std::uint32_t State = 20240607u;
  double Next() {
    State = State * 1664525u + 1013904223u;
    return static_cast<double>(State >> 8) / static_cast<double>(1u << 24);
  }
};

std::vector<std::uint8_t> MakePixels() {
  Lcg rng;
  // Coarse value noise on a 6 x 6 lattice, smoothed, plus fine grain: a stone-like surface.
  constexpr int kLattice = 7;
  double lattice[kLattice][kLattice];
  for (auto& row : lattice)
    for (double& v : row) v = rng.Next();
  std::vector<std::uint8_t> grey(kSize * kSize);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const double fx = x * (kLattice - 1) / double(kSize), fy = y * (kLattice - 1) / double(kSize);
      const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
      const double tx = fx - ix, ty = fy - iy;
      const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
      const double top = lattice[iy][ix] * (1 - sx) + lattice[iy][ix + 1] * sx;
      const double bottom = lattice[iy + 1][ix] * (1 - sx) + lattice[iy + 1][ix + 1] * sx;
      const double coarse = top * (1 - sy) + bottom * sy;
      double v = 104 + 56 * coarse + 22 * (rng.Next() - 0.5);
      // A bevel: light upper and left edges, dark lower and right edges.
      const int edge = 3;
      if (x < edge || y < edge) v += 40;
      if (x >= kSize - edge || y >= kSize - edge) v -= 45;
      grey[y * kSize + x] = static_cast<std::uint8_t>(std::lround(std::fmin(255, std::fmax(0, v))));
    }
  }
  std::vector<std::uint8_t> rgb(kSize * kSize * 3);
  for (int i = 0; i < kSize * kSize; ++i) rgb[3 * i] = rgb[3 * i + 1] = rgb[3 * i + 2] = grey[i];
  return rgb;
}

std::vector<std::uint8_t> Compress(const std::vector<std::uint8_t>& rgb) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long out_size = 0;
  jpeg_mem_dest(&cinfo, &out, &out_size);
  cinfo.image_width = kSize;
  cinfo.image_height = kSize;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(&rgb[cinfo.next_scanline * kSize * 3]);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + out_size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::uint8_t> jpeg = Compress(MakePixels());
  if (argc > 1) {
    FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(jpeg.data(), 1, jpeg.size(), f) != jpeg.size()) {
      std::fprintf(stderr, "cannot write %s\n", argv[1]);
      return 1;
    }
    std::fclose(f);
  }
  const std::string cls = "TJPEGImage";
  std::vector<std::uint8_t> data;
  data.push_back(static_cast<std::uint8_t>(cls.size()));
  data.insert(data.end(), cls.begin(), cls.end());
  const auto n = static_cast<std::uint32_t>(jpeg.size());
  for (int i = 0; i < 4; ++i) data.push_back(static_cast<std::uint8_t>(n >> (8 * i)));
  data.insert(data.end(), jpeg.begin(), jpeg.end());

  std::printf("    Picture.Data = {\n");
  for (std::size_t i = 0; i < data.size(); i += 32) {
    std::printf("      ");
    for (std::size_t j = i; j < data.size() && j < i + 32; ++j) std::printf("%02X", data[j]);
    std::printf(i + 32 >= data.size() ? "}\n" : "\n");
  }
  return 0;
}
