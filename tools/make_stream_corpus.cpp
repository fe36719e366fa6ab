// Writes the seed inputs of the component-stream fuzz targets with the stream's own writer:
//   make_stream_corpus <source dir>   ->   fuzz/corpus/stream_text/, fuzz/corpus/stream_binary/
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/StreamClasses.h"

using namespace streamclasses;

namespace {

// Seeds: forms with every kind of value, written by the stream's own writer.
const char* const kSeedForms[] = {
    R"(object Form1: TFuzzForm
  Caption = 'Параметри'
  object Panel1: TFuzzWidget
    Width = 300
    Caption = 'It''s'#13#10'two lines'
    Font.Height = -13
    Font.Style = [fsBold, fsUnderline]
    Font.Color = clRed
    Items = <
      item
        Name = 'first'
        Value = 5
        Kind = fkLeft
        Font.Color = clBtnFace
        Target = Button1
        Children = <
          item
            Name = 'inner'
            Kind = fkRight
          end>
      end
      item
        Kind = fkNone
      end>
    object Button1: TFuzzWidget
      Width = -70000
      Big = 5000000000
      Enabled = True
      Ratio = 1.5
      Buddy = Panel1
      OnClick = Button1Click
      Data = {
        DEADBEEF00FF}
      Values = (
        1
        -200
        70000)
    end
  end
end
)",
    R"(object Form2: TFuzzForm
  object Button1: TFuzzWidget
    Items = <
      item
        Name = 'Effects'
        Children = <
          item
            Name = 'eff1'
            Value = 30
            Children = <
              item
                Name = 'deep'
              end>
          end>
      end>
  end
end
)",
    R"(object Form3: TFuzzForm
end
)",
};

// A form whose values only the later seeds carry: a full colour table, an extended number far
// beyond a double's range, a font name and the last style, a handler other than the first.
std::string ColorTableForm() {
  std::string text = R"(object Form4: TFuzzForm
  object Panel1: TFuzzWidget
    Ratio = 1e4000
    Font.Style = [fsItalic, fsStrikeOut]
    Font.Name = 'Arial'
    OnClick = Other
    Items.ColorTable = {)";
  static const char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < kColorTableSize; ++i) {
    if (i % 32 == 0) text += "\n      ";
    const auto b = static_cast<unsigned>((i * 7 + i / 256) & 0xFF);
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  text += R"(}
    Items = <
      item
        Font.Height = 0
      end>
  end
end
)";
  return text;
}

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
  std::vector<std::string> seeds(std::begin(kSeedForms), std::end(kSeedForms));
  seeds.push_back(ColorTableForm());
  int n = 0;
  for (const std::string& seed : seeds) {
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
