#pragma once
// DirectSound's records, flags, result codes, interface identifiers and interfaces, with their
// published layouts and values. DSBUFFERDESC holds a pointer, so its dwSize is sizeof the record
// in this build; the other records keep their published sizes.
#include <cstddef>
#include <cstdint>

#include "platform/base/Types.h"
#include "platform/base/Unknown.h"

namespace dsound {

using win::BOOL;
using win::BYTE;
using win::DWORD;
using win::GUID;
using win::HRESULT;
using win::HWND;
using win::IID_IUnknown;
using win::IUnknown;
using win::LONG;
using win::REFIID;
using win::ULONG;
using win::WORD;

// ---------------------------------------------------------------------------------------------
// Result codes

constexpr HRESULT MakeDSHResult(unsigned code) { return win::MAKE_HRESULT(1, 0x878, code); }

inline constexpr HRESULT DS_OK = 0;
inline constexpr HRESULT DSERR_ALLOCATED = MakeDSHResult(10);
inline constexpr HRESULT DSERR_CONTROLUNAVAIL = MakeDSHResult(30);
inline constexpr HRESULT DSERR_INVALIDPARAM = win::E_INVALIDARG;
inline constexpr HRESULT DSERR_INVALIDCALL = MakeDSHResult(50);
inline constexpr HRESULT DSERR_GENERIC = win::E_FAIL;
inline constexpr HRESULT DSERR_PRIOLEVELNEEDED = MakeDSHResult(70);
inline constexpr HRESULT DSERR_OUTOFMEMORY = win::E_OUTOFMEMORY;
inline constexpr HRESULT DSERR_BADFORMAT = MakeDSHResult(100);
inline constexpr HRESULT DSERR_UNSUPPORTED = win::E_NOTIMPL;
inline constexpr HRESULT DSERR_NODRIVER = MakeDSHResult(120);
inline constexpr HRESULT DSERR_ALREADYINITIALIZED = MakeDSHResult(130);
inline constexpr HRESULT DSERR_NOAGGREGATION = win::CLASS_E_NOAGGREGATION;
inline constexpr HRESULT DSERR_BUFFERLOST = MakeDSHResult(150);
inline constexpr HRESULT DSERR_OTHERAPPHASPRIO = MakeDSHResult(160);
inline constexpr HRESULT DSERR_UNINITIALIZED = MakeDSHResult(170);
inline constexpr HRESULT DSERR_NOINTERFACE = win::E_NOINTERFACE;
static_assert(static_cast<std::uint32_t>(DSERR_BUFFERLOST) == 0x88780096u);

// ---------------------------------------------------------------------------------------------
// Flags and limits

// Cooperative levels.
inline constexpr DWORD DSSCL_NORMAL = 1;
inline constexpr DWORD DSSCL_PRIORITY = 2;
inline constexpr DWORD DSSCL_EXCLUSIVE = 3;
inline constexpr DWORD DSSCL_WRITEPRIMARY = 4;

// Buffer capabilities.
inline constexpr DWORD DSBCAPS_PRIMARYBUFFER = 0x1;
inline constexpr DWORD DSBCAPS_STATIC = 0x2;
inline constexpr DWORD DSBCAPS_LOCHARDWARE = 0x4;
inline constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x8;
inline constexpr DWORD DSBCAPS_CTRL3D = 0x10;
inline constexpr DWORD DSBCAPS_CTRLFREQUENCY = 0x20;
inline constexpr DWORD DSBCAPS_CTRLPAN = 0x40;
inline constexpr DWORD DSBCAPS_CTRLVOLUME = 0x80;
inline constexpr DWORD DSBCAPS_CTRLPOSITIONNOTIFY = 0x100;
inline constexpr DWORD DSBCAPS_STICKYFOCUS = 0x4000;
inline constexpr DWORD DSBCAPS_GLOBALFOCUS = 0x8000;
inline constexpr DWORD DSBCAPS_GETCURRENTPOSITION2 = 0x10000;
inline constexpr DWORD DSBCAPS_MUTE3DATMAXDISTANCE = 0x20000;
inline constexpr DWORD DSBCAPS_CTRLDEFAULT = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;

// Play, status and lock flags.
inline constexpr DWORD DSBPLAY_LOOPING = 0x1;
inline constexpr DWORD DSBSTATUS_PLAYING = 0x1;
inline constexpr DWORD DSBSTATUS_BUFFERLOST = 0x2;
inline constexpr DWORD DSBSTATUS_LOOPING = 0x4;
inline constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x1;
inline constexpr DWORD DSBLOCK_ENTIREBUFFER = 0x2;

// Volume in hundredths of a decibel; pan in hundredths of a decibel of attenuation of the
// channel away from the side it leans to.
inline constexpr LONG DSBVOLUME_MIN = -10000;
inline constexpr LONG DSBVOLUME_MAX = 0;
inline constexpr LONG DSBPAN_LEFT = -10000;
inline constexpr LONG DSBPAN_CENTER = 0;
inline constexpr LONG DSBPAN_RIGHT = 10000;
inline constexpr DWORD DSBFREQUENCY_ORIGINAL = 0;
inline constexpr DWORD DSBFREQUENCY_MIN = 100;
inline constexpr DWORD DSBFREQUENCY_MAX = 100000;
inline constexpr DWORD DSBSIZE_MIN = 4;
inline constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

// Capabilities of the DirectSound object.
inline constexpr DWORD DSCAPS_PRIMARYMONO = 0x1;
inline constexpr DWORD DSCAPS_PRIMARYSTEREO = 0x2;
inline constexpr DWORD DSCAPS_PRIMARY8BIT = 0x4;
inline constexpr DWORD DSCAPS_PRIMARY16BIT = 0x8;
inline constexpr DWORD DSCAPS_CONTINUOUSRATE = 0x10;
inline constexpr DWORD DSCAPS_EMULDRIVER = 0x20;
inline constexpr DWORD DSCAPS_SECONDARYMONO = 0x100;
inline constexpr DWORD DSCAPS_SECONDARYSTEREO = 0x200;
inline constexpr DWORD DSCAPS_SECONDARY8BIT = 0x400;
inline constexpr DWORD DSCAPS_SECONDARY16BIT = 0x800;

inline constexpr WORD WAVE_FORMAT_PCM = 1;

// ---------------------------------------------------------------------------------------------
// Records

#pragma pack(push, 2)
// The wave format record. PCM callers may hand over only the first 16 bytes (the record without
// cbSize); nothing past them is read for PCM.
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
inline constexpr DWORD kPCMWaveFormatSize = 16;  // the record without cbSize

struct DSBUFFERDESC {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwReserved;
  WAVEFORMATEX* lpwfxFormat;
  GUID guid3DAlgorithm;
};
// The earlier record, without the 3D algorithm, is accepted too.
inline constexpr DWORD kDSBufferDesc1Size = offsetof(DSBUFFERDESC, guid3DAlgorithm);

struct DSBCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwBufferBytes;
  DWORD dwUnlockTransferRate;
  DWORD dwPlayCpuOverhead;
};
static_assert(sizeof(DSBCAPS) == 20);

