// Writes the seed inputs of the image-list fuzz target with the component stream's own writer:
//   make_image_list_corpus <source dir>   ->   fuzz/corpus/image_list/
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "framework/Jpeg.h"
#include "framework/Streaming.h"

namespace {

void Save(const std::string& path, dx::TDXImageList& list) {
  fw::TMemoryStream s;
  fw::WriteComponent(s, list);
  std::ofstream(path, std::ios::binary).write(static_cast<const char*>(s.Memory()), s.Size());
}

// A small 8-bit picture kept RLE8-compressed: two rows of runs and literals.
std::vector<std::uint8_t> Rle8Body() {
  std::vector<std::uint8_t> b = {40, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 1, 0, 0, 0, 12, 0, 0, 0};
  b.resize(40, 0);
  for (int i = 0; i < 256; ++i) b.insert(b.end(), {static_cast<std::uint8_t>(i), 0, static_cast<std::uint8_t>(255 - i), 0});
  const std::vector<std::uint8_t> rle = {6, 1, 0, 0, 0, 3, 4, 5, 6, 0, 3, 3, 0, 1};
  b[20] = static_cast<std::uint8_t>(rle.size());
  b.insert(b.end(), rle.begin(), rle.end());
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  fw::RegisterJpegImage();
  const std::string dir = std::string(argv[1]) + "/fuzz/corpus/image_list/";
  {
    auto list = fw::MakeOwned<dx::TDXImageList>(nullptr);
    list->SetName("Empty");
    Save(dir + "empty", *list);
  }
  auto list = fw::MakeOwned<dx::TDXImageList>(nullptr);
  list->SetName("ImageList");
  dx::TPictureCollection& items = *list->Items();
  dx::TDIB rle;
  const auto body = Rle8Body();
  fw::TBytesStream bs(body.data(), body.size());
  rle.ReadBody(bs);
  dx::TPictureCollectionItem* a = items.Add();
  a->SetName("rle");
  a->Picture()->SetGraphic(&rle);
  a->SetPatternWidth(2);
  a->SetSkipWidth(1);
  a->SetTransparentColor(fw::clWhite);
  dx::TDIB rgb;
  rgb.SetSize(5, 3, 24);
  dx::TPictureCollectionItem* b = items.Add();
  b->SetName("RGB");
  b->Picture()->SetGraphic(&rgb);
  b->SetSystemMemory(true);
  b->SetTransparent(false);
  b->SetTransparentColor(12691622);
  items.Add()->SetName("no picture");
  items.BuildColorTable();
  Save(dir + "two_dibs", *list);
  // The scene's body picture as a JPEG item.
  std::ifstream f(std::string(argv[1]) + "/forms/Unit4ImageList.form");
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  auto scene = fw::MakeOwned<dx::TDXImageList>(nullptr);
  const std::string binary = fw::ObjectTextToBinary(text);
  fw::TBytesStream sb(binary.data(), binary.size());
  fw::ReadComponent(sb, scene.get(), nullptr);
  for (int i = scene->Items()->Count() - 1; i >= 0; --i)
    if (scene->Items()->Items(i)->Name() != "img2") scene->Items()->Delete(i);
  scene->SetName("Body");
  Save(dir + "jpeg_body", *scene);
  return 0;
}
