#include <gtest/gtest.h>

#include "common/link_protocol.h"
#include "saver/bridge/os_type.h"

namespace {

TEST(PackOsType, KnownPlatforms) {
  EXPECT_EQ(0x40400u, PackOsType(1, 4, 0));
  EXPECT_EQ(0x30400u, PackOsType(2, 4, 0));
  EXPECT_EQ(0x30333u, PackOsType(2, 3, 51));
  EXPECT_EQ(0x4040Au, PackOsType(1, 4, 10));
  EXPECT_EQ(0x30601u, PackOsType(2, 6, 1));
}

TEST(PackOsType, AnyOtherPlatformIsTypeFive) {
  EXPECT_EQ(0x50301u, PackOsType(0, 3, 1));
  EXPECT_EQ(0x50000u, PackOsType(3, 0, 0));
  EXPECT_EQ(0x50000u, PackOsType(0xFFFFFFFFu, 0, 0));
}

TEST(PackOsType, VersionsKeepOnlyTheirLowByte) {
  // No field spills into its neighbour; bits 19 to 31 stay clear.
  EXPECT_EQ(0x3FFFFu, PackOsType(2, 0xFFFFFFFFu, 0xFFFFFFFFu));
  EXPECT_EQ(0x30102u, PackOsType(2, 0x101, 0x302));
  EXPECT_EQ(0u, PackOsType(1, 0xFFFFFFFFu, 0xFFFFFFFFu) >> 19);
}

TEST(PackOsType, LaunchPathReadsTheTypeCode) {
  EXPECT_EQ(OSTYPE_WIN32_NT, OsTypeCode(PackOsType(2, 4, 0)));
  EXPECT_EQ(OSTYPE_WIN32_WINDOWS, OsTypeCode(PackOsType(1, 4, 10)));
}

TEST(LinkProtocol, MessageNumbersAreTheApplications) {
  EXPECT_EQ(0x0978u, LM_SAVERSTARTED);
  EXPECT_EQ(0x0979u, LM_SAVERENDING);
  EXPECT_EQ(0x097Au, LM_SAVERINPUT);
  EXPECT_EQ(0x0AA4u, LM_GETPALETTE);
  EXPECT_EQ(0x0C66u, LM_QUERYENGAGED);
  EXPECT_EQ(0x0C67u, LM_PLUGINPRINT);
  EXPECT_EQ(0x0C6Bu, LM_PLUGINVSCROLL);
  EXPECT_EQ(0x0C6Cu, LM_PLUGINHSCROLL);
}

}  // namespace
