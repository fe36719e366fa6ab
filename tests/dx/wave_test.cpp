#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "dx/Wave.h"

using namespace dx;
using fw::TMemoryStream;

namespace {

using Bytes = std::vector<std::uint8_t>;

void PutLE32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
std::uint32_t LE32At(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::string IdAt(const Bytes& b, std::size_t at) { return std::string(b.begin() + at, b.begin() + at + 4); }

Bytes Seq(std::size_t n, std::uint8_t first) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
  return b;
}

struct Chunk {
  std::string Id;
  Bytes Payload;
  std::optional<std::uint32_t> Claimed = std::nullopt;  // a size other than the payload's
};

Bytes Riff(const std::vector<Chunk>& chunks, const char* riff = "RIFF", const char* wave = "WAVE") {
  Bytes b(riff, riff + 4);
  PutLE32(b, 0);
  b.insert(b.end(), wave, wave + 4);
  for (const Chunk& c : chunks) {
    b.insert(b.end(), c.Id.begin(), c.Id.end());
    PutLE32(b, c.Claimed.value_or(static_cast<std::uint32_t>(c.Payload.size())));
    b.insert(b.end(), c.Payload.begin(), c.Payload.end());
  }
  return b;
}

Bytes Contents(TMemoryStream& s) {
  auto* p = static_cast<const std::uint8_t*>(s.Memory());
  return p ? Bytes(p, p + s.Size()) : Bytes();
}

void Fill(TMemoryStream& s, const Bytes& b) {
  s.Clear();
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<std::int64_t>(b.size()));
  s.SetPosition(0);
}

Bytes WaveData(const TWave& w) { return Bytes(w.Data(), w.Data() + w.Size()); }
Bytes WaveFormat(const TWave& w) { return Bytes(w.Format(), w.Format() + w.FormatSize()); }

void MakeWave(TWave& w, const Bytes& format, const Bytes& samples) {
  w.SetFormatSize(static_cast<int>(format.size()));
  if (!format.empty()) std::memcpy(w.Format(), format.data(), format.size());
  w.SetSize(static_cast<int>(samples.size()));
  if (!samples.empty()) std::memcpy(w.Data(), samples.data(), samples.size());
}

