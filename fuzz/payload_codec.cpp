// The payload expander over arbitrary bytes, into a buffer no larger than it may write; and the
// packer over the same bytes, whose output must expand back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "installer/payload_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1u << 20) return 0;
  uint32_t n = static_cast<uint32_t>(size);
  // Exactly as large as allowed, so that the sanitizer sees any write past it; the declared
  // size is held to 64 KB here, a larger one is refused for the buffer being short.
  uint32_t declared = PackedExpandedSize(data, n);
  uint32_t outSize = declared < 65536 ? declared : 65536;
  std::vector<unsigned char> out(outSize);
  uint32_t got = ExpandPayload(data, n, out.data(), outSize);
  if (got != 0 && (got != declared || got > outSize)) abort();

  std::vector<unsigned char> packed(PackPayloadBound(n));
  uint32_t packedSize = PackPayload(data, n, packed.data(), static_cast<uint32_t>(packed.size()));
  if (packedSize < PAYLOAD_HEADER_SIZE || PackedExpandedSize(packed.data(), packedSize) != n) abort();
  std::vector<unsigned char> again(n);
  if (ExpandPayload(packed.data(), packedSize, again.data(), n) != n || (n && memcmp(again.data(), data, n))) abort();
  return 0;
}
