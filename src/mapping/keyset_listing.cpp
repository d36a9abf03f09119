#include "mapping/keyset_listing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "mapping/dispatch.h"
#include "mapping/keyset.h"
#include "platform/key_map.h"
#include "protocol/midi_words.h"

namespace orvo {
namespace {

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%X", value);
  return text;
}

std::string KeyPart(const ControlMapping& mapping) {
  const uint32_t flags = mapping.KeyFlags.load();
  if (!HasKeystroke(flags)) return "<>(<>), <>(<>)";
  std::string name = KeyNameFromFlags(flags);
  if (name.size() > 50) name.resize(50);
  std::string modifiers;
  if (flags & kModCtrl) modifiers += "Ctrl+";
  if (flags & kModAlt) modifiers += "Alt+";
  if (flags & kModShift) modifiers += "Shft+";
  return name + "(0x" + Hex(static_cast<uint32_t>(mapping.KeyCode.load())) + "), " + modifiers + "(0x" +
         Hex(flags & 0xFFFF) + ")";
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

std::string FormatMidiRule(MapType mapType, uint8_t dataA, uint8_t dataB) {
  const std::string a = Hex(dataA), b = Hex(dataB);
  switch (mapType) {
    case MapType::kNative: return "Native";
    case MapType::kCustom1: return "Custom 1: midi msg = (Native, Native, Native)";
    case MapType::kCustom2: return "Custom 2: midi msg = (Native, Native, Native)";
    case MapType::kCustom1StatusData: return "Custom 1: midi msg = (" + a + ", " + b + ", Native)";
    case MapType::kCustom1Status: return "Custom 1: midi msg = (" + a + ", Native, Native)";
    case MapType::kCustom1Data: return "Custom 1: midi msg = (Native, " + b + ", Native)";
    case MapType::kCustom2StatusData: return "Custom 2: midi msg = (" + a + ", Native, " + b + ")";
    case MapType::kCustom2Status: return "Custom 2: midi msg = (" + a + ", Native, Native)";
    case MapType::kCustom2Data: return "Custom 2: midi msg = (Native, Native, " + b + ")";
    default: return "<>";
  }
}

std::string FormatListingLine(const ControlMapping& mapping) {
  return std::string(mapping.Descriptor.name) + "(" + std::to_string(mapping.ControlId) + "):  " + KeyPart(mapping) +
         ", " + FormatMidiRule(mapping.MapType.load(), mapping.DataA.load(), mapping.DataB.load()) + ", " +
         mapping.Label.Get();
}

std::string DescribeRule(const ControlDescriptor& row, MapType mapType, uint8_t dataA, uint8_t dataB) {
  // Sent with the value 0 and with 0x7F: a byte that differs is the control's value.
  const uint32_t low = RewriteMessage(row.wireCode & 0xFFFF, mapType, dataA, dataB);
  const uint32_t high = RewriteMessage((row.wireCode & 0xFFFF) | 0x7Fu << 16, mapType, dataA, dataB);
  const auto byteAt = [&](int shift) {
    const auto byte = static_cast<uint8_t>((low >> shift) & 0xFF);
    return byte == static_cast<uint8_t>((high >> shift) & 0xFF) ? DataByte(byte) : std::nullopt;
  };
  return DescribeMidi(static_cast<uint8_t>(low), byteAt(8), byteAt(16));
}

std::vector<std::string> KeysetListing(const Keyset& keyset) {
  std::vector<std::string> lines;
  keyset.ForEachMapping([&](ControlId, const ControlMapping& mapping) {
    if (!MapsSomething(mapping)) return;
    std::string line = FormatListingLine(mapping);
    if (const MapType type = mapping.MapType.load(); type != MapType::kNative)
      line += "   = " + DescribeRule(mapping.Descriptor, type, mapping.DataA.load(), mapping.DataB.load());
    lines.push_back(std::move(line));
  });
  std::stable_sort(lines.begin(), lines.end(), LessIgnoringCase);
  return lines;
}

}  // namespace orvo
