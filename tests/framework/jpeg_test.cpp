#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/Jpeg.h"

// After the framework: libjpeg defines TRUE and FALSE as macros.
#include <jpeglib.h>

using namespace fw;

namespace {

// A JFIF file of a w x h picture; each pixel's colour is fn(x, y) as 0xRRGGBB.
template <class Fn>
std::vector<std::uint8_t> Encode(int w, int h, Fn fn, bool progressive = false, bool grey = false) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = w;
  cinfo.image_height = h;
  cinfo.input_components = grey ? 1 : 3;
  cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(w * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = cinfo.next_scanline;
    for (int x = 0; x < w; ++x) {
      const unsigned c = fn(x, y);
      if (grey) {
        row[x] = c & 0xFF;
      } else {
        row[3 * x] = (c >> 16) & 0xFF;
        row[3 * x + 1] = (c >> 8) & 0xFF;
        row[3 * x + 2] = c & 0xFF;
      }
    }
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> bytes(out, out + size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

unsigned Quadrants(int x, int y) {
  // Red top left, green top right, blue bottom left, white bottom right.
  if (y < 16) return x < 16 ? 0xFF0000 : 0x00FF00;
  return x < 16 ? 0x0000FF : 0xFFFFFF;
}

void ExpectNear(const TJpegPixels& p, int x, int y, unsigned rgb) {
  const std::uint8_t* px = &p.Rgb[(y * p.Width + x) * 3];
  EXPECT_NEAR(px[0], (rgb >> 16) & 0xFF, 12) << x << "," << y;
  EXPECT_NEAR(px[1], (rgb >> 8) & 0xFF, 12) << x << "," << y;
  EXPECT_NEAR(px[2], rgb & 0xFF, 12) << x << "," << y;
}

}  // namespace

TEST(JpegDecode, BaselineProgressiveAndGreyPicturesDecodeToRgbRows) {
  for (bool progressive : {false, true}) {
    const auto data = Encode(32, 32, Quadrants, progressive);
    const TJpegPixels p = DecodeJpeg(data.data(), data.size());
    ASSERT_EQ(p.Width, 32);
    ASSERT_EQ(p.Height, 32);
    ASSERT_EQ(p.Rgb.size(), 32u * 32u * 3u);
    ExpectNear(p, 4, 4, 0xFF0000);
    ExpectNear(p, 27, 4, 0x00FF00);
    ExpectNear(p, 4, 27, 0x0000FF);
    ExpectNear(p, 27, 27, 0xFFFFFF);
  }
  // Odd sizes, grey: every row is there, grey on all three channels.
  const auto grey = Encode(13, 7, [](int, int) { return 0x80u; }, false, true);
  const TJpegPixels g = DecodeJpeg(grey.data(), grey.size());
  ASSERT_EQ(g.Width, 13);
  ASSERT_EQ(g.Height, 7);
  ExpectNear(g, 12, 6, 0x808080);
  int w = 0, h = 0;
  ReadJpegSize(grey.data(), grey.size(), w, h);
  EXPECT_EQ(w, 13);
  EXPECT_EQ(h, 7);
}

TEST(JpegDecode, EveryTruncationIsRefusedWithAClearError) {
  const auto data = Encode(24, 24, Quadrants);
  for (std::size_t n = 0; n < data.size() - 2; ++n) {
    // An exact-size heap copy, so that a read past the end is caught by the sanitizer.
    std::vector<std::uint8_t> cut(data.begin(), data.begin() + n);
    try {
      DecodeJpeg(cut.empty() ? nullptr : cut.data(), cut.size());
      ADD_FAILURE() << "accepted " << n << " of " << data.size() << " bytes";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message().rfind("JPEG data is invalid (", 0), 0u) << e.Message();
    }
  }
}

TEST(JpegDecode, GarbageAndDamagedDataAreRefused) {
  const std::vector<std::uint8_t> garbage = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
  EXPECT_THROW(DecodeJpeg(garbage.data(), garbage.size()), EInvalidGraphic);
  // A start-of-image marker and nothing else.
  const std::vector<std::uint8_t> soi = {0xFF, 0xD8};
  EXPECT_THROW(DecodeJpeg(soi.data(), soi.size()), EInvalidGraphic);

  // Damage anywhere must either decode to a picture of the stored size or raise; never crash.
  const auto data = Encode(24, 24, Quadrants);
  for (std::size_t i = 2; i < data.size(); i += 3) {
    auto bad = data;
    bad[i] ^= 0x5A;
    try {
      const TJpegPixels p = DecodeJpeg(bad.data(), bad.size());
      EXPECT_EQ(p.Rgb.size(), std::size_t(p.Width) * p.Height * 3);
    } catch (const EInvalidGraphic&) {
    }
  }
}

TEST(JpegDecode, AHugeDeclaredSizeIsRefusedBeforeDecoding) {
  auto data = Encode(8, 8, Quadrants);
  // Patch the frame header (FFC0 len8 precision8 height16 width16) to 60000 x 60000.
  for (std::size_t i = 0; i + 8 < data.size(); ++i) {
    if (data[i] == 0xFF && data[i + 1] == 0xC0) {
      data[i + 5] = 0xEA;
      data[i + 6] = 0x60;
      data[i + 7] = 0xEA;
      data[i + 8] = 0x60;
      break;
    }
  }
  try {
    DecodeJpeg(data.data(), data.size());
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "JPEG picture is too large (60000x60000)");
  }
}

