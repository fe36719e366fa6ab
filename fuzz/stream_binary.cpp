// Binary object streams (and resource-wrapped ones) read into a form, and converted to text.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tests/support/StreamClasses.h"

using namespace streamclasses;

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "stream_binary: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // A stream read into a form either builds it whole or fails and leaves nothing behind; what it
  // built writes out and reads back to the same text.
  {
    auto form = MakeOwned<TFuzzForm>(nullptr);
    TBytesStream in(bytes.data(), bytes.size());
    bool read = false;
    try {
      ReadRootComponent(*form, in);
      read = true;
    } catch (const Exception&) {
      if (form->ComponentCount() != 0 || form->Button1 || form->Panel1) Fail("a failed read left components");
      if (form->ComponentState().Contains(csLoading)) Fail("a failed read left the form loading");
    }
    if (read) {
      std::string text;
      try {
        text = ComponentToText(*form);
      } catch (const Exception&) {
        // Names read from binary data need not be writable (a text form has no room for them).
      }
      if (!text.empty()) {
        auto again = MakeOwned<TFuzzForm>(nullptr);
        ReadRootComponentText(*again, text);
        if (ComponentToText(*again) != text) Fail("text -> objects -> text changed");
      }
    }
  }

  // Binary to text and back gives the same text.
  std::string text;
  try {
    text = ObjectBinaryToText(bytes);
  } catch (const Exception&) {
    return 0;
  }
  std::string binary;
  try {
    binary = ObjectTextToBinary(text);
  } catch (const Exception&) {
    Fail("the text of a binary stream was refused");
  }
  if (ObjectBinaryToText(binary) != text) Fail("binary -> text -> binary -> text changed");
  return 0;
}
