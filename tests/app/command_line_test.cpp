#include "app/command_line.h"

#include <gtest/gtest.h>

#include "support/case_names.h"

namespace orvo {
namespace {

struct Case {
  const char* what;
  std::vector<std::string> args;
  std::string error;  // substring; empty: accepted
  const CommandLineSystem& system = LinuxCommandLine();
};

class CommandLine : public ::testing::TestWithParam<Case> {};

TEST_P(CommandLine, AcceptsOrExplains) {
  const Case& c = GetParam();
  const ParsedOptions parsed = ParseCommandLine(c.args, c.system);
  if (c.error.empty())
    EXPECT_EQ(parsed.error, "");
  else
    EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    App, CommandLine,
    ::testing::Values(Case{"none", {}, ""},
                      Case{"all separate", {"--device", "/dev/ttyUSB0", "--settings-dir", "/tmp/s", "--midi-api", "alsa", "--headless"}, ""},
                      Case{"with equals", {"--device=/dev/pts/3", "--midi-api=jack"}, ""},
                      Case{"missing value", {"--device"}, "--device needs a value"},
                      Case{"empty value", {"--settings-dir="}, "--settings-dir needs a value"},
                      Case{"bad api", {"--midi-api", "coreaudio"}, "jack or alsa"},
                      Case{"unknown", {"--verbose"}, "unknown option \"--verbose\""},
                      Case{"simulate with device", {"--simulate", "--device", "/dev/ttyS0"}, "exclude"},
                      Case{"editor with headless", {"--editor", "--headless"}, "cannot go with --headless"},
                      Case{"editor", {"--editor", "--simulate"}, ""},
                      Case{"com port", {"--device", "COM5", "--midi-api", "winmm"}, "", WindowsCommandLine()},
                      Case{"jack on windows", {"--midi-api", "jack"}, "takes winmm", WindowsCommandLine()},
                      Case{"simulate on windows", {"--simulate"}, "needs the Linux build", WindowsCommandLine()},
                      Case{"editor without qt", {"--editor"}, "needs the Qt build", WindowsCommandLine()}),
    test::NameFromWhat());

TEST(CommandLine, ValuesLandInTheirFields) {
  const Options o = ParseCommandLine({"--device=/dev/pts/3", "--settings-dir", "/tmp/s", "--midi-api", "jack",
                                      "--headless", "--list-keysets"})
                        .options;
  EXPECT_EQ(o.devicePath, "/dev/pts/3");
  EXPECT_EQ(o.settingsDir, "/tmp/s");
  EXPECT_EQ(o.midiApi, "jack");
  EXPECT_TRUE(o.headless);
  EXPECT_TRUE(o.listKeysets);
  EXPECT_FALSE(o.simulate);
}

}  // namespace
}  // namespace orvo
