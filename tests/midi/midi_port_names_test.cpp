// The filter that hides the program's own ports.
#include <gtest/gtest.h>

#include "os/linux/midi_port_names.h"

namespace orvo {
namespace {

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
