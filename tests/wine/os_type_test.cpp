// The exported probe against Wine's answers for each Windows version it can play.
#include <gtest/gtest.h>

#include "harness.h"

namespace {

DWORD ProbeUnder(const char* version) {
  harness::ScopedWineVersion scoped(version);
  return harness::Run("\"" + harness::BinPath("os_probe.exe") + "\" \"" +
                      harness::BinPath("nvrss32.scr") + "\"");
}

TEST(DetermineOStype, AnswersWithThePlatformVersion) {
  struct Case { const char* version; DWORD expected; } cases[] = {
      {"win95", 0x40400}, {"win98", 0x4040A}, {"nt351", 0x30333}, {"nt40", 0x30400},
      {"win7", 0x30601},
  };
  for (const Case& c : cases) {
    DWORD got = ProbeUnder(c.version);
    EXPECT_EQ(c.expected, got) << c.version << ": got 0x" << std::hex << got;
  }
}

}  // namespace
