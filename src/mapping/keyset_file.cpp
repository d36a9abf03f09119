#include "mapping/keyset_file.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace orvo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The whole text as a decimal integer within [low, high]; nothing for anything else.
std::optional<int64_t> DecimalIn(std::string_view text, int64_t low, int64_t high) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
  return value;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// A data byte field: hex digits only, worth at most 0xFF.
std::optional<uint8_t> DataByte(std::string_view text) {
  if (!std::all_of(text.begin(), text.end(), [](char ch) { return HexDigit(ch) >= 0; })) return std::nullopt;
  const auto significant = text.find_first_not_of('0');
  if (significant != std::string_view::npos && text.size() - significant > 2) return std::nullopt;
  uint8_t byte = 0;
  HexToByte(text, byte);
  return byte;
}

// Line breaks inside a label or port name would split the line: written as spaces.
void AppendOneLine(std::string& out, const std::string& text) {
  for (char ch : text) out.push_back(ch == '\r' || ch == '\n' ? ' ' : ch);
}

void AppendMappingLine(std::string& out, orvo::ControlId id, const ControlMapping& mapping) {
  const uint32_t keyFlags = mapping.KeyFlags.load(std::memory_order_relaxed);
  std::array<char, 96> head{};
  int length;
  if (HasKeystroke(keyFlags)) {
    length = std::snprintf(head.data(), head.size(), "%ld:%d:%d:%u:%X:%X:", static_cast<long>(id),
                           static_cast<int>(mapping.KeyCode.load(std::memory_order_relaxed)),
                           static_cast<int>(static_cast<int32_t>(keyFlags)),
                           static_cast<unsigned>(mapping.MapType.load(std::memory_order_relaxed)),
                           static_cast<unsigned>(mapping.DataA.load(std::memory_order_relaxed)),
                           static_cast<unsigned>(mapping.DataB.load(std::memory_order_relaxed)));
  } else {
    length = std::snprintf(head.data(), head.size(), "%ld:::%u:%X:%X:", static_cast<long>(id),
                           static_cast<unsigned>(mapping.MapType.load(std::memory_order_relaxed)),
                           static_cast<unsigned>(mapping.DataA.load(std::memory_order_relaxed)),
                           static_cast<unsigned>(mapping.DataB.load(std::memory_order_relaxed)));
  }
  out.append(head.data(), static_cast<std::size_t>(length));
  AppendOneLine(out, mapping.Label.Get());
  out += "\r\n";
}

// The seven fields of a mapping line, or nothing when it has fewer than six colons.
std::optional<std::array<std::string_view, 7>> SplitMappingLine(std::string_view line) {
  std::array<std::string_view, 7> fields;
  std::size_t start = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    const auto colon = line.find(':', start);
    if (colon == std::string_view::npos) return std::nullopt;
    fields[i] = Trimmed(line.substr(start, colon - start));
    start = colon + 1;
  }
  fields[6] = line.substr(start);  // the label, untrimmed, colons and all
  return fields;
}

// The mapping a line describes, or nullptr when the line is not a sound mapping line
// for a control of the table.
std::unique_ptr<ControlMapping> ParseMappingLine(std::string_view line) {
  const auto fields = SplitMappingLine(line);
  if (!fields) return nullptr;
  const auto& [idText, keyCodeText, keyFlagsText, mapTypeText, dataAText, dataBText, label] = *fields;

  const auto id = DecimalIn(idText, kFirstControlId, kLastControlId);
  if (!id) return nullptr;
  const ControlDescriptor* row = LookupControlById(static_cast<orvo::ControlId>(*id));
  if (!row) return nullptr;
  auto mapping = std::make_unique<ControlMapping>(*row);

  constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kUintMax = std::numeric_limits<uint32_t>::max();
  if (!keyCodeText.empty()) {
    const auto keyCode = DecimalIn(keyCodeText, kIntMin, kIntMax);
    if (!keyCode) return nullptr;
    mapping->KeyCode = static_cast<int32_t>(*keyCode);
  }
  if (!keyFlagsText.empty()) {
    // Written signed; an unsigned spelling of the same 32 bits is taken as well.
    const auto keyFlags = DecimalIn(keyFlagsText, kIntMin, kUintMax);
    if (!keyFlags) return nullptr;
    mapping->KeyFlags = static_cast<uint32_t>(*keyFlags);
  }
  if (!mapTypeText.empty()) {
    const auto mapType = DecimalIn(mapTypeText, 0, kUintMax);
    if (!mapType) return nullptr;
    mapping->MapType = static_cast<MapType>(*mapType & 0xFF);
  }
  if (!dataAText.empty()) {
    const auto dataA = DataByte(dataAText);
    if (!dataA) return nullptr;
    mapping->DataA = *dataA;
  }
  if (!dataBText.empty()) {
    const auto dataB = DataByte(dataBText);
    if (!dataB) return nullptr;
    mapping->DataB = *dataB;
  }
  mapping->Label.Set(label);
  return mapping;
}

