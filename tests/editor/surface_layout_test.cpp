// The surface picture's layout table, and hit-testing through the widget.
#include "editor/surface_layout.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <cstring>
#include <set>
#include <vector>

#include "editor/surface_picture.h"
#include "protocol/control_table.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

std::vector<const ControlLayout*> Mappable() {
  std::vector<const ControlLayout*> rows;
  for (const ControlLayout& layout : SurfaceLayout())
    if (layout.mappable) rows.push_back(&layout);
  return rows;
}

TEST(SurfaceLayout, HoldsExactlyTheMappableControlsWithTheirCaptions) {
  std::set<ControlId> expected;
  for (ControlId id = kFirstControlId; id <= kLastControlId; ++id)
    if (id != kBankButton && id != kShiftButton && id != kNoControlId) expected.insert(id);

  std::set<ControlId> seen;
  for (const ControlLayout* layout : Mappable()) {
    EXPECT_TRUE(seen.insert(layout->id).second) << "twice: " << layout->id;
    const ControlDescriptor* row = LookupControlById(layout->id);
    ASSERT_NE(row, nullptr) << layout->id;
    ASSERT_NE(row->caption, nullptr) << layout->id;
    EXPECT_STREQ(layout->caption, row->caption) << layout->id;
  }
  EXPECT_EQ(seen.size(), kMappableControlCount);
  EXPECT_EQ(seen, expected);

  for (ControlId id : {kBankButton, kShiftButton}) {
    const ControlLayout* layout = LayoutOf(id);
    ASSERT_NE(layout, nullptr) << id;
    EXPECT_FALSE(layout->mappable);
  }
  EXPECT_EQ(LayoutOf(kNoControlId), nullptr);
  EXPECT_EQ(LayoutOf(999), nullptr);
  EXPECT_EQ(LayoutOf(1271), nullptr);
}

TEST(SurfaceLayout, EveryControlLiesInsideAPanelAndNoneOverlap) {
  const auto all = SurfaceLayout();
  for (const ControlLayout& layout : all) {
    EXPECT_TRUE(kLeftPanelRect.contains(layout.rect) || kRightPanelRect.contains(layout.rect))
        << layout.id << " lies outside both panels";
    EXPECT_FALSE(layout.rect.isEmpty()) << layout.id;
  }
  for (std::size_t a = 0; a < all.size(); ++a)
    for (std::size_t b = a + 1; b < all.size(); ++b)
      EXPECT_FALSE(all[a].rect.intersects(all[b].rect)) << all[a].id << " overlaps " << all[b].id;
}

TEST(SurfaceLayout, ControlAtEachCentreFindsThatControl) {
  for (const ControlLayout& layout : SurfaceLayout()) {
    const std::optional<ControlId> withLayers = ControlAt(layout.rect.center(), true);
    ASSERT_TRUE(withLayers.has_value()) << layout.id;
    EXPECT_EQ(*withLayers, layout.id);
    const std::optional<ControlId> mappableOnly = ControlAt(layout.rect.center(), false);
    if (layout.mappable)
      EXPECT_EQ(mappableOnly, layout.id);
    else
      EXPECT_FALSE(mappableOnly.has_value()) << "Bank/Shift hit without asking: " << layout.id;
  }
  EXPECT_FALSE(ControlAt({2, 2}, true).has_value());       // panel corner
  EXPECT_FALSE(ControlAt({500, 100}, true).has_value());   // beside the picture
  EXPECT_FALSE(ControlAt({-5, 300}, true).has_value());
}

struct SpotCase {
  const char* what;
  ControlId id;
  QPointF topLeft;
};

class SurfaceLayoutSpot : public ::testing::TestWithParam<SpotCase> {};

TEST_P(SurfaceLayoutSpot, SitsWhereTheDialogPlacesIt) {
  const ControlLayout* layout = LayoutOf(GetParam().id);
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->rect.topLeft(), GetParam().topLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, SurfaceLayoutSpot,
    ::testing::Values(SpotCase{"mute chan 1", 1000, {4, 290}}, SpotCase{"mute chan 17", 1016, {4, 98}},
                      SpotCase{"mute chan 32", 1031, {304, 98}}, SpotCase{"arm chan 16", 1047, {304, 356}},
                      SpotCase{"pan chan 17", 1144, {4, 55}}, SpotCase{"select chan 2", 1161, {24, 312}},
                      SpotCase{"locate chan 18", 1113, {24, 141}}, SpotCase{"solo chan 1", 1064, {4, 268}},
                      SpotCase{"play", 1204, {560, 323}}, SpotCase{"rec", 1207, {560, 294}},
                      SpotCase{"stop", 1206, {592, 300}}, SpotCase{"cursor left", 1212, {517, 281}},
                      SpotCase{"fader 1", 1224, {13, 389}}, SpotCase{"fader 32", 1255, {313, 195}},
                      SpotCase{"pot P1 counter clockwise", 1259, {88, 8}},
                      SpotCase{"pot P1 clockwise", 1265, {104, 8}}, SpotCase{"pot P4 clockwise", 1262, {224, 8}},
                      SpotCase{"F1", 1194, {542, 199}}, SpotCase{"F5", 1198, {521, 217}},
                      SpotCase{"F9 shifted", 1222, {605, 253}}, SpotCase{"footswitch", 1268, {421, 371}},
                      SpotCase{"wheel clockwise", 1270, {568, 364}}, SpotCase{"shuttle", 1209, {594, 345}}),
    test::NameFromWhat{});

