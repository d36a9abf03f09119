#include "protocol/control_table.h"
#include "protocol/protocol_state.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace orvo {
namespace {

struct MessageCase {
  uint8_t status, number, value;
  uint8_t bank, shift;
  ControlId expected;  // 0: none
  const char* name;
};

class LookupByMessage : public ::testing::TestWithParam<MessageCase> {};

TEST_P(LookupByMessage, ResolvesTheRowOfTheLayer) {
  const MessageCase& c = GetParam();
  uint8_t bytes[3] = {c.status, c.number, c.value};
  const ControlDescriptor* row = LookupControlByMessage(bytes, c.bank, c.shift);
  if (c.expected == 0) {
    EXPECT_EQ(row, nullptr);
    return;
  }
  ASSERT_NE(row, nullptr);
  EXPECT_EQ(row->id, c.expected);
  EXPECT_STREQ(row->name, c.name);
}

INSTANTIATE_TEST_SUITE_P(
    Controls, LookupByMessage,
    ::testing::Values(
        MessageCase{0xBD, 0x05, 0x7F, 1, 0, 1005, "Mute button Chan 6"},
        MessageCase{0xBD, 0x05, 0x7F, 0, 0, 1037, "MMC Track Arm button Chan 6"},
        MessageCase{0xBD, 0x5F, 0x00, 1, 0, 1095, "Solo button Chan 32"},
        MessageCase{0xBD, 0x5F, 0x00, 0, 0, 1127, "MMC Goto Locate button Chan 32"},
        MessageCase{0xBE, 0x1F, 0x7F, 1, 0, 1159, "Pan Select button Chan 32"},
        MessageCase{0xBE, 0x1F, 0x7F, 0, 0, 1191, "Track Select button Chan 32"},
        MessageCase{0xBE, 0x40, 0x7F, 0, 0, 1192, "Bank button"},
        MessageCase{0xBE, 0x40, 0x7F, 1, 1, 1192, "Bank button"},
        MessageCase{0xBE, 0x41, 0x00, 1, 1, 1193, "Shift button"},
        MessageCase{0xBE, 0x42, 0x7F, 0, 0, 1194, "F1 button"},
        MessageCase{0xBE, 0x42, 0x7F, 0, 1, 1214, "F1 button (Shift)"},
        MessageCase{0xBE, 0x4A, 0x7F, 1, 1, 1222, "F9 button (Shift)"},
        MessageCase{0xBE, 0x4B, 0x7F, 0, 1, 1203, "REW button"},
        MessageCase{0xBE, 0x4C, 0x7F, 0, 0, 1204, "PLAY button"},
        MessageCase{0xBE, 0x4F, 0x7F, 0, 0, 1207, "RECORD button"},
        MessageCase{0xBE, 0x50, 0x7F, 0, 0, 1208, "Left Wheel button (SCRUB)"},
        MessageCase{0xBE, 0x51, 0x7F, 0, 0, 1209, "Right Wheel button (SHUTTLE)"},
        MessageCase{0xBE, 0x55, 0x7F, 0, 0, 1213, "Right cursor button"},
        MessageCase{0xBF, 0x43, 0x3F, 0, 0, 1259, "Pot P1 (Counter Clockwise)"},
        MessageCase{0xBF, 0x43, 0x40, 0, 0, 1265, "Pot P1 (Clockwise)"},
        MessageCase{0xBF, 0x40, 0x00, 0, 0, 1256, "Pot P4 (Counter Clockwise)"},
        MessageCase{0xBF, 0x45, 0x7F, 0, 0, 1267, "Pot P3 (Clockwise)"},
        MessageCase{0xBF, 0x60, 0x41, 0, 0, 1269, "Wheel (Counter Clockwise)"},
        MessageCase{0xBF, 0x60, 0x01, 0, 0, 1270, "Wheel (Clockwise)"},
        MessageCase{0xBF, 0x00, 0x40, 0, 0, 1224, "Fader 1"},
        MessageCase{0xBF, 0x1F, 0x00, 0, 0, 1255, "Fader 32"},
        MessageCase{0xBF, 0x56, 0x7F, 0, 0, 1268, "FootSwitch"},
        // Statuses and control numbers that name no control.
        MessageCase{0x90, 0x05, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBC, 0x05, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xF8, 0x00, 0x00, 0, 0, 0, nullptr},
        MessageCase{0xBD, 0x20, 0x7F, 1, 0, 0, nullptr},
        MessageCase{0xBD, 0x60, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBD, 0xFF, 0x7F, 1, 0, 0, nullptr},
        MessageCase{0xBE, 0x30, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBE, 0x57, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBE, 0xFF, 0x7F, 0, 1, 0, nullptr},
        MessageCase{0xBF, 0x20, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBF, 0x46, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBF, 0x5F, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBF, 0x61, 0x7F, 0, 0, 0, nullptr},
        MessageCase{0xBF, 0xFF, 0xFF, 0, 0, 0, nullptr}));

TEST(Controls, FootswitchUnderBeIsRewrittenToBf) {
  uint8_t under_be[3] = {0xBE, 0x56, 0x7F};
  EXPECT_EQ(LookupControlByMessage(under_be, 0, 0)->id, 1268);
  EXPECT_EQ(under_be[0], 0xBF);
  EXPECT_EQ(under_be[1], 0x56);
  EXPECT_EQ(under_be[2], 0x7F);

  uint8_t under_bf[3] = {0xBF, 0x56, 0x7F};
  EXPECT_EQ(LookupControlByMessage(under_bf, 1, 1)->id, 1268);
  EXPECT_EQ(under_bf[0], 0xBF);
}

TEST(Controls, LookupByIdCoversExactlyTheRows) {
  for (ControlId id : {999, 1223, 1271, -1, 0, 2000, INT32_MIN, INT32_MAX})
    EXPECT_EQ(LookupControlById(id), nullptr) << id;

  const ControlDescriptor* foot = LookupControlById(1268);
  ASSERT_NE(foot, nullptr);
  EXPECT_STREQ(foot->name, "FootSwitch");
  EXPECT_EQ(foot->wireCode, 0x56BFu);

  // Every ControlId but 1223 has its own row, and the rows are distinct.
  const ProtocolState state;
  std::set<std::string> names;
  int rows = 0;
  for (ControlId id = 1000; id <= 1270; ++id) {
    if (id == 1223) continue;
    const ControlDescriptor* row = LookupControlById(id);
    ASSERT_NE(row, nullptr) << id;
    EXPECT_EQ(row->id, id);
    EXPECT_EQ(state.LastMessage(*row), row->wireCode);
    names.insert(row->name);
    ++rows;
  }
  EXPECT_EQ(rows, 270);
  EXPECT_EQ(names.size(), 270u);
}

// Every row is found again from its own wire code, in the layer its row names; the
// wheel's lamp codes are the exception.
TEST(Controls, WireCodesResolveBackToTheirRows) {
  for (const ControlDescriptor& row : kControls) {
    if (row.id == 1269 || row.id == 1270) continue;  // lamp codes, not what the wheel sends
    const uint8_t bank = row.layer == ControlLayer::BankOn;
    const uint8_t shift = row.layer == ControlLayer::ShiftOn;
    const uint8_t value = (row.id >= 1262 && row.id <= 1267) ? 0x40 : 0x00;
    uint8_t bytes[3] = {static_cast<uint8_t>(row.wireCode), static_cast<uint8_t>(row.wireCode >> 8), value};
    const ControlDescriptor* found = LookupControlByMessage(bytes, bank, shift);
    ASSERT_NE(found, nullptr) << row.name;
    EXPECT_EQ(found->id, row.id) << row.name;
  }
}

TEST(Controls, CaptionsFollowTheGroups) {
  struct {
    ControlId id;
    const char* caption;
  } cases[] = {{1000, "MUTE"}, {1032, "ARM"}, {1064, "SOLO"}, {1096, "LOCATE"}, {1128, "PAN"},
               {1160, "SELECT"}, {1194, "FBTNS"}, {1203, "RWND"}, {1208, "JOG"}, {1213, "CRSRRT"},
               {1214, "SHIFTFBTNS"}, {1224, "FADER"}, {1239, "FADER16"}, {1255, "FADER16"},
               {1256, "KNOBLT"}, {1267, "KNOBRT"}, {1268, "FOOTSWITCH"}, {1269, "WHEELLT"},
               {1270, "WHEELRT"}};
  for (const auto& c : cases) EXPECT_STREQ(LookupControlById(c.id)->caption, c.caption) << c.id;
  EXPECT_EQ(LookupControlById(1192)->caption, nullptr);
  EXPECT_EQ(LookupControlById(1193)->caption, nullptr);
}

TEST(Controls, ContinuousControls) {
  EXPECT_TRUE(IsContinuousControl(1224));
  EXPECT_TRUE(IsContinuousControl(1267));
  EXPECT_TRUE(IsContinuousControl(1270));
  EXPECT_FALSE(IsContinuousControl(1268));
  EXPECT_FALSE(IsContinuousControl(1222));
}

}  // namespace
}  // namespace orvo
