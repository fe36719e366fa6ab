#pragma once
// What tests reach inside GDI for: the system palette put back and the live objects. Not for
// programs: no public header includes this one.
#include "platform/gdi/Gdi.h"

namespace gdi {

// Back to the 20 static colours and black elsewhere.
void ResetSystemPalette();

// Live GDI objects (bitmaps, DCs, palettes, brushes, pens; stock objects excluded), for leak
// checks.
int LiveObjectCount();
// The same for one kind of object (OBJ_BITMAP, OBJ_PAL, OBJ_BRUSH, OBJ_PEN; OBJ_DC counts memory
// DCs too).
int LiveObjectCount(DWORD objectType);

}  // namespace gdi
