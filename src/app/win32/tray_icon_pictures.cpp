#include "app/win32/tray_icon_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orvo {
namespace {

struct Color {
  double r, g, b, a;
};

// Drawn on a 64-unit square, each pixel the average of 4x4 samples.
class Picture {
 public:
  explicit Picture(bool connected) : connected_(connected) {}

  Color At(double x, double y) const {
    Color c{0, 0, 0, 0};
    const Color body = connected_ ? Rgb(0x2B, 0x31, 0x3A) : Rgb(0x6E, 0x6E, 0x6E);
    const Color edge = connected_ ? Rgb(0x0E, 0x11, 0x15) : Rgb(0x50, 0x50, 0x50);
    const Color slot = connected_ ? Rgb(0x12, 0x15, 0x1A) : Rgb(0x4A, 0x4A, 0x4A);
    const Color cap = connected_ ? Rgb(0xE8, 0xEC, 0xF0) : Rgb(0xB8, 0xB8, 0xB8);
    const double panel = RoundedRect(x, y, 4, 10, 60, 54, 7);
    if (panel <= 1) c = edge;
    if (panel <= -1) c = body;
    const double caps[] = {36, 26, 40, 30};
    for (int i = 0; i < 4; ++i) {
      const double fx = 13 + i * 10;
      if (RoundedRect(x, y, fx - 1.5, 18, fx + 1.5, 48, 1.5) <= 0) c = slot;
      if (RoundedRect(x, y, fx - 4, caps[i] - 3, fx + 4, caps[i] + 3, 1.5) <= 0) c = cap;
    }
    const double lamp = std::hypot(x - 52, y - 18);
    if (connected_ && lamp <= 7) c = Over(c, Color{0x7C / 255.0, 1.0, 0x8A / 255.0, 0.86 * (1 - lamp / 7)});
    if (lamp <= 3.5) c = connected_ ? Rgb(0x3C, 0xE0, 0x5A) : Rgb(0x3A, 0x3A, 0x3A);
    if (!connected_ && SegmentDistance(x, y, 10, 56, 54, 8) <= 3.5) c = Rgb(0xE0, 0x30, 0x30);
    return c;
  }

 private:
  static Color Rgb(int r, int g, int b) { return {r / 255.0, g / 255.0, b / 255.0, 1}; }
  static Color Over(Color under, Color over) {
    const double a = over.a + under.a * (1 - over.a);
    if (a <= 0) return {0, 0, 0, 0};
    auto mix = [&](double o, double u) { return (o * over.a + u * under.a * (1 - over.a)) / a; };
    return {mix(over.r, under.r), mix(over.g, under.g), mix(over.b, under.b), a};
  }
  // Signed distance from the rounded rectangle's outline (negative inside).
  static double RoundedRect(double x, double y, double left, double top, double right, double bottom, double radius) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double qx = std::abs(x - cx) - ((right - left) / 2 - radius);
    const double qy = std::abs(y - cy) - ((bottom - top) / 2 - radius);
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
  }
  static double SegmentDistance(double x, double y, double x0, double y0, double x1, double y1) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
  }

  bool connected_;
};

}  // namespace

HICON MakeTrayIcon(bool connected, int size) {
  const Picture picture(connected);
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = size;
  header.bV5Height = -size;  // top row first
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  const HDC screen = GetDC(nullptr);
  const HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, screen);
  if (!color) return nullptr;
  auto* pixels = static_cast<uint32_t*>(bits);
  constexpr int kSamples = 4;
  const double unit = 64.0 / size;
  for (int py = 0; py < size; ++py) {
    for (int px = 0; px < size; ++px) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          const Color c = picture.At((px + (sx + 0.5) / kSamples) * unit, (py + (sy + 0.5) / kSamples) * unit);
          r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
        }
      }
      const auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
      const double n = kSamples * kSamples;
      // Straight (not premultiplied) alpha, as icons take it.
      const double cover = a > 0 ? a : 1;
      pixels[py * size + px] = byte(a / n) << 24 | byte(r / cover) << 16 | byte(g / cover) << 8 | byte(b / cover);
    }
  }
  // The mask all clear: the colour bitmap's alpha says what shows.
  const std::vector<uint8_t> clear(static_cast<std::size_t>((size + 15) / 16 * 2 * size), 0);
  const HBITMAP mask = CreateBitmap(size, size, 1, 1, clear.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = color;
  info.hbmMask = mask;
  const HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(color);
  return icon;
}

}  // namespace orvo
