// The image list's stored form, name look-up, item assignment and the colour table it builds,
// with the scene's own stored list among the inputs.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "forms/Embedded.h"
#include "framework/Jpeg.h"
#include "framework/Streaming.h"
#include "tests/support/QtTestApp.h"

namespace {

using namespace dx;

fw::TOwned<TDXImageList> ReadList(std::string_view text) {
  auto list = fw::MakeOwned<TDXImageList>(nullptr);
  const std::string binary = fw::ObjectTextToBinary(text);
  fw::TBytesStream s(binary.data(), binary.size());
  fw::ReadComponent(s, list.get(), nullptr);
  return list;
}

std::string Hex(const std::vector<std::uint8_t>& b) {
  std::string s;
  char buf[3];
  for (std::uint8_t c : b) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    s += buf;
  }
  return s;
}

// A list with one item whose picture data are the given bytes, and a colour table of n bytes.
std::string ListText(const std::vector<std::uint8_t>& picture, std::size_t tableBytes = 1024) {
  return "object ImageList: TDXImageList\n  Items.ColorTable = {" + Hex(std::vector<std::uint8_t>(tableBytes, 7)) +
         "}\n  Items = <\n    item\n      Name = 'a'\n      PatternHeight = 0\n      PatternWidth = 0\n"
         "      Picture.Data = {" + Hex(picture) + "}\n      Transparent = True\n      TransparentColor = 12171705\n"
         "    end>\nend\n";
}

std::vector<std::uint8_t> DibPictureData(int w, int h, int bits) {
  TDIB dib;
  dib.SetSize(w, h, bits);
  fw::TMemoryStream body;
  dib.WriteBody(body);
  std::vector<std::uint8_t> out{4, 'T', 'D', 'I', 'B'};
  const auto* p = static_cast<const std::uint8_t*>(body.Memory());
  out.insert(out.end(), p, p + body.Size());
  return out;
}

class StoredImageListTest : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::EnsureApplication(); }
};

TEST_F(StoredImageListTest, TheScenesListReadsWithItsSixPicturesAndWritesBackUnchanged) {
  const std::string_view text = forms::FindEmbeddedForm("Unit4ImageList");
  ASSERT_FALSE(text.empty());
  auto list = ReadList(text);
  TPictureCollection& items = *list->Items();
  ASSERT_EQ(items.Count(), 6);
  struct Want {
    const char* name;
    const char* cls;
    int w, h;
    fw::TColor key;
  } want[] = {{"img1", "TJPEGImage", 50, 50, fw::clSilver},   {"img1-2", "TDIB", 160, 160, fw::clWhite},
              {"background", "TDIB", 256, 256, fw::clBlack},  {"img2", "TJPEGImage", 25, 25, 12171705},
              {"fon1", "TJPEGImage", 800, 100, 12691622},     {"fon2", "TJPEGImage", 1024, 100, 12691622}};
  for (const Want& w : want) {
    TPictureCollectionItem* item = items.Lookup(w.name);
    EXPECT_EQ(item->Picture()->Graphic()->ClassName(), w.cls) << w.name;
    EXPECT_EQ(item->Width(), w.w) << w.name;
    EXPECT_EQ(item->Height(), w.h) << w.name;
    EXPECT_EQ(item->TransparentColor(), w.key) << w.name;
    EXPECT_EQ(item->CellWidth(), w.w) << w.name;
  }
  EXPECT_FALSE(items.Lookup("background")->Transparent());
  auto* big = dynamic_cast<TDIB*>(items.Lookup("img1-2")->Picture()->Graphic());
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->BitCount(), 8);
  EXPECT_TRUE(big->Image()->Compressed) << "stored RLE8, kept compressed";
  EXPECT_EQ(dynamic_cast<TDIB*>(items.Lookup("background")->Picture()->Graphic())->BitCount(), 24);

  // The stored table is the one the list builds from these pictures.
  const TRGBQuads stored = items.ColorTable;
  items.BuildColorTable();
  EXPECT_EQ(std::memcmp(stored.data(), items.ColorTable.data(), 1024), 0);

  // The bands are air down to their last row, where the crests of the water show through in
  // the transparent colour, decoded exactly; nowhere above it.
  for (const char* name : {"fon1", "fon2"}) {
    auto* band = dynamic_cast<fw::TJPEGImage*>(items.Lookup(name)->Picture()->Graphic());
    ASSERT_NE(band, nullptr) << name;
    const fw::TJpegPixels px = fw::DecodeJpeg(band->Bytes().data(), band->Bytes().size());
    int crest = 0, above = 0;
    for (int y = 0; y < px.Height; ++y)
      for (int x = 0; x < px.Width; ++x) {
        const std::uint8_t* p = &px.Rgb[(static_cast<std::size_t>(y) * px.Width + x) * 3];
        const bool keyed = p[0] == 0xA6 && p[1] == 0xA8 && p[2] == 0xC1;
        (y == px.Height - 1 ? crest : above) += keyed;
      }
    EXPECT_GT(crest, 0) << name;
    EXPECT_EQ(above, 0) << name;
  }

  list->SetName("ImageList");
  EXPECT_TRUE(fw::ComponentToText(*list) == text) << "written back byte for byte";
}

