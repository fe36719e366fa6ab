// The DirectSound object, its buffers and the output device they share.
#include <SDL.h>
#include <alsa/asoundlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/base/RefCounted.h"
#include "platform/dsound/DSound.h"
#include "platform/dsound/DSoundMixer.h"
#include "platform/dsound/DSoundTesting.h"
#include "platform/kernel/Library.h"

namespace dsound {

namespace {

using detail::Command;
using detail::Graveyard;
using detail::Mixer;
using detail::SampleBlock;
using detail::Voice;

class SoundBuffer;

// DirectSound objects and buffers alive now.
int& LiveCount() {
  static int live = 0;
  return live;
}

template <class... Interfaces>
using Object = win::ComObject<&LiveCount, Interfaces...>;

// ---------------------------------------------------------------------------------------------
// The output device. Everything here belongs to the message-loop thread; the audio thread sees
// only the mixer.

struct Device {
  ~Device() { Close(); }

  HRESULT Acquire();
  void Release();
  void Close();
  bool OpenSDL();
  // SDL stops a device that went away; such a device is opened again and its buffers are lost.
  void CheckAlive();
  std::uint64_t Submit(const Command& c) {
    last_submitted = mixer->Submit(c);
    graveyard.Collect(mixer->Applied());
    return last_submitted;
  }

  DeviceConfig config;
  DeviceConfig running;  // what the open device was opened with
  int refs = 0;          // DirectSound objects and buffers
  bool open = false;
  SDL_AudioDeviceID id = 0;
  std::unique_ptr<Mixer> mixer;
  Graveyard graveyard;
  std::uint64_t last_submitted = 0;
  std::vector<SoundBuffer*> buffers;  // every live buffer, primaries included
};

Device& Dev() {
  static Device device;
  return device;
}

void SDLCALL AudioCallback(void* userdata, Uint8* stream, int len) {
  static_cast<Mixer*>(userdata)->Render(reinterpret_cast<std::int16_t*>(stream), len / 4);
}

// ALSA writes every failure straight to the terminal: on a machine without a sound card each
// start would print its search for one, line by line. What matters of it reaches the caller as
// the open's result (no device: DirectSound cannot be made, the program stays silent), so its
// messages go nowhere. SDL opens ALSA's shared library by name, the same one this handler is
// set in.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

bool Device::OpenSDL() {
  static std::once_flag quiet;
  std::call_once(quiet, [] { snd_lib_error_set_handler(&QuietAlsa); });
  // SDL would otherwise turn SIGINT/SIGTERM into quit events nobody reads, and the program could
  // no longer be stopped from outside.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec want{};
  want.freq = running.Rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(std::clamp(running.Samples, 64, 8192));
  want.callback = &AudioCallback;
  want.userdata = mixer.get();
  SDL_AudioSpec have{};
  // SDL converts to whatever the hardware wants; the mixer always makes the format asked for.
  id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  SDL_PauseAudioDevice(id, 0);
  return true;
}

HRESULT Device::Acquire() {
  if (refs > 0) {
    ++refs;
    return DS_OK;
  }
  if (!config.Available) return DSERR_NODRIVER;
  running = config;
  running.Rate = std::clamp(running.Rate, 8000, 192000);
  mixer = std::make_unique<Mixer>(running.Rate);
  if (!running.Manual && !OpenSDL()) {
    mixer.reset();
    return DSERR_NODRIVER;
  }
  open = true;
  refs = 1;
  return DS_OK;
}

void Device::Release() {
  if (refs > 0 && --refs == 0) Close();
}

void Device::Close() {
  if (id) {
    SDL_CloseAudioDevice(id);  // waits for the audio thread to leave the callback
    id = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }
  // Nothing runs the mixer any more: whatever it held can go.
  graveyard.Clear();
  mixer.reset();
  open = false;
  last_submitted = 0;
}

// ---------------------------------------------------------------------------------------------
// Samples shared by a buffer and its duplicates

struct Store {
  explicit Store(std::uint32_t size) : bytes(size, 0) {}
  ~Store() {
    Device& d = Dev();
    if (d.mixer) d.graveyard.Bury(d.last_submitted, std::move(published));
  }
  std::vector<std::uint8_t> bytes;          // what Lock hands out
  std::unique_ptr<SampleBlock> published;   // what the mixer reads; never written again
  bool dirty = true;                        // bytes changed since published
  std::vector<SoundBuffer*> users;
};

HRESULT CheckFormat(const WAVEFORMATEX* format, WAVEFORMATEX& out) {
  if (!format) return DSERR_INVALIDPARAM;
  // PCM records may end before cbSize; nothing past the first 16 bytes is read.
  std::memset(&out, 0, sizeof out);
  std::memcpy(&out, format, kPCMWaveFormatSize);
  if (out.wFormatTag != WAVE_FORMAT_PCM) return DSERR_BADFORMAT;
  if (out.nChannels != 1 && out.nChannels != 2) return DSERR_BADFORMAT;
  if (out.wBitsPerSample != 8 && out.wBitsPerSample != 16) return DSERR_BADFORMAT;
  if (out.nSamplesPerSec < DSBFREQUENCY_MIN || out.nSamplesPerSec > DSBFREQUENCY_MAX) return DSERR_BADFORMAT;
  if (out.nBlockAlign != out.nChannels * out.wBitsPerSample / 8) return DSERR_BADFORMAT;
  return DS_OK;
}

// ---------------------------------------------------------------------------------------------
// Buffers

class DirectSoundObject;

class SoundBuffer final : public Object<IDirectSoundBuffer> {
 public:
  // A primary buffer (owner set, no samples) or a secondary one.
  SoundBuffer(DirectSoundObject* owner, DWORD flags, const WAVEFORMATEX& format, std::shared_ptr<Store> store)
      : owner_(owner), primary_(flags & DSBCAPS_PRIMARYBUFFER), flags_(flags), format_(format),
        store_(std::move(store)), frequency_(format.nSamplesPerSec) {
    Device& d = Dev();
    d.buffers.push_back(this);
    if (store_) {
      store_->users.push_back(this);
      voice_ = std::make_unique<Voice>(format_.nChannels, format_.wBitsPerSample);
    }
  }

  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return DSERR_INVALIDPARAM;
    if (riid == IID_IUnknown || riid == IID_IDirectSoundBuffer) {
      *object = static_cast<IDirectSoundBuffer*>(this);
      AddRef();
      return DS_OK;
    }
    *object = nullptr;
    return DSERR_NOINTERFACE;
  }

