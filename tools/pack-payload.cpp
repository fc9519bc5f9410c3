// pack-payload IN OUT: packs IN for the setup program into OUT, and expands it again to check
// that it reads back the same before OUT is written. Built for the build machine, not Windows.
#include <cstdio>
#include <cstring>
#include <vector>

#include "installer/payload_codec.h"

namespace {

int Fail(const char* what, const char* path) {
  std::fprintf(stderr, "pack-payload: %s: %s\n", what, path);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: pack-payload IN OUT\n");
    return 1;
  }
  std::FILE* in = std::fopen(argv[1], "rb");
  if (!in) return Fail("cannot open", argv[1]);
  std::vector<unsigned char> data;
  unsigned char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, in)) > 0) data.insert(data.end(), chunk, chunk + got);
  bool readFailed = std::ferror(in);
  std::fclose(in);
  if (readFailed) return Fail("cannot read", argv[1]);
  // An empty payload cannot be told from a malformed one when expanded.
  if (data.empty() || data.size() > 0x7FFFFFFF) return Fail("empty or too large", argv[1]);

  uint32_t size = static_cast<uint32_t>(data.size());
  std::vector<unsigned char> packed(PackPayloadBound(size));
  uint32_t packedSize = PackPayload(data.data(), size, packed.data(), static_cast<uint32_t>(packed.size()));
  if (packedSize == 0) return Fail("does not pack", argv[1]);
  std::vector<unsigned char> again(size);
  if (ExpandPayload(packed.data(), packedSize, again.data(), size) != size ||
      std::memcmp(again.data(), data.data(), size) != 0) {
    return Fail("does not expand back to itself", argv[1]);
  }

  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) return Fail("cannot create", argv[2]);
  bool written = std::fwrite(packed.data(), 1, packedSize, out) == packedSize;
  if (std::fclose(out) != 0 || !written) {
    std::remove(argv[2]);  // a part-written file would look packed to the next build
    return Fail("cannot write", argv[2]);
  }
  return 0;
}
