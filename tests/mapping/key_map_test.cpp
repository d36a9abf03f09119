#include "platform/key_map.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>

#include "support/case_names.h"

namespace orvo {
namespace {

uint32_t FlagsOf(const KeyMapEntry& key) {
  return (uint32_t{key.ScanCode} << 16) | (key.Extended ? 1u << 24 : 0u);
}

TEST(KeyMap, EveryKeyRoundTripsThroughEveryLookup) {
  for (const KeyMapEntry& key : AllKeys()) {
    SCOPED_TRACE(key.Name);
    EXPECT_EQ(FindKeyByScanCode(key.ScanCode, key.Extended), &key);
    EXPECT_EQ(FindKeyByEvdev(key.Evdev), &key);
    EXPECT_EQ(FindKeyByEvdev(EvdevFromX11Keycode(X11KeycodeFromEvdev(key.Evdev))), &key);
    EXPECT_EQ(ResolveKey(key.VirtualKey, key.ScanCode, key.Extended), &key);
    EXPECT_EQ(KeyNameFromFlags(FlagsOf(key)), key.Name);
    const KeyMapEntry* byVirtualKey = FindKeyByVirtualKey(key.VirtualKey);
    ASSERT_NE(byVirtualKey, nullptr);
    EXPECT_EQ(byVirtualKey->VirtualKey, key.VirtualKey);
  }
}

TEST(KeyMap, KeysAreDistinctInEveryColumn) {
  std::set<std::pair<int, bool>> scanCodes;
  std::set<int> evdevCodes;
  std::set<std::string> names;
  for (const KeyMapEntry& key : AllKeys()) {
    EXPECT_TRUE(scanCodes.insert({key.ScanCode, key.Extended}).second) << key.Name;
    EXPECT_TRUE(evdevCodes.insert(key.Evdev).second) << key.Name;
    EXPECT_TRUE(names.insert(key.Name).second) << key.Name;
    EXPECT_NE(key.ScanCode, 0) << key.Name;
  }
}

TEST(KeyMap, CoversAFull105KeyKeyboard) {
  std::set<int> wanted;
  for (int code = 1; code <= 83; ++code) wanted.insert(code);  // Esc .. keypad Del
  for (int code : {86, 87, 88, 96, 97, 98, 99, 100, 119, 125, 126, 127}) wanted.insert(code);
  for (int code = 102; code <= 111; ++code) wanted.insert(code);  // navigation block, arrows
  ASSERT_EQ(wanted.size(), 105u);
  for (int code : wanted) EXPECT_NE(FindKeyByEvdev(static_cast<uint16_t>(code)), nullptr) << code;
  for (int code = 183; code <= 194; ++code)  // F13-F24
    EXPECT_NE(FindKeyByEvdev(static_cast<uint16_t>(code)), nullptr) << code;
}

struct PairCase {
  const char* what;
  uint8_t scanCode;
  const char* extendedName;
  uint16_t extendedEvdev;
  const char* plainName;
  uint16_t plainEvdev;
};

class ExtendedAndPlainKeys : public ::testing::TestWithParam<PairCase> {};

TEST_P(ExtendedAndPlainKeys, ShareAScanCodeButNotANameOrCode) {
  const PairCase& c = GetParam();
  const KeyMapEntry* extended = FindKeyByScanCode(c.scanCode, true);
  const KeyMapEntry* plain = FindKeyByScanCode(c.scanCode, false);
  ASSERT_NE(extended, nullptr);
  ASSERT_NE(plain, nullptr);
  EXPECT_STREQ(extended->Name, c.extendedName);
  EXPECT_EQ(extended->Evdev, c.extendedEvdev);
  EXPECT_STREQ(plain->Name, c.plainName);
  EXPECT_EQ(plain->Evdev, c.plainEvdev);
  EXPECT_NE(KeyNameFromFlags(FlagsOf(*extended)), KeyNameFromFlags(FlagsOf(*plain)));
}

INSTANTIATE_TEST_SUITE_P(
    KeyMap, ExtendedAndPlainKeys,
    ::testing::Values(PairCase{"right arrow", 0x4D, "Right", 106, "Num 6", 77},
                      PairCase{"left arrow", 0x4B, "Left", 105, "Num 4", 75},
                      PairCase{"up arrow", 0x48, "Up", 103, "Num 8", 72},
                      PairCase{"down arrow", 0x50, "Down", 108, "Num 2", 80},
                      PairCase{"home", 0x47, "Home", 102, "Num 7", 71},
                      PairCase{"end", 0x4F, "End", 107, "Num 1", 79},
                      PairCase{"page up", 0x49, "Page Up", 104, "Num 9", 73},
                      PairCase{"page down", 0x51, "Page Down", 109, "Num 3", 81},
                      PairCase{"insert", 0x52, "Insert", 110, "Num 0", 82},
                      PairCase{"delete", 0x53, "Delete", 111, "Num Del", 83},
                      PairCase{"enter", 0x1C, "Num Enter", 96, "Enter", 28},
                      PairCase{"slash", 0x35, "Num /", 98, "/", 53},
                      PairCase{"ctrl", 0x1D, "Right Ctrl", 97, "Ctrl", 29},
                      PairCase{"alt", 0x38, "Right Alt", 100, "Alt", 56},
                      PairCase{"print screen", 0x37, "Prnt Scrn", 99, "Num *", 55},
                      PairCase{"num lock", 0x45, "Num Lock", 69, "Pause", 119}),
    test::NameFromWhat{});

struct ResolveCase {
  const char* what;
  uint16_t virtualKey;
  uint16_t scanCode;
  bool extended;
  uint16_t evdev;  // 0: no key
};

class ResolveKeyRecords : public ::testing::TestWithParam<ResolveCase> {};

TEST_P(ResolveKeyRecords, PicksThePhysicalKey) {
  const ResolveCase& c = GetParam();
  const KeyMapEntry* key = ResolveKey(c.virtualKey, c.scanCode, c.extended);
  if (c.evdev == 0) {
    EXPECT_EQ(key, nullptr);
  } else {
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Evdev, c.evdev);
  }
}

INSTANTIATE_TEST_SUITE_P(
    KeyMap, ResolveKeyRecords,
    ::testing::Values(ResolveCase{"modifier without scan code: shift", 0x10, 0, false, 42},
                      ResolveCase{"modifier without scan code: ctrl", 0x11, 0, false, 29},
                      ResolveCase{"modifier without scan code: alt", 0x12, 0, false, 56},
                      ResolveCase{"sided code right ctrl", 0xA3, 0, false, 97},
                      ResolveCase{"sided code right shift", 0xA1, 0, false, 54},
                      ResolveCase{"scan code wins over another layout s key", 0x5A, 0x15, false, 21},
                      ResolveCase{"extended flag picks the arrow", 0x27, 0x4D, true, 106},
                      ResolveCase{"no extended flag picks the keypad", 0x66, 0x4D, false, 77},
                      ResolveCase{"unknown scan code falls back to the virtual key", 0x41, 0x7F, false, 30},
                      ResolveCase{"scan code beyond a byte falls back", 0x41, 0x11E, false, 30},
                      ResolveCase{"nothing known", 0xFF, 0x7F, false, 0}),
    test::NameFromWhat{});

TEST(KeyMap, UnknownKeysGetAReadableName) {
  EXPECT_EQ(KeyNameFromFlags(0x7F0000), "Key 0x7F");
  EXPECT_EQ(KeyNameFromFlags(0x17F0000), "Key E0 0x7F");
  // Bits other than the scan code and the extended flag do not change the name.
  EXPECT_EQ(KeyNameFromFlags(0xE01E0007), "A");
}

TEST(KeyMap, UnknownCodesFindNothing) {
  EXPECT_EQ(FindKeyByEvdev(0), nullptr);
  EXPECT_EQ(FindKeyByEvdev(600), nullptr);
  EXPECT_EQ(FindKeyByVirtualKey(0x400), nullptr);
  EXPECT_EQ(FindKeyByScanCode(0x00, false), nullptr);
}

}  // namespace
}  // namespace orvo