TEST_F(StoredImageListTest, LookupIgnoresCaseFindsTheLaterOfTwoAndNamesWhatIsMissing) {
  TPictureCollection items(nullptr);
  TPictureCollectionItem* a = items.Add();
  a->SetName("background");
  TPictureCollectionItem* b = items.Add();
  b->SetName("img1");
  TPictureCollectionItem* c = items.Add();
  c->SetName("IMG1");
  EXPECT_EQ(items.Lookup("Background"), a);
  EXPECT_EQ(items.Lookup("img1"), c);
  try {
    items.Lookup("fon3");
    FAIL();
  } catch (const EPictureCollectionError& e) {
    EXPECT_STREQ(e.what(), "Image 'fon3' not found");
  }
  EXPECT_THROW(items.Lookup(""), EPictureCollectionError);
}

TEST_F(StoredImageListTest, ColourTablesFromTrueColourAndPalettedPictures) {
  TPictureCollection items(nullptr);
  TDIB rgb;
  rgb.SetSize(4, 4, 24);
  items.Add()->Picture()->SetGraphic(&rgb);
  items.Add();  // no picture
  items.BuildColorTable();
  int used = 0;
  for (int i = 0; i < 256; ++i) used += std::memcmp(&items.ColorTable[i], "\0\0\0\0", 4) != 0;
  EXPECT_EQ(used, 15) << "the 16 fixed colours (black is all zero)";
  EXPECT_EQ(items.ColorTable[7].rgbRed, 192);
  EXPECT_EQ(items.ColorTable[7].rgbBlue, 192);
  EXPECT_EQ(items.ColorTable[248].rgbGreen, 128);
  EXPECT_EQ(items.ColorTable[249].rgbRed, 255);
  EXPECT_EQ(items.ColorTable[249].rgbBlue, 0);
  EXPECT_EQ(items.ColorTable[8].rgbRed, 0);

  // An 8-bit picture: its colours in order of first appearance from entry 8, repeats and the
  // fixed colours skipped, the rest dropped once the table is full.
  TDIB pal;
  pal.SetSize(2, 2, 8);
  TRGBQuads& t = pal.ColorTable();
  for (int i = 0; i < 256; ++i) t[i] = win::RGBQUAD{static_cast<std::uint8_t>(i), 1, 2, 0};
  t[1] = win::RGBQUAD{255, 255, 255, 0};  // white: fixed already
  t[2] = t[0];                             // a repeat
  pal.UpdatePalette();
  items.Add()->Picture()->SetGraphic(&pal);
  items.BuildColorTable();
  EXPECT_EQ(items.ColorTable[8].rgbBlue, 0);
  EXPECT_EQ(items.ColorTable[9].rgbBlue, 3);
  EXPECT_EQ(items.ColorTable[247].rgbBlue, 241);
  EXPECT_EQ(items.ColorTable[248].rgbGreen, 128) << "fixed entries keep their places";
}

