// DirectSound of our own: buffers, duplicates, locks and loss, and what the mixer makes of them
// - exactly, on a manual device, and through SDL's disk driver on the real audio thread.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/dsound/DSound.h"
#include "platform/dsound/DSoundTesting.h"
#include "platform/kernel/Library.h"

namespace {

using namespace dsound;

WAVEFORMATEX Pcm(int channels, int bits, DWORD rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(channels);
  f.wBitsPerSample = static_cast<WORD>(bits);
  f.nSamplesPerSec = rate;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

class DSoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DeviceConfig c;
    c.Manual = true;
    SetDeviceConfig(c);
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
  }
  void TearDown() override {
    for (IDirectSoundBuffer* b : buffers_) b->Release();
    if (ds_) ds_->Release();
    EXPECT_EQ(LiveObjectCount(), 0);
    EXPECT_FALSE(DeviceOpen());
    ResetDeviceConfig();
  }

  IDirectSoundBuffer* Make(const WAVEFORMATEX& f, const void* data, DWORD bytes) {
    DSBUFFERDESC d{};
    d.dwSize = sizeof d;
    d.dwFlags = DSBCAPS_CTRLDEFAULT;
    d.dwBufferBytes = bytes;
    d.lpwfxFormat = const_cast<WAVEFORMATEX*>(&f);
    IDirectSoundBuffer* b = nullptr;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
    if (!b) return nullptr;
    void* p1;
    void* p2;
    DWORD n1, n2;
    EXPECT_EQ(b->Lock(0, bytes, &p1, &n1, &p2, &n2, 0), DS_OK);
    std::memcpy(p1, data, n1);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    buffers_.push_back(b);
    return b;
  }
  IDirectSoundBuffer* Make16(int channels, const std::vector<std::int16_t>& s, DWORD rate = 44100) {
    return Make(Pcm(channels, 16, rate), s.data(), static_cast<DWORD>(s.size() * 2));
  }
  std::vector<std::int16_t> Render(int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2, 12345);
    EXPECT_TRUE(RenderManual(out.data(), frames));
    return out;
  }
  static bool Playing(IDirectSoundBuffer* b) {
    DWORD s = 0;
    EXPECT_EQ(b->GetStatus(&s), DS_OK);
    return s & DSBSTATUS_PLAYING;
  }

  IDirectSound* ds_ = nullptr;
  std::vector<IDirectSoundBuffer*> buffers_;
};

TEST_F(DSoundTest, FullVolumeMonoAndStereoPassUnchangedAndASoundEndsByItself) {
  IDirectSoundBuffer* mono = Make16(1, {1000, -2000, 3000});
  ASSERT_EQ(mono->Play(0, 0, 0), DS_OK);
  EXPECT_TRUE(Playing(mono));
  auto out = Render(5);
  EXPECT_EQ(out, (std::vector<std::int16_t>{1000, 1000, -2000, -2000, 3000, 3000, 0, 0, 0, 0}));
  EXPECT_FALSE(Playing(mono));
  DWORD play = 99;
  mono->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 0u);

  IDirectSoundBuffer* stereo = Make16(2, {100, -100, 32767, -32768});
  ASSERT_EQ(stereo->Play(0, 0, 0), DS_OK);
  out = Render(3);
  EXPECT_EQ(out, (std::vector<std::int16_t>{100, -100, 32767, -32768, 0, 0}));
}

TEST_F(DSoundTest, EightBitSamplesAreUnsignedAroundTheMiddle) {
  const std::uint8_t s[] = {128, 192, 0, 255};
  IDirectSoundBuffer* b = Make(Pcm(1, 8, 44100), s, 4);
  b->Play(0, 0, 0);
  auto out = Render(4);
  EXPECT_EQ(out, (std::vector<std::int16_t>{0, 0, 16384, 16384, -32768, -32768, 32512, 32512}));
}

