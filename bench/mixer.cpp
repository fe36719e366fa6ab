// Mixing 32 overlapping voices of 16-bit stereo 44.1 kHz sound into one second of output: our
// DirectSound mixer beside SDL2_mixer's, both producing the same format on this thread.
//
// SDL2_mixer mixes in the callback it gives to SDL_OpenAudioDevice. This program defines that
// function (and the few others SDL2_mixer calls on its device) so that no device is opened: the
// callback is kept and driven here directly, buffer by buffer, exactly as SDL's audio thread
// would.
#include <SDL.h>
#include <SDL_mixer.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "platform/dsound/DSound.h"

namespace {

constexpr int kVoices = 32;
constexpr int kRate = 44100;
constexpr int kFrames = kRate;      // one second
constexpr int kCallbackFrames = 1024;

SDL_AudioCallback g_callback = nullptr;
void* g_userdata = nullptr;

// Each voice a little over a second of its own noise, so that all 32 sound throughout.
std::vector<std::vector<std::int16_t>> MakeVoices() {
  std::vector<std::vector<std::int16_t>> voices;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-3000, 3000);
  for (int v = 0; v < kVoices; ++v) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(kFrames + 4096) * 2);
    for (auto& x : s) x = static_cast<std::int16_t>(d(rng));
    voices.push_back(std::move(s));
  }
  return voices;
}

const std::vector<std::vector<std::int16_t>>& Voices() {
  static const auto voices = MakeVoices();
  return voices;
}

void BM_OurMixer(benchmark::State& state) {
  dsound::DeviceConfig c;
  c.Manual = true;
  c.Rate = kRate;
  dsound::SetDeviceConfig(c);
  dsound::IDirectSound* ds = nullptr;
  if (dsound::DirectSoundCreate(nullptr, &ds, nullptr) != dsound::DS_OK) {
    state.SkipWithError("no DirectSound");
    return;
  }
  dsound::WAVEFORMATEX f{};
  f.wFormatTag = dsound::WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.wBitsPerSample = 16;
  f.nSamplesPerSec = kRate;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = kRate * 4;
  std::vector<dsound::IDirectSoundBuffer*> buffers;
  for (const auto& v : Voices()) {
    const auto bytes = static_cast<dsound::DWORD>(v.size() * 2);
    dsound::DSBUFFERDESC d{sizeof(dsound::DSBUFFERDESC), dsound::DSBCAPS_CTRLDEFAULT, bytes, 0, &f, {}};
    dsound::IDirectSoundBuffer* b = nullptr;
    ds->CreateSoundBuffer(&d, &b, nullptr);
    void* p1;
    dsound::DWORD n1;
    b->Lock(0, bytes, &p1, &n1, nullptr, nullptr, 0);
    std::memcpy(p1, v.data(), n1);
    b->Unlock(p1, n1, nullptr, 0);
    buffers.push_back(b);
  }
  std::vector<std::int16_t> out(static_cast<std::size_t>(kCallbackFrames) * 2);
  for (auto _ : state) {
    for (auto* b : buffers) {
      b->Stop();
      b->SetCurrentPosition(0);
      b->Play(0, 0, 0);
    }
    for (int done = 0; done < kFrames; done += kCallbackFrames) {
      dsound::RenderManual(out.data(), std::min(kCallbackFrames, kFrames - done));
      benchmark::DoNotOptimize(out.data());
    }
  }
  for (auto* b : buffers) b->Release();
  ds->Release();
  dsound::ResetDeviceConfig();
  state.SetItemsProcessed(state.iterations() * kFrames * kVoices);
}
BENCHMARK(BM_OurMixer)->Unit(benchmark::kMillisecond);

void BM_SDLMixer(benchmark::State& state) {
  if (Mix_OpenAudioDevice(kRate, AUDIO_S16SYS, 2, kCallbackFrames, nullptr, 0) != 0 || !g_callback) {
    state.SkipWithError(Mix_GetError());
    return;
  }
  Mix_AllocateChannels(kVoices);
  std::vector<Mix_Chunk*> chunks;
  for (const auto& v : Voices())
    chunks.push_back(Mix_QuickLoad_RAW(reinterpret_cast<Uint8*>(const_cast<std::int16_t*>(v.data())),
                                       static_cast<Uint32>(v.size() * 2)));
  std::vector<Uint8> out(static_cast<std::size_t>(kCallbackFrames) * 4);
  for (auto _ : state) {
    Mix_HaltChannel(-1);
    for (int i = 0; i < kVoices; ++i) Mix_PlayChannel(i, chunks[static_cast<std::size_t>(i)], 0);
    for (int done = 0; done < kFrames; done += kCallbackFrames) {
      const int n = std::min(kCallbackFrames, kFrames - done);
      g_callback(g_userdata, out.data(), n * 4);
      benchmark::DoNotOptimize(out.data());
    }
  }
  Mix_HaltChannel(-1);
  for (Mix_Chunk* c : chunks) Mix_FreeChunk(c);
  Mix_CloseAudio();
  state.SetItemsProcessed(state.iterations() * kFrames * kVoices);
}
BENCHMARK(BM_SDLMixer)->Unit(benchmark::kMillisecond);

}  // namespace

// The device SDL2_mixer believes it has opened.
extern "C" {
SDL_AudioDeviceID SDL_OpenAudioDevice(const char*, int, const SDL_AudioSpec* desired, SDL_AudioSpec* obtained, int) {
  g_callback = desired->callback;
  g_userdata = desired->userdata;
  if (obtained) {
    *obtained = *desired;
    obtained->silence = 0;
    obtained->size = static_cast<Uint32>(desired->samples) * desired->channels * 2;
  }
  return 1;
}
void SDL_PauseAudioDevice(SDL_AudioDeviceID, int) {}
void SDL_LockAudioDevice(SDL_AudioDeviceID) {}
void SDL_UnlockAudioDevice(SDL_AudioDeviceID) {}
void SDL_CloseAudioDevice(SDL_AudioDeviceID) {
  g_callback = nullptr;
  g_userdata = nullptr;
}
}

BENCHMARK_MAIN();
