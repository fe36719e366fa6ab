// Text form descriptions read into a form, and converted to binary and back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/StreamClasses.h"

using namespace streamclasses;

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "stream_text: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  {
    auto form = MakeOwned<TFuzzForm>(nullptr);
    bool read = false;
    try {
      ReadRootComponentText(*form, text);
      read = true;
    } catch (const Exception&) {
      if (form->ComponentCount() != 0 || form->Button1 || form->Panel1) Fail("a failed read left components");
      if (form->ComponentState().Contains(csLoading)) Fail("a failed read left the form loading");
    }
    if (read) {
      // objects -> binary -> objects -> text is stable.
      const std::string written = ComponentToText(*form);
      TMemoryStream binary;
      WriteComponent(binary, *form);
      binary.SetPosition(0);
      auto again = MakeOwned<TFuzzForm>(nullptr);
      ReadRootComponent(*again, binary);
      if (ComponentToText(*again) != written) Fail("objects -> binary -> objects changed the text");
    }
  }

  std::string binary;
  try {
    binary = ObjectTextToBinary(text);
  } catch (const Exception&) {
    return 0;
  }
  std::string back;
  try {
    back = ObjectBinaryToText(binary);
  } catch (const Exception&) {
    Fail("the binary form of a text was refused");
  }
  if (ObjectTextToBinary(back) != binary) Fail("text -> binary -> text -> binary changed");
  return 0;
}
