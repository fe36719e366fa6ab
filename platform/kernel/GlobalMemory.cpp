#include "platform/kernel/GlobalMemory.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/kernel/GlobalMemoryTesting.h"

namespace kernel {

namespace {

// Requests above this are refused like an exhausted heap.
constexpr std::size_t kMaxBlock = std::size_t(1) << 31;

struct Block {
  void* memory = nullptr;
  std::size_t size = 0;
  bool moveable = false;
  int locks = 0;
};

// Never destroyed: blocks freed while the program ends still find it.
std::unordered_map<HGLOBAL, Block>& Blocks() {
  static auto* blocks = new std::unordered_map<HGLOBAL, Block>;
  return *blocks;
}

// Handles of movable blocks are tokens distinct from every address we give out.
std::uintptr_t g_nextToken = 0x10;

Block* Find(HGLOBAL h) {
  auto it = Blocks().find(h);
  return it == Blocks().end() ? nullptr : &it->second;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes) {
  if (bytes > kMaxBlock) return nullptr;
  // One extra byte so that a block of 0 bytes still has an address of its own.
  void* p = (flags & GMEM_ZEROINIT) ? std::calloc(bytes + 1, 1) : std::malloc(bytes + 1);
  if (!p) return nullptr;
  Block b;
  b.memory = p;
  b.size = bytes;
  b.moveable = (flags & GMEM_MOVEABLE) != 0;
  HGLOBAL h = p;
  if (b.moveable) {
    // Odd token values never collide with malloc'd addresses.
    h = reinterpret_cast<HGLOBAL>((g_nextToken += 2) | 1);
  }
  Blocks().emplace(h, b);
  return h;
}

void* GlobalLock(HGLOBAL h) {
  Block* b = Find(h);
  if (!b) return nullptr;
  if (b->moveable) ++b->locks;
  return b->memory;
}

BOOL GlobalUnlock(HGLOBAL h) {
  Block* b = Find(h);
  if (!b || !b->moveable || b->locks == 0) return win::FALSE;
  --b->locks;
  return b->locks > 0 ? win::TRUE : win::FALSE;
}

std::size_t GlobalSize(HGLOBAL h) {
  Block* b = Find(h);
  return b ? b->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL h) {
  auto it = Blocks().find(h);
  if (it == Blocks().end()) return h;
  std::free(it->second.memory);
  Blocks().erase(it);
  return nullptr;
}

int GlobalBlockCount() { return static_cast<int>(Blocks().size()); }

}  // namespace kernel
