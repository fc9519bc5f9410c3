#include "installer/payload_codec.h"

uint32_t PackedExpandedSize(const unsigned char* packed, uint32_t size) {
  if (size < PAYLOAD_HEADER_SIZE) return 0;
  return packed[0] | packed[1] << 8 | packed[2] << 16 | static_cast<uint32_t>(packed[3]) << 24;
}

uint32_t ExpandPayload(const unsigned char* packed, uint32_t size, unsigned char* out, uint32_t outSize) {
  uint32_t total = PackedExpandedSize(packed, size);
  if (total == 0 || total > outSize) return 0;
  uint32_t in = PAYLOAD_HEADER_SIZE;
  uint32_t done = 0;
  uint32_t flags = 0;
  uint32_t bits = 0;
  while (done < total) {
    if (bits == 0) {
      if (in >= size) return 0;
      flags = packed[in++];
      bits = 8;
    }
    uint32_t isMatch = flags & 1;
    flags >>= 1;
    --bits;
    if (in >= size) return 0;
    if (!isMatch) {
      out[done++] = packed[in++];
      continue;
    }
    uint32_t head = packed[in++];
    uint32_t length, distance;
    if (head & 0x80) {
      if (size - in < 2) return 0;
      length = PAYLOAD_MATCH_MIN + (head & 0x7F);
      distance = 1 + (packed[in] | packed[in + 1] << 8);
      in += 2;
    } else {
      if (in >= size) return 0;
      length = PAYLOAD_MATCH_MIN + (head >> 4);
      distance = 1 + ((head & 0x0F) << 8 | packed[in]);
      in += 1;
    }
    if (distance > done || length > total - done) return 0;
    // Byte by byte: a match nearer than its length repeats what it has just written.
    for (uint32_t i = 0; i < length; ++i, ++done) out[done] = out[done - distance];
  }
  // One way to write each payload: nothing after the last item, not even a flag bit.
  if (flags != 0 || in != size) return 0;
  return total;
}

uint32_t PackPayloadBound(uint32_t size) {
  uint64_t bound = uint64_t{PAYLOAD_HEADER_SIZE} + size + (uint64_t{size} + 7) / 8;
  return bound > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(bound);
}

namespace {

enum : uint32_t {
  HASH_BITS = 15,
  // How many earlier places with the same three bytes are tried: enough for our files, and the
  // packer still takes well under a second on them.
  CHAIN_STEPS = 4096,
  WINDOW_MASK = PAYLOAD_DISTANCE_MAX - 1,
};

// Hash chains over the window. head holds, per hash of three bytes, the last place with it (plus
// 1; 0 for none); back holds, per place in the window, the distance to the place before it with
// the same hash (0 for none or out of reach).
struct Chains {
  uint32_t head[1u << HASH_BITS];
  uint16_t back[PAYLOAD_DISTANCE_MAX];
};

struct Match {
  uint32_t length;  // 0 for none
  uint32_t distance;
};

uint32_t Hash(const unsigned char* p) {
  return ((p[0] << 16 | p[1] << 8 | p[2]) * 2654435761u) >> (32 - HASH_BITS);
}

// Enters place p, which has three bytes after it.
void Insert(Chains* chains, const unsigned char* data, uint32_t p) {
  uint32_t h = Hash(data + p);
  uint32_t last = chains->head[h];
  uint32_t distance = last ? p - (last - 1) : 0;
  chains->back[p & WINDOW_MASK] = static_cast<uint16_t>(distance <= 0xFFFF ? distance : 0);
  chains->head[h] = p + 1;
}

// The longest match for place p among the places entered, the nearest of equal ones.
Match FindMatch(const Chains* chains, const unsigned char* data, uint32_t size, uint32_t p) {
  Match best = {0, 0};
  if (size - p < PAYLOAD_MATCH_MIN) return best;
  uint32_t limit = size - p < PAYLOAD_LENGTH_MAX ? size - p : PAYLOAD_LENGTH_MAX;
  uint32_t last = chains->head[Hash(data + p)];
  if (!last) return best;
  uint32_t candidate = last - 1;
  for (uint32_t step = 0; step < CHAIN_STEPS; ++step) {
    uint32_t distance = p - candidate;
    if (distance > PAYLOAD_DISTANCE_MAX) break;
    uint32_t length = 0;
    while (length < limit && data[candidate + length] == data[p + length]) ++length;
    if (length > best.length) {
      best = {length, distance};
      if (length == limit) break;
    }
    uint32_t back = chains->back[candidate & WINDOW_MASK];
    if (back == 0 || back > candidate) break;
    candidate -= back;
  }
  if (best.length < PAYLOAD_MATCH_MIN) best.length = 0;
  return best;
}

// Output with a flag byte opened before every eighth item; ok drops to 0 once out is full.
struct Writer {
  unsigned char* out;
  uint32_t size;
  uint32_t at;
  uint32_t flagAt;
  uint32_t bit;
  uint32_t ok;
};

void Put(Writer* w, uint32_t byte) {
  if (w->at >= w->size) {
    w->ok = 0;
    return;
  }
  w->out[w->at++] = static_cast<unsigned char>(byte);
}

void BeginItem(Writer* w, uint32_t isMatch) {
  if (w->bit == 8) {
    w->flagAt = w->at;
    w->bit = 0;
    Put(w, 0);
  }
  if (isMatch && w->ok) w->out[w->flagAt] = static_cast<unsigned char>(w->out[w->flagAt] | 1u << w->bit);
  ++w->bit;
}

void PutMatch(Writer* w, Match m) {
  BeginItem(w, 1);
  uint32_t d = m.distance - 1;
  uint32_t l = m.length - PAYLOAD_MATCH_MIN;
  if (m.length <= PAYLOAD_NEAR_LENGTH_MAX && m.distance <= PAYLOAD_NEAR_DISTANCE_MAX) {
    Put(w, l << 4 | d >> 8);
    Put(w, d & 0xFF);
  } else {
    Put(w, 0x80 | l);
    Put(w, d & 0xFF);
    Put(w, d >> 8);
  }
}

}  // namespace

uint32_t PackPayload(const unsigned char* data, uint32_t size, unsigned char* out, uint32_t outSize) {
  Chains chains;
  for (uint32_t& h : chains.head) h = 0;
  Writer w = {out, outSize, 0, 0, 8, 1};
  for (uint32_t i = 0; i < PAYLOAD_HEADER_SIZE; ++i) Put(&w, size >> (8 * i));
  uint32_t p = 0;
  while (p < size && w.ok) {
    Match m = FindMatch(&chains, data, size, p);
    if (m.length) {
      // Lazily: a longer match one place on is worth a literal first.
      Insert(&chains, data, p);
      if (FindMatch(&chains, data, size, p + 1).length > m.length) {
        BeginItem(&w, 0);
        Put(&w, data[p++]);
        continue;
      }
      PutMatch(&w, m);
      for (uint32_t q = p + 1; q < p + m.length; ++q)
        if (size - q >= PAYLOAD_MATCH_MIN) Insert(&chains, data, q);
      p += m.length;
    } else {
      if (size - p >= PAYLOAD_MATCH_MIN) Insert(&chains, data, p);
      BeginItem(&w, 0);
      Put(&w, data[p++]);
    }
  }
  return w.ok ? w.at : 0;
}
