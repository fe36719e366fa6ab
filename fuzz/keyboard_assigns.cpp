// Feeds arbitrary bytes to the keyboard's stored key table. A block that is taken must write
// back to the same bytes; any other must be refused with the stream's read error and leave the
// table as it was.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "dx/DXInput.h"
#include "framework/Forms.h"
#include "framework/Streaming.h"

namespace {

dx::TKeyboard& Keyboard() {
  // One form and component for the whole run: making windows per input would only be slow.
  static dx::TKeyboard* keyboard = [] {
    // The fuzzer runs without a display.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    fw::InitApplication();
    auto* form = new fw::TForm(nullptr);
    return fw::MakeComponent<dx::TDXInput>(form)->Keyboard();
  }();
  return *keyboard;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dx::TKeyboard& k = Keyboard();
  k.Assigns = dx::TKeyboard::DefaultAssigns();
  fw::TBytesStream in(data, size);
  try {
    k.ReadAssigns(in);
  } catch (const fw::EReadError&) {
    if (k.Assigns != dx::TKeyboard::DefaultAssigns()) std::abort();
    return 0;
  }
  if (size != dx::TKeyboard::kAssignsSize) std::abort();
  fw::TMemoryStream out;
  k.WriteAssigns(out);
  if (out.Size() != static_cast<std::int64_t>(size) || std::memcmp(out.Memory(), data, size) != 0) std::abort();
  // Whatever the codes, a frame reads them safely.
  k.Update();
  return 0;
}
