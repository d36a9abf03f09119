#pragma once
// Keyset files: one text file per Keyset, NAME.orvo in the settings directory, read at
// start-up and again whenever one changes, and written by the editor's save commands.
// Lines end in CR LF; the reader also takes LF alone.
//
//   1204:32:3735552:0:0:0:Play        ControlId:KeyCode:KeyFlags:MapType:DataA:DataB:Label
//   1224:::4:B1:0:Volume 1            (no keystroke: KeyCode and KeyFlags empty)
//   MidiInPort:Loopback A
//   MidiOutPort:Loopback B
//   DeviceMode:2
//
// Users edit these files by hand and copy them between systems, so nothing of a file is
// lost: fields are read as the format's own reader reads them (the leading integer of a
// decimal field, hex fields through HexToByte), a line that still cannot be read is kept
// as it is and written back in its place, and a line read from an unusual spelling is
// written back in that spelling until its mapping is edited (see KeptFileLines). Labels
// are bytes, kept as they are. Saving goes through the platform's FileSaver, which never
// leaves a half-written file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/keyset.h"
#include "platform/file_saver.h"
#include "platform/message_service.h"
#include "platform/small_file_reader.h"
#include "protocol/control_table.h"

namespace orvo {

inline constexpr std::string_view kKeysetFileExtension = ".orvo";
inline constexpr const char* kReadFailedMessage =
    "Could not open file to read.Please import the keyset file manually.";
inline constexpr const char* kWriteFailedMessage = "Could not open file to write.";
inline constexpr const char* kFindNextFailedMessage = "Couldn't find next file.";
inline constexpr std::string_view kMidiInPortKey = "MidiInPort";
inline constexpr std::string_view kMidiOutPortKey = "MidiOutPort";
inline constexpr std::string_view kDeviceModeKey = "DeviceMode";
// No Keyset comes near this; a larger file is not read.
inline constexpr std::size_t kKeysetFileLimit = std::size_t{1} << 20;

// The line that says why `fileName` was not read (status other than read or missing).
std::string RefusedFileLine(const std::string& fileName, SmallFile::Status status);

// Hexadecimal text to one byte: false for empty text (the byte is left alone). Each
// character is a digit of either case; one that is not a hex digit counts as 0 where
// another character follows it (" 9" is 0x09) and is ignored at the end. Only the low
// 8 bits are kept ("1FF" is 0xFF).
bool HexToByte(std::string_view text, uint8_t& byte);

// The lines (without line ends) that the Keyset's fields make: its mappings in the
// Keyset's order, then its ports and its mode.
std::vector<std::string> KeysetLines(const Keyset& keyset);
// The whole file text of `keyset`: its lines with what its file held beyond them.
std::string FormatKeyset(const Keyset& keyset);

// Where a file's lines come from: the Keyset's own file, or a stale copy whose name
// differs from it in letter case only, whose lines add mappings the Keyset lacks and
// nothing else (its ports and mode never override the Keyset's own).
enum class KeysetSource { kOwnFile, kStaleCasing };

// Reads the lines of a Keyset file into `keyset`. A ControlId that has a mapping already
// keeps it (the first line for a control wins). The lines of one control bucket are
// entered last line first, so that the Keyset's order is the file's order and a
// load-save cycle writes the same lines again. Returns the numbers (from 1) of the lines
// that say something but could not be taken; they are kept in the Keyset's FileLines.
std::vector<int> ReadKeysetText(std::istream& in, Keyset& keyset, KeysetSource source = KeysetSource::kOwnFile);

// What reading a changed file of the directory did.
struct KeysetReload {
  enum class Kind {
    kNone,     // nothing to do: not a Keyset file, a stale casing, or the content as last
               // read or saved here (the driver's own save)
    kChanged,  // the Keyset's mappings, ports and mode were replaced
    kAdded,    // a new Keyset
    kRemoved,  // the file is gone; the Keyset stays in memory
    kKeptOwn,  // the file changed, but the unsaved changes in memory were chosen
    kRefused,  // not read (not a regular file, too large, no memory): `refusal` says why
  };
  Kind kind = Kind::kNone;
  Keyset* keyset = nullptr;
  bool portsChanged = false;
  bool modeChanged = false;
  std::string refusal;
};

// A changed file of the directory, read and parsed off the main thread (see
// KeysetFiles::PrepareReload), waiting to be put in force on the main thread.
struct PreparedReload {
  enum class Step { kNothing, kRefused, kGone, kRead };
  Step step = Step::kNothing;
  std::string fileName, name, ownName;  // as changed; the Keyset's name and own file name
  std::string refusal;                  // kRefused: the line that says why
  std::size_t fileHash = 0, formattedHash = 0;
  std::unique_ptr<Keyset> read;  // kRead: what the file holds
  std::string unreadLine;        // kRead: the lines not understood, or empty
};

// The Keyset files of one settings directory. Loading runs on the main thread at start,
// reading a file that changed on the main thread while running; saving on the editor's
// (GUI) thread.
class KeysetFiles {
 public:
  // Where the lines of a file that could not be read are reported, one line per file:
  // the terminal, or the editor's monitor.
  using Report = std::function<void(const std::string& line)>;