TEST_F(DSoundTest, VolumeAndPanFollowHundredthsOfADecibel) {
  std::vector<std::int16_t> s(8, 20000);
  IDirectSoundBuffer* b = Make16(1, s);
  ASSERT_EQ(b->SetVolume(-600), DS_OK);
  b->Play(0, 0, 0);
  auto out = Render(2);
  const double expected = 20000 * std::pow(10.0, -600 / 2000.0);  // -6 dB: about half
  EXPECT_NEAR(out[0], expected, 2);
  EXPECT_NEAR(out[1], expected, 2);

  ASSERT_EQ(b->SetVolume(0), DS_OK);
  ASSERT_EQ(b->SetPan(DSBPAN_LEFT), DS_OK);
  out = Render(2);
  EXPECT_EQ(out[0], 20000);
  EXPECT_EQ(out[1], 0);
  ASSERT_EQ(b->SetPan(1000), DS_OK);  // 10 dB off the left
  out = Render(2);
  EXPECT_NEAR(out[0], 20000 * std::pow(10.0, -0.5), 2);
  EXPECT_EQ(out[1], 20000);

  EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->SetVolume(DSBVOLUME_MIN), DS_OK);
  out = Render(2);
  EXPECT_EQ(out, (std::vector<std::int16_t>{0, 0, 0, 0}));
}

TEST_F(DSoundTest, FrequencyChangesResampleToTheDeviceRate) {
  std::vector<std::int16_t> ramp;
  for (int i = 0; i < 16; ++i) ramp.push_back(static_cast<std::int16_t>(i * 1000));
  IDirectSoundBuffer* b = Make16(1, ramp);
  ASSERT_EQ(b->SetFrequency(88200), DS_OK);
  b->Play(0, 0, 0);
  auto out = Render(8);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[2 * i], i * 2000) << i;
  EXPECT_FALSE(Playing(b));

  // Half the rate: every other output frame lies halfway between two samples.
  IDirectSoundBuffer* slow = Make16(1, ramp, 22050);
  DWORD f = 0;
  slow->GetFrequency(&f);
  EXPECT_EQ(f, 22050u);
  slow->Play(0, 0, 0);
  out = Render(6);
  EXPECT_EQ(out[0], 0);
  EXPECT_NEAR(out[2], 500, 1);
  EXPECT_EQ(out[4], 1000);
  EXPECT_NEAR(out[6], 1500, 1);
  ASSERT_EQ(slow->SetFrequency(DSBFREQUENCY_ORIGINAL), DS_OK);
  slow->GetFrequency(&f);
  EXPECT_EQ(f, 22050u);
  EXPECT_EQ(slow->SetFrequency(99), DSERR_INVALIDPARAM);
}

TEST_F(DSoundTest, OverlappingVoicesAddUpAndClipInsteadOfWrapping) {
  IDirectSoundBuffer* a = Make16(1, {1000, 30000, -30000});
  IDirectSoundBuffer* b = Make16(1, {2000, 30000, -30000});
  a->Play(0, 0, 0);
  b->Play(0, 0, 0);
  auto out = Render(3);
  EXPECT_EQ(out, (std::vector<std::int16_t>{3000, 3000, 32767, 32767, -32768, -32768}));
}

