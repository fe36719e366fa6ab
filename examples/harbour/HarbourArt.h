#pragma once
// The harbour's pictures and sounds, drawn and synthesised at start-up: the program carries no
// files. Every picture is a strip of equal patterns; black is the see-through colour of the
// sprites, so none of them uses it for anything else.
#include <cstdint>
#include <string>
#include <vector>

#include "dx/DXDrawsImageList.h"
#include "dx/DXSounds.h"

namespace harbour {

// Cells of the sea map, 32 x 32 each, in the order of the "sea" strip.
enum SeaTile : std::int32_t { tWater = 0, tSwell = 1, tRock = 2, tSand = 3 };
inline constexpr int kTile = 32;

// Pattern sizes of the sprite strips (four frames each).
inline constexpr int kBoatW = 40, kBoatH = 28;
inline constexpr int kBuoyW = 20, kBuoyH = 28;
inline constexpr int kGullW = 32, kGullH = 14;

// Adds "sea", "boat", "buoy" and "gull" to the list.
void AddPictures(dx::TPictureCollection& Items);

// Adds "bell" (a buoy struck), "thud" (the hull on a rock) and "horn" to the list.
void AddWaves(dx::TWaveCollection& Items);

// A RIFF WAVE stream of 16-bit mono samples (each in -1 .. 1) at Rate samples a second.
std::string MakeRiffWave(int Rate, const std::vector<double>& Samples);

}  // namespace harbour