TEST_F(StoredImageListTest, AssigningItemsCopiesEverythingButTheName) {
  auto source = fw::MakeOwned<TDXImageList>(nullptr);
  TPictureCollectionItem* s = source->Items()->Add();
  s->SetName("body");
  TDIB dib;
  dib.SetSize(30, 20, 24);
  s->Picture()->SetGraphic(&dib);
  s->SetPatternWidth(10);
  s->SetPatternHeight(5);
  s->SetSkipWidth(1);
  s->SetSkipHeight(2);
  s->SetSystemMemory(true);
  s->SetTransparent(false);
  s->SetTransparentColor(fw::clWhite);
  auto copy = fw::MakeOwned<TDXImageList>(nullptr);
  copy->SetItems(source->Items());
  ASSERT_EQ(copy->Items()->Count(), 1);
  TPictureCollectionItem* c = copy->Items()->Items(0);
  EXPECT_EQ(c->Name(), "");
  EXPECT_EQ(c->Width(), 30);
  EXPECT_EQ(c->PatternWidth(), 10);
  EXPECT_EQ(c->PatternHeight(), 5);
  EXPECT_EQ(c->SkipWidth(), 1);
  EXPECT_EQ(c->SkipHeight(), 2);
  EXPECT_TRUE(c->SystemMemory());
  EXPECT_FALSE(c->Transparent());
  EXPECT_EQ(c->TransparentColor(), fw::clWhite);
}

TEST_F(StoredImageListTest, DefaultsAndWhatIsLeftOutWhenWritten) {
  auto list = fw::MakeOwned<TDXImageList>(nullptr);
  list->SetName("L");
  TPictureCollectionItem* item = list->Items()->Add();
  EXPECT_TRUE(item->Transparent());
  EXPECT_FALSE(item->Ready());
  item->SetName("x");
  const std::string text = fw::ComponentToText(*list);
  EXPECT_NE(text.find("Items.ColorTable"), std::string::npos);
  EXPECT_LT(text.find("Items.ColorTable"), text.find("Items = <"));
  EXPECT_EQ(text.find("SkipWidth"), std::string::npos);
  EXPECT_NE(text.find("PatternWidth = 0"), std::string::npos);
  EXPECT_NE(text.find("TransparentColor = clBlack"), std::string::npos);
  item->SetSkipWidth(3);
  item->SetTransparentColor(12691622);
  const std::string again = fw::ComponentToText(*list);
  EXPECT_NE(again.find("SkipWidth = 3"), std::string::npos);
  EXPECT_NE(again.find("TransparentColor = 12691622"), std::string::npos);
  auto back = ReadList(again);
  EXPECT_EQ(back->Items()->Items(0)->SkipWidth(), 3);
}

TEST_F(StoredImageListTest, DamagedStoredDataAreRefusedWithTheirOwnErrors) {
  const auto good = DibPictureData(4, 4, 24);
  ASSERT_NO_THROW(ReadList(ListText(good)));
  // Colour tables of the wrong size.
  EXPECT_THROW(ReadList(ListText(good, 1000)), fw::EReadError);
  EXPECT_THROW(ReadList(ListText(good, 1028)), fw::EReadError);
  // An unknown class, a short class name, a bad DIB header, a cut JPEG.
  EXPECT_THROW(ReadList(ListText({5, 'T', 'F', 'O', 'O', 'X', 0, 0})), fw::EClassNotFound);
  EXPECT_THROW(ReadList(ListText({9, 'T', 'D', 'I', 'B'})), fw::EReadError);
  std::vector<std::uint8_t> bad = good;
  bad[5] = 108;  // a header size the reader does not know
  EXPECT_THROW(ReadList(ListText(bad)), fw::EInvalidGraphic);
  std::vector<std::uint8_t> jpeg{10, 'T', 'J', 'P', 'E', 'G', 'I', 'm', 'a', 'g', 'e', 4, 0, 0, 0, 0xFF, 0xD8, 0xFF, 0xE0};
  EXPECT_ANY_THROW(ReadList(ListText(jpeg)));

  // Loading into a list that has a picture and a table keeps both when the data are bad.
  auto list = ReadList(ListText(good));
  list->Items()->ColorTable[9].rgbRed = 99;
  const std::string binary = fw::ObjectTextToBinary(ListText(good, 1000));
  fw::TBytesStream s(binary.data(), binary.size());
  EXPECT_THROW(fw::ReadComponent(s, list.get(), nullptr), fw::EReadError);
  EXPECT_EQ(list->Items()->ColorTable[9].rgbRed, 99);
  TPictureCollectionItem* item = list->Items()->Items(0);
  const std::vector<std::uint8_t> damaged{4, 'T', 'D', 'I', 'B', 40, 0, 0};
  fw::TBytesStream d(damaged.data(), damaged.size());
  EXPECT_ANY_THROW(item->Picture()->ReadData(d));
  EXPECT_EQ(item->Width(), 4) << "the picture it had stays";
}

}  // namespace
