// The simulated surface's line language and its reading of what the host sends.
#include <gtest/gtest.h>

#include "protocol/device_modes.h"

#include <variant>

#include "sim/host_output_decoder.h"
#include "sim/sim_commands.h"
#include "support/case_names.h"

namespace orvo::sim {
namespace {

struct CommandCase {
  const char* what;
  const char* line;
  std::vector<uint8_t> bytes;  // empty: an error is expected
};

class SimCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(SimCommandTest, Parses) {
  const auto parsed = ParseCommand(GetParam().line);
  if (GetParam().bytes.empty()) {
    EXPECT_TRUE(std::holds_alternative<std::string>(parsed));
    return;
  }
  ASSERT_TRUE(std::holds_alternative<Command>(parsed)) << std::get<std::string>(parsed);
  EXPECT_EQ(std::get<Command>(parsed).kind, Command::Kind::kSend);
  EXPECT_EQ(std::get<Command>(parsed).bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SimCommandTest,
    ::testing::Values(CommandCase{"press play", "press PLAY", {0xBE, 0x4C, 0x7F}},
                      CommandCase{"release play any case", "release play", {0xBE, 0x4C, 0x00}},
                      CommandCase{"press mute by channel", "press Mute Chan 3", {0xBD, 0x02, 0x7F}},
                      CommandCase{"press bank", "press Bank", {0xBE, 0x40, 0x7F}},
                      CommandCase{"unknown button", "press NOPE", {}},
                      CommandCase{"fader", "fader 3 64", {0xBF, 0x02, 0x40}},
                      CommandCase{"fader out of range", "fader 33 1", {}},
                      CommandCase{"fader value too high", "fader 1 128", {}},
                      CommandCase{"pot p1 clockwise", "pot P1 cw", {0xBF, 0x43, 0x41}},
                      CommandCase{"pot p4 counter clockwise", "pot p4 ccw", {0xBF, 0x40, 0x01}},
                      CommandCase{"pot p7", "pot P7 cw", {}},
                      CommandCase{"wheel counter clockwise", "wheel ccw", {0xBF, 0x60, 0x41}},
                      CommandCase{"wheel clockwise", "wheel cw", {0xBF, 0x60, 0x01}},
                      CommandCase{"foot", "foot", {0xBF, 0x56, 0x7F, 0xBF, 0x56, 0x00}},
                      CommandCase{"raw", "raw BF 03 40", {0xBF, 0x03, 0x40}},
                      CommandCase{"raw not hex", "raw BF 3G", {}},
                      CommandCase{"sysex", "sysex F0 01 F7", {0xF0, 0x01, 0xF7}},
                      CommandCase{"sysex without end", "sysex F0 01", {}},
                      CommandCase{"unknown verb", "jump", {}}),
    test::NameFromWhat{});

TEST(SimCommandTest, ControlVerbs) {
  EXPECT_EQ(std::get<Command>(ParseCommand("unplug")).kind, Command::Kind::kUnplug);
  EXPECT_EQ(std::get<Command>(ParseCommand("  replug  ")).kind, Command::Kind::kReplug);
  EXPECT_EQ(std::get<Command>(ParseCommand("# a comment")).kind, Command::Kind::kNothing);
  EXPECT_EQ(std::get<Command>(ParseCommand("")).kind, Command::Kind::kNothing);
}

TEST(HostOutputDecoderTest, NamesModesAndLampsInAnySplit) {
  HostOutputDecoder decoder;
  const std::vector<uint8_t> stream{0xF0, 0x15, 0x29, 0x01, 0xF7,  // Host mode
                                    0xBE, 0x4C, 0x7F,              // PLAY lamp on
                                    0xBE, 0x4F, 0x00,              // RECORD lamp off
                                    0xBE, 0x4C, 0x12,              // not a lamp value
                                    0x05,                          // a stray data byte
                                    0x01, 0x02, 0x03,              // three of them
                                    0xF0, 0x01, 0xF7};
  std::vector<std::string> lines;
  for (uint8_t byte : stream)
    for (auto& line : decoder.Feed(&byte, 1)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"mode Host", "lamp on PLAY button", "lamp off RECORD button",
                                             "bytes BE 4C 12", "bytes 05 01 02 03", "sysex F0 01 F7"}));
  const uint8_t shared[3] = {0xBD, 0x00, 0x7F};
  EXPECT_EQ(decoder.Feed(shared, 3),
            std::vector<std::string>{"lamp on Mute button Chan 1 / MMC Track Arm button Chan 1"});
}

// Entering Host mode darkens all 106 lamps: one line, not 106. A run that breaks off
// shows each of its lamps.
TEST(HostOutputDecoderTest, TheDarkLampBurstReadsAsOneLine) {
  HostOutputDecoder decoder;
  const auto& dark = DarkLampBuffer();
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < dark.size(); at += 7)
    for (auto& line : decoder.Feed(dark.data() + at, std::min<std::size_t>(7, dark.size() - at)))
      lines.push_back(line);
  EXPECT_EQ(lines, std::vector<std::string>{"all lamps off"});

  std::vector<uint8_t> partial(dark.begin(), dark.begin() + 6);
  partial.insert(partial.end(), {0xBE, 0x4C, 0x7F});
  EXPECT_EQ(decoder.Feed(partial.data(), partial.size()),
            (std::vector<std::string>{"lamp off Mute button Chan 1 / MMC Track Arm button Chan 1",
                                      "lamp off Mute button Chan 2 / MMC Track Arm button Chan 2",
                                      "lamp on PLAY button"}));
}

}  // namespace
}  // namespace orvo::sim