template <class E, class F>
void ExpectError(F&& f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no error, expected \"" << message << "\"";
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TWave memory

TEST(Wave, SamplesAreAllocatedInWholeBlocksAndKeptOnGrowth) {
  TWave w;
  EXPECT_EQ(w.Data(), nullptr);
  w.SetSize(1);
  EXPECT_EQ(w.Capacity(), 8096);
  ASSERT_NE(w.Data(), nullptr);
  w.Data()[0] = 0xA5;
  std::uint8_t* first = w.Data();

  w.SetSize(8096);
  EXPECT_EQ(w.Capacity(), 8096);
  EXPECT_EQ(w.Data(), first) << "staying within the block must not reallocate";
  std::memset(w.Data(), 0x5A, 8096);

  w.SetSize(8097);
  EXPECT_EQ(w.Capacity(), 16192);
  EXPECT_EQ(w.Size(), 8097);
  for (int i = 0; i < 8096; ++i) ASSERT_EQ(w.Data()[i], 0x5A) << "byte " << i << " lost";

  w.SetSize(100);
  EXPECT_EQ(w.Capacity(), 8096);
  EXPECT_EQ(w.Data()[99], 0x5A);

  w.SetSize(-3);
  EXPECT_EQ(w.Size(), 0);
  EXPECT_EQ(w.Capacity(), 0);
  EXPECT_EQ(w.Data(), nullptr);
}

TEST(Wave, FormatIsReallocatedToExactlyItsSize) {
  TWave w;
  w.SetFormatSize(4);
  std::memcpy(w.Format(), "\x01\x02\x03\x04", 4);
  w.SetFormatSize(18);
  EXPECT_EQ(w.FormatSize(), 18);
  EXPECT_EQ(Bytes(w.Format(), w.Format() + 4), (Bytes{1, 2, 3, 4}));
  w.SetFormatSize(-1);
  EXPECT_EQ(w.FormatSize(), 0);
  EXPECT_EQ(w.Format(), nullptr);

  MakeWave(w, Seq(16, 0), Seq(10, 0));
  w.Clear();
  EXPECT_EQ(w.Data(), nullptr);
  EXPECT_EQ(w.Format(), nullptr);
  EXPECT_EQ(w.Size(), 0);
  EXPECT_EQ(w.FormatSize(), 0);
}

TEST(Wave, AssignCopiesFromWavesAndEmptiesFromNothing) {
  TWave a, b;
  MakeWave(a, Seq(16, 1), Seq(9000, 7));
  b.Assign(&a);
  EXPECT_EQ(WaveFormat(b), WaveFormat(a));
  EXPECT_EQ(WaveData(b), WaveData(a));
  EXPECT_NE(b.Data(), a.Data());

  b.Assign(&b);
  EXPECT_EQ(WaveData(b), WaveData(a));

  TWave empty;
  b.Assign(&empty);
  EXPECT_EQ(b.Size(), 0);
  EXPECT_EQ(b.FormatSize(), 0);

  a.Assign(nullptr);
  EXPECT_EQ(a.Data(), nullptr);
  EXPECT_EQ(a.Format(), nullptr);

  struct TOther : fw::TPersistent {} other;
  EXPECT_THROW(a.Assign(&other), fw::EConvertError);
}

// ---------------------------------------------------------------------------------------------
// Saving

TEST(WaveSave, SixteenByteFormatAndFourSamplesMakeFortyEightBytes) {
  TWave w;
  MakeWave(w, Seq(16, 0x10), {0xDE, 0xAD, 0xBE, 0xEF});
  TMemoryStream s;
  w.SaveToStream(s);
  Bytes b = Contents(s);
  ASSERT_EQ(b.size(), 48u);
  EXPECT_EQ(IdAt(b, 0), "RIFF");
  EXPECT_EQ(LE32At(b, 4), 40u);
  EXPECT_EQ(IdAt(b, 8), "WAVE");
  EXPECT_EQ(IdAt(b, 12), "fmt ");
  EXPECT_EQ(LE32At(b, 16), 16u);
  EXPECT_EQ(Bytes(b.begin() + 20, b.begin() + 36), Seq(16, 0x10));
  EXPECT_EQ(IdAt(b, 36), "data");
  EXPECT_EQ(LE32At(b, 40), 4u);
  EXPECT_EQ(Bytes(b.begin() + 44, b.end()), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(s.Position(), 48);
}

TEST(WaveSave, WavesWithoutFormatOrSamplesWriteNothing) {
  TMemoryStream s;
  TWave w;
  w.SaveToStream(s);
  MakeWave(w, Seq(16, 0), {});
  w.SaveToStream(s);
  MakeWave(w, {}, Seq(4, 0));
  w.SaveToStream(s);
  EXPECT_EQ(s.Size(), 0);
}

TEST(WaveSave, RoundTripsAtAnOffsetInsideAnotherStream) {
  TWave w;
  MakeWave(w, Seq(18, 3), Seq(20000, 9));
  TMemoryStream s;
  s.WriteBuffer("prefix", 6);
  w.SaveToStream(s);
  s.WriteBuffer("tail", 4);
  Bytes b = Contents(s);
  EXPECT_EQ(LE32At(b, 6 + 4), 12u + 8 + 18 + 8 + 20000 - 8) << "RIFF size counts from its header";

  s.SetPosition(6);
  TWave r;
  r.LoadFromStream(s);
  EXPECT_EQ(WaveFormat(r), Seq(18, 3));
  EXPECT_EQ(WaveData(r), Seq(20000, 9));
}

// ---------------------------------------------------------------------------------------------
// Loading

TEST(WaveLoad, SkipsOtherChunksWithoutPadBytes) {
  TMemoryStream s;
  TWave w;
  // A "LIST" chunk between the format and the samples.
  Fill(s, Riff({{"fmt ", Seq(16, 1)}, {"LIST", Seq(26, 0x80)}, {"data", Seq(6, 0x40)}}));
  w.LoadFromStream(s);
  EXPECT_EQ(WaveFormat(w), Seq(16, 1));
  EXPECT_EQ(WaveData(w), Seq(6, 0x40));

  // An odd-sized chunk: the next header starts at the very next byte.
  Fill(s, Riff({{"junk", Seq(3, 0xF0)}, {"fmt ", Seq(14, 2)}, {"data", Seq(5, 0x20)}}));
  w.LoadFromStream(s);
  EXPECT_EQ(WaveFormat(w), Seq(14, 2));
  EXPECT_EQ(WaveData(w), Seq(5, 0x20));
}

TEST(WaveLoad, LaterChunksReplaceEarlierAndMissingOnesAreEmpty) {
  TMemoryStream s;
  TWave w;
  Fill(s, Riff({{"data", Seq(4, 0)}, {"fmt ", Seq(16, 0)}, {"fmt ", Seq(20, 5)}, {"data", Seq(7, 9)}}));
  w.LoadFromStream(s);
  EXPECT_EQ(WaveFormat(w), Seq(20, 5));
  EXPECT_EQ(WaveData(w), Seq(7, 9));

  Fill(s, Riff({{"data", Seq(4, 0)}}));
  w.LoadFromStream(s);
  EXPECT_EQ(w.FormatSize(), 0);
  EXPECT_EQ(w.Size(), 4);

  Fill(s, Riff({{"fmt ", Seq(16, 0)}}));
  w.LoadFromStream(s);
  EXPECT_EQ(w.FormatSize(), 16);
  EXPECT_EQ(w.Size(), 0);
  EXPECT_EQ(w.Data(), nullptr);

  // Zero bytes where a header would be end the chunk list.
  Bytes b = Riff({{"fmt ", Seq(16, 0)}});
  b.insert(b.end(), 8, 0);
  Bytes more = Riff({{"data", Seq(4, 0)}});
  b.insert(b.end(), more.begin() + 12, more.end());
  Fill(s, b);
  w.LoadFromStream(s);
  EXPECT_EQ(w.Size(), 0);
}

TEST(WaveLoad, RefusesStreamsThatAreNotRiffWave) {
  TMemoryStream s;
  TWave w;
  Fill(s, Riff({{"fmt ", Seq(16, 0)}}, "RIFX"));
  ExpectError<EWaveStreamError>([&] { w.LoadFromStream(s); }, "Wave is invalid");
  Fill(s, Riff({{"fmt ", Seq(16, 0)}}, "RIFF", "AVI "));
  ExpectError<EWaveStreamError>([&] { w.LoadFromStream(s); }, "Wave is invalid");

  Fill(s, {});
  ExpectError<fw::EReadError>([&] { w.LoadFromStream(s); }, "Stream read error");
  Fill(s, Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'});
  ExpectError<fw::EReadError>([&] { w.LoadFromStream(s); }, "Stream read error");
}

TEST(WaveLoad, SizesPastTheEndAreReadErrorsNotAllocations) {
  TMemoryStream s;
  TWave w;
  MakeWave(w, Seq(4, 0), Seq(4, 0));

  // A format record longer than the stream.
  Fill(s, Riff({{"fmt ", Seq(16, 0), 0xFFFFFFF0u}}));
  ExpectError<fw::EReadError>([&] { w.LoadFromStream(s); }, "Stream read error");
  EXPECT_EQ(w.FormatSize(), 0);
  EXPECT_EQ(w.Size(), 0) << "a failed load starts from an empty wave";
  Fill(s, Riff({{"fmt ", Seq(16, 0), 17}}));
  EXPECT_THROW(w.LoadFromStream(s), fw::EReadError);

  // A "data" chunk claiming more than follows: the format is kept, no samples are allocated.
  for (std::uint32_t claimed : {0xFFFFFFFFu, 0x80000000u, 0x7FFFFFFFu, 5u}) {
    Fill(s, Riff({{"fmt ", Seq(16, 0)}, {"data", Seq(4, 0), claimed}}));
    EXPECT_THROW(w.LoadFromStream(s), fw::EReadError) << claimed;
    EXPECT_EQ(w.FormatSize(), 16);
    EXPECT_EQ(w.Size(), 0);
    EXPECT_EQ(w.Capacity(), 0);
  }

  // A header cut short after its identifier.
  Bytes cut = Riff({{"fmt ", Seq(16, 0)}});
  cut.insert(cut.end(), {'d', 'a', 't', 'a', 0x10});
  Fill(s, cut);
  EXPECT_THROW(w.LoadFromStream(s), fw::EReadError);

  // Chunks that skip far beyond the end simply end the list.
  Fill(s, Riff({{"fmt ", Seq(16, 0)}, {"LIST", {}, 0xFFFFFFFFu}}));
  w.LoadFromStream(s);
  EXPECT_EQ(w.FormatSize(), 16);
  EXPECT_EQ(w.Size(), 0);
}

// ---------------------------------------------------------------------------------------------
// TWaveStream

TEST(WaveStream, ReadingWritingAndOpeningAgainAreRefusedOutOfTurn) {
  TMemoryStream s;
  std::uint8_t buf[4] = {};
  {
    TWaveStream ws(&s);
    EXPECT_EQ(ws.Size(), 0);
    ExpectError<EWaveStreamError>([&] { ws.Read(buf, 4); }, "Stream not opend");
    ExpectError<EWaveStreamError>([&] { ws.Write(buf, 4); }, "Stream not opend");
    ExpectError<EWaveStreamError>([&] { ws.Open(true); }, "Format is invalid");
  }
  EXPECT_EQ(s.Size(), 0) << "a stream that never opened writes nothing";

  {
    TWaveStream ws(&s);
    ws.SetFormatSize(16);
    ws.Open(true);
    ExpectError<EWaveStreamError>([&] { ws.Open(true); }, "Stream has already been opened");
    ExpectError<EWaveStreamError>([&] { ws.Open(false); }, "Stream has already been opened");
  }
  s.SetPosition(0);
  {
    TWaveStream ws(&s);
    ws.Open(false);
    ExpectError<EWaveStreamError>([&] { ws.Open(false); }, "Stream has already been opened");
    ExpectError<EWaveStreamError>([&] { ws.Open(true); }, "Stream has already been opened");
    EXPECT_TRUE(ws.ReadMode());
  }
}

TEST(WaveStream, DestructionCompletesAWrittenFile) {
  TMemoryStream s;
  s.WriteBuffer("xyz", 3);
  {
    TWaveStream ws(&s);
    ws.SetFormatSize(2);
    std::memcpy(ws.Format(), "\x07\x08", 2);
    ws.Open(true);
    EXPECT_EQ(ws.Size(), 0);
    ws.WriteBuffer("abcdef", 6);
    EXPECT_EQ(ws.Size(), 6);
    EXPECT_EQ(ws.Seek(2, fw::soBeginning), 2);
    ws.WriteBuffer("CD", 2);
    EXPECT_EQ(ws.Seek(100, fw::soBeginning), 6) << "seeks stay within the samples";
    ws.WriteBuffer("gh", 2);
    EXPECT_EQ(ws.Seek(-3, fw::soEnd), 5);
    char back[3] = {};
    EXPECT_EQ(ws.Read(back, 10), 3);
    EXPECT_EQ(std::string(back, 3), "fgh");
    // Until completion the headers are placeholders.
    const Bytes before = Contents(s);
    EXPECT_EQ(before[3], 0);
    EXPECT_EQ(LE32At(before, 29), 0u);
  }
  Bytes b = Contents(s);
  ASSERT_EQ(b.size(), 3u + 12 + 8 + 2 + 8 + 8);
  EXPECT_EQ(IdAt(b, 3), "RIFF");
  EXPECT_EQ(LE32At(b, 7), 12u + 8 + 2 + 8 + 8 - 8);
  EXPECT_EQ(IdAt(b, 11), "WAVE");
  EXPECT_EQ(IdAt(b, 25), "data");
  EXPECT_EQ(LE32At(b, 29), 8u);
  EXPECT_EQ(std::string(b.begin() + 33, b.end()), "abCDefgh");
  EXPECT_EQ(s.Position(), s.Size());
}

TEST(WaveStream, ReadModeKeepsToTheDataChunk) {
  TMemoryStream s;
  Fill(s, Riff({{"fmt ", Seq(16, 0)}, {"data", Seq(6, 0x30)}, {"LIST", Seq(4, 0x99)}}));
  TWaveStream ws(&s);
  ws.Open(false);
  EXPECT_EQ(ws.Size(), 6);
  EXPECT_EQ(ws.FormatSize(), 16);
  std::uint8_t buf[16] = {};
  EXPECT_EQ(ws.Read(buf, 16), 6) << "reads stop at the end of the samples";
  EXPECT_EQ(Bytes(buf, buf + 6), Seq(6, 0x30));
  EXPECT_EQ(ws.Read(buf, 16), 0);

  // Samples can be overwritten in place but not extended into the next chunk.
  EXPECT_EQ(ws.Seek(-2, fw::soEnd), 4);
  EXPECT_EQ(ws.Write("\xAA\xBB\xCC\xDD", 4), 2);
  EXPECT_EQ(ws.Seek(-10, fw::soCurrent), 0);
  EXPECT_EQ(ws.Read(buf, 16), 6);
  EXPECT_EQ(buf[4], 0xAA);
  EXPECT_EQ(buf[5], 0xBB);
  Bytes b = Contents(s);
  EXPECT_EQ(IdAt(b, b.size() - 12), "LIST");
  EXPECT_EQ(b.back(), 0x9C);
}

TEST(WaveStream, ADataSizePastTheEndNeitherReadsNorGrowsPastTheStream) {
  TMemoryStream s;
  Fill(s, Riff({{"fmt ", Seq(16, 0)}, {"data", Seq(4, 0x10), 0xFFFFFFF0u}}));
  const std::int64_t before = s.Size();
  TWaveStream ws(&s);
  ws.Open(false);
  EXPECT_EQ(ws.Size(), 0xFFFFFFF0);
  std::uint8_t buf[8] = {};
  EXPECT_EQ(ws.Read(buf, 8), 4);
  EXPECT_EQ(ws.Seek(0x40000000, fw::soBeginning), 0x40000000);
  EXPECT_EQ(ws.Read(buf, 8), 0);
  EXPECT_EQ(ws.Write(buf, 8), 0);
  ws.Seek(2, fw::soBeginning);
  EXPECT_EQ(ws.Write("\x01\x02\x03\x04", 4), 2);
  EXPECT_EQ(s.Size(), before);
}

TEST(WaveStream, AFailedWriteOpeningLeavesBytesBeforeItAlone) {
  // A fixed buffer that takes the RIFF header and the format's chunk header but not the record.
  std::uint8_t buffer[30];
  std::memset(buffer, 0xEE, sizeof buffer);
  TMemoryStream s;
  s.SetPointer(buffer, sizeof buffer);
  s.SetPosition(10);
  {
    TWaveStream ws(&s);
    ws.SetFormatSize(16);
    EXPECT_THROW(ws.Open(true), fw::EWriteError);
  }
  for (int i = 0; i < 10; ++i) EXPECT_EQ(buffer[i], 0xEE) << "byte " << i << " overwritten";
}

// ---------------------------------------------------------------------------------------------
// The stored property

namespace {

// Records what an object declares and runs its callbacks on demand.
class TFilerStub : public fw::TFiler {
 public:
  void DefineProperty(const std::string& Name, ReaderProc, WriterProc, bool) override {
    ADD_FAILURE() << "unexpected value property " << Name;
  }
  void DefineBinaryProperty(const std::string& Name, StreamProc ReadData, StreamProc WriteData,
                            bool HasData) override {
    names.push_back(Name);
    read = std::move(ReadData);
    write = std::move(WriteData);
    has_data = HasData;
  }
  std::vector<std::string> names;
  StreamProc read, write;
  bool has_data = false;
};

}  // namespace

TEST(WaveProperty, StoresTheWholeRiffStreamOrNothing) {
  TWave w;
  TFilerStub filer;
  w.DefineProperties(filer);
  ASSERT_EQ(filer.names, std::vector<std::string>{"WAVE"});
  EXPECT_TRUE(filer.has_data) << "the property is always written";

  TMemoryStream empty;
  filer.write(empty);
  EXPECT_EQ(empty.Size(), 0);
  empty.SetPosition(0);
  ExpectError<fw::EReadError>([&] { filer.read(empty); }, "Stream read error");

  MakeWave(w, Seq(16, 4), Seq(300, 1));
  TMemoryStream stored;
  filer.write(stored);
  EXPECT_EQ(stored.Size(), 12 + 8 + 16 + 8 + 300);

  TWave r;
  TFilerStub rfiler;
  r.DefineProperties(rfiler);
  stored.SetPosition(0);
  rfiler.read(stored);
  EXPECT_EQ(WaveFormat(r), Seq(16, 4));
  EXPECT_EQ(WaveData(r), Seq(300, 1));
}
