#include "core/commandline.h"

#include <gtest/gtest.h>

#include "core/exceptions.h"

namespace install {
namespace {

TEST(CommandLineSplit, QuotesOnlyGroup) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("install.exe \"-sC:\\dist\\\" -c"), (Args{"install.exe", "-sC:\\dist\\", "-c"}));
  EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\install.exe\"  -d  \"-sC:\\My Build\""),
            (Args{"C:\\Program Files\\install.exe", "-d", "-sC:\\My Build"}));
  EXPECT_EQ(SplitCommandLine("a \"\" b\t c"), (Args{"a", "", "b", "c"}));
  EXPECT_EQ(SplitCommandLine("   "), Args{});
}

TEST(CommandLineFlags, LettersValuesAndRepeats) {
  CommandLineFlags flags =
      ParseCommandLine({"install.exe", "-sC:\\My Build", "*e", "-E", "-eSetup.exe", "-r", "-N", "*x"});
  EXPECT_TRUE(flags.Has(clLoaderPath));
  EXPECT_EQ(flags.Value(clLoaderPath), "C:\\My Build");
  EXPECT_TRUE(flags.Has(clSelfExtract));
  EXPECT_EQ(flags.Value(clSelfExtract), "Setup.exe");
  EXPECT_TRUE(flags.Has(clAfterReboot));
  EXPECT_TRUE(flags.Has(clClearUnfinished));
  EXPECT_FALSE(flags.Has(clBuild));
  EXPECT_EQ(flags.set, (1u << clLoaderPath) | (1u << clSelfExtract) | (1u << clAfterReboot) | (1u << clClearUnfinished));
  EXPECT_EQ(ParseCommandLine({"install.exe"}).set, 0);
}

TEST(CommandLineFlags, BadArgumentsRaiseTheInvalidParameterMessage) {
  for (const char* bad : {"-x", "-", "*", "x", "sC:\\", "/b"}) {
    try {
      ParseCommandLine({"install.exe", "-b", bad});
      ADD_FAILURE() << bad;
    } catch (const IEInstall& error) {
      EXPECT_EQ(error.Message(), std::string("Invalid parameter <") + bad +
                                     ">. Valid command line parameters are: -b (Build), -d (Debug), -f (Transfer to "
                                     "floppies), -e (Called by self-extractor), -r (After reboot)");
    }
  }
}

}  // namespace
}  // namespace install
