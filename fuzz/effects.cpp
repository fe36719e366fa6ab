// Feeds arbitrary bytes to the reader of a device's stored effect tree. What is refused must
// leave the tree as it was; what is read must write back to bytes that read to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dx/DXInput.h"
#include "framework/Classes.h"

namespace {

std::string Written(dx::TForceFeedbackEffects& tree) {
  fw::TMemoryStream m;
  tree.WriteEffects(m);
  return std::string(static_cast<const char*>(m.Memory()), static_cast<std::size_t>(m.Size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dx::TForceFeedbackEffects tree(nullptr);
  dx::TForceFeedbackEffect* e = tree.Add();
  e->SetName("before");
  e->SetEffectType(dx::etCondition);
  const std::string before = Written(tree);

  fw::TBytesStream in(data, size);
  try {
    tree.ReadEffects(in);
  } catch (const fw::Exception&) {
    if (Written(tree) != before) std::abort();
    return 0;
  }
  std::string once;
  try {
    once = Written(tree);
  } catch (const fw::EWriteError&) {
    return 0;  // a tree too deep or with names too long to store again
  }
  dx::TForceFeedbackEffects again(nullptr);
  fw::TBytesStream back(once.data(), once.size());
  again.ReadEffects(back);
  if (Written(again) != once) std::abort();
  return 0;
}
