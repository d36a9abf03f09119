#include "protocol/device_modes.h"

#include <gtest/gtest.h>

#include "support/case_names.h"

#include "os/fake/recording_device.h"
#include "protocol/lamp_memory.h"

namespace orvo {
namespace {

using test::RecordingDevice;
using Bytes = std::vector<uint8_t>;

TEST(DeviceModes, HostFromStandardWritesModeThenLamps) {
  ProtocolState state;
  RecordingDevice device;
  state.CurrentDeviceMode = kModeStandard;
  state.BankLayer = 1;
  state.ShiftLayer = 1;
  state.LastHostControl = LookupControlById(1204);

  EXPECT_EQ(SelectModeForApplication(state, device, kModeHost), 0);

  const auto events = device.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].bytes, (Bytes{0xF0, 0x15, 0x29, 0x01, 0xF7}));
  ASSERT_EQ(events[1].bytes.size(), 318u);
  EXPECT_EQ(Bytes(events[1].bytes.begin(), events[1].bytes.begin() + 3), (Bytes{0xBD, 0x00, 0x00}));
  EXPECT_EQ(Bytes(events[1].bytes.end() - 3, events[1].bytes.end()), (Bytes{0xBE, 0x5E, 0x00}));
  EXPECT_EQ(state.CurrentDeviceMode, kModeHost);
  EXPECT_EQ(state.BankLayer, 0);
  EXPECT_EQ(state.ShiftLayer, 0);
  EXPECT_EQ(state.LastHostControl, nullptr);
}

TEST(DeviceModes, HostAgainSkipsTheModeMessageButStillResets) {
  ProtocolState state;
  RecordingDevice device;
  state.CurrentDeviceMode = kModeHost;
  state.BankLayer = 1;
  EXPECT_EQ(SelectModeForApplication(state, device, kModeHost), 0);
  const auto events = device.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].bytes.size(), 318u);
  EXPECT_EQ(state.BankLayer, 0);
}

struct SelectCase {
  const char* what;
  int32_t current;
  int32_t asked;
  bool failWrites;
  int result;
  Bytes written;
  int32_t after;
};

class SelectMode : public ::testing::TestWithParam<SelectCase> {};

TEST_P(SelectMode, WritesAsTheModeWants) {
  const SelectCase& c = GetParam();
  ProtocolState state;
  RecordingDevice device;
  device.FailWrites(c.failWrites);
  state.CurrentDeviceMode = c.current;
  EXPECT_EQ(SelectModeForApplication(state, device, c.asked), c.result);
  EXPECT_EQ(device.Written(), c.written);
  EXPECT_EQ(state.CurrentDeviceMode, c.after);
}

INSTANTIATE_TEST_SUITE_P(
    DeviceModes, SelectMode,
    ::testing::Values(
        SelectCase{"standard right after configuring", 1, 1, false, 0, {}, 1},
        SelectCase{"kelo", 1, 3, false, 0, {0xF0, 0x15, 0x15, 0x01, 0xF7}, 3},
        SelectCase{"standard from kelo", 3, 1, false, 0, {0xF0, 0x15, 0x29, 0x02, 0xF7}, 1},
        SelectCase{"enhanced has no message", 1, 4, false, 1, {}, 1},
        SelectCase{"none has no message", 1, 0, false, 1, {}, 1},
        SelectCase{"out of range", 1, 7, false, 1, {}, 1},
        SelectCase{"negative", 1, -1, false, 1, {}, 1},
        SelectCase{"no device open", 0, 2, true, 2, {}, 0},
        SelectCase{"write fails", 1, 3, true, 2, {}, 1}),
    test::NameFromWhat());

TEST(DeviceModes, DarkenAllLampsOnlyInHostMode) {
  ProtocolState state;
  RecordingDevice device;
  state.CurrentDeviceMode = kModeStandard;
  EXPECT_EQ(DarkenAllLamps(state, device), 1);
  EXPECT_EQ(device.Writes(), 0);
  state.CurrentDeviceMode = kModeHost;
  EXPECT_EQ(DarkenAllLamps(state, device), 0);
  EXPECT_EQ(device.Written().size(), 318u);
}

