// Saving and reading on Windows, under Wine: whole files or nothing, Keyset files that keep
// their upper-case names on a file system that ignores letter case, and the reader's
// refusals.
#include "os/windows/file_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "harness/temp_dir.h"
#include "mapping/keyset_file.h"
#include "os/fake/recording_messages.h"
#include "os/windows/small_file_reader.h"

namespace orvo {
namespace {

std::vector<std::string> Names(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(WindowsFileSaver, ReplacesOrCreatesTheWholeFileAndLeavesNoTemporaryFile) {
  test::TempDir dir;
  WindowsFileSaver saver;
  dir.Write("SEQ.orvo", "old content that is longer\r\n");
  ASSERT_TRUE(saver.ReplaceFile(dir.Path() / "SEQ.orvo", "new\r\n"));
  EXPECT_EQ(dir.Read("SEQ.orvo"), "new\r\n");
  ASSERT_TRUE(saver.ReplaceFile(dir.Path() / "NEW.orvo", "made\r\n"));
  EXPECT_EQ(dir.Read("NEW.orvo"), "made\r\n");
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"NEW.orvo", "SEQ.orvo"}));
}

TEST(WindowsFileSaver, AFailedSaveLeavesThePreviousStateAndNoTemporaryFile) {
  test::TempDir dir;
  WindowsFileSaver saver;
  std::filesystem::create_directory(dir.Path() / "DIR.orvo");
  EXPECT_FALSE(saver.ReplaceFile(dir.Path() / "DIR.orvo", "x"));
  EXPECT_FALSE(saver.ReplaceFile(dir.Path() / "missing" / "A.orvo", "x"));
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"DIR.orvo"});
  EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "DIR.orvo"));
}

TEST(WindowsFileSaver, AKeysetSavedOverADifferentlyCasedFileKeepsEverythingAndItsOwnName) {
  test::TempDir dir;
  dir.Write("mixer.orvo", "1000:::0:0:0:m\r\n");
  RecordingMessages messages;
  WindowsFileSaver saver;
  Mapper mapper;
  WindowsSmallFileReader reader;
  KeysetFiles files(mapper, dir.Path(), messages, saver, reader);
  files.LoadAllKeysets();
  Keyset* mixer = mapper.Lookup("MIXER");
  ASSERT_NE(mixer, nullptr);
  mixer->MidiOutPort.Set("mix:out");
  ASSERT_TRUE(files.SaveAllKeysets());
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"DEFAULT.orvo", "MIXER.orvo"}));

  Mapper again;
  KeysetFiles reload(again, dir.Path(), messages, saver, reader);
  reload.LoadAllKeysets();
  ASSERT_NE(again.Lookup("MIXER"), nullptr);
  EXPECT_EQ(again.Lookup("MIXER")->MidiOutPort.Get(), "mix:out");
  EXPECT_EQ(again.Lookup("MIXER")->LookupMapping(1000)->Label.Get(), "m");
  EXPECT_TRUE(messages.Texts().empty());
}

// The program's reader of Keyset files: what is no file, or too large, is refused unread.
TEST(WindowsSmallFileReader, ReadsARegularFileWholeAndRefusesTheRest) {
  test::TempDir dir;
  dir.Write("A.orvo", "1000:::0:0:0:m\r\n");
  std::filesystem::create_directory(dir.Path() / "DIR.orvo");
  WindowsSmallFileReader reader;
  const SmallFile file = reader.Read(dir.Path() / "A.orvo", 64);
  EXPECT_EQ(file.status, SmallFile::Status::kRead);
  EXPECT_EQ(file.bytes, "1000:::0:0:0:m\r\n");
  EXPECT_EQ(reader.Read(dir.Path() / "A.orvo", 8).status, SmallFile::Status::kTooLarge);
  EXPECT_EQ(reader.Read(dir.Path() / "DIR.orvo", 64).status, SmallFile::Status::kNotRegular);
  EXPECT_EQ(reader.Read(dir.Path() / "B.orvo", 64).status, SmallFile::Status::kMissing);
  EXPECT_EQ(reader.Read(dir.Path() / "missing" / "B.orvo", 64).status, SmallFile::Status::kMissing);
}

}  // namespace
}  // namespace orvo
