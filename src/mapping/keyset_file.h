#pragma once
// Keyset files: one text file per Keyset, NAME.orvo in the settings directory, read at
// start-up and written by the editor's save commands. Lines end in CR LF; the reader
// also takes LF alone.
//
//   1204:32:3735552:0:0:0:Play        ControlId:KeyCode:KeyFlags:MapType:DataA:DataB:Label
//   1224:::4:B1:0:Volume 1            (no keystroke: KeyCode and KeyFlags empty)
//   MidiInPort:Loopback A
//   MidiOutPort:Loopback B
//   DeviceMode:2
//
// Users edit these files by hand, so the reader skips every line it does not fully
// understand, silently and without touching the lines around it. Saving never loses the
// previous file: the text goes to a temporary file that is renamed over it.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/keyset.h"
#include "platform/message_service.h"
#include "protocol/control_table.h"

namespace orvo {

inline constexpr std::string_view kKeysetFileExtension = ".orvo";
inline constexpr const char* kReadFailedMessage =
    "Could not open file to read.Please import the keyset file manually.";
inline constexpr const char* kWriteFailedMessage = "Could not open file to write.";
inline constexpr const char* kFindNextFailedMessage = "Couldn't find next file.";

// Hexadecimal text to one byte: false for empty text (the byte is left alone). Each
// character is a digit of either case; one that is not a hex digit counts as 0 where
// another character follows it (" 9" is 0x09) and is ignored at the end. Only the low
// 8 bits are kept ("1FF" is 0xFF).
bool HexToByte(std::string_view text, uint8_t& byte);

// The whole file text of `keyset`: its mappings in the Keyset's order, then its ports
// and its mode.
std::string FormatKeyset(const Keyset& keyset);

// Reads the lines of a Keyset file into `keyset`. A ControlId that has a mapping already
// keeps it (the first line for a control wins). The lines of one control bucket are
// entered last line first, so that the Keyset's order is the file's order and a
// load-save cycle writes the same lines again.
void ReadKeysetText(std::istream& in, Keyset& keyset);

// The Keyset files of one settings directory. Loading runs on the main thread at start;
// saving on the editor's (GUI) thread.
class KeysetFiles {
 public:
  KeysetFiles(Mapper& mapper, std::filesystem::path directory, MessageService& messages);

  // Loads every *.orvo file (any letter case) and makes sure the DEFAULT Keyset exists.
  void LoadAllKeysets();
  // Loads one file of the directory into the Keyset named after it; false, with the read
  // failure message shown, when it cannot be opened.
  bool LoadKeysetFile(const std::string& fileName);
  // Writes the Keyset's file; false, with the write failure message shown and the
  // previous file untouched, when that fails. A stale file of the same Keyset whose name
  // differs only in letter case is removed afterwards, so it is not loaded again.
  bool SaveKeyset(const Keyset& keyset);
  // Saves every Keyset in the Mapper's order; false when any of them failed.
  bool SaveAllKeysets();

  const std::filesystem::path& Directory() const { return directory_; }
  std::filesystem::path PathOf(const Keyset& keyset) const;

 private:
  bool WriteKeysetFile(const Keyset& keyset);
  // Removes the files whose names differ from a saved Keyset's file in letter case only.
  void RemoveOtherCasings(const std::vector<std::string>& savedNames);

  Mapper& mapper_;
  const std::filesystem::path directory_;
  MessageService& messages_;
};

}  // namespace orvo