bool EndsWithKeysetExtension(const std::string& fileName) {
  if (fileName.size() <= kKeysetFileExtension.size()) return false;  // a name is needed too
  const auto tail = fileName.substr(fileName.size() - kKeysetFileExtension.size());
  return UpperCased(tail) == UpperCased(kKeysetFileExtension);
}

// A Keyset name that names a file of the directory itself.
bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

}  // namespace

bool HexToByte(std::string_view text, uint8_t& byte) {
  if (text.empty()) return false;
  uint8_t value = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 && i + 1 == text.size()) break;  // a stray last character adds nothing
    value = static_cast<uint8_t>(value * 16 + std::max(digit, 0));
  }
  byte = value;
  return true;
}

std::string FormatKeyset(const Keyset& keyset) {
  std::string out;
  out.reserve(keyset.Count() * 40 + 128);
  keyset.ForEachMapping([&](orvo::ControlId id, const ControlMapping& mapping) { AppendMappingLine(out, id, mapping); });
  if (const std::string port = keyset.MidiInPort.Get(); !port.empty()) {
    out += "MidiInPort:";
    AppendOneLine(out, port);
    out += "\r\n";
  }
  if (const std::string port = keyset.MidiOutPort.Get(); !port.empty()) {
    out += "MidiOutPort:";
    AppendOneLine(out, port);
    out += "\r\n";
  }
  out += "DeviceMode:" + std::to_string(keyset.DeviceMode.load(std::memory_order_relaxed)) + "\r\n";
  return out;
}

void ReadKeysetText(std::istream& in, Keyset& keyset) {
  std::vector<std::unique_ptr<ControlMapping>> mappings;
  std::bitset<kLastControlId - kFirstControlId + 1> seen;
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string_view key = Trimmed(std::string_view(line).substr(0, colon));
    if (key.empty()) continue;
    const std::string_view value = Trimmed(std::string_view(line).substr(colon + 1));

    if (key == "MidiInPort") {
      if (!value.empty()) keyset.MidiInPort.Set(value);
    } else if (key == "MidiOutPort") {
      if (!value.empty()) keyset.MidiOutPort.Set(value);
    } else if (key == "DeviceMode") {
      const auto mode = DecimalIn(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
      if (mode) keyset.DeviceMode = static_cast<int32_t>(*mode);
    } else if (auto mapping = ParseMappingLine(line)) {
      const std::size_t index = static_cast<std::size_t>(mapping->ControlId - kFirstControlId);
      if (seen[index] || keyset.LookupMapping(mapping->ControlId)) continue;
      seen[index] = true;
      mappings.push_back(std::move(mapping));
    }
  }
  // Latest entered comes first in a bucket: enter the lines backwards to keep their order.
  for (auto it = mappings.rbegin(); it != mappings.rend(); ++it) keyset.SetMapping(std::move(*it));
}

KeysetFiles::KeysetFiles(Mapper& mapper, std::filesystem::path directory, MessageService& messages)
    : mapper_(mapper), directory_(std::move(directory)), messages_(messages) {}

std::filesystem::path KeysetFiles::PathOf(const Keyset& keyset) const {
  return directory_ / (keyset.Name + std::string(kKeysetFileExtension));
}

