#include "mapping/keyset_listing.h"

#include <gtest/gtest.h>

#include "mapping/keyset.h"
#include "support/case_names.h"

namespace orvo {
namespace {

struct RuleCase {
  const char* what;
  uint8_t mapType, dataA, dataB;
  const char* text;
};

class MidiRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(MidiRule, ReadsAsTheRule) {
  const RuleCase& c = GetParam();
  EXPECT_EQ(FormatMidiRule(static_cast<MapType>(c.mapType), c.dataA, c.dataB), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    KeysetListing, MidiRule,
    ::testing::Values(RuleCase{"native", 0, 0xB0, 7, "Native"},
                      RuleCase{"custom 1 native", 1, 0xB0, 7, "Custom 1: midi msg = (Native, Native, Native)"},
                      RuleCase{"custom 2 native", 2, 0xB0, 7, "Custom 2: midi msg = (Native, Native, Native)"},
                      RuleCase{"status and data", 3, 0xB0, 7, "Custom 1: midi msg = (B0, 7, Native)"},
                      RuleCase{"status", 4, 0x90, 7, "Custom 1: midi msg = (90, Native, Native)"},
                      RuleCase{"data", 5, 0x90, 0x0A, "Custom 1: midi msg = (Native, A, Native)"},
                      RuleCase{"status and last", 6, 0xB1, 0x10, "Custom 2: midi msg = (B1, Native, 10)"},
                      RuleCase{"status moved", 7, 0xB1, 0x10, "Custom 2: midi msg = (B1, Native, Native)"},
                      RuleCase{"last", 8, 0xB1, 0, "Custom 2: midi msg = (Native, Native, 0)"},
                      RuleCase{"unknown", 9, 0xB1, 0, "<>"}),
    test::NameFromWhat());

ControlMapping& Map(Keyset& keyset, ControlId id) {
  return *keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(id)));
}

TEST(KeysetListing, LineShowsControlKeyRuleAndLabel) {
  Keyset keyset("SEQUENCER");
  ControlMapping& fader = Map(keyset, 1224);
  fader.KeyCode = 0x41;
  fader.KeyFlags = (0x1Eu << 16) | kModCtrl;  // A with Ctrl
  fader.MapType = MapType::kCustom1StatusData;
  fader.DataA = 0xB0;
  fader.DataB = 7;
  fader.Label.Set("Vol");
  EXPECT_EQ(FormatListingLine(fader), "Fader 1(1224):  A(0x41), Ctrl+(0x1), Custom 1: midi msg = (B0, 7, Native), Vol");
}

TEST(KeysetListing, NoKeyAndEachLinesOwnModifiers) {
  Keyset keyset("X");
  ControlMapping& play = Map(keyset, 1204);
  EXPECT_EQ(FormatListingLine(play), "PLAY button(1204):  <>(<>), <>(<>), Native, ");
  ControlMapping& stop = Map(keyset, 1206);
  stop.KeyCode = 0x20;
  stop.KeyFlags = (0x39u << 16) | kModAlt | kModShift;
  ControlMapping& rew = Map(keyset, 1203);
  rew.KeyCode = 0x20;
  rew.KeyFlags = 0x39u << 16;
  EXPECT_EQ(FormatListingLine(stop), "STOP button(1206):  Space(0x20), Alt+Shft+(0x6), Native, ");
  EXPECT_EQ(FormatListingLine(rew), "REW button(1203):  Space(0x20), (0x0), Native, ");
}

TEST(KeysetListing, SortedAsAListBoxSortsThem) {
  Keyset keyset("X");
  for (ControlId id : {1225, 1233, 1224, 1000}) Map(keyset, id).Label.Set("x");
  Map(keyset, 1226);  // does nothing: not listed
  const auto lines = KeysetListing(keyset);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].substr(0, 13), "Fader 1(1224)");
  EXPECT_EQ(lines[1].substr(0, 14), "Fader 10(1233)");
  EXPECT_EQ(lines[2].substr(0, 13), "Fader 2(1225)");
  EXPECT_EQ(lines[3].substr(0, 18), "Mute button Chan 1");
}

}  // namespace
}  // namespace orvo
