#include "mapping/keyset_file.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/utf8_path.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The leading decimal integer of the text, with an optional sign, as the format's own
// reader takes it ("1204x" is 1204); nothing when the text does not start with one.
// Values beyond 2^40 are held there, far outside every field's range.
std::optional<int64_t> LeadingInteger(std::string_view text) {
  constexpr int64_t kLimit = int64_t{1} << 40;
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) value = std::min(value * 10 + (text[i] - '0'), kLimit);
  return negative ? -value : value;
}

int HexDigit(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Line breaks inside a label or port name would split the line: written as spaces.
void AppendOneLine(std::string& out, const std::string& text) {
  for (char ch : text) out.push_back(ch == '\r' || ch == '\n' ? ' ' : ch);
}

std::string MappingLine(orvo::ControlId id, const ControlMapping& mapping) {
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
  std::string line(head.data(), static_cast<std::size_t>(length));
  AppendOneLine(line, mapping.Label.Get());
  return line;
}

std::string SettingLine(std::string_view key, const std::string& value) {
  std::string line(key);
  line += ':';
  AppendOneLine(line, value);
  return line;
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

// The mapping a line describes, or nullptr when the line has fewer than seven fields or
// its ControlId has no row in the control table. Each field is read as the format's own
// reader reads it: the leading integer of a decimal field (0 when there is none), a hex
// field through HexToByte.
std::unique_ptr<ControlMapping> ParseMappingLine(std::string_view line) {
  const auto fields = SplitMappingLine(line);
  if (!fields) return nullptr;
  const auto& [idText, keyCodeText, keyFlagsText, mapTypeText, dataAText, dataBText, label] = *fields;

  const int64_t id = LeadingInteger(idText).value_or(0);
  if (id < kFirstControlId || id > kLastControlId) return nullptr;
  const ControlDescriptor* row = LookupControlById(static_cast<orvo::ControlId>(id));
  if (!row) return nullptr;
  auto mapping = std::make_unique<ControlMapping>(*row);

  constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kUintMax = std::numeric_limits<uint32_t>::max();
  auto integer = [](std::string_view text) { return LeadingInteger(text).value_or(0); };
  if (!keyCodeText.empty()) mapping->KeyCode = static_cast<int32_t>(std::clamp(integer(keyCodeText), kIntMin, kIntMax));
  // Written signed; an unsigned spelling of the same 32 bits is taken as well.
  if (!keyFlagsText.empty())
    mapping->KeyFlags = static_cast<uint32_t>(std::clamp(integer(keyFlagsText), kIntMin, kUintMax));
  if (!mapTypeText.empty()) mapping->MapType = static_cast<MapType>(integer(mapTypeText) & 0xFF);
  uint8_t byte = 0;
  if (HexToByte(dataAText, byte)) mapping->DataA = byte;
  if (HexToByte(dataBText, byte)) mapping->DataB = byte;
  mapping->Label.Set(label);
  return mapping;
}

bool EndsWithKeysetExtension(const std::string& fileName) {
  if (fileName.size() <= kKeysetFileExtension.size()) return false;  // a name is needed too
  const auto tail = fileName.substr(fileName.size() - kKeysetFileExtension.size());
  return UpperCased(tail) == UpperCased(kKeysetFileExtension);
}

// A Keyset name that names a file of the directory itself.
// The line that reports the numbers of the lines not understood; empty when none.
std::string UnreadLine(const std::string& fileName, const std::vector<int>& unread) {
  if (unread.empty()) return {};
  std::string line = fileName + (unread.size() == 1 ? ": line" : ": lines");
  for (std::size_t i = 0; i < unread.size(); ++i) line += (i ? ", " : " ") + std::to_string(unread[i]);
  return line + " not understood, kept as written";
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string::npos;
}

// The name the Keyset's file is saved under: its upper-case name and the extension.
std::string OwnFileName(const Keyset& keyset) { return keyset.Name + std::string(kKeysetFileExtension); }

// Whether the Keyset's own file `ownName` exists beside `fileName` as another file. Where
// the file system ignores letter case both names open the one file, which is then the
// Keyset's own file under another casing, not a stale copy of it.
bool IsOtherFile(const fs::path& directory, const std::string& fileName, const std::string& ownName) {
  if (fileName == ownName) return false;
  const fs::path own = directory / Utf8Path(ownName);
  std::error_code ec;
  if (!fs::exists(own, ec)) return false;
  return !fs::equivalent(directory / Utf8Path(fileName), own, ec);  // one of them gone: another file
}

// Whether the directory lists the file under exactly `name`.
bool IsListedAs(const fs::path& directory, const std::string& name) {
  std::error_code ec;
  for (fs::directory_iterator it(directory, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
    if (Utf8Name(it->path().filename()) == name) return true;
  return false;
}

// Renames the file `listed`, which a file system that ignores case also opens as `own`, to
// `own`'s casing. Some systems report such a rename done and keep the old name; there the
// file takes a name of its own in between.
void TakeCasingOf(const fs::path& listed, const fs::path& own) {
  std::error_code ec;
  fs::rename(listed, own, ec);
  if (ec || IsListedAs(own.parent_path(), Utf8Name(own.filename()))) return;
  fs::path between = own;
  between += ".casing";
  fs::rename(listed, between, ec);
  if (!ec) fs::rename(between, own, ec);
}

}  // namespace

std::string RefusedFileLine(const std::string& fileName, SmallFile::Status status) {
  switch (status) {
    case SmallFile::Status::kNotRegular: return fileName + " not read: it is not a regular file";
    case SmallFile::Status::kTooLarge: return fileName + " not read: larger than 1 MiB";
    default: return fileName + " not read";
  }
}

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

std::vector<std::string> KeysetLines(const Keyset& keyset) {
  std::vector<std::string> lines;
  lines.reserve(keyset.Count() + 3);
  // A mapping that does nothing (a file's empty line, a control only selected) is not
  // written: it would be listed and loaded again as a mapping.
  keyset.ForEachMapping([&](orvo::ControlId id, const ControlMapping& mapping) {
    if (MapsSomething(mapping)) lines.push_back(MappingLine(id, mapping));
  });
  if (const std::string port = keyset.MidiInPort.Get(); !port.empty()) lines.push_back(SettingLine(kMidiInPortKey, port));
  if (const std::string port = keyset.MidiOutPort.Get(); !port.empty()) lines.push_back(SettingLine(kMidiOutPortKey, port));
  lines.push_back(SettingLine(kDeviceModeKey, std::to_string(keyset.DeviceMode.load(std::memory_order_relaxed))));
  return lines;
}

std::string FormatKeyset(const Keyset& keyset) {
  std::string out;
  out.reserve(keyset.Count() * 40 + 128);
  for (const std::string& line : keyset.FileLines.Merge(KeysetLines(keyset))) {
    out += line;
    out += "\r\n";
  }
  return out;
}

std::vector<int> ReadKeysetText(std::istream& in, Keyset& keyset, KeysetSource source) {
  const bool ownFile = source == KeysetSource::kOwnFile;
  std::vector<std::unique_ptr<ControlMapping>> mappings;
  std::bitset<kLastControlId - kFirstControlId + 1> seen;
  std::vector<int> unread;
  std::string anchorKey;  // the key of the last line taken
  std::string line;
  auto taken = [&](const std::string& written) {
    if (!ownFile) return;
    if (written != line) keyset.FileLines.AddSpelling(written, line);
    anchorKey = KeptFileLines::KeyOf(written);
  };
  auto notTaken = [&](int lineNumber, bool report) {
    if (!ownFile) return;
    keyset.FileLines.AddUnread(anchorKey, line);
    if (report) unread.push_back(lineNumber);
  };
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto colon = line.find(':');
    const std::string_view key = Trimmed(std::string_view(line).substr(0, colon));
    if (colon == std::string::npos || key.empty()) {
      notTaken(lineNumber, !Trimmed(line).empty());
      continue;
    }
    const std::string_view value = Trimmed(std::string_view(line).substr(colon + 1));

    if (key == kMidiInPortKey || key == kMidiOutPortKey) {
      if (value.empty() || !ownFile) {
        notTaken(lineNumber, false);
        continue;
      }
      (key == kMidiInPortKey ? keyset.MidiInPort : keyset.MidiOutPort).Set(value);
      taken(SettingLine(key, std::string(value)));
    } else if (key == kDeviceModeKey) {
      const auto mode = LeadingInteger(value);
      const bool fits = mode && *mode >= std::numeric_limits<int32_t>::min() && *mode <= std::numeric_limits<int32_t>::max();
      if (!fits || !ownFile) {
        notTaken(lineNumber, ownFile && !value.empty());
        continue;
      }
      keyset.DeviceMode = static_cast<int32_t>(*mode);
      taken(SettingLine(key, std::to_string(keyset.DeviceMode.load())));
    } else if (auto mapping = ParseMappingLine(line)) {
      const std::size_t index = static_cast<std::size_t>(mapping->ControlId - kFirstControlId);
      if (seen[index] || keyset.LookupMapping(mapping->ControlId)) {
        notTaken(lineNumber, true);
        continue;
      }
      seen[index] = true;
      taken(MappingLine(mapping->ControlId, *mapping));
      mappings.push_back(std::move(mapping));
    } else {
      notTaken(lineNumber, true);
    }
  }
  // Latest entered comes first in a bucket: enter the lines backwards to keep their order.
  for (auto it = mappings.rbegin(); it != mappings.rend(); ++it) keyset.SetMapping(std::move(*it));
  return unread;
}

KeysetFiles::KeysetFiles(Mapper& mapper, std::filesystem::path directory, MessageService& messages, FileSaver& saver,
                         SmallFileReader& reader)
    : mapper_(mapper), directory_(std::move(directory)), messages_(messages), saver_(saver), reader_(reader) {}

std::filesystem::path KeysetFiles::PathOf(const Keyset& keyset) const {
  return directory_ / Utf8Path(OwnFileName(keyset));
}

void KeysetFiles::LoadAllKeysets() {
  std::vector<std::string> fileNames;
  std::error_code ec;
  fs::directory_iterator it(directory_, ec);
  if (!ec) {
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      const std::string name = Utf8Name(it->path().filename());
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
  try {
    return Load(fileName);
  } catch (const std::bad_alloc&) {
    if (report_) report_(fileName + " not read: not enough memory");
    return false;
  }
}

bool KeysetFiles::Load(const std::string& fileName) {
  if (fileName.size() <= kKeysetFileExtension.size()) return false;
  const SmallFile file = reader_.Read(directory_ / Utf8Path(fileName), kKeysetFileLimit);
  if (file.status == SmallFile::Status::kNotRegular || file.status == SmallFile::Status::kTooLarge) {
    if (report_) report_(RefusedFileLine(fileName, file.status));
    return false;
  }
  if (file.status != SmallFile::Status::kRead) {
    messages_.ShowMessage(kReadFailedMessage, MessageIcon::kWarning);
    return false;
  }
  const std::string* bytes = &file.bytes;
  Keyset* keyset = mapper_.FindOrCreate(fileName.substr(0, fileName.size() - kKeysetFileExtension.size()), true);
  if (keyset->Name == Mapper::kDefaultName) mapper_.SetDefaultKeyset(keyset);
  // A differently cased copy beside the Keyset's own file is stale.
  const std::string ownName = OwnFileName(*keyset);
  const bool stale = IsOtherFile(directory_, fileName, ownName);
  ReadInto(*keyset, fileName, *bytes, stale ? KeysetSource::kStaleCasing : KeysetSource::kOwnFile);
  if (!stale) RememberContent(ownName, *bytes, *keyset);
  return true;
}

KeysetReload KeysetFiles::ReloadKeysetFile(const std::string& fileName) {
  PreparedReload prepared = PrepareReload(fileName);
  return ApplyReload(prepared);
}

PreparedReload KeysetFiles::PrepareReload(const std::string& fileName) const {
  try {
    return Prepare(fileName);
  } catch (const std::bad_alloc&) {
    PreparedReload refused;
    refused.step = PreparedReload::Step::kRefused;
    refused.fileName = fileName;
    refused.refusal = fileName + " not read: not enough memory";
    return refused;
  }
}

KeysetReload KeysetFiles::ApplyReload(PreparedReload& prepared) {
  try {
    return Apply(prepared);
  } catch (const std::bad_alloc&) {
    return {KeysetReload::Kind::kRefused, nullptr, false, false, prepared.fileName + " not read: not enough memory"};
  }
}

PreparedReload KeysetFiles::Prepare(const std::string& fileName) const {
  using Step = PreparedReload::Step;
  PreparedReload prepared;
  prepared.fileName = fileName;
  if (!EndsWithKeysetExtension(fileName)) return prepared;
  prepared.name = UpperCased(fileName.substr(0, fileName.size() - kKeysetFileExtension.size()));
  prepared.ownName = prepared.name + std::string(kKeysetFileExtension);
  if (IsOtherFile(directory_, fileName, prepared.ownName)) return prepared;  // a stale casing
  const SmallFile file = reader_.Read(directory_ / Utf8Path(fileName), kKeysetFileLimit);
  if (file.status == SmallFile::Status::kNotRegular || file.status == SmallFile::Status::kTooLarge) {
    prepared.step = Step::kRefused;
    prepared.refusal = RefusedFileLine(fileName, file.status);
    return prepared;
  }
  if (file.status != SmallFile::Status::kRead) {
    prepared.step = Step::kGone;
    return prepared;
  }
  prepared.fileHash = std::hash<std::string_view>{}(file.bytes);
  if (IsKnownContent(prepared.ownName, prepared.fileHash)) return prepared;  // as last read or saved here
  prepared.read = std::make_unique<Keyset>(prepared.name);
  std::istringstream in(file.bytes);
  const std::vector<int> unread = ReadKeysetText(in, *prepared.read, KeysetSource::kOwnFile);
  prepared.unreadLine = UnreadLine(fileName, unread);
  prepared.formattedHash = std::hash<std::string>{}(FormatKeyset(*prepared.read));
  prepared.step = Step::kRead;
  return prepared;
}

KeysetReload KeysetFiles::Apply(PreparedReload& prepared) {
  using Step = PreparedReload::Step;
  KeysetReload result;
  if (prepared.step == Step::kNothing) return result;
  Keyset* keyset = mapper_.FindOrCreate(prepared.name, false);
  if (prepared.step == Step::kRefused) return {KeysetReload::Kind::kRefused, keyset, false, false, prepared.refusal};
  if (prepared.step == Step::kGone) {
    // Gone: the Keyset stays in memory, and is reported once.
    std::error_code ec;
    if (keyset && !fs::exists(directory_ / Utf8Path(prepared.fileName), ec) && ForgetContent(prepared.ownName))
      result = {KeysetReload::Kind::kRemoved, keyset, false, false, {}};
    return result;
  }
  // Saved here while it was being read: the save's content is the one in force.
  if (IsKnownContent(prepared.ownName, prepared.fileHash)) return result;
  if (keyset && conflict_ && HasUnsavedChanges(*keyset) && !conflict_(*keyset)) {
    // The editor's version stays, to be saved over the file; this content is not asked
    // about again.
    std::lock_guard lock(knownMutex_);
    knownContent_[prepared.ownName].file = prepared.fileHash;
    return {KeysetReload::Kind::kKeptOwn, keyset, false, false, {}};
  }

  if (!prepared.unreadLine.empty() && report_) report_(prepared.unreadLine);
  Keyset& read = *prepared.read;
  result.kind = keyset ? KeysetReload::Kind::kChanged : KeysetReload::Kind::kAdded;
  if (!keyset) keyset = mapper_.FindOrCreate(prepared.name, true);
  if (keyset->Name == Mapper::kDefaultName) mapper_.SetDefaultKeyset(keyset);
  result.keyset = keyset;
  result.portsChanged = read.MidiInPort.Get() != keyset->MidiInPort.Get() ||
                        read.MidiOutPort.Get() != keyset->MidiOutPort.Get();
  result.modeChanged = read.DeviceMode.load() != keyset->DeviceMode.load();
  keyset->TakeContentOf(read);
  // The Keyset now formats as `read` did.
  std::lock_guard lock(knownMutex_);
  knownContent_[prepared.ownName] = {prepared.fileHash, prepared.formattedHash};
  return result;
}

void KeysetFiles::ReadInto(Keyset& keyset, const std::string& fileName, const std::string& bytes, KeysetSource source) {
  std::istringstream in(bytes);
  const std::string line = UnreadLine(fileName, ReadKeysetText(in, keyset, source));
  if (!line.empty() && report_) report_(line);
}

void KeysetFiles::RememberContent(const std::string& ownName, std::string_view bytes, const Keyset& keyset) {
  const std::size_t formatted = std::hash<std::string>{}(FormatKeyset(keyset));
  std::lock_guard lock(knownMutex_);
  knownContent_[ownName] = {std::hash<std::string_view>{}(bytes), formatted};
}

bool KeysetFiles::IsKnownContent(const std::string& ownName, std::size_t fileHash) const {
  std::lock_guard lock(knownMutex_);
  const auto known = knownContent_.find(ownName);
  return known != knownContent_.end() && known->second.file == fileHash;
}

bool KeysetFiles::HasUnsavedChanges(const Keyset& keyset) const {
  const std::size_t formatted = std::hash<std::string>{}(FormatKeyset(keyset));
  std::lock_guard lock(knownMutex_);
  const auto known = knownContent_.find(OwnFileName(keyset));
  if (known != knownContent_.end()) return known->second.formatted != formatted;
  bool mapsSomething = false;  // never read nor written: only what a file would hold counts
  keyset.ForEachMapping([&](orvo::ControlId, const ControlMapping& mapping) { mapsSomething = mapsSomething || MapsSomething(mapping); });
  return mapsSomething;
}

bool KeysetFiles::ForgetContent(const std::string& ownName) {
  std::lock_guard lock(knownMutex_);
  return knownContent_.erase(ownName) > 0;
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
  const std::string text = FormatKeyset(keyset);
  if (!saver_.ReplaceFile(PathOf(keyset), text)) {
    messages_.ShowMessage(kWriteFailedMessage, MessageIcon::kWarning);
    return false;
  }
  RememberContent(OwnFileName(keyset), text, keyset);
  return true;
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
    const std::string name = Utf8Name(it->path().filename());
    const auto saved = savedByUpperName.find(UpperCased(name));
    if (saved != savedByUpperName.end() && saved->second != name)
      stale.emplace_back(it->path(), directory_ / Utf8Path(saved->second));
  }
  for (const auto& [path, saved] : stale) {
    std::error_code failed;
    if (fs::equivalent(path, saved, failed)) {
      // A file system that ignores letter case kept the old name's casing when the save
      // replaced the file: the saved file gets its own name back.
      TakeCasingOf(path, saved);
    } else if (!failed) {
      fs::remove(path, failed);
    }
  }
}

}  // namespace orvo