TEST_F(DSoundTest, LoopedVoicesWrapAndStopCutsThem) {
  IDirectSoundBuffer* b = Make16(1, {1, 2, 3});
  ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  DWORD s = 0;
  b->GetStatus(&s);
  EXPECT_EQ(s, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
  auto out = Render(7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(out[2 * i], (i % 3) + 1);
  DWORD play = 0;
  b->GetCurrentPosition(&play, nullptr);
  EXPECT_EQ(play, 2u);  // frame 1
  ASSERT_EQ(b->Stop(), DS_OK);
  EXPECT_FALSE(Playing(b));
  out = Render(3);
  EXPECT_EQ(out, std::vector<std::int16_t>(6, 0));
  // Playing again goes on where it stopped; a new position is taken as given.
  b->Play(0, 0, 0);
  out = Render(1);
  EXPECT_EQ(out[0], 2);
  b->SetCurrentPosition(0);
  out = Render(2);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 2);
  EXPECT_EQ(b->SetCurrentPosition(6), DSERR_INVALIDPARAM);
}

TEST_F(DSoundTest, DuplicatesShareTheSamplesButPlayOnTheirOwn) {
  IDirectSoundBuffer* a = Make16(1, {10, 20, 30, 40});
  a->SetVolume(-10000);
  IDirectSoundBuffer* dup = nullptr;
  ASSERT_EQ(ds_->DuplicateSoundBuffer(a, &dup), DS_OK);
  buffers_.push_back(dup);
  LONG v = 0;
  dup->GetVolume(&v);
  EXPECT_EQ(v, -10000);
  dup->SetVolume(0);
  dup->Play(0, 0, DSBPLAY_LOOPING);
  EXPECT_FALSE(Playing(a));
  auto out = Render(2);
  EXPECT_EQ(out[0], 10);
  EXPECT_EQ(out[2], 20);
  // New samples written through the original reach the copy that plays.
  void* p1;
  DWORD n1;
  ASSERT_EQ(a->Lock(4, 4, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  const std::int16_t fresh[] = {-7, -8};
  std::memcpy(p1, fresh, 4);
  ASSERT_EQ(a->Unlock(p1, n1, nullptr, 0), DS_OK);
  out = Render(2);
  EXPECT_EQ(out[0], -7);
  EXPECT_EQ(out[2], -8);
  // The original goes; the copy keeps the samples.
  a->Release();
  std::erase(buffers_, a);
  out = Render(2);
  EXPECT_EQ(out[0], 10);
}

TEST_F(DSoundTest, LockGivesBothRegionsOfAWrappedRingAndChecksItsArguments) {
  std::vector<std::int16_t> s(8, 0);
  IDirectSoundBuffer* b = Make16(1, s);
  void* p1;
  void* p2;
  DWORD n1, n2;
  ASSERT_EQ(b->Lock(12, 8, &p1, &n1, &p2, &n2, 0), DS_OK);
  EXPECT_EQ(n1, 4u);
  EXPECT_EQ(n2, 4u);
  EXPECT_EQ(static_cast<std::uint8_t*>(p1) - static_cast<std::uint8_t*>(p2), 12);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
  EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DSERR_INVALIDCALL);  // nothing locked
  EXPECT_EQ(b->Lock(16, 2, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Lock(0, 17, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
  ASSERT_EQ(b->Lock(5, 1, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
  EXPECT_EQ(n1, 16u);
  EXPECT_EQ(p2, nullptr);
  int outside = 0;
  EXPECT_EQ(b->Unlock(&outside, 4, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Unlock(p1, 17, nullptr, 0), DSERR_INVALIDPARAM);
  EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
}

TEST_F(DSoundTest, FormatsCapsAndThePrimaryBuffer) {
  IDirectSoundBuffer* b = Make16(2, {1, 2}, 22050);
  DWORD size = 0;
  ASSERT_EQ(b->GetFormat(nullptr, 0, &size), DS_OK);
  EXPECT_EQ(size, sizeof(WAVEFORMATEX));
  WAVEFORMATEX f{};
  ASSERT_EQ(b->GetFormat(&f, size, nullptr), DS_OK);
  EXPECT_EQ(f.nSamplesPerSec, 22050u);
  EXPECT_EQ(f.nChannels, 2);
  DSBCAPS caps{};
  EXPECT_EQ(b->GetCaps(&caps), DSERR_INVALIDPARAM);
  caps.dwSize = sizeof caps;
  ASSERT_EQ(b->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, 4u);
  EXPECT_EQ(caps.dwFlags & DSBCAPS_CTRLDEFAULT, DSBCAPS_CTRLDEFAULT);

  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwFlags = DSBCAPS_PRIMARYBUFFER;
  IDirectSoundBuffer* p = nullptr;
  IDirectSoundBuffer* again = nullptr;
  ASSERT_EQ(ds_->CreateSoundBuffer(&d, &p, nullptr), DS_OK);
  ASSERT_EQ(ds_->CreateSoundBuffer(&d, &again, nullptr), DS_OK);
  EXPECT_EQ(p, again);
  buffers_.push_back(p);
  buffers_.push_back(again);
  caps = DSBCAPS{};
  caps.dwSize = sizeof(DSBCAPS);
  p->GetCaps(&caps);
  EXPECT_TRUE(caps.dwFlags & DSBCAPS_PRIMARYBUFFER);
  void* p1;
  DWORD n1;
  EXPECT_EQ(p->Lock(0, 4, &p1, &n1, nullptr, nullptr, 0), DSERR_PRIOLEVELNEEDED);
  EXPECT_EQ(p->SetFormat(&f), DSERR_PRIOLEVELNEEDED);
  ASSERT_EQ(ds_->SetCooperativeLevel(nullptr, DSSCL_EXCLUSIVE), DS_OK);
  EXPECT_EQ(p->SetFormat(&f), DS_OK);
  EXPECT_EQ(ds_->SetCooperativeLevel(nullptr, 9), DSERR_INVALIDPARAM);
}

TEST_F(DSoundTest, BadDescriptionsAndFormatsAreRefused) {
  IDirectSoundBuffer* b = nullptr;
  DSBUFFERDESC d{};
  d.dwSize = sizeof d;
  d.dwBufferBytes = 64;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);  // no format
  for (WAVEFORMATEX f : {Pcm(3, 16, 44100), Pcm(1, 12, 44100), Pcm(1, 16, 50), Pcm(2, 16, 200000)}) {
    d.lpwfxFormat = &f;
    EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_BADFORMAT);
  }
  WAVEFORMATEX f = Pcm(1, 16, 44100);
  f.wFormatTag = 2;
  d.lpwfxFormat = &f;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_BADFORMAT);
  f = Pcm(1, 16, 44100);
  f.nBlockAlign = 4;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_BADFORMAT);
  f = Pcm(1, 16, 44100);
  d.dwBufferBytes = 3;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  d.dwBufferBytes = 8;
  d.dwSize = 20;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DSERR_INVALIDPARAM);
  EXPECT_EQ(b, nullptr);
  // A PCM record of 16 bytes, without cbSize, is enough.
  auto* shortRecord = static_cast<WAVEFORMATEX*>(std::malloc(kPCMWaveFormatSize));
  std::memcpy(shortRecord, &f, kPCMWaveFormatSize);
  d.dwSize = sizeof d;
  d.lpwfxFormat = shortRecord;
  EXPECT_EQ(ds_->CreateSoundBuffer(&d, &b, nullptr), DS_OK);
  std::free(shortRecord);
  ASSERT_NE(b, nullptr);
  buffers_.push_back(b);
}

TEST_F(DSoundTest, ALostDeviceLosesEveryBufferUntilRestored) {
  IDirectSoundBuffer* b = Make16(1, {5, 6, 7, 8});
  b->Play(0, 0, DSBPLAY_LOOPING);
  LoseDevice();
  DWORD s = 0;
  b->GetStatus(&s);
  EXPECT_EQ(s, DSBSTATUS_BUFFERLOST);
  EXPECT_EQ(b->Play(0, 0, 0), DSERR_BUFFERLOST);
  void* p1;
  DWORD n1;
  EXPECT_EQ(b->Lock(0, 2, &p1, &n1, nullptr, nullptr, 0), DSERR_BUFFERLOST);
  IDirectSoundBuffer* dup = nullptr;
  EXPECT_EQ(ds_->DuplicateSoundBuffer(b, &dup), DSERR_BUFFERLOST);
  auto out = Render(2);
  EXPECT_EQ(out, std::vector<std::int16_t>(4, 0));
  ASSERT_EQ(b->Restore(), DS_OK);
  b->SetCurrentPosition(0);
  ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
  out = Render(1);
  EXPECT_EQ(out[0], 5);
}

TEST_F(DSoundTest, ReleasedVoicesAreFreedOnlyAfterTheMixerLetGoOfThem) {
  IDirectSoundBuffer* b = Make16(1, {1, 2, 3, 4});
  b->Play(0, 0, DSBPLAY_LOOPING);
  b->Release();
  buffers_.clear();
  EXPECT_GT(RetiredObjectCount(), 0);
  Render(1);
  EXPECT_EQ(RetiredObjectCount(), 0);
}

TEST(DSoundDevice, NoDeviceMakesCreationFailAndTheModuleIsLoadable) {
  DeviceConfig c;
  c.Available = false;
  SetDeviceConfig(c);
  IDirectSound* ds = reinterpret_cast<IDirectSound*>(1);
  EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
  ResetDeviceConfig();

  win::HMODULE m = kernel::LoadLibraryA("dsound.DLL");
  ASSERT_NE(m, nullptr);
  auto create = kernel::ProcAs<LPDIRECTSOUNDCREATE>(kernel::GetProcAddress(m, "DirectSoundCreate"));
  ASSERT_NE(create, nullptr);
  GUID other{1};
  EXPECT_EQ(create(&other, &ds, nullptr), DSERR_NODRIVER);
  kernel::FreeLibrary(m);
}

// On a machine without a sound card SDL looks for one through ALSA, which writes what it could
// not find to the terminal itself. An empty ALSA configuration has no device either; all the
// program says of it is that DirectSound cannot be made, and nothing reaches the terminal.
TEST(DSoundDevice, NoSoundCardThroughAlsaFailsWithoutAWordOnTheTerminal) {
  const std::filesystem::path dir = std::getenv("FLOATBENCH_OUT_DIR");
  std::filesystem::create_directories(dir);
  const std::filesystem::path conf = dir / "dsound_no_card.conf", said = dir / "dsound_no_card.err";
  std::ofstream(conf) << "# no cards, no devices\n";
  setenv("SDL_AUDIODRIVER", "alsa", 1);
  setenv("ALSA_CONFIG_PATH", conf.c_str(), 1);

  std::fflush(stderr);
  const int terminal = dup(2);
  const int file = open(said.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  dup2(file, 2);
  IDirectSound* ds = reinterpret_cast<IDirectSound*>(1);
  const HRESULT hr = DirectSoundCreate(nullptr, &ds, nullptr);
  std::fflush(stderr);
  dup2(terminal, 2);
  close(terminal);
  close(file);
  unsetenv("ALSA_CONFIG_PATH");
  setenv("SDL_AUDIODRIVER", "dummy", 1);

  EXPECT_EQ(hr, DSERR_NODRIVER);
  EXPECT_EQ(ds, nullptr);
  EXPECT_FALSE(DeviceOpen());
  std::ifstream in(said);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "");
}

// SDL's disk driver writes what the device plays to a file: the sound is found there, on the
// audio thread's own timing, while the message-loop side starts, changes and stops voices.
TEST(DSoundDisk, WhatTheDevicePlaysIsWhatWasMixed) {
  const std::filesystem::path file = std::filesystem::path(std::getenv("FLOATBENCH_OUT_DIR")) / "dsound_disk.raw";
  std::filesystem::remove(file);
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
  DeviceConfig c;
  c.Samples = 256;
  SetDeviceConfig(c);

  IDirectSound* ds = nullptr;
  ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
  EXPECT_EQ(DeviceRate(), 44100);
  // A recognisable looped pattern, then a second voice panned hard right that ends by itself.
  std::vector<std::int16_t> pattern = {1111, 2222, 3333, 4444, 5555};
  WAVEFORMATEX f = Pcm(1, 16, 44100);
  DSBUFFERDESC d{sizeof(DSBUFFERDESC), DSBCAPS_CTRLDEFAULT, 10, 0, &f, {}};
  IDirectSoundBuffer* a = nullptr;
  ASSERT_EQ(ds->CreateSoundBuffer(&d, &a, nullptr), DS_OK);
  void* p1;
  DWORD n1;
  ASSERT_EQ(a->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
  std::memcpy(p1, pattern.data(), 10);
  a->Unlock(p1, n1, nullptr, 0);
  a->SetPan(DSBPAN_LEFT);
  ASSERT_EQ(a->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
  for (int i = 0; i < 20; ++i) {
    // Poll as a frame loop would.
    DWORD s = 0, pos = 0;
    a->GetStatus(&s);
    a->GetCurrentPosition(&pos, nullptr);
    EXPECT_TRUE(s & DSBSTATUS_LOOPING);
    EXPECT_LT(pos, 10u);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  a->Stop();
  a->Release();
  ds->Release();
  EXPECT_FALSE(DeviceOpen());
  unsetenv("SDL_DISKAUDIOFILE");
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  ResetDeviceConfig();

  std::ifstream in(file, std::ios::binary);
  std::vector<char> raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GE(raw.size(), 4u * 1000);
  std::vector<std::int16_t> out(raw.size() / 2);
  std::memcpy(out.data(), raw.data(), out.size() * 2);
  std::size_t first = 0;
  while (first < out.size() && out[first] == 0) ++first;
  ASSERT_LT(first, out.size()) << "nothing was heard";
  ASSERT_EQ(first % 2, 0u) << "the sound must start on the left channel";
  const std::size_t start = first / 2;
  // Until the stop: the pattern on the left, silence on the right.
  std::size_t frames = 0;
  for (std::size_t i = start; i < out.size() / 2 && out[2 * i] != 0; ++i, ++frames) {
    ASSERT_EQ(out[2 * i], pattern[(i - start) % 5]) << "frame " << i;
    ASSERT_EQ(out[2 * i + 1], 0);
  }
  EXPECT_GT(frames, 441u);  // well over 10 ms played
  // After the stop: silence to the end.
  for (std::size_t i = start + frames; i < out.size() / 2; ++i) ASSERT_EQ(out[2 * i], 0) << "frame " << i;
}

}  // namespace