  HRESULT GetCaps(DSBCAPS* caps) override {
    if (!caps || caps->dwSize != sizeof(DSBCAPS)) return DSERR_INVALIDPARAM;
    caps->dwFlags = flags_ | DSBCAPS_LOCSOFTWARE;
    caps->dwBufferBytes = Size();
    caps->dwUnlockTransferRate = 0;
    caps->dwPlayCpuOverhead = 0;
    return DS_OK;
  }

  HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) override {
    const DWORD size = Size();
    const DWORD play = size ? (CurrentFrame() * format_.nBlockAlign) % size : 0;
    if (playCursor) *playCursor = play;
    if (writeCursor) {
      // Ten milliseconds ahead of what plays: what the mixer may already have taken.
      const DWORD lead = (format_.nSamplesPerSec / 100) * format_.nBlockAlign;
      *writeCursor = size ? (play + (playing_ ? lead : 0)) % size : 0;
    }
    return DS_OK;
  }

  HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* written) override {
    if (!format) {
      if (!written) return DSERR_INVALIDPARAM;
      *written = sizeof(WAVEFORMATEX);
      return DS_OK;
    }
    if (sizeAllocated < kPCMWaveFormatSize) return DSERR_INVALIDPARAM;
    const DWORD n = std::min<DWORD>(sizeAllocated, sizeof(WAVEFORMATEX));
    std::memcpy(format, &format_, n);
    if (written) *written = n;
    return DS_OK;
  }

  HRESULT GetVolume(LONG* volume) override {
    if (!volume) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLVOLUME)) return DSERR_CONTROLUNAVAIL;
    *volume = volume_;
    return DS_OK;
  }
  HRESULT GetPan(LONG* pan) override {
    if (!pan) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLPAN)) return DSERR_CONTROLUNAVAIL;
    *pan = pan_;
    return DS_OK;
  }
  HRESULT GetFrequency(DWORD* frequency) override {
    if (!frequency) return DSERR_INVALIDPARAM;
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY)) return DSERR_CONTROLUNAVAIL;
    *frequency = frequency_;
    return DS_OK;
  }

  HRESULT GetStatus(DWORD* status) override {
    if (!status) return DSERR_INVALIDPARAM;
    Dev().CheckAlive();
    Refresh();
    *status = 0;
    if (lost_) *status |= DSBSTATUS_BUFFERLOST;
    if (playing_) *status |= DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
    return DS_OK;
  }

  HRESULT Initialize(IUnknown*, const DSBUFFERDESC*) override { return DSERR_ALREADYINITIALIZED; }

  HRESULT Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2, DWORD* bytes2,
               DWORD flags) override;
  HRESULT Unlock(void* audio1, DWORD bytes1, void* audio2, DWORD bytes2) override;
  HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) override;

  HRESULT SetCurrentPosition(DWORD position) override {
    if (primary_) return DSERR_INVALIDCALL;
    if (position >= Size()) return DSERR_INVALIDPARAM;
    Refresh();
    position_ = position / format_.nBlockAlign;
    if (playing_) Submit({.What = Command::SetPosition, .Target = voice_.get(), .Frame = position_});
    return DS_OK;
  }

  HRESULT SetFormat(const WAVEFORMATEX* format) override;

  HRESULT SetVolume(LONG volume) override {
    if (!(flags_ & DSBCAPS_CTRLVOLUME) || primary_) return DSERR_CONTROLUNAVAIL;
    if (volume < DSBVOLUME_MIN || volume > DSBVOLUME_MAX) return DSERR_INVALIDPARAM;
    volume_ = volume;
    SendParams();
    return DS_OK;
  }
  HRESULT SetPan(LONG pan) override {
    if (!(flags_ & DSBCAPS_CTRLPAN) || primary_) return DSERR_CONTROLUNAVAIL;
    if (pan < DSBPAN_LEFT || pan > DSBPAN_RIGHT) return DSERR_INVALIDPARAM;
    pan_ = pan;
    SendParams();
    return DS_OK;
  }
  HRESULT SetFrequency(DWORD frequency) override {
    if (!(flags_ & DSBCAPS_CTRLFREQUENCY) || primary_) return DSERR_CONTROLUNAVAIL;
    if (frequency == DSBFREQUENCY_ORIGINAL) frequency = format_.nSamplesPerSec;
    if (frequency < DSBFREQUENCY_MIN || frequency > DSBFREQUENCY_MAX) return DSERR_INVALIDPARAM;
    frequency_ = frequency;
    SendParams();
    return DS_OK;
  }

  HRESULT Stop() override {
    if (primary_) {
      playing_ = false;
      return DS_OK;
    }
    Refresh();
    if (playing_) {
      position_ = CurrentFrame();
      playing_ = false;
      Submit({.What = Command::Stop, .Target = voice_.get()});
    }
    return DS_OK;
  }

  HRESULT Restore() override {
    lost_ = false;
    return DS_OK;
  }

  // The device went away: silent and lost until restored.
  void Lose() {
    if (primary_) return;
    Stop();
    lost_ = true;
  }

  bool Primary() const { return primary_; }
  void Orphan() { owner_ = nullptr; }
  const std::shared_ptr<Store>& SharedStore() const { return store_; }
  DWORD Flags() const { return flags_; }
  const WAVEFORMATEX& Format() const { return format_; }
  bool Lost() const { return lost_; }
  void CopyControls(const SoundBuffer& from) {
    frequency_ = from.frequency_;
    volume_ = from.volume_;
    pan_ = from.pan_;
  }
  bool PlayingNow() {
    Refresh();
    return playing_;
  }
  void SendData() {
    if (submitted_) Submit({.What = Command::SetData, .Target = voice_.get(), .Data = store_->published.get()});
  }

 private:
  // Each buffer holds the device from its creation on.
  ~SoundBuffer() override { Dev().Release(); }
  void LastReleased() override;

  DWORD Size() const {
    if (store_) return static_cast<DWORD>(store_->bytes.size());
    return primary_ ? static_cast<DWORD>(format_.nAvgBytesPerSec / 10) : 0;
  }

  std::uint64_t Submit(const Command& c) {
    submitted_ = true;
    return Dev().Submit(c);
  }

  // Takes in what the mixer has reported: a sound that ran to its end has stopped.
  void Refresh() {
    if (playing_ && voice_ && voice_->EndedSeq.load(std::memory_order_acquire) == seq_) {
      playing_ = false;
      position_ = 0;
    }
  }

  DWORD CurrentFrame() {
    Refresh();
    if (playing_ && voice_->StartedSeq.load(std::memory_order_acquire) == seq_)
      return voice_->CursorFrame.load(std::memory_order_relaxed);
    return position_;
  }

  void Gains(std::int32_t& l, std::int32_t& r) const { detail::GainsFor(volume_, pan_, l, r); }

  void SendParams() {
    if (!submitted_) return;
    Command c{.What = Command::SetParams, .Target = voice_.get()};
    c.Step = detail::StepFor(frequency_, static_cast<std::uint32_t>(Dev().mixer->Rate()));
    Gains(c.GainL, c.GainR);
    Submit(c);
  }

  void Publish();

  DirectSoundObject* owner_;
  const bool primary_;
  const DWORD flags_;
  WAVEFORMATEX format_;
  std::shared_ptr<Store> store_;
  std::unique_ptr<Voice> voice_;
  bool playing_ = false;
  bool looping_ = false;
  bool lost_ = false;
  bool submitted_ = false;  // the mixer has seen the voice
  std::uint32_t seq_ = 0;
  DWORD position_ = 0;      // frames; where the next start begins
  DWORD frequency_;
  LONG volume_ = 0;
  LONG pan_ = 0;
  int locks_ = 0;
};

