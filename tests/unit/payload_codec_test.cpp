// The packed payload: what the packer writes expands back to the same bytes, and the expander
// refuses every malformed stream without reading or writing outside its buffers.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "installer/payload_codec.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Reproducible noise that no match shortens.
Bytes Noise(uint32_t size, uint32_t seed) {
  Bytes out(size);
  for (unsigned char& b : out) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<unsigned char>(seed >> 16);
  }
  return out;
}

Bytes Repeat(const Bytes& block, uint32_t times) {
  Bytes out;
  for (uint32_t i = 0; i < times; ++i) out.insert(out.end(), block.begin(), block.end());
  return out;
}

// Shaped like a program file: a header padded with zeros, code drawn from a few instruction
// sequences, a string table, and a bitmap's rows of gradients.
Bytes ProgramLike() {
  static const char* const code[] = {"\x55\x8B\xEC", "\x83\xEC\x10", "\x8B\x45\x08", "\xFF\x15\x10\x20\x40\x00",
                                     "\xE8\x00\x01\x00\x00", "\x85\xC0\x74\x05", "\x5D\xC2\x04\x00", "\x33\xC0"};
  Bytes out(1024, 0);
  out[0] = 'M';
  out[1] = 'Z';
  Bytes picks = Noise(20000, 7);
  for (unsigned char pick : picks) {
    const char* op = code[pick % 8];
    out.insert(out.end(), op, op + std::char_traits<char>::length(op) + (pick % 8 == 4 || pick % 8 == 3));
  }
  for (int i = 0; i < 300; ++i) {
    std::string s = "Setting " + std::to_string(i * 37) + " of the saver\r\n";
    out.insert(out.end(), s.begin(), s.end());
  }
  for (uint32_t y = 0; y < 120; ++y)
    for (uint32_t x = 0; x < 480; ++x) out.push_back(static_cast<unsigned char>((x / 3 + y / 8) & 0xFF));
  return out;
}

TEST(PayloadCodec, RoundTrip) {
  Bytes block = Noise(40000, 3);
  Bytes far = Noise(70000, 5);
  Bytes program = ProgramLike();
  struct Row { const char* name; Bytes data; uint32_t packedMax; } rows[] = {
      {"empty", {}, 4},
      {"one byte", {0x41}, 6},
      {"short run", Bytes(5, 0x20), 8},
      {"zeros", Bytes(200000, 0), 5100},
      {"noise", Noise(5000, 1), PackPayloadBound(5000)},
      {"noise thrice", Repeat(block, 3), PackPayloadBound(40000) + 2500},
      // Repeated beyond the window: the second copy is out of reach and must not be matched.
      {"noise beyond the window", Repeat(far, 2), PackPayloadBound(140000)},
      {"program", program, static_cast<uint32_t>(program.size() / 3)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    uint32_t size = static_cast<uint32_t>(r.data.size());
    Bytes packed(PackPayloadBound(size));
    uint32_t packedSize = PackPayload(r.data.data(), size, packed.data(), static_cast<uint32_t>(packed.size()));
    EXPECT_GE(packedSize, PAYLOAD_HEADER_SIZE);
    EXPECT_LE(packedSize, r.packedMax);
    EXPECT_EQ(size, PackedExpandedSize(packed.data(), packedSize));
    Bytes out(size + 1, 0xEE);
    EXPECT_EQ(size, ExpandPayload(packed.data(), packedSize, out.data(), size));
    out.resize(size);
    EXPECT_TRUE(out == r.data);
    // Packed into anything smaller than it needs, it does not fit.
    EXPECT_EQ(0u, PackPayload(r.data.data(), size, packed.data(), packedSize - 1));
  }
}

TEST(PayloadCodec, Malformed) {
  // Each a header of the expanded size, then the stream; outSize is the expanded size unless given.
  struct Row { const char* name; Bytes packed; uint32_t outSize; const char* expanded; } rows[] = {
      {"valid: literals and a near run", {6, 0, 0, 0, 0x02, 'a', 0x20, 0x00}, 0, "aaaaaa"},
      {"valid: a far match", {7, 0, 0, 0, 0x04, 'a', 'b', 0x82, 0x01, 0x00}, 0, "abababa"},
      {"short header", {1, 0, 0}, 0, ""},
      {"empty payload", {0, 0, 0, 0}, 0, ""},
      {"near match before the start", {3, 0, 0, 0, 0x01, 0x00, 0x00}, 0, ""},
      {"far match before the start", {4, 0, 0, 0, 0x02, 'a', 0x80, 0x01, 0x00}, 0, ""},
      {"match beyond the declared size", {5, 0, 0, 0, 0x02, 'a', 0x20, 0x00}, 0, ""},
      {"declared size beyond outSize", {6, 0, 0, 0, 0x02, 'a', 0x20, 0x00}, 5, ""},
      {"a byte left over", {6, 0, 0, 0, 0x02, 'a', 0x20, 0x00, 0x00}, 0, ""},
      {"a flag bit left over", {6, 0, 0, 0, 0x06, 'a', 0x20, 0x00}, 0, ""},
      {"ends before its flags", {6, 0, 0, 0}, 0, ""},
      {"ends before a literal", {6, 0, 0, 0, 0x00, 'a'}, 0, ""},
      {"ends inside a near match", {6, 0, 0, 0, 0x02, 'a', 0x20}, 0, ""},
      {"ends inside a far match", {6, 0, 0, 0, 0x02, 'a', 0x82, 0x00}, 0, ""},
      {"ends before the next group", {9, 0, 0, 0, 0x00, '1', '2', '3', '4', '5', '6', '7', '8'}, 0, ""},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    uint32_t declared = PackedExpandedSize(r.packed.data(), static_cast<uint32_t>(r.packed.size()));
    uint32_t outSize = r.outSize ? r.outSize : declared;
    Bytes out(outSize + 1, 0);
    uint32_t got = ExpandPayload(r.packed.data(), static_cast<uint32_t>(r.packed.size()), out.data(), outSize);
    EXPECT_EQ(std::string(r.expanded).size(), got);
    if (got) EXPECT_EQ(r.expanded, std::string(out.begin(), out.begin() + got));
  }
}

}  // namespace
