#include "editor/mapping_words.h"

#include <QStringList>

#include "editor/key_map_panel.h"
#include "editor/label_text.h"
#include "editor/rewrite_preview.h"
#include "mapping/keyset.h"

namespace orvo {

QString MidiRuleWords(const ControlMapping& mapping) {
  const MapType type = mapping.MapType.load();
  if (type == MapType::kNative) return QStringLiteral("Native");
  const uint8_t a = mapping.DataA.load(), b = mapping.DataB.load();
  return QStringLiteral("%1 (%2)").arg(RewriteWords(mapping.Descriptor, type, a, b),
                                       RewritePreview(mapping.Descriptor, type, a, b));
}

QString MappingSummary(const ControlMapping& mapping) {
  QStringList parts;
  const QString key = KeystrokeText(mapping.KeyCode.load(), mapping.KeyFlags.load());
  if (!key.isEmpty()) parts << QStringLiteral("key ") + key;
  if (mapping.MapType.load() != MapType::kNative) parts << QStringLiteral("MIDI ") + MidiRuleWords(mapping);
  const QString label = LabelForDisplay(mapping.Label.Get());
  if (!label.isEmpty()) parts << QStringLiteral("label \u201c%1\u201d").arg(label);
  return parts.join(QStringLiteral("; "));
}

QString MappingBadge(const ControlMapping& mapping) {
  QString badge;
  if (HasKeystroke(mapping.KeyFlags.load()) && !KeystrokeText(mapping.KeyCode.load(), mapping.KeyFlags.load()).isEmpty())
    badge += 'K';
  if (mapping.MapType.load() != MapType::kNative) badge += 'M';
  if (badge.isEmpty() && !mapping.Label.Empty()) badge += 'L';
  return badge;
}

}  // namespace orvo
