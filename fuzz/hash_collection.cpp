// Random sequences of adding, naming, deleting, moving and clearing items of a name-hashed
// collection, each followed by look-ups checked against a plain list that is searched in full.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dx/DXClass.h"
#include "framework/SysUtils.h"

namespace {

const char* const kNames[] = {"", "a", "A", "b", "img1", "IMG1", "background", "Фон", "фОН", "x1", "Жab", "жAB"};
constexpr std::size_t kNameCount = sizeof(kNames) / sizeof(kNames[0]);

struct Model {
  std::string Name;
  std::uint64_t Stamp;  // when it was last linked under its name
};

// Of the items named alike, the one linked last; -1 when none.
int Expected(const std::vector<Model>& model, const std::string& name) {
  int best = -1;
  for (std::size_t i = 0; i < model.size(); ++i)
    if (fw::AnsiSameText(model[i].Name, name) && (best < 0 || model[i].Stamp > model[best].Stamp))
      best = static_cast<int>(i);
  return best;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dx::THashCollection c(dx::THashCollectionItem::StaticClass());
  std::vector<Model> model;
  std::uint64_t clock = 0;
  auto item = [&](std::size_t i) { return static_cast<dx::THashCollectionItem*>(c.Items(static_cast<int>(i))); };

  for (std::size_t p = 0; p + 1 < size; p += 2) {
    const std::uint8_t op = data[p] % 6;
    const std::uint8_t arg = data[p + 1];
    const std::size_t n = model.size();
    switch (op) {
      case 0:  // add
        if (n < 64) {
          c.Add();
          model.push_back({"", ++clock});
        }
        break;
      case 1:  // rename
        if (n) {
          const std::size_t i = arg % n;
          const std::string name = kNames[(arg / n) % kNameCount];
          item(i)->SetName(name);
          if (model[i].Name != name) model[i] = {name, ++clock};
        }
        break;
      case 2:  // delete
        if (n) {
          const std::size_t i = arg % n;
          c.Delete(static_cast<int>(i));
          model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
        }
        break;
      case 3:  // move
        if (n) {
          const std::size_t from = arg % n, to = (arg / n) % n;
          item(from)->SetIndex(static_cast<int>(to));
          Model m = model[from];
          model.erase(model.begin() + static_cast<std::ptrdiff_t>(from));
          model.insert(model.begin() + static_cast<std::ptrdiff_t>(to), m);
        }
        break;
      case 4:  // insert
        if (n < 64) {
          const std::size_t at = arg % (n + 1);
          c.Insert(static_cast<int>(at));
          model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), {"", ++clock});
        }
        break;
      case 5:  // clear, now and then
        if (arg == 0) {
          c.Clear();
          model.clear();
        }
        break;
    }
    if (c.Count() != static_cast<int>(model.size())) std::abort();
    for (const char* name : kNames)
      if (c.IndexOfName(name) != Expected(model, name)) std::abort();
  }
  return 0;
}
