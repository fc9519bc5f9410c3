// An in-memory stream and a checking block allocator for the bitmap reader's native tests and its
// fuzz target. Blocks are allocated at their exact size, so the sanitizers see any access past
// them, and every grow moves the block, so a stale pointer shows too.
#ifndef NVR_TESTS_UNIT_DIB_MEMORY_H
#define NVR_TESTS_UNIT_DIB_MEMORY_H

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "saver/bridge/dib_reader.h"

namespace dibmem {

struct MemoryStream {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  int64_t position = 0;
  uint32_t largestRead = 0;  // the biggest count asked of one read

  DibStream AsStream(int open = 1) {
    return DibStream{this, open, &Read, &SeekSet, &SeekCurrent};
  }

  static uint32_t Read(void* context, void* buffer, uint32_t count) {
    MemoryStream* s = static_cast<MemoryStream*>(context);
    if (count > s->largestRead) s->largestRead = count;
    if (s->position >= s->size) return 0;
    uint64_t available = s->size - s->position;
    uint32_t n = count < available ? count : static_cast<uint32_t>(available);
    std::memcpy(buffer, s->data + s->position, n);
    s->position += n;
    return n;
  }
  // Like a file: any position from 0 up may be sought, also beyond the end.
  static int32_t SeekSet(void* context, int32_t position) {
    MemoryStream* s = static_cast<MemoryStream*>(context);
    if (position < 0) return -1;
    s->position = position;
    return position;
  }
  static int32_t SeekCurrent(void* context, int32_t offset) {
    MemoryStream* s = static_cast<MemoryStream*>(context);
    int64_t target = s->position + offset;
    if (target < 0 || target > INT32_MAX) return -1;
    s->position = target;
    return static_cast<int32_t>(target);
  }
};

struct Block {
  uint8_t* bytes;
  uint32_t size;
  int locks;
};

struct MemoryAllocator {
  uint32_t limit = 64u << 20;  // a larger request fails, as GlobalAlloc may
  int failAfter = -1;          // allocate/grow calls that succeed before every later one fails
  std::set<Block*> live;
  int calls = 0;

  DibAllocator AsAllocator() {
    return DibAllocator{this, &Allocate, &Grow, &Lock, &Unlock, &Release};
  }
  ~MemoryAllocator() {
    for (Block* b : live) {
      std::free(b->bytes);
      delete b;
    }
  }
  bool Refuse(uint32_t size) {
    if (size > limit) return true;
    if (failAfter >= 0 && calls >= failAfter) return true;
    ++calls;
    return false;
  }
  static DibBlock Allocate(void* context, uint32_t size) {
    MemoryAllocator* a = static_cast<MemoryAllocator*>(context);
    if (a->Refuse(size)) return nullptr;
    Block* b = new Block{static_cast<uint8_t*>(std::calloc(size ? size : 1, 1)), size, 0};
    a->live.insert(b);
    return b;
  }
  static DibBlock Grow(void* context, DibBlock block, uint32_t size) {
    MemoryAllocator* a = static_cast<MemoryAllocator*>(context);
    Block* b = static_cast<Block*>(block);
    if (!a->live.count(b) || a->Refuse(size)) return nullptr;
    uint8_t* moved = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
    std::memcpy(moved, b->bytes, b->size < size ? b->size : size);
    std::free(b->bytes);
    b->bytes = moved;
    b->size = size;
    return b;
  }
  static uint8_t* Lock(void* context, DibBlock block) {
    Block* b = static_cast<Block*>(block);
    ++b->locks;
    return b->bytes;
  }
  static void Unlock(void* context, DibBlock block) { --static_cast<Block*>(block)->locks; }
  static void Release(void* context, DibBlock block) {
    MemoryAllocator* a = static_cast<MemoryAllocator*>(context);
    Block* b = static_cast<Block*>(block);
    a->live.erase(b);
    std::free(b->bytes);
    delete b;
  }
};

}  // namespace dibmem

#endif