void SoundBuffer::Publish() {
  Device& d = Dev();
  auto block = std::make_unique<SampleBlock>(store_->bytes.data(), static_cast<std::uint32_t>(store_->bytes.size()));
  std::unique_ptr<SampleBlock> old = std::exchange(store_->published, std::move(block));
  store_->dirty = false;
  for (SoundBuffer* u : store_->users) u->SendData();
  d.graveyard.Bury(d.last_submitted, std::move(old));
}

HRESULT SoundBuffer::Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2, DWORD* bytes2,
                          DWORD flags) {
  if (!audio1 || !bytes1) return DSERR_INVALIDPARAM;
  *audio1 = nullptr;
  *bytes1 = 0;
  if (audio2) *audio2 = nullptr;
  if (bytes2) *bytes2 = 0;
  if (primary_) return DSERR_PRIOLEVELNEEDED;
  Dev().CheckAlive();
  if (lost_) return DSERR_BUFFERLOST;
  const DWORD size = Size();
  if (flags & DSBLOCK_ENTIREBUFFER) {
    offset = 0;
    bytes = size;
  } else if (flags & DSBLOCK_FROMWRITECURSOR) {
    GetCurrentPosition(nullptr, &offset);
  }
  if (bytes == 0 || bytes > size || offset >= size) return DSERR_INVALIDPARAM;
  const DWORD first = std::min(bytes, size - offset);
  *audio1 = store_->bytes.data() + offset;
  *bytes1 = first;
  if (audio2 && bytes2 && bytes > first) {
    *audio2 = store_->bytes.data();
    *bytes2 = bytes - first;
  }
  ++locks_;
  return DS_OK;
}

