// The Keyset listing: its caption and its sorted lines, the same as `orvo --list-keysets`;
// the Keyset table: its rows, sorting, filtering, choosing and removing.
#include "editor/keyset_listing_dialog.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>

#include "editor/keyset_table_dialog.h"

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

// Fader 1 with a keystroke, a rule and a label.
void MapFaderOne(Keyset& keyset) {
  ControlMapping& fader1 = test::AddBlankMapping(keyset, *LookupControlById(1224));
  fader1.KeyCode = 0x41;
  fader1.KeyFlags = kModCtrl | (0x1Eu << 16);
  fader1.MapType = MapType::kCustom1StatusData;
  fader1.DataA = 0xB0;
  fader1.DataB = 0x07;
  fader1.Label.Set("Vol");
}

TEST(KeysetListingDialog, ListsEveryMappingSortedUnderTheKeysetsName) {
  test::OffscreenApp();
  Keyset keyset("SEQUENCER");
  MapFaderOne(keyset);
  test::AddBlankMapping(keyset, *LookupControlById(1225));  // Fader 2
  test::AddBlankMapping(keyset, *LookupControlById(1233));  // Fader 10

  const KeysetListingDialog dialog(&keyset, nullptr);

  EXPECT_EQ(dialog.windowTitle(), "SEQUENCER: Keyset");
  const QStringList lines = Lines(dialog);
  ASSERT_EQ(lines.size(), 1) << "mappings that do nothing are not listed";
  EXPECT_EQ(lines[0], "Fader 1(1224):  A(0x41), Ctrl+(0x1), Custom 1: midi msg = (B0, 7, Native), Vol   = CC 7, ch 1");
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

// PLAY with a key, Fader 1 with everything, Fader 2 with a label, Fader 10 blank.
struct TableKeyset {
  TableKeyset() {
    ControlMapping& play = test::AddBlankMapping(keyset, *LookupControlById(1204));
    play.KeyCode = 0x20;
    play.KeyFlags = kModShift | (0x39u << 16);
    MapFaderOne(keyset);
    test::AddBlankMapping(keyset, *LookupControlById(1225)).Label.Set("pan");
    test::AddBlankMapping(keyset, *LookupControlById(1233));
  }
  Keyset keyset{"SEQUENCER"};
};

QStringList Column(const KeysetTableDialog& table, int column) {
  QStringList cells;
  for (int row = 0; row < table.RowCount(); ++row) cells << table.Cell(row, column);
  return cells;
}

TEST(KeysetTableDialog, OneRowPerMappingThatMapsSomethingWithWhatItSends) {
  test::OffscreenApp();
  TableKeyset made;
  KeysetTableDialog table(nullptr);
  table.ShowKeyset(&made.keyset);
  EXPECT_EQ(table.windowTitle(), "SEQUENCER: Keyset Table");
  EXPECT_EQ(Column(table, KeysetTableDialog::kControl), (QStringList{"PLAY button", "Fader 1", "Fader 2"}))
      << "in ControlId order, without the blank Fader 10";
  EXPECT_EQ(Column(table, KeysetTableDialog::kKey), (QStringList{"Shft+Space", "Ctrl+A", ""}));
  EXPECT_EQ(Column(table, KeysetTableDialog::kMidi),
            (QStringList{"Native", QString::fromUtf8("CC 7, ch 1 (BF 00 vv \u2192 B0 07 vv)"), "Native"}));
  EXPECT_EQ(Column(table, KeysetTableDialog::kLabel), (QStringList{"", "Vol", "pan"}));

  table.Table()->sortByColumn(KeysetTableDialog::kLabel, Qt::DescendingOrder);
  EXPECT_EQ(Column(table, KeysetTableDialog::kLabel), (QStringList{"Vol", "pan", ""})) << "case ignored";
}

TEST(KeysetTableDialog, TypingFiltersOnEveryColumnIgnoringCase) {
  test::OffscreenApp();
  TableKeyset made;
  KeysetTableDialog table(nullptr);
  table.ShowKeyset(&made.keyset);
  struct Case {
    const char* typed;
    QStringList controls;
  };
  for (const Case& c : {Case{"fader", {"Fader 1", "Fader 2"}}, Case{"VOL", {"Fader 1"}}, Case{"b0 07", {"Fader 1"}}, Case{"cc 7, ch 1", {"Fader 1"}},
                        Case{"space", {"PLAY button"}}, Case{"nothing like it", {}},
                        Case{"", {"PLAY button", "Fader 1", "Fader 2"}}}) {
    table.Filter()->setText(c.typed);
    EXPECT_EQ(Column(table, KeysetTableDialog::kControl), c.controls) << c.typed;
  }
  table.Filter()->setText("fader");
  made.keyset.LookupMapping(1233)->Label.Set("Fader ten");
  table.ShowKeyset(&made.keyset);
  EXPECT_EQ(Column(table, KeysetTableDialog::kControl), (QStringList{"Fader 1", "Fader 2", "Fader 10"}))
      << "the filter stays when the table fills again";
}

TEST(KeysetTableDialog, ChoosingARowNamesItsControlAndRemoveMakesItsMappingBlank) {
  test::OffscreenApp();
  TableKeyset made;
  KeysetTableDialog table(nullptr);
  table.ShowKeyset(&made.keyset);
  std::vector<ControlId> chosen, removed;
  QObject::connect(&table, &KeysetTableDialog::controlChosen, [&chosen](ControlId id) { chosen.push_back(id); });
  QObject::connect(&table, &KeysetTableDialog::mappingRemoved, [&removed](ControlId id) { removed.push_back(id); });
  EXPECT_FALSE(table.RemoveButton()->isEnabled());
  table.ChooseRow(1);
  EXPECT_EQ(chosen, std::vector<ControlId>{1224});
  ASSERT_TRUE(table.RemoveButton()->isEnabled());

  table.RemoveButton()->click();
  const ControlMapping& fader1 = *made.keyset.LookupMapping(1224);
  EXPECT_FALSE(MapsSomething(fader1));
  EXPECT_EQ(fader1.MapType.load(), MapType::kNative);
  EXPECT_TRUE(fader1.Label.Empty());
  EXPECT_EQ(removed, std::vector<ControlId>{1224});
  EXPECT_EQ(Column(table, KeysetTableDialog::kControl), (QStringList{"PLAY button", "Fader 2"}));
  EXPECT_FALSE(table.RemoveButton()->isEnabled()) << "nothing chosen any more";
}

}  // namespace
}  // namespace orvo
