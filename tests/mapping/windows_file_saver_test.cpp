// Saving on Windows, under Wine: whole files or nothing, and Keyset files that keep their
// upper-case names on a file system that ignores letter case.
#include "os/windows/file_saver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "harness/temp_dir.h"
#include "mapping/keyset_file.h"
#include "os/fake/plain_small_file_reader.h"
#include "os/fake/recording_messages.h"

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
  PlainSmallFileReader reader;
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

}  // namespace
}  // namespace orvo
