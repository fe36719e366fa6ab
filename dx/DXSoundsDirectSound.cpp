// The DirectSound object and its sound buffers.
#include <algorithm>
#include <cstring>

#include "dx/DXConsts.h"
#include "dx/DXSounds.h"
#include "framework/ClassBuilder.h"
#include "framework/SysUtils.h"

namespace dx {

FW_REGISTER(TDirectSound, nullptr)
FW_REGISTER(TDXSoundDirectSound, nullptr)
FW_REGISTER(TDirectSoundBuffer, nullptr)

// ---------------------------------------------------------------------------------------------
// TDirectSound

TDirectSound::TDirectSound(win::GUID* GUID) {
  auto create = kernel::ProcAs<dsound::LPDIRECTSOUNDCREATE>(LoadProc("DSound.dll", "DirectSoundCreate"));
  SetLastResult(create(GUID, &idsound_, nullptr));
  if (LastResult() != dsound::DS_OK) {
    idsound_ = nullptr;
    throw EDirectSoundError(fw::Format(SCannotInitialized, std::string(SDirectSound)));
  }
}

TDirectSound::~TDirectSound() {
  // Buffers belong to whoever made them; those still here only lose their platform buffer and
  // their link to this object, so that freeing them later touches nothing that is gone.
  while (!buffers_.empty()) {
    TDirectSoundBuffer* b = buffers_.back();
    buffers_.pop_back();
    b->SetIDSBuffer(nullptr);
    b->dsound_ = nullptr;
  }
  if (idsound_) std::exchange(idsound_, nullptr)->Release();
}

dsound::IDirectSound* TDirectSound::ISound() const {
  if (!idsound_) throw EDirectSoundError(fw::Format(SNotMade, std::string("IDirectSound")));
  return idsound_;
}

void TDirectSound::BufferLost() {
  in_restore_buffer_ = true;
  try {
    DoRestoreBuffer();
  } catch (...) {
    in_restore_buffer_ = false;
    throw;
  }
  in_restore_buffer_ = false;
}

TDXSoundDirectSound::TDXSoundDirectSound(TCustomDXSound* ADXSound, win::GUID* GUID)
    : TDirectSound(GUID), dxsound_(ADXSound) {}

void TDXSoundDirectSound::DoRestoreBuffer() {
  TDirectSound::DoRestoreBuffer();
  if (dxsound_) dxsound_->Restore();
}

// ---------------------------------------------------------------------------------------------
// TDirectSoundBuffer

namespace {

TDirectSound& Owner(TDirectSound* d) {
  if (!d) throw EDirectSoundError(fw::Format(SNotMade, std::string("IDirectSound")));
  return *d;
}

}  // namespace

TDirectSoundBuffer::TDirectSoundBuffer(TDirectSound* ADirectSound) : dsound_(ADirectSound) {
  if (dsound_) dsound_->buffers_.push_back(this);
}

TDirectSoundBuffer::~TDirectSoundBuffer() {
  SetIDSBuffer(nullptr);
  if (dsound_) std::erase(dsound_->buffers_, this);
}

dsound::IDirectSoundBuffer* TDirectSoundBuffer::IBuffer() const {
  if (!idsbuffer_) throw EDirectSoundBufferError(fw::Format(SNotMade, std::string("IDirectSoundBuffer")));
  return idsbuffer_;
}

void TDirectSoundBuffer::SetIDSBuffer(dsound::IDirectSoundBuffer* Value) {
  if (Value == idsbuffer_) return;
  if (idsbuffer_) std::exchange(idsbuffer_, nullptr)->Release();
  idsbuffer_ = Value;
  caps_ = dsound::DSBCAPS{};
  format_.reset();
  format_size_ = 0;
  lock_count_ = 0;
  if (!idsbuffer_) return;
  caps_.dwSize = sizeof(dsound::DSBCAPS);
  SetLastResult(idsbuffer_->GetCaps(&caps_));
  win::DWORD size = 0;
  SetLastResult(idsbuffer_->GetFormat(nullptr, 0, &size));
  if (LastResult() == dsound::DS_OK && size > 0) {
    format_size_ = static_cast<int>(size);
    format_ = std::make_unique<std::uint8_t[]>(size);
    SetLastResult(idsbuffer_->GetFormat(reinterpret_cast<dsound::WAVEFORMATEX*>(format_.get()), size, nullptr));
  }
}

void TDirectSoundBuffer::Check() {
  if (LastResult() == dsound::DSERR_BUFFERLOST && dsound_ && !dsound_->in_restore_buffer_) dsound_->BufferLost();
}

void TDirectSoundBuffer::Assign(fw::TPersistent* Source) {
  if (!Source) {
    SetIDSBuffer(nullptr);
  } else if (auto* wave = dynamic_cast<TWave*>(Source)) {
    LoadFromWave(wave);
  } else if (auto* other = dynamic_cast<TDirectSoundBuffer*>(Source)) {
    if (!other->idsbuffer_) {
      SetIDSBuffer(nullptr);
      return;
    }
    TDirectSound& ds = Owner(dsound_);
    dsound::IDirectSoundBuffer* duplicate = nullptr;
    ds.SetLastResult(ds.ISound()->DuplicateSoundBuffer(other->idsbuffer_, &duplicate));
    const win::HRESULT result = ds.LastResult();
    if (result == dsound::DS_OK) {
      SetIDSBuffer(duplicate);
    } else {
      // A lost original is news for this buffer too: it restores what was made on the object.
      SetLastResult(result);
    }
  } else {
    TDirectX::Assign(Source);
  }
}

bool TDirectSoundBuffer::CreateBuffer(const dsound::DSBUFFERDESC& BufferDesc) {
  SetIDSBuffer(nullptr);
  TDirectSound& ds = Owner(dsound_);
  dsound::IDirectSoundBuffer* buffer = nullptr;
  ds.SetLastResult(ds.ISound()->CreateSoundBuffer(&BufferDesc, &buffer, nullptr));
  const win::HRESULT result = ds.LastResult();
  SetLastResult(result);
  if (result == dsound::DS_OK) SetIDSBuffer(buffer);
  return result == dsound::DS_OK;
}

void TDirectSoundBuffer::CreateBuffer(const dsound::WAVEFORMATEX* Format, win::DWORD Size) {
  dsound::DSBUFFERDESC desc{};
  desc.dwSize = sizeof(dsound::DSBUFFERDESC);
  desc.dwFlags = dsound::DSBCAPS_CTRLDEFAULT;
  const TDirectSound& ds = Owner(dsound_);
  if (ds.StickyFocus())
    desc.dwFlags |= dsound::DSBCAPS_STICKYFOCUS;
  else if (ds.GlobalFocus())
    desc.dwFlags |= dsound::DSBCAPS_GLOBALFOCUS;
  desc.dwBufferBytes = Size;
  desc.lpwfxFormat = const_cast<dsound::WAVEFORMATEX*>(Format);
  if (!CreateBuffer(desc)) throw EDirectSoundBufferError(fw::Format(SCannotMade, std::string(SSoundBuffer)));
}

void TDirectSoundBuffer::LoadFromMemory(const dsound::WAVEFORMATEX* Format, const void* Data, win::DWORD Size) {
  CreateBuffer(Format, Size);
  if (!Data) return;
  void* p1 = nullptr;
  void* p2 = nullptr;
  win::DWORD n1 = 0, n2 = 0;
  if (!Lock(0, Size, p1, n1, p2, n2)) {
    SetIDSBuffer(nullptr);
    throw EDirectSoundBufferError(fw::Format(SCannotLocked, std::string(SSoundBuffer)));
  }
  // The two regions together never take more than was asked for.
  n1 = std::min(n1, Size);
  std::memcpy(p1, Data, n1);
  if (p2) std::memcpy(p2, static_cast<const std::uint8_t*>(Data) + n1, std::min(n2, Size - n1));
  Unlock();
}

void TDirectSoundBuffer::LoadFromWave(TWave* Wave) {
  const auto size = static_cast<win::DWORD>(std::max(Wave->Size(), 0));
  // The platform reads at least the 16 bytes of a PCM record; a shorter stored record is
  // handed over padded with zeros, which DirectSound refuses as a bad format.
  if (Wave->FormatSize() < static_cast<int>(sizeof(dsound::WAVEFORMATEX))) {
    dsound::WAVEFORMATEX padded{};
    if (Wave->Format() && Wave->FormatSize() > 0)
      std::memcpy(&padded, Wave->Format(), static_cast<std::size_t>(Wave->FormatSize()));
    LoadFromMemory(&padded, Wave->Data(), size);
  } else {
    LoadFromMemory(reinterpret_cast<const dsound::WAVEFORMATEX*>(Wave->Format()), Wave->Data(), size);
  }
}

bool TDirectSoundBuffer::Lock(win::DWORD LockPosition, win::DWORD LockSize, void*& AudioPtr1,
                              win::DWORD& AudioSize1, void*& AudioPtr2, win::DWORD& AudioSize2) {
  if (!idsbuffer_ || lock_count_ > 0) return false;
  LockRecord r;
  SetLastResult(idsbuffer_->Lock(LockPosition, LockSize, &r.AudioPtr1, &r.AudioSize1, &r.AudioPtr2, &r.AudioSize2, 0));
  if (LastResult() != dsound::DS_OK) return false;
  lock_ = r;
  lock_count_ = 1;
  AudioPtr1 = r.AudioPtr1;
  AudioSize1 = r.AudioSize1;
  AudioPtr2 = r.AudioPtr2;
  AudioSize2 = r.AudioSize2;
  return true;
}

void TDirectSoundBuffer::Unlock() {
  if (!idsbuffer_ || lock_count_ != 1) return;
  lock_count_ = 0;
  SetLastResult(idsbuffer_->Unlock(lock_.AudioPtr1, lock_.AudioSize1, lock_.AudioPtr2, lock_.AudioSize2));
}

bool TDirectSoundBuffer::Play(bool Loop) {
  SetLastResult(IBuffer()->Play(0, 0, Loop ? dsound::DSBPLAY_LOOPING : 0));
  return LastResult() == dsound::DS_OK;
}

void TDirectSoundBuffer::Stop() { SetLastResult(IBuffer()->Stop()); }

win::DWORD TDirectSoundBuffer::Status() {
  win::DWORD status = 0;
  SetLastResult(IBuffer()->GetStatus(&status));
  return status;
}

bool TDirectSoundBuffer::Playing() {
  return (Status() & (dsound::DSBSTATUS_PLAYING | dsound::DSBSTATUS_LOOPING)) != 0;
}

void TDirectSoundBuffer::SetPosition(win::DWORD Value) { SetLastResult(IBuffer()->SetCurrentPosition(Value)); }

void TDirectSoundBuffer::SetFrequency(std::int32_t Value) {
  SetLastResult(IBuffer()->SetFrequency(static_cast<win::DWORD>(Value)));
}

void TDirectSoundBuffer::SetPan(std::int32_t Value) { SetLastResult(IBuffer()->SetPan(Value)); }

void TDirectSoundBuffer::SetVolume(std::int32_t Value) { SetLastResult(IBuffer()->SetVolume(Value)); }

}  // namespace dx
