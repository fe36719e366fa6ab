#pragma once
// DirectSound in software: the entry points of the module "DSound.dll" and the sound device
// they play on. Every buffer is mixed by our own mixer (DSoundMixer.h) into one output device
// opened through SDL's audio, in signed 16-bit stereo at the device rate.
//
// The device opens with the first DirectSound object and closes when the last object and the
// last of its buffers are gone. No device, or SDL's audio failing to open, makes
// DirectSoundCreate fail with DSERR_NODRIVER.
//
// A device that SDL reports stopped has gone away: it is opened again, and every secondary
// buffer is lost (stops, and answers DSERR_BUFFERLOST) until it is restored.
#include <cstdint>

#include "platform/dsound/DSoundTypes.h"

namespace dsound {

struct DeviceConfig {
  bool Available = true;  // false: no sound device at all
  // The device is not opened through SDL; the mixer runs only when RenderManual asks for frames
  // (exact, untimed output: rendering ahead of time, measuring, checking).
  bool Manual = false;
  int Rate = 44100;       // frames per second the mixer produces
  int Samples = 1024;     // frames per SDL callback
};

// Applies to devices opened from then on.
void SetDeviceConfig(const DeviceConfig& config);
DeviceConfig GetDeviceConfig();
void ResetDeviceConfig();

// Whether the output device is open, and the rate it runs at (0 when closed).
bool DeviceOpen();
int DeviceRate();

// Manual devices: mixes `frames` stereo frames into out on the calling thread. False when no
// manual device is open.
bool RenderManual(std::int16_t* out, int frames);

// Makes "DSound.dll" with DirectSoundCreate loadable. Called once at start-up by
// builtins::InstallLibraries; calling it again does nothing.
void RegisterModule();

HRESULT DirectSoundCreate(const GUID* driver, IDirectSound** directSound, IUnknown* outer);

}  // namespace dsound