// The burst of a switch carries what the application last wrote to each lamp, in the
// same shape; Bank stays dark and writes to other addresses are not remembered.
TEST(DeviceModes, LampBurstCarriesTheRememberedLamps) {
  LampMemory lamps;
  lamps.Remember(0xBD, 0x00, 0x7F);  // Mute 1
  lamps.Remember(0xBE, 0x4F, 0x7F);  // RECORD
  lamps.Remember(0xBD, 0x41, 0x7F);  // Solo 2, then dark again
  lamps.Remember(0xBD, 0x41, 0x00);
  lamps.Remember(0xBE, 0x40, 0x7F);  // Bank
  lamps.Remember(0xBD, 0x20, 0x7F);  // no lamp there
  lamps.Remember(0xB0, 0x00, 0x7F);  // another channel
  ProtocolState state;
  RecordingDevice device;
  state.CurrentDeviceMode = kModeStandard;
  ASSERT_EQ(SelectModeForApplication(state, device, kModeHost, &lamps), kModeDone);
  const auto events = device.Events();
  ASSERT_EQ(events.size(), 2u);
  Bytes expected(DarkLampBuffer().begin(), DarkLampBuffer().end());
  expected[LampSlot(0xBD, 0x00) * 3 + 2] = 0x7F;
  expected[LampSlot(0xBE, 0x4F) * 3 + 2] = 0x7F;
  EXPECT_EQ(events[1].bytes, expected);
  EXPECT_EQ(LampSlot(0xBD, 0x20), -1);
  EXPECT_EQ(LampSlot(0xBC, 0x00), -1);
  EXPECT_EQ(LampSlot(0xBE, 0xC0), -1);
}

// The burst the surface expects, written out by status and control number: Mute, Solo,
// Pan Select, Bank, RECORD, then the wheel's lamps and the others beside it.
TEST(DeviceModes, LampBufferHoldsEveryLampCodeDark) {
  const auto& lamps = DarkLampBuffer();
  std::vector<uint16_t> codes;
  for (std::size_t i = 0; i < lamps.size(); i += 3) {
    EXPECT_EQ(lamps[i + 2], 0x00);
    codes.push_back(static_cast<uint16_t>(lamps[i] << 8 | lamps[i + 1]));
  }
  std::vector<uint16_t> expected;
  for (uint16_t n = 0x00; n <= 0x1F; ++n) expected.push_back(0xBD00 | n);
  for (uint16_t n = 0x40; n <= 0x5F; ++n) expected.push_back(0xBD00 | n);
  for (uint16_t n = 0x00; n <= 0x1F; ++n) expected.push_back(0xBE00 | n);
  expected.push_back(0xBE40);
  expected.push_back(0xBE4F);
  for (uint16_t n = 0x57; n <= 0x5E; ++n) expected.push_back(0xBE00 | n);
  ASSERT_EQ(codes.size(), 106u);
  EXPECT_EQ(codes, expected);
  for (std::size_t slot = 0; slot < codes.size(); ++slot)
    EXPECT_EQ(LampSlot(static_cast<uint8_t>(codes[slot] >> 8), static_cast<uint8_t>(codes[slot])), static_cast<int>(slot));
}

TEST(DeviceModes, DisplayNames) {
  EXPECT_STREQ(ModeDisplayName(0), "None");
  EXPECT_STREQ(ModeDisplayName(1), "Standard");
  EXPECT_STREQ(ModeDisplayName(2), "Host");
  EXPECT_STREQ(ModeDisplayName(3), "Kelo");
  EXPECT_STREQ(ModeDisplayName(4), "Enhanced");
  EXPECT_STREQ(ModeDisplayName(5), "Unknown");
  EXPECT_STREQ(ModeDisplayName(-1), "Unknown");
}

}  // namespace
}  // namespace orvo