struct DSCAPS {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwMinSecondarySampleRate;
  DWORD dwMaxSecondarySampleRate;
  DWORD dwPrimaryBuffers;
  DWORD dwMaxHwMixingAllBuffers;
  DWORD dwMaxHwMixingStaticBuffers;
  DWORD dwMaxHwMixingStreamingBuffers;
  DWORD dwFreeHwMixingAllBuffers;
  DWORD dwFreeHwMixingStaticBuffers;
  DWORD dwFreeHwMixingStreamingBuffers;
  DWORD dwMaxHw3DAllBuffers;
  DWORD dwMaxHw3DStaticBuffers;
  DWORD dwMaxHw3DStreamingBuffers;
  DWORD dwFreeHw3DAllBuffers;
  DWORD dwFreeHw3DStaticBuffers;
  DWORD dwFreeHw3DStreamingBuffers;
  DWORD dwTotalHwMemBytes;
  DWORD dwFreeHwMemBytes;
  DWORD dwMaxContigFreeHwMemBytes;
  DWORD dwUnlockTransferRateHwBuffers;
  DWORD dwPlayCpuOverheadSwBuffers;
  DWORD dwReserved1;
  DWORD dwReserved2;
};
static_assert(sizeof(DSCAPS) == 96);

// ---------------------------------------------------------------------------------------------
// Interfaces

inline constexpr GUID IID_IDirectSound{0x279AFA83, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
inline constexpr GUID IID_IDirectSoundBuffer{0x279AFA85, 0x4981, 0x11CE, {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};

class IDirectSoundBuffer : public IUnknown {
 public:
  virtual HRESULT GetCaps(DSBCAPS* caps) = 0;
  virtual HRESULT GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor) = 0;
  // With no record, *written receives the size the record needs.
  virtual HRESULT GetFormat(WAVEFORMATEX* format, DWORD sizeAllocated, DWORD* written) = 0;
  virtual HRESULT GetVolume(LONG* volume) = 0;
  virtual HRESULT GetPan(LONG* pan) = 0;
  virtual HRESULT GetFrequency(DWORD* frequency) = 0;
  virtual HRESULT GetStatus(DWORD* status) = 0;
  virtual HRESULT Initialize(IUnknown* directSound, const DSBUFFERDESC* desc) = 0;
  // The region [offset, offset + bytes) of the ring: the part up to the end of the buffer, and
  // the part wrapped round to its start (null and 0 when there is none).
  virtual HRESULT Lock(DWORD offset, DWORD bytes, void** audio1, DWORD* bytes1, void** audio2,
                       DWORD* bytes2, DWORD flags) = 0;
  virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
  virtual HRESULT SetCurrentPosition(DWORD position) = 0;
  virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
  virtual HRESULT SetVolume(LONG volume) = 0;
  virtual HRESULT SetPan(LONG pan) = 0;
  virtual HRESULT SetFrequency(DWORD frequency) = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Unlock(void* audio1, DWORD bytes1, void* audio2, DWORD bytes2) = 0;
  virtual HRESULT Restore() = 0;

 protected:
  ~IDirectSoundBuffer() = default;
};

class IDirectSound : public IUnknown {
 public:
  virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* desc, IDirectSoundBuffer** buffer, IUnknown* outer) = 0;
  virtual HRESULT GetCaps(DSCAPS* caps) = 0;
  // A new buffer sharing the original's samples, with its own position, state and controls.
  virtual HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* original, IDirectSoundBuffer** duplicate) = 0;
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
  virtual HRESULT Compact() = 0;
  virtual HRESULT GetSpeakerConfig(DWORD* config) = 0;
  virtual HRESULT SetSpeakerConfig(DWORD config) = 0;
  virtual HRESULT Initialize(const GUID* driver) = 0;

 protected:
  ~IDirectSound() = default;
};

using LPDIRECTSOUNDCREATE = HRESULT (*)(const GUID* driver, IDirectSound** directSound, IUnknown* outer);

}  // namespace dsound
