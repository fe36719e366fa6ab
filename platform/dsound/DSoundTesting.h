#pragma once
// What tests reach inside DirectSound for: a lost device on demand and the module's live and
// retired objects. Not for programs: no public header includes this one.
#include "platform/dsound/DSound.h"

namespace dsound {

// The output device went away and came back, as when SDL reports it stopped: every secondary
// buffer is lost (stops, and answers DSERR_BUFFERLOST) until it is restored.
void LoseDevice();

// Objects of this module still alive (DirectSound objects and buffers).
int LiveObjectCount();
// Objects released but still held until the mixer has let go of them.
int RetiredObjectCount();

}  // namespace dsound
