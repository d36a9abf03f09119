#pragma once
// What a Keyset's file says that the Keyset's fields do not: lines the reader could not
// take, and the original spelling of lines it took but would write differently ("1204x"
// for 1204, a DataA of "1FF" for FF, spaces around the fields). Saving puts them back, so
// that a file loaded and saved without an edit keeps every byte; a line whose mapping was
// edited is written in the edited form.
//
// Threads: filled by the loader, read by the saver (main or GUI thread); a short lock.
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orvo {

class KeptFileLines {
 public:
  // Forgets everything (before the file is read again).
  void Clear();
  // Takes what `other` holds in place of its own; `other` is left empty.
  void TakeFrom(KeptFileLines& other);
  // `original` was read as the line that is written as `written`.
  void AddSpelling(std::string written, std::string original);
  // A line not taken, kept after the taken line whose key is `anchorKey` ("" for the
  // start of the file).
  void AddUnread(std::string anchorKey, std::string text);
  // The lines to write for the Keyset's lines `written` (each without its line end):
  // every line in its original spelling where it has one, every kept line after the
  // line of its key (at the end when that line is no longer written).
  std::vector<std::string> Merge(const std::vector<std::string>& written) const;

  // The key of a line: the text before its first colon.
  static std::string_view KeyOf(std::string_view line) { return line.substr(0, line.find(':')); }

 private:
  struct Unread {
    std::string anchorKey;
    std::string text;
  };
  mutable std::mutex mutex_;
  std::map<std::string, std::string, std::less<>> spellings_;
  std::vector<Unread> unread_;
};

}  // namespace orvo
