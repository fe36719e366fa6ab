#pragma once
// The component layer's message table. Texts are kept exactly as the layer has always shown
// them; several take a placeholder filled with Format.
namespace dx {

inline constexpr const char* SWaveNotFound = "Wave '%s' not found";
inline constexpr const char* SEffectNotFound = "Effect '%s' not found";
inline constexpr const char* SListIndexError = "Index of the list exceeds the range. (%d)";
inline constexpr const char* SNotFoundForm = "Form not found";
inline constexpr const char* SSinceDirectX6 = "Necessary since DirectX 6";
inline constexpr const char* SSinceDirectX7 = "Necessary since DirectX 7";
inline constexpr const char* SDirect3DDeviceNotFound = "3D device not found";
inline constexpr const char* SDisplayModeChange = "Display mode cannot be changed (%dx%d %dbit)";
inline constexpr const char* SInvalidDIB = "DIB is invalid";
inline constexpr const char* SInvalidDIBBitCount = "Bitcount in invalid (%d)";
inline constexpr const char* SInvalidDIBPixelFormat = "PixelFormat in invalid";
inline constexpr const char* SInvalidWave = "Wave is invalid";
inline constexpr const char* SInvalidDisplayBitCount = "It should be either of 8 or 16 or 24 or 32";
inline constexpr const char* SInvalidWaveFormat = "Format is invalid";
inline constexpr const char* SStreamOpend = "Stream has already been opened";
inline constexpr const char* SNecessaryDirectInputUseMouse = "DirectInput is necessary to use the mouse";
inline constexpr const char* SNotMade = "%s not made";
inline constexpr const char* SStreamNotOpend = "Stream not opend";
inline constexpr const char* SCannotMade = "%s cannot be made";
inline constexpr const char* SCannotInitialized = "%s cannot be initialized";
inline constexpr const char* SCannotLocked = "%s cannot be locked";
inline constexpr const char* SDLLNotLoaded = "%s not loaded";
inline constexpr const char* SImageNotFound = "Image '%s' not found";

// Subjects put into the placeholders.
inline constexpr const char* SDirectDraw = "DirectDraw";
inline constexpr const char* SDirect3DRM = "Direct3D RetainedMode";
inline constexpr const char* SDirectSound = "DirectSound";
inline constexpr const char* SClipper = "Clipper";
inline constexpr const char* SSurface = "Surface";
inline constexpr const char* SPrimarySurface = "Primary Surface";
inline constexpr const char* SSoundBuffer = "Sound Buffer";
inline constexpr const char* SPrimaryBuffer = "Primary Buffer";

}  // namespace dx