HRESULT SoundBuffer::Unlock(void* audio1, DWORD bytes1, void* audio2, DWORD bytes2) {
  if (primary_) return DSERR_INVALIDCALL;
  if (locks_ == 0) return DSERR_INVALIDCALL;
  auto inside = [this](void* p, DWORD n) {
    if (!p) return true;
    auto* b = static_cast<std::uint8_t*>(p);
    std::uint8_t* begin = store_->bytes.data();
    std::uint8_t* end = begin + store_->bytes.size();
    return b >= begin && b <= end && n <= static_cast<std::size_t>(end - b);
  };
  if (!audio1 || !inside(audio1, bytes1) || !inside(audio2, bytes2)) return DSERR_INVALIDPARAM;
  --locks_;
  store_->dirty = true;
  // A sound that plays hears the new samples at once; the others take them when they start.
  const bool heard = std::any_of(store_->users.begin(), store_->users.end(), [](SoundBuffer* u) { return u->PlayingNow(); });
  if (heard) Publish();
  return DS_OK;
}

HRESULT SoundBuffer::Play(DWORD reserved, DWORD priority, DWORD flags) {
  if (reserved != 0 || priority != 0) return DSERR_INVALIDPARAM;
  if (primary_) {
    if (!(flags & DSBPLAY_LOOPING)) return DSERR_INVALIDPARAM;
    playing_ = looping_ = true;
    return DS_OK;
  }
  Device& d = Dev();
  d.CheckAlive();
  if (lost_) return DSERR_BUFFERLOST;
  if (!d.mixer) return DSERR_NODRIVER;
  if (!store_->published || store_->dirty) Publish();
  const DWORD from = CurrentFrame();
  looping_ = (flags & DSBPLAY_LOOPING) != 0;
  playing_ = true;
  Command c{.What = Command::Start, .Target = voice_.get(), .Data = store_->published.get(), .Frame = from};
  c.Step = detail::StepFor(frequency_, static_cast<std::uint32_t>(d.mixer->Rate()));
  Gains(c.GainL, c.GainR);
  c.Loop = looping_;
  c.Seq = ++seq_;
  if (c.Seq == 0) c.Seq = seq_ = 1;  // 0 is what a voice reports before its first start
  Submit(c);
  return DS_OK;
}

