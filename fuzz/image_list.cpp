// Reads an image list from a stored object (binary component stream), builds its colour table,
// writes it back and reads that again. Damaged colour tables and pictures must be refused with
// an error, never crash or read outside their data.
#include <cstdint>
#include <cstring>
#include <exception>

#include "dx/DIB.h"
#include "dx/DXDraws.h"
#include "framework/Jpeg.h"
#include "framework/Streaming.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool registered = (fw::RegisterJpegImage(), dx::TDIB::StaticClass(), true);
  (void)registered;
  auto list = fw::MakeOwned<dx::TDXImageList>(nullptr);
  try {
    fw::TBytesStream in(data, size);
    fw::ReadComponent(in, list.get(), nullptr);
  } catch (const std::exception&) {
    return 0;
  }
  list->Items()->BuildColorTable();
  for (int i = 0; i < list->Items()->Count(); ++i) {
    dx::TPictureCollectionItem* item = list->Items()->Items(i);
    (void)item->CellWidth(), (void)item->CellHeight(), (void)item->PatternRect(0);
    try {
      list->Items()->Lookup(item->Name());
    } catch (const std::exception&) {
      std::terminate();  // every item's own name finds an item
    }
  }
  fw::TMemoryStream out;
  try {
    fw::WriteComponent(out, *list);
  } catch (const std::exception&) {
    return 0;  // names too long to write, say
  }
  out.SetPosition(0);
  auto again = fw::MakeOwned<dx::TDXImageList>(nullptr);
  fw::ReadComponent(out, again.get(), nullptr);  // what we wrote must read back
  if (again->Items()->Count() != list->Items()->Count() || 
      std::memcmp(again->Items()->ColorTable.data(), list->Items()->ColorTable.data(), 1024) != 0)
    std::terminate();
  return 0;
}
