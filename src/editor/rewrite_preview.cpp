#include "editor/rewrite_preview.h"

#include <QStringList>

#include "mapping/dispatch.h"
#include "mapping/keyset_listing.h"

namespace orvo {
namespace {

// The three bytes of a message sent with the value 0 and with the value 0x7F: where they
// differ, the value goes.
QString Bytes(uint32_t withLowValue, uint32_t withHighValue) {
  QStringList bytes;
  for (int shift : {0, 8, 16}) {
    const unsigned low = (withLowValue >> shift) & 0xFF;
    const unsigned high = (withHighValue >> shift) & 0xFF;
    bytes << (low == high ? QString::asprintf("%02X", low) : QStringLiteral("vv"));
  }
  return bytes.join(' ');
}

}  // namespace

QString RewriteWords(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB) {
  return QString::fromStdString(DescribeRule(row, mapType, dataA, dataB));
}

QString RewritePreview(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB) {
  const uint32_t low = row.wireCode & 0xFFFF;
  const uint32_t high = low | 0x7Fu << 16;
  return Bytes(low, high) + QStringLiteral(" \u2192 ") +
         Bytes(RewriteMessage(low, mapType, dataA, dataB), RewriteMessage(high, mapType, dataA, dataB));
}

}  // namespace orvo
