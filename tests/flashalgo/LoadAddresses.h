// The RAM addresses at which the tests load the image, as different tools would. An absolute
// reference to the image's own code or data works at most at one of them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint32_t kLoadAddresses[] = {0x20000000, 0x20003000, 0x2000A804};

inline std::string LoadAddressName(const ::testing::TestParamInfo<uint32_t>& info) {
  char text[16];
  std::snprintf(text, sizeof text, "At%08X", info.param);
  return text;
}
