// Stable device names and the filter that hides the program's own ports.
#include <gtest/gtest.h>

#include "os/linux/midi_port_names.h"
#include "support/case_names.h"

namespace orvo {
namespace {

struct AlsaNameCase {
  const char* what;
  const char* listed;
  const char* stable;
};

class StableAlsaNameTest : public ::testing::TestWithParam<AlsaNameCase> {};

TEST_P(StableAlsaNameTest, DropsOnlyTheTrailingNumbers) {
  EXPECT_EQ(StableAlsaPortName(GetParam().listed), GetParam().stable);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StableAlsaNameTest,
    ::testing::Values(AlsaNameCase{"through port", "Midi Through:Midi Through Port-0 14:0", "Midi Through:Midi Through Port-0"},
                      AlsaNameCase{"numbers in the name", "Synth 2:Port 3 128:1", "Synth 2:Port 3"},
                      AlsaNameCase{"no numbers", "Synth:Port", "Synth:Port"},
                      AlsaNameCase{"half numbers", "Synth:Port 12:", "Synth:Port 12:"},
                      AlsaNameCase{"words not numbers", "Synth:Port a:b", "Synth:Port a:b"}),
    test::NameFromWhat());

TEST(OwnPortTest, JackClientsOfOurNameAndTheirRenamedTwins) {
  EXPECT_TRUE(IsOwnJackPort("orvo:out", "orvo"));
  EXPECT_TRUE(IsOwnJackPort("orvo-01:in", "orvo"));
  EXPECT_TRUE(IsOwnJackPort("orvo-12:out", "orvo"));
  EXPECT_FALSE(IsOwnJackPort("orvo-test-app:MIDI in", "orvo"));
  EXPECT_FALSE(IsOwnJackPort("orvosynth:in", "orvo"));
  EXPECT_FALSE(IsOwnJackPort("ardour:MIDI in", "orvo"));
  EXPECT_FALSE(IsOwnJackPort("orvo", "orvo"));
}

TEST(OwnPortTest, AlsaClientOfOurName) {
  EXPECT_TRUE(IsOwnAlsaPort("orvo:out", "orvo"));
  EXPECT_FALSE(IsOwnAlsaPort("orvo2:out", "orvo"));
  EXPECT_FALSE(IsOwnAlsaPort("Midi Through:Midi Through Port-0", "orvo"));
}

}  // namespace
}  // namespace orvo