// The lamps the host can light on a pictured control: the channel buttons of both layers,
// Bank, RECORD and the wheel's two.
TEST(SurfaceLayout, LampsAreTheChannelButtonsBankRecordAndTheWheel) {
  std::set<ControlId> withLamp;
  for (const ControlLayout& layout : SurfaceLayout())
    if (HasLamp(layout)) withLamp.insert(layout.id);
  std::set<ControlId> expected{1207, 1269, 1270};
  for (ControlId id = 1000; id <= kBankButton; ++id) expected.insert(id);
  EXPECT_EQ(withLamp, expected);
}

// Every value has its place on the travel, and the place gives the value back; the ends
// hold beyond the slot.
TEST(SurfaceLayout, FaderCapAndValueAgreeOverTheWholeTravel) {
  for (ControlId id : {1224, 1239, 1255}) {
    const ControlLayout& fader = *LayoutOf(id);
    for (int value = 0; value <= kFaderTop; ++value) {
      const QRectF cap = FaderCapRect(fader, value);
      EXPECT_TRUE(fader.rect.contains(cap)) << id << " " << value;
      EXPECT_EQ(FaderValueAt(fader, cap.center().y()), value) << id;
    }
    EXPECT_LT(FaderCapRect(fader, kFaderTop).top(), FaderCapRect(fader, 0).top()) << "up is louder";
    EXPECT_EQ(FaderValueAt(fader, fader.rect.top() - 50), kFaderTop);
    EXPECT_EQ(FaderValueAt(fader, fader.rect.bottom() + 50), 0);
    EXPECT_EQ(FaderCapRect(fader, 500), FaderCapRect(fader, kFaderTop));
  }
}

TEST(SurfaceLayout, DefaultScaleGivesAPictureAbout1200PixelsWide) {
  const QSizeF size = SurfacePixelSize();
  EXPECT_GE(size.width(), 1100);
  EXPECT_LE(size.width(), 1250);
  EXPECT_DOUBLE_EQ(size.width() / size.height(), 621.0 / 447.0);
}

std::vector<ControlId> ClicksAt(SurfacePicture& picture, QPointF canvasPoint) {
  std::vector<ControlId> clicked;
  QObject::connect(&picture, &SurfacePicture::controlClicked, [&clicked](ControlId id) { clicked.push_back(id); });
  const QPoint at = picture.CanvasToWidget().map(canvasPoint).toPoint();
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), picture.mapToGlobal(QPointF(at)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&picture, &press);
  return clicked;
}

TEST(SurfacePicture, ClickOnPlayEmitsItsControl) {
  test::OffscreenApp();
  SurfacePicture picture;
  picture.resize(picture.sizeHint());
  EXPECT_EQ(ClicksAt(picture, LayoutOf(1204)->rect.center()), std::vector<ControlId>{1204});
}

TEST(SurfacePicture, ClickHitsTheSameControlWhenStretchedOutOfAspect) {
  test::OffscreenApp();
  SurfacePicture picture;
  picture.resize(1600, 500);  // letterboxed left and right
  EXPECT_EQ(ClicksAt(picture, LayoutOf(1259)->rect.center()), std::vector<ControlId>{1259});
}

TEST(SurfacePicture, BankAndShiftAnswerOnlyWhenShown) {
  test::OffscreenApp();
  SurfacePicture editorPicture(false);
  editorPicture.resize(editorPicture.sizeHint());
  EXPECT_TRUE(ClicksAt(editorPicture, LayoutOf(kBankButton)->rect.center()).empty());
  SurfacePicture simulated(true);
  simulated.resize(simulated.sizeHint());
  EXPECT_EQ(ClicksAt(simulated, LayoutOf(kShiftButton)->rect.center()), std::vector<ControlId>{kShiftButton});
}

TEST(SurfacePicture, KeepsPressedAndLampStatePerControl) {
  test::OffscreenApp();
  SurfacePicture picture;
  picture.SetPressed(1204, true);
  picture.SetLamp(1000, true);
  picture.SetLamp(5000, true);  // outside the table: ignored
  EXPECT_TRUE(picture.IsPressed(1204));
  EXPECT_FALSE(picture.IsPressed(1205));
  EXPECT_TRUE(picture.IsLampLit(1000));
  EXPECT_FALSE(picture.IsLampLit(5000));
  picture.SetPressed(1204, false);
  EXPECT_FALSE(picture.IsPressed(1204));
}

TEST(SurfacePicture, PlacesFaderCapsOnlyOnFaders) {
  test::OffscreenApp();
  SurfacePicture picture;
  EXPECT_EQ(picture.FaderLevel(1226), std::nullopt);  // at rest until placed
  picture.SetFaderLevel(1226, 0x40);
  picture.SetFaderLevel(1255, 300);  // clamped
  picture.SetFaderLevel(1204, 0x40);  // PLAY is no fader
  EXPECT_EQ(picture.FaderLevel(1226), 0x40);
  EXPECT_EQ(picture.FaderLevel(1255), kFaderTop);
  EXPECT_EQ(picture.FaderLevel(1204), std::nullopt);
  EXPECT_EQ(picture.FaderLevel(1225), std::nullopt);
}

}  // namespace
}  // namespace orvo
