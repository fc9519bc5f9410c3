// The exported probe against Wine's answers for each Windows version it can play, called by a
// program whose own image spans the saver's preferred addresses (so the loader puts the saver
// elsewhere), holding there zeros, 0xFF or bytes that once passed for a bound import slot.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

TEST(DetermineOStype, AnswersWithThePlatformVersionWhateverTheCallerHolds) {
  struct Case { const char* version; DWORD expected; } cases[] = {
      {"win95", 0x40400}, {"win98", 0x4040A}, {"nt351", 0x30333}, {"nt40", 0x30400},
      {"win7", 0x30601},
  };
  const char* patterns[] = {"00", "ff", "0f85a007"};
  for (const Case& c : cases) {
    harness::ScopedWineVersion scoped(c.version);
    for (const char* pattern : patterns) {
      DWORD got = harness::Run("\"" + harness::BinPath("os_probe.exe") + "\" \"" +
                               harness::BinPath("nvrss32.scr") + "\" " + pattern);
      EXPECT_EQ(c.expected, got) << c.version << ", caller holding " << pattern << ": got 0x"
                                 << std::hex << got;
    }
  }
}

}  // namespace
