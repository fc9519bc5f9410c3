// The packed form in which the setup program carries the deliverables, and its expander; the
// packer runs only at build time. The setup must stay small, and the deliverables alone are
// nearly its limit, so they are packed; the format is our own, small enough to expand without a
// heap, a runtime or any table.
//
// Format: the expanded size (4 bytes, little-endian), then groups of one flag byte and eight
// items, one per flag bit from the lowest: bit 0 a literal byte, bit 1 a match, which copies
// earlier output (it may overlap what it writes, to repeat a run):
//   0LLLOOOO OOOOOOOO            length 3 + L (3..10), distance 1 + O (1..4096)
//   1LLLLLLL OOOOOOOO OOOOOOOO   length 3 + L (3..130), distance 1 + O (1..65536), O low byte first
// The last group stops at the expanded size; its unused flag bits are 0 and nothing follows it.
#ifndef NVR_INSTALLER_PAYLOAD_CODEC_H
#define NVR_INSTALLER_PAYLOAD_CODEC_H

#include <cstdint>

enum : uint32_t {
  PAYLOAD_HEADER_SIZE = 4,
  PAYLOAD_MATCH_MIN = 3,
  PAYLOAD_NEAR_LENGTH_MAX = 10,
  PAYLOAD_NEAR_DISTANCE_MAX = 4096,
  PAYLOAD_LENGTH_MAX = 130,
  PAYLOAD_DISTANCE_MAX = 65536,
};

// The expanded size packed declares; 0 when size is too short to hold it.
uint32_t PackedExpandedSize(const unsigned char* packed, uint32_t size);

// Expands the size bytes at packed into out (outSize bytes). Returns the expanded size; 0 when
// the data is malformed (a match reaching before the start, output beyond the declared size or
// outSize, input ending before the declared size is reached, bytes or flag bits left over after
// it). An empty payload also gives 0: nothing the setup carries is empty. On 0, out holds junk.
uint32_t ExpandPayload(const unsigned char* packed, uint32_t size, unsigned char* out, uint32_t outSize);

// The most bytes PackPayload writes for size bytes of data: all literals. 0 when that does not
// fit in 32 bits.
uint32_t PackPayloadBound(uint32_t size);

// Packs size bytes of data into out (outSize bytes), matching lazily over hash chains. Returns
// the packed size; 0 when it does not fit in outSize. Build time only: its tables take 256 KB of
// stack.
uint32_t PackPayload(const unsigned char* data, uint32_t size, unsigned char* out, uint32_t outSize);

#endif