namespace {
std::vector<std::uint8_t> PictureData(const std::vector<std::uint8_t>& jpeg, std::uint32_t count) {
  std::vector<std::uint8_t> d = {10, 'T', 'J', 'P', 'E', 'G', 'I', 'm', 'a', 'g', 'e'};
  for (int i = 0; i < 4; ++i) d.push_back(static_cast<std::uint8_t>(count >> (8 * i)));
  d.insert(d.end(), jpeg.begin(), jpeg.end());
  return d;
}
}  // namespace

TEST(JpegImage, StoredPictureDataNamesTheClassAndRoundTrips) {
  RegisterJpegImage();
  const auto jpeg = Encode(32, 32, Quadrants);
  const auto stored = PictureData(jpeg, static_cast<std::uint32_t>(jpeg.size()));
  TBytesStream in(stored.data(), stored.size());
  TPicture picture;
  picture.ReadData(in);
  auto* image = dynamic_cast<TJPEGImage*>(picture.Graphic());
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(picture.Width(), 32);
  EXPECT_EQ(picture.Height(), 32);
  EXPECT_EQ(image->Bytes(), jpeg);

  TMemoryStream out;
  picture.WriteData(out);
  ASSERT_EQ(out.Size(), static_cast<std::int64_t>(stored.size()));
  EXPECT_EQ(std::memcmp(out.Memory(), stored.data(), stored.size()), 0);

  // Drawn stretched onto a bitmap twice its size: the quadrants keep their colours.
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(64, 64);
  target.Canvas()->StretchDraw(TRect{0, 0, 64, 64}, image);
  const TColor red = target.Canvas()->Pixel(8, 8);
  const TColor white = target.Canvas()->Pixel(56, 56);
  EXPECT_NEAR(red & 0xFF, 0xFF, 12);
  EXPECT_NEAR((red >> 16) & 0xFF, 0, 12);
  EXPECT_NEAR((white >> 8) & 0xFF, 0xFF, 12);

  // A copy shares nothing with its source.
  TJPEGImage copy;
  copy.Assign(image);
  EXPECT_EQ(copy.Bytes(), jpeg);
  ASSERT_NE(copy.Bitmap(), nullptr);
  EXPECT_NE(copy.Bitmap(), image->Bitmap());
}

TEST(JpegImage, DamagedStoredDataAreRefusedAndTheOldPictureStays) {
  RegisterJpegImage();
  const auto jpeg = Encode(16, 16, Quadrants);
  TJPEGImage image;
  image.LoadFromBytes(jpeg.data(), jpeg.size());

  // A byte count larger than what follows.
  const auto tooLong = PictureData(jpeg, static_cast<std::uint32_t>(jpeg.size() + 1));
  TBytesStream s1(tooLong.data() + 11, tooLong.size() - 11);
  EXPECT_THROW(image.ReadData(s1), EReadError);
  // A byte count that cuts the file short.
  const auto tooShort = PictureData(jpeg, static_cast<std::uint32_t>(jpeg.size() / 2));
  TBytesStream s2(tooShort.data() + 11, tooShort.size() - 11);
  EXPECT_THROW(image.ReadData(s2), EInvalidGraphic);
  // A count of 0xFFFFFFFF is refused before anything is allocated for it.
  const auto huge = PictureData(jpeg, 0xFFFFFFFFu);
  TBytesStream s3(huge.data() + 11, huge.size() - 11);
  EXPECT_THROW(image.ReadData(s3), EReadError);

  EXPECT_EQ(image.Width(), 16);
  EXPECT_EQ(image.Bytes(), jpeg);
}
