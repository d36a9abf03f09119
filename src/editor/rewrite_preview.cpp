#include "editor/rewrite_preview.h"

#include <QStringList>

#include "mapping/dispatch.h"
#include "protocol/midi_words.h"

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

// A data byte of the message sent: fixed, or the control's value where the two differ.
DataByte ByteAt(uint32_t withLowValue, uint32_t withHighValue, int shift) {
  const auto low = static_cast<uint8_t>((withLowValue >> shift) & 0xFF);
  return low == static_cast<uint8_t>((withHighValue >> shift) & 0xFF) ? DataByte(low) : std::nullopt;
}

}  // namespace

QString RewriteWords(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB) {
  const uint32_t low = RewriteMessage(row.wireCode & 0xFFFF, mapType, dataA, dataB);
  const uint32_t high = RewriteMessage((row.wireCode & 0xFFFF) | 0x7Fu << 16, mapType, dataA, dataB);
  return QString::fromStdString(
      DescribeMidi(static_cast<uint8_t>(low), ByteAt(low, high, 8), ByteAt(low, high, 16)));
}

QString RewritePreview(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB) {
  const uint32_t low = row.wireCode & 0xFFFF;
  const uint32_t high = low | 0x7Fu << 16;
  return Bytes(low, high) + QStringLiteral(" \u2192 ") +
         Bytes(RewriteMessage(low, mapType, dataA, dataB), RewriteMessage(high, mapType, dataA, dataB));
}

}  // namespace orvo