// ---------------------------------------------------------------------------------------------
// The DirectSound object

class DirectSoundObject final : public Object<IDirectSound> {
 public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return DSERR_INVALIDPARAM;
    if (riid == IID_IUnknown || riid == IID_IDirectSound) {
      *object = static_cast<IDirectSound*>(this);
      AddRef();
      return DS_OK;
    }
    *object = nullptr;
    return DSERR_NOINTERFACE;
  }

  HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) override {
    if (!buffer) return DSERR_INVALIDPARAM;
    *buffer = nullptr;
    if (outer) return DSERR_NOAGGREGATION;
    if (!desc || (desc->dwSize != sizeof(DSBUFFERDESC) && desc->dwSize != kDSBufferDesc1Size))
      return DSERR_INVALIDPARAM;
    Device& d = Dev();
    d.CheckAlive();
    if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
      if (desc->dwBufferBytes != 0 || desc->lpwfxFormat) return DSERR_INVALIDPARAM;
      if (!primary_) {
        if (d.Acquire() != DS_OK) return DSERR_NODRIVER;
        WAVEFORMATEX f{};
        f.wFormatTag = WAVE_FORMAT_PCM;
        f.nChannels = 2;
        f.wBitsPerSample = 16;
        f.nSamplesPerSec = static_cast<DWORD>(d.running.Rate);
        f.nBlockAlign = 4;
        f.nAvgBytesPerSec = f.nSamplesPerSec * 4;
        primary_ = new SoundBuffer(this, desc->dwFlags & (DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN), f, nullptr);
      }
      primary_->AddRef();
      *buffer = primary_;
      return DS_OK;
    }
    WAVEFORMATEX format;
    if (const HRESULT hr = CheckFormat(desc->lpwfxFormat, format); hr != DS_OK) return hr;
    if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX) return DSERR_INVALIDPARAM;
    std::shared_ptr<Store> store;
    try {
      store = std::make_shared<Store>(desc->dwBufferBytes);
    } catch (const std::bad_alloc&) {
      return DSERR_OUTOFMEMORY;
    }
    if (d.Acquire() != DS_OK) return DSERR_NODRIVER;
    *buffer = new SoundBuffer(nullptr, desc->dwFlags & ~DSBCAPS_LOCHARDWARE, format, std::move(store));
    return DS_OK;
  }

  HRESULT GetCaps(DSCAPS* caps) override {
    if (!caps || caps->dwSize != sizeof(DSCAPS)) return DSERR_INVALIDPARAM;
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof(DSCAPS);
    caps->dwFlags = DSCAPS_PRIMARYSTEREO | DSCAPS_PRIMARY16BIT | DSCAPS_CONTINUOUSRATE | DSCAPS_SECONDARYMONO |
                    DSCAPS_SECONDARYSTEREO | DSCAPS_SECONDARY8BIT | DSCAPS_SECONDARY16BIT;
    caps->dwMinSecondarySampleRate = DSBFREQUENCY_MIN;
    caps->dwMaxSecondarySampleRate = DSBFREQUENCY_MAX;
    caps->dwPrimaryBuffers = 1;
    return DS_OK;
  }

  HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) override {
    if (!duplicate) return DSERR_INVALIDPARAM;
    *duplicate = nullptr;
    auto* from = dynamic_cast<SoundBuffer*>(original);
    if (!from) return DSERR_INVALIDPARAM;
    if (from->Primary()) return DSERR_INVALIDCALL;
    if (from->Lost()) return DSERR_BUFFERLOST;
    if (Dev().Acquire() != DS_OK) return DSERR_NODRIVER;
    auto* copy = new SoundBuffer(nullptr, from->Flags(), from->Format(), from->SharedStore());
    copy->CopyControls(*from);
    *duplicate = copy;
    return DS_OK;
  }

  HRESULT SetCooperativeLevel(HWND window, DWORD level) override {
    if (level < DSSCL_NORMAL || level > DSSCL_WRITEPRIMARY) return DSERR_INVALIDPARAM;
    window_ = window;
    level_ = level;
    return DS_OK;
  }
  HRESULT Compact() override { return level_ >= DSSCL_PRIORITY ? DS_OK : DSERR_PRIOLEVELNEEDED; }
  HRESULT GetSpeakerConfig(DWORD* config) override {
    if (!config) return DSERR_INVALIDPARAM;
    *config = 4;  // stereo
    return DS_OK;
  }
  HRESULT SetSpeakerConfig(DWORD) override { return DS_OK; }
  HRESULT Initialize(const GUID*) override { return DSERR_ALREADYINITIALIZED; }

  DWORD Level() const { return level_; }

 private:
  // The object holds the device from its creation on.
  ~DirectSoundObject() override { Dev().Release(); }
  void LastReleased() override {
    if (primary_) {
      primary_->Orphan();
      std::exchange(primary_, nullptr)->Release();
    }
  }

  HWND window_ = nullptr;
  DWORD level_ = 0;
  SoundBuffer* primary_ = nullptr;  // holds one reference
};

