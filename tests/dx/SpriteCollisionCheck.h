#pragma once
// What the collision pass must match: every other sprite of the tree in drawing order, tested one
// by one with the rectangles as they are at that moment, then Overlaps.
#include <cstdint>
#include <vector>

#include "dx/DXSprite.h"

namespace spritecheck {

inline std::int32_t BruteCollision(dx::TSprite* self, const std::vector<dx::TSprite*>& drawOrder) {
  if (self->Deaded()) return 0;
  std::int32_t hits = 0;
  bool done = false;
  for (dx::TSprite* other : drawOrder) {
    if (other == self || other->Deaded() || !other->CollisionEnabled) continue;
    if (!dx::RectsOverlap(self->GetBounds(), other->GetBounds()) || !self->Overlaps(other)) continue;
    ++hits;
    self->Collided(other, done);
    if (done || self->Deaded()) break;
  }
  return hits;
}

// The tree below s in drawing order: each parent before its children.
inline void Walk(dx::TSprite* s, std::vector<dx::TSprite*>& out) {
  if (s->DrawOrder())
    for (dx::TSprite* c : *s->DrawOrder()) {
      out.push_back(c);
      Walk(c, out);
    }
}

}  // namespace spritecheck