void KeysetFiles::LoadAllKeysets() {
  std::vector<std::string> fileNames;
  std::error_code ec;
  fs::directory_iterator it(directory_, ec);
  if (!ec) {
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (EndsWithKeysetExtension(name)) fileNames.push_back(name);
    }
    if (ec) messages_.ShowMessage(kFindNextFailedMessage, MessageIcon::kWarning);
  }
  // Files named exactly as they are saved come first, so that their lines win over those
  // of a stale differently cased copy; otherwise by name, the same on every start.
  std::sort(fileNames.begin(), fileNames.end(), [](const std::string& a, const std::string& b) {
    const bool aCanonical = a == UpperCased(a.substr(0, a.size() - kKeysetFileExtension.size())) +
                                     std::string(kKeysetFileExtension);
    const bool bCanonical = b == UpperCased(b.substr(0, b.size() - kKeysetFileExtension.size())) +
                                     std::string(kKeysetFileExtension);
    if (aCanonical != bCanonical) return aCanonical;
    return a < b;
  });
  for (const std::string& name : fileNames) LoadKeysetFile(name);

  if (!mapper_.DefaultKeyset()) mapper_.SetDefaultKeyset(mapper_.FindOrCreate(Mapper::kDefaultName, true));
}

bool KeysetFiles::LoadKeysetFile(const std::string& fileName) {
  if (fileName.size() <= kKeysetFileExtension.size()) return false;
  const std::string name = fileName.substr(0, fileName.size() - kKeysetFileExtension.size());
  const fs::path path = directory_ / fileName;
  std::error_code ec;
  std::ifstream in;
  if (!fs::is_directory(path, ec)) in.open(path, std::ios::binary);
  if (!in.is_open()) {
    messages_.ShowMessage(kReadFailedMessage, MessageIcon::kWarning);
    return false;
  }
  Keyset* keyset = mapper_.FindOrCreate(name, true);
  if (keyset->Name == Mapper::kDefaultName) mapper_.SetDefaultKeyset(keyset);
  ReadKeysetText(in, *keyset);
  if (in.bad()) {
    messages_.ShowMessage(kReadFailedMessage, MessageIcon::kWarning);
    return false;
  }
  return true;
}

bool KeysetFiles::SaveKeyset(const Keyset& keyset) {
  if (!WriteKeysetFile(keyset)) return false;
  RemoveOtherCasings({keyset.Name});
  return true;
}

bool KeysetFiles::SaveAllKeysets() {
  bool allSaved = true;
  std::vector<std::string> saved;
  mapper_.ForEachKeyset([&](const std::string&, const Keyset& keyset) {
    if (WriteKeysetFile(keyset))
      saved.push_back(keyset.Name);
    else
      allSaved = false;
  });
  RemoveOtherCasings(saved);
  return allSaved;
}

bool KeysetFiles::WriteKeysetFile(const Keyset& keyset) {
  if (!IsPlainFileName(keyset.Name)) {
    messages_.ShowMessage(kWriteFailedMessage, MessageIcon::kWarning);
    return false;
  }
  const fs::path path = PathOf(keyset);
  fs::path temporary = path;
  temporary += ".tmp";  // not *.orvo: a leftover is never loaded
  const std::string text = FormatKeyset(keyset);

  bool written = false;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out.is_open()) {
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      out.flush();
      out.close();
      written = !out.fail();
    }
  }
  std::error_code ec;
  if (written) {
    fs::rename(temporary, path, ec);
    written = !ec;
  }
  if (!written) {
    fs::remove(temporary, ec);
    messages_.ShowMessage(kWriteFailedMessage, MessageIcon::kWarning);
  }
  return written;
}

void KeysetFiles::RemoveOtherCasings(const std::vector<std::string>& savedNames) {
  if (savedNames.empty()) return;
  std::map<std::string, std::string> savedByUpperName;  // upper-cased file name -> saved file name
  for (const std::string& name : savedNames) {
    const std::string file = name + std::string(kKeysetFileExtension);
    savedByUpperName[UpperCased(file)] = file;
  }
  std::vector<std::pair<fs::path, fs::path>> stale;  // with the saved file it duplicates
  std::error_code ec;
  fs::directory_iterator it(directory_, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const auto saved = savedByUpperName.find(UpperCased(name));
    if (saved != savedByUpperName.end() && saved->second != name)
      stale.emplace_back(it->path(), directory_ / saved->second);
  }
  for (const auto& [path, saved] : stale) {
    // On a file system that ignores letter case this is the saved file itself.
    std::error_code same;
    if (fs::equivalent(path, saved, same) || same) continue;
    std::error_code removed;
    fs::remove(path, removed);
  }
}

}  // namespace orvo
