// The Keyset listing: its caption and its sorted lines, the same as `orvo --list-keysets`.
#include "editor/keyset_listing_dialog.h"

#include <gtest/gtest.h>

#include <QListWidget>

#include "mapping/keyset_listing.h"
#include "support/offscreen_app.h"
#include "support/panel_test_target.h"

namespace orvo {
namespace {

QStringList Lines(const KeysetListingDialog& dialog) {
  QStringList lines;
  for (int i = 0; i < dialog.List()->count(); ++i) lines << dialog.List()->item(i)->text();
  return lines;
}

TEST(KeysetListingDialog, ListsEveryMappingSortedUnderTheKeysetsName) {
  test::OffscreenApp();
  Keyset keyset("SEQUENCER");
  ControlMapping& fader1 = test::AddBlankMapping(keyset, *LookupControlById(1224));
  fader1.KeyCode = 0x41;
  fader1.KeyFlags = kModCtrl | (0x1Eu << 16);
  fader1.MapType = MapType::kCustom1StatusData;
  fader1.DataA = 0xB0;
  fader1.DataB = 0x07;
  fader1.Label.Set("Vol");
  test::AddBlankMapping(keyset, *LookupControlById(1225));  // Fader 2
  test::AddBlankMapping(keyset, *LookupControlById(1233));  // Fader 10

  const KeysetListingDialog dialog(&keyset, nullptr);

  EXPECT_EQ(dialog.windowTitle(), "SEQUENCER: Keyset");
  const QStringList lines = Lines(dialog);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], "Fader 1(1224):  A(0x41), Ctrl+(0x1), Custom 1: midi msg = (B0, 7, Native), Vol");
  EXPECT_TRUE(lines[1].startsWith("Fader 10(1233):  <>(<>), <>(<>), Native, ")) << lines[1].toStdString();
  EXPECT_TRUE(lines[2].startsWith("Fader 2(1225):")) << lines[2].toStdString();
  QStringList shared;
  for (const std::string& line : KeysetListing(keyset)) shared << QString::fromStdString(line);
  EXPECT_EQ(lines, shared);
}

TEST(KeysetListingDialog, WithoutAKeysetShowsAnEmptyListUnderThePlaceholder) {
  test::OffscreenApp();
  const KeysetListingDialog dialog(nullptr, nullptr);
  EXPECT_EQ(dialog.windowTitle(), "<No Active Keyset>: Keyset");
  EXPECT_EQ(dialog.List()->count(), 0);
}

}  // namespace
}  // namespace orvo
