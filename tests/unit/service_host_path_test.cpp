#include "install/install_config.h"

#include <gtest/gtest.h>

#include <utility>

TEST(ServiceHostPath, OnlyAProgramNamedSrvanyExeIsOurs) {
  const std::pair<const char *, bool> kCases[] = {
      {"\"C:\\fah\\client a\\srvany.exe\"", true},
      {"\"C:\\fah\\SrvAny.EXE\" -x", true},
      {"C:\\Program Files\\fah\\srvany.exe", true}, // unquoted, by an older installer
      {"C:\\fah\\victim.exe C:\\fah\\srvany.exe", false},
      {"C:\\fah\\srvany.exe.bak", false},
      {"\"C:\\fah\\srvany.exe\\other.exe\"", false}, // a directory named srvany.exe
      {"C:\\fah\\notsrvany.exe", false},
      {"", false},
  };
  for (const auto &c : kCases)
    EXPECT_EQ(isHostedByServiceHost(c.first), c.second) << c.first;
}