  KeysetFiles(Mapper& mapper, std::filesystem::path directory, MessageService& messages, FileSaver& saver,
              SmallFileReader& reader);
  void SetReport(Report report) { report_ = std::move(report); }
  // Asked when a Keyset whose file changed holds unsaved changes: true takes the file's
  // version, false keeps the one in memory. Without it the file's version is taken.
  using Conflict = std::function<bool(const Keyset& keyset)>;
  void SetConflictChoice(Conflict conflict) { conflict_ = std::move(conflict); }
  // Whether the Keyset was changed in memory since its file was last read or saved here.
  bool HasUnsavedChanges(const Keyset& keyset) const;

  // Loads every *.orvo file (any letter case) and makes sure the DEFAULT Keyset exists.
  void LoadAllKeysets();
  // Loads one file of the directory into the Keyset named after it; false, with the read
  // failure message shown, when it cannot be opened, or with a reported line when it is
  // no regular file or larger than kKeysetFileLimit.
  bool LoadKeysetFile(const std::string& fileName);
  // Reads a file of the directory that changed while the program runs (main thread).
  // Never throws: a file that cannot be held in memory is refused.
  KeysetReload ReloadKeysetFile(const std::string& fileName);
  // The same in two halves, so that the main thread never waits for a read or a parse:
  // PrepareReload reads and parses on any thread, touching no Keyset; ApplyReload puts
  // the result in force on the main thread. Neither throws.
  PreparedReload PrepareReload(const std::string& fileName) const;
  KeysetReload ApplyReload(PreparedReload& prepared);
  // Writes the Keyset's file; false, with the write failure message shown and the
  // previous file untouched, when that fails. A stale file of the same Keyset whose name
  // differs only in letter case is removed afterwards, so it is not loaded again; where
  // the file system ignores case and kept the old casing, the file is renamed to its own.
  bool SaveKeyset(const Keyset& keyset);
  // Saves every Keyset in the Mapper's order; false when any of them failed.
  bool SaveAllKeysets();

  const std::filesystem::path& Directory() const { return directory_; }
  std::filesystem::path PathOf(const Keyset& keyset) const;

 private:
  bool Load(const std::string& fileName);
  PreparedReload Prepare(const std::string& fileName) const;
  KeysetReload Apply(PreparedReload& prepared);
  bool WriteKeysetFile(const Keyset& keyset);
  // Reads `bytes`, the content of `fileName`, into `keyset`; reports unreadable lines.
  void ReadInto(Keyset& keyset, const std::string& fileName, const std::string& bytes, KeysetSource source);
  // The content each Keyset's own file had when last read or saved here, and the text the
  // Keyset made then, as hashes.
  void RememberContent(const std::string& ownName, std::string_view bytes, const Keyset& keyset);
  bool IsKnownContent(const std::string& ownName, std::size_t fileHash) const;
  bool ForgetContent(const std::string& ownName);
  // Removes the files whose names differ from a saved Keyset's file in letter case only,
  // or gives the saved file its own name where both names are the one file.
  void RemoveOtherCasings(const std::vector<std::string>& savedNames);

  Mapper& mapper_;
  const std::filesystem::path directory_;
  MessageService& messages_;
  FileSaver& saver_;
  SmallFileReader& reader_;
  Report report_;
  Conflict conflict_;
  struct KnownContent {
    std::size_t file = 0;
    std::size_t formatted = 0;
  };
  mutable std::mutex knownMutex_;
  std::map<std::string, KnownContent> knownContent_;  // by own file name
};

}  // namespace orvo
