// The list search the port dialog selects stored names with, and how a port list draws.
#include "editor/port_list_box.h"

#include <gtest/gtest.h>

#include <QImage>

#include "editor/list_search.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

struct SearchCase {
  const char* what;
  QStringList entries;
  QString text;
  int row;
};

class ListSearch : public ::testing::TestWithParam<SearchCase> {};

TEST_P(ListSearch, FindsTheFirstPrefixFromTheSecondEntryOnAndWraps) {
  EXPECT_EQ(FindListEntry(GetParam().entries, GetParam().text), GetParam().row);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListSearch,
    ::testing::Values(
        SearchCase{"prefix ignoring case starts at the second entry", {"Synth A", "synth B", "Drums"}, "SYNTH", 1},
        SearchCase{"wraps to the first entry", {"Synth", "Drums", "Keys"}, "syn", 0},
        SearchCase{"whole name before a longer name", {"seq", "seqencer", "seq2"}, "SEQ", 0},
        SearchCase{"whole name ignoring case", {"a:MIDI in", "A:MIDI IN 2"}, "A:midi IN", 0},
        SearchCase{"not the beginning of any entry", {"synth:MIDI in", "looper:MIDI in"}, "MIDI in", -1},
        SearchCase{"longer than every entry", {"synth"}, "synth:MIDI in", -1},
        SearchCase{"empty text selects nothing", {"synth", "looper"}, "", -1},
        SearchCase{"empty list", {}, "synth", -1},
        SearchCase{"single entry", {"Synth"}, "syn", 0}),
    test::NameFromWhat{});

TEST(ListSearch, SelectsTheEntryOrClearsTheSelection) {
  test::OffscreenApp();
  QListWidget list;
  list.addItems({"alpha", "beta", "gamma"});
  SelectListEntry(list, "GAM");
  EXPECT_EQ(SelectedText(list), "gamma");
  SelectListEntry(list, "delta");
  EXPECT_EQ(SelectedText(list), std::nullopt);
  EXPECT_EQ(list.currentRow(), -1);
}

// Whether `a` and `b` are the same colour.
bool Same(QColor a, QColor b) { return a.rgb() == b.rgb(); }

TEST(PortListBox, DrawsHighlightRedFocusFrameAndCentredTextInDoubleHeightRows) {
  test::OffscreenApp();
  QWidget window;
  auto* list = new PortListBox(&window);
  list->setGeometry(0, 0, 260, 200);
  list->addItems({"synth:MIDI in", "looper:MIDI in", "x"});
  list->setCurrentRow(1);
  window.show();
  window.activateWindow();
  list->setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(list->hasFocus());

  const QRect first = list->visualItemRect(list->item(0));
  const QRect second = list->visualItemRect(list->item(1));
  EXPECT_EQ(first.height(), 2 * list->fontMetrics().height());
  EXPECT_EQ(second.top(), first.bottom() + 1);

  const QImage image = list->viewport()->grab().toImage();
  const QPalette palette = list->palette();
  const QColor base = palette.color(QPalette::Base);
  const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
  EXPECT_TRUE(Same(image.pixelColor(3, first.center().y()), base));
  EXPECT_TRUE(Same(image.pixelColor(3, second.center().y()), highlight)) << "selected row filled";
  EXPECT_TRUE(Same(image.pixelColor(second.left(), second.center().y()), Qt::red)) << "focused row framed";
  EXPECT_TRUE(Same(image.pixelColor(second.center().x(), second.top()), Qt::red));
  EXPECT_FALSE(Same(image.pixelColor(first.left(), first.center().y()), Qt::red));

  // The text of the first row lies centred in the row, horizontally and vertically.
  int left = image.width(), right = -1, top = image.height(), bottom = -1;
  for (int y = first.top(); y <= first.bottom(); ++y)
    for (int x = first.left(); x <= first.right(); ++x)
      if (!Same(image.pixelColor(x, y), base)) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  ASSERT_GE(right, left) << "the name is drawn";
  EXPECT_NEAR((left + right) / 2.0, first.center().x(), 3.0);
  EXPECT_NEAR((top + bottom) / 2.0, first.center().y(), list->fontMetrics().height() / 3.0);
}

}  // namespace
}  // namespace orvo
