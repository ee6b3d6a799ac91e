// Without a registry every key is missing: readers give their defaults,
// writers raise, lookups fall back.
#include "paths/registry.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"

namespace install {
namespace {

TEST(RegistryWithoutWindows, ReadersGiveDefaultsAndWritersRaise) {
  EXPECT_TRUE(IsRelativeKey("SOFTWARE"));
  EXPECT_FALSE(IsRelativeKey("\\SOFTWARE"));
  EXPECT_EQ(ReadRegistryString(hkLocalMachine, "\\SOFTWARE\\X", "Y", "fallback"), "fallback");
  EXPECT_EQ(ReadRegistryInteger(hkCurrentUser, "\\SOFTWARE\\X", "Y", 9), 9);
  try {
    WriteRegistryString(hkLocalMachine, "\\SOFTWARE\\X", "Y", "Z");
    FAIL();
  } catch (const EIRCannotWriteValue& error) {
    EXPECT_EQ(error.Message(), "Cannot install into registry. Key: \\SOFTWARE\\X Ident: Y Value Z");
  }
  EXPECT_THROW(WriteRegistryInteger(hkLocalMachine, "\\SOFTWARE\\X", "Y", 1), EIRCannotWriteValue);
  EXPECT_FALSE(AddRunOnceEntry("QuendricUnfinished", "x", true));
  DeleteRegistryKeyTree(hkCurrentUser, "\\SOFTWARE\\X");
  EXPECT_EQ(GetProgramFilesDir(), "\\Program Files");
  EXPECT_EQ(GetCommonFilesDir(), "\\Program Files\\Common Files");
  EXPECT_THROW(GetStartMenuDir(), EAPIRoutines);
}

}  // namespace
}  // namespace install