HRESULT SoundBuffer::SetFormat(const WAVEFORMATEX* format) {
  if (!primary_) return DSERR_INVALIDCALL;
  if (!owner_ || owner_->Level() < DSSCL_PRIORITY) return DSERR_PRIOLEVELNEEDED;
  WAVEFORMATEX f;
  if (const HRESULT hr = CheckFormat(format, f); hr != DS_OK) return hr;
  // The mixer keeps making the device's format; the primary only remembers what was asked.
  format_ = f;
  return DS_OK;
}

void SoundBuffer::LastReleased() {
  Device& d = Dev();
  if (voice_) {
    if (submitted_) {
      d.Submit({.What = Command::Remove, .Target = voice_.get()});
      d.graveyard.Bury(d.last_submitted, std::move(voice_));
    }
    voice_.reset();
  }
  if (store_) std::erase(store_->users, this);
  store_.reset();
  std::erase(d.buffers, this);
}

void Device::CheckAlive() {
  if (!id || SDL_GetAudioDeviceStatus(id) != SDL_AUDIO_STOPPED) return;
  SDL_CloseAudioDevice(id);
  id = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  OpenSDL();  // when this fails the buffers stay silent until the next attempt
  LoseDevice();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Entry points and configuration

void SetDeviceConfig(const DeviceConfig& config) { Dev().config = config; }
DeviceConfig GetDeviceConfig() { return Dev().config; }
void ResetDeviceConfig() { Dev().config = DeviceConfig{}; }
bool DeviceOpen() { return Dev().open; }
int DeviceRate() { return Dev().open ? Dev().running.Rate : 0; }

void LoseDevice() {
  const std::vector<SoundBuffer*> all = Dev().buffers;
  for (SoundBuffer* b : all) b->Lose();
}

bool RenderManual(std::int16_t* out, int frames) {
  Device& d = Dev();
  if (!d.open || !d.running.Manual || !d.mixer) return false;
  d.mixer->Render(out, frames);
  d.graveyard.Collect(d.mixer->Applied());
  return true;
}

int LiveObjectCount() { return LiveCount(); }
int RetiredObjectCount() { return static_cast<int>(Dev().graveyard.Size()); }

HRESULT DirectSoundCreate(const GUID* driver, IDirectSound** directSound, IUnknown* outer) {
  if (!directSound) return DSERR_INVALIDPARAM;
  *directSound = nullptr;
  if (outer) return DSERR_NOAGGREGATION;
  // Only the default device exists.
  if (driver && !(*driver == win::GUID_NULL)) return DSERR_NODRIVER;
  if (Dev().Acquire() != DS_OK) return DSERR_NODRIVER;
  *directSound = new DirectSoundObject;
  return DS_OK;
}

void RegisterModule() {
  static std::once_flag once;
  std::call_once(once, [] {
    kernel::RegisterModule("DSound.dll",
                           {{"DirectSoundCreate", reinterpret_cast<kernel::FARPROC>(&DirectSoundCreate)}});
  });
}

}  // namespace dsound
