#pragma once
// The libraries built into the platform, which LoadLibrary finds by name: "DDraw.dll",
// "DInput.dll", "DSound.dll" and "D3DRM.dll". The program's start-up installs them (the
// framework's application object does, so every program on it has them); a program that uses
// the platform without the framework calls this itself before its first LoadLibrary.

namespace builtins {

// Makes every built-in library loadable. Calling it again does nothing.
void InstallLibraries();

}  // namespace builtins
