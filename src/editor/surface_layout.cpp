#include "editor/surface_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace orvo {
namespace {

// Sizes per family, in dialog units. The channel rows are 21-22 units apart and the
// columns 20, the F buttons 21 by 18, so these leave a small gap everywhere.
constexpr QSizeF kChannelButton{16, 12};
constexpr QSizeF kFButton{14, 12};  // the last column ends 2 units short of the panel edge
constexpr QSizeF kTransport{24, 16};
constexpr QSizeF kCursor{11, 11};
constexpr QSizeF kWheelButton{20, 12};
constexpr QSizeF kFader{12, 44};     // the slot; the cap is drawn inside it
constexpr QSizeF kPotHalf{16, 32};   // two halves make one round pot
constexpr QSizeF kWheelHalf{30, 60}; // two halves make the round wheel
constexpr QSizeF kFootswitch{30, 50};

struct ChannelRow {
  ControlId first;
  double lowerY, upperY;
};

constexpr std::array<ChannelRow, 6> kChannelRows{{
    {1000, 290, 98},   // Mute
    {1032, 356, 163},  // Arm
    {1064, 268, 77},   // Solo
    {1096, 334, 141},  // Locate
    {1128, 246, 55},   // Pan Select
    {1160, 312, 119},  // Track Select
}};

double ChannelX(int channel) { return 4 + 20 * ((channel - 1) % 16); }
bool LowerHalf(int channel) { return channel <= 16; }

// The pots' ids run P4, P5, P6, P1, P2, P3.
int PotNumber(ControlId firstOfHalf, ControlId id) { return (id - firstOfHalf + 3) % 6 + 1; }

// F1-F4 sit right-aligned above F5-F9.
QPointF FButtonAt(int number, double topRowY) {
  if (number <= 4) return {542.0 + 21 * (number - 1), topRowY};
  return {521.0 + 21 * (number - 5), topRowY + 18};
}

std::vector<ControlLayout> BuildLayout() {
  std::vector<ControlLayout> rows;
  // The caption and whether the editor draws the control come from the control's row.
  auto add = [&rows](ControlId id, QPointF at, QSizeF size, SurfaceFamily family, const char* caption = nullptr) {
    const ControlDescriptor& row = *LookupControlById(id);
    rows.push_back({id, QRectF(at, size), family, caption ? caption : row.caption, row.hasPictureButton});
  };

  for (const ChannelRow& row : kChannelRows)
    for (int channel = 1; channel <= 32; ++channel)
      add(row.first + channel - 1, {ChannelX(channel), LowerHalf(channel) ? row.lowerY : row.upperY},
          kChannelButton, SurfaceFamily::ChannelButton);

  for (int number = 1; number <= 9; ++number) {
    add(1193 + number, FButtonAt(number, 199), kFButton, SurfaceFamily::FButton);
    add(1213 + number, FButtonAt(number, 235), kFButton, SurfaceFamily::FButton);
  }

  add(1203, {527, 323}, kTransport, SurfaceFamily::Transport);
  add(1204, {560, 323}, kTransport, SurfaceFamily::Transport);
  add(1205, {592, 323}, kTransport, SurfaceFamily::Transport);
  add(1206, {592, 300}, kTransport, SurfaceFamily::Transport);
  add(1207, {560, 294}, kTransport, SurfaceFamily::Transport);
  add(1208, {531, 345}, kWheelButton, SurfaceFamily::WheelButton);
  add(1209, {594, 345}, kWheelButton, SurfaceFamily::WheelButton);
  add(1210, {529, 270}, kCursor, SurfaceFamily::Cursor);
  add(1211, {528, 292}, kCursor, SurfaceFamily::Cursor);
  add(1212, {517, 281}, kCursor, SurfaceFamily::Cursor);
  add(1213, {540, 281}, kCursor, SurfaceFamily::Cursor);

  for (int channel = 1; channel <= 32; ++channel)
    add(1223 + channel, {13.0 + 20 * ((channel - 1) % 16), LowerHalf(channel) ? 389.0 : 195.0}, kFader,
        SurfaceFamily::Fader);

  for (ControlId id = 1256; id <= 1261; ++id)
    add(id, {88.0 + 40 * (PotNumber(1256, id) - 1), 8}, kPotHalf, SurfaceFamily::PotHalf);
  for (ControlId id = 1262; id <= 1267; ++id)
    add(id, {104.0 + 40 * (PotNumber(1262, id) - 1), 8}, kPotHalf, SurfaceFamily::PotHalf);

  add(1268, {421, 371}, kFootswitch, SurfaceFamily::Footswitch);
  add(1269, {538, 364}, kWheelHalf, SurfaceFamily::WheelHalf);
  add(1270, {568, 364}, kWheelHalf, SurfaceFamily::WheelHalf);

  std::sort(rows.begin(), rows.end(), [](const ControlLayout& a, const ControlLayout& b) { return a.id < b.id; });

  // Bank and Shift take the free first places of the two F button grids.
  add(kBankButton, {521, 199}, kFButton, SurfaceFamily::LayerButton, "BANK");
  add(kShiftButton, {521, 235}, kFButton, SurfaceFamily::LayerButton, "SHIFT");
  return rows;
}

const std::vector<ControlLayout>& Table() {
  static const std::vector<ControlLayout> table = BuildLayout();
  return table;
}

}  // namespace

std::span<const ControlLayout> SurfaceLayout() { return Table(); }

const ControlLayout* LayoutOf(ControlId id) {
  for (const ControlLayout& layout : Table())
    if (layout.id == id) return &layout;
  return nullptr;
}

std::optional<ControlId> ControlAt(QPointF point, bool includeBankShift) {
  for (const ControlLayout& layout : Table()) {
    if (!layout.mappable && !includeBankShift) continue;
    if (layout.rect.contains(point)) return layout.id;
  }
  return std::nullopt;
}

bool HasLamp(const ControlLayout& layout) { return LookupControlById(layout.id)->hasLamp; }

namespace {
constexpr double kFaderCapHeight = 10;
double FaderTravel(const ControlLayout& fader) { return fader.rect.height() - kFaderCapHeight; }
}  // namespace

QRectF FaderCapRect(const ControlLayout& fader, int value) {
  const double share = std::clamp(value, 0, kFaderTop) / double(kFaderTop);
  const double top = fader.rect.top() + (1 - share) * FaderTravel(fader);
  return {fader.rect.left(), top, fader.rect.width(), kFaderCapHeight};
}

int FaderValueAt(const ControlLayout& fader, double canvasY) {
  const double lowest = fader.rect.bottom() - kFaderCapHeight / 2;  // the cap's centre at 0x00
  const double share = (lowest - canvasY) / FaderTravel(fader);
  return std::clamp(static_cast<int>(std::lround(share * kFaderTop)), 0, kFaderTop);
}

QSizeF SurfacePixelSize(double scale) { return kSurfaceCanvasSize * scale; }

}  // namespace orvo
