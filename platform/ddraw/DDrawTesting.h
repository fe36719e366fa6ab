#pragma once
// What tests reach inside DirectDraw for: lost surfaces on demand and the module's live objects.
// Not for programs: no public header includes this one.
#include "platform/ddraw/DDraw.h"

namespace ddraw {

// Every surface of every adapter becomes lost, as after an external mode switch.
void LoseAllSurfaces();
// Objects of this module still alive (DirectDraw objects, surfaces, palettes, clippers).
int LiveObjectCount();
// The same by kind: surfaces, palettes, clippers.
int LiveSurfaceCount();
int LivePaletteCount();
int LiveClipperCount();

}  // namespace ddraw
