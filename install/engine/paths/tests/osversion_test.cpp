// The version the installer reads from the running Windows, for each
// version Wine can present to one program (its AppDefaults setting).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "core/support.h"
#include "testing/child_process.h"

namespace install {
namespace {

TEST(OSVersionUnderWine, EachPresentedVersion) {
  struct Case {
    const char* version;
    TOSVerType expected;
  } cases[] = {{nullptr, oswinXP},  // Wine's default, 6.1
               {"winxp", oswinXP}, {"win2k", oswin2K}, {"nt40", oswinNT}, {"win98", oswin98}, {"winme", oswinME}};
  for (const auto& c : cases) {
    std::string output;
    EXPECT_EQ(install_test::RunProbeUnder(c.version, "", output), c.expected) << (c.version ? c.version : "default");
  }
}

}  // namespace
}  // namespace install
