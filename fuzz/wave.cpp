// Feeds arbitrary bytes to the RIFF WAVE reader. Whatever loads must save and load back to the
// same wave; whatever does not load must be refused with an error, never a crash.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dx/Wave.h"

namespace {

bool SameWave(const dx::TWave& a, const dx::TWave& b) {
  return a.Size() == b.Size() && a.FormatSize() == b.FormatSize() &&
         (a.Size() == 0 || std::memcmp(a.Data(), b.Data(), static_cast<std::size_t>(a.Size())) == 0) &&
         (a.FormatSize() == 0 ||
          std::memcmp(a.Format(), b.Format(), static_cast<std::size_t>(a.FormatSize())) == 0);
}

// Reads the samples back through a wave stream in uneven pieces, overwriting some in place.
void WalkSamples(const std::uint8_t* data, std::size_t size) {
  fw::TMemoryStream copy;
  if (size) copy.WriteBuffer(data, static_cast<std::int64_t>(size));
  copy.SetPosition(0);
  dx::TWaveStream ws(&copy);
  try {
    ws.Open(false);
  } catch (const fw::Exception&) {
    return;
  }
  std::uint8_t buf[37];
  const std::int64_t total = ws.Size();
  std::int64_t got = 0;
  for (std::int64_t n; (n = ws.Read(buf, sizeof buf)) > 0;) got += n;
  if (got > total) std::abort();
  ws.Seek(total / 2, fw::soBeginning);
  ws.Write(buf, sizeof buf);
  ws.Seek(-1, fw::soEnd);
  ws.Read(buf, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fw::TBytesStream in(data, size);
  dx::TWave wave;
  try {
    wave.LoadFromStream(in);
  } catch (const fw::Exception&) {
    WalkSamples(data, size);
    return 0;
  }
  if (wave.Size() > static_cast<std::int64_t>(size)) std::abort();

  fw::TMemoryStream out;
  wave.SaveToStream(out);
  if (wave.FormatSize() > 0 && wave.Size() > 0) {
    out.SetPosition(0);
    dx::TWave back;
    back.LoadFromStream(out);
    if (!SameWave(wave, back)) std::abort();
  } else if (out.Size() != 0) {
    std::abort();
  }
  WalkSamples(data, size);
  return 0;
}
