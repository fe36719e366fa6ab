// Writes the seed inputs of the component-stream fuzz targets with the stream's own writer:
//   make_stream_corpus <source dir>   ->   fuzz/corpus/stream_text/, fuzz/corpus/stream_binary/
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/StreamFuzzClasses.h"

using namespace streamfuzz;

namespace {

// Every kind of value, for the conversions (no class needs to exist for them).
const char* kAllValues = R"(object Values: TUnknown [2]
  Ints = (0 -1 127 128 -32769 2147483647 -2147483648 9000000000 $FF)
  Floats = (1.5 -0.25 1e300 3.25s 12.5c 45000.5d)
  Strings = ('plain' '' 'It''s' #13#10 'Ґрунт' 'a' + 'b')
  Idents = (True False nil clRed Form1.Button1)
  Set = [a, b]
  Empty = []
  Bin = {}
  Coll = <
    item [3]
      A = 1
    end>
  None = <>
  inherited Child: TOther
  end
  inline Frame: TFrame
  end
end
)";

void Save(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::printf("%s (%zu bytes)\n", file.string().c_str(), bytes.size());
}

std::string Bytes(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<std::size_t>(s.Size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <source dir>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path root(argv[1]);
  const auto text_dir = root / "fuzz" / "corpus" / "stream_text";
  const auto bin_dir = root / "fuzz" / "corpus" / "stream_binary";
  std::filesystem::create_directories(text_dir);
  std::filesystem::create_directories(bin_dir);
  int n = 0;
  for (const char* seed : kSeedForms) {
    auto form = MakeOwned<TFuzzForm>(nullptr);
    ReadRootComponentText(*form, seed);
    const std::string tag = std::to_string(n++);
    Save(text_dir / ("form" + tag + ".txt"), ComponentToText(*form));
    TMemoryStream binary;
    WriteComponent(binary, *form);
    Save(bin_dir / ("form" + tag + ".bin"), Bytes(binary));
    if (n == 2) {
      TMemoryStream res;
      WriteComponentRes(res, "SprixForceFeedbackEffect", *form);
      Save(bin_dir / "form1.res", Bytes(res));
    }
  }
  Save(text_dir / "values.txt", kAllValues);
  Save(bin_dir / "values.bin", ObjectTextToBinary(kAllValues));
  return 0;
}
