// Keyset files on disk with the program's own saver and watch: nothing of a file is lost
// or changed by a load-save cycle, a save never leaves a half-written file, and changes
// by others are reported.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include "harness/temp_dir.h"
#include "mapping/keyset_file.h"
#include "os/fake/recording_messages.h"
#include "os/linux/directory_watch.h"
#include "os/linux/file_saver.h"
#include "os/linux/small_file_reader.h"
#include "support/case_names.h"

namespace orvo {
namespace {

namespace fs = std::filesystem;

// One file of the settings directory before the load. With `linkTarget`, `name` is a
// symbolic link to it and the bytes and mode are the target's.
struct Entry {
  std::string name;
  std::string bytes;
  std::string linkTarget = "";
  fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
};

struct CorpusCase {
  const char* what;
  std::vector<Entry> before;
  // Every Keyset file after the save, read through any link; a link stays a link with its
  // target's mode, and files not named here are gone.
  std::vector<std::pair<std::string, std::string>> after;
  std::vector<std::string> reports;
};

// The file itself as the expected content: loaded and saved, it must not change.
CorpusCase Unchanged(const char* what, std::string bytes, std::vector<std::string> reports = {}) {
  return {what, {{"DEFAULT.orvo", bytes}}, {{"DEFAULT.orvo", bytes}}, std::move(reports)};
}

class KeysetCorpusTest : public testing::TestWithParam<CorpusCase> {};

TEST_P(KeysetCorpusTest, LoadThenSaveKeepsEveryByte) {
  const CorpusCase& c = GetParam();
  test::TempDir dir;
  for (const Entry& entry : c.before) {
    const fs::path file = dir.Path() / (entry.linkTarget.empty() ? entry.name : entry.linkTarget);
    fs::create_directories(file.parent_path());
    test::TempDir::WriteFile(file, entry.bytes);
    fs::permissions(file, entry.mode);
    if (!entry.linkTarget.empty()) fs::create_symlink(entry.linkTarget, dir.Path() / entry.name);
  }

  RecordingMessages messages;
  LinuxFileSaver saver;
  LinuxSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files(mapper, dir.Path(), messages, saver, reader);
  std::vector<std::string> reports;
  files.SetReport([&](const std::string& line) { reports.push_back(line); });
  files.LoadAllKeysets();
  ASSERT_TRUE(files.SaveAllKeysets());

  EXPECT_EQ(reports, c.reports);
  EXPECT_TRUE(messages.Texts().empty());
  std::vector<std::string> keysetFiles;
  for (const auto& item : fs::directory_iterator(dir.Path()))
    if (item.path().extension() == ".orvo") keysetFiles.push_back(item.path().filename().string());
  EXPECT_EQ(keysetFiles.size(), c.after.size());
  for (const auto& [name, bytes] : c.after) {
    EXPECT_EQ(dir.Read(name), bytes) << name;
    for (const Entry& entry : c.before) {
      if (entry.name != name || entry.linkTarget.empty()) continue;
      EXPECT_TRUE(fs::is_symlink(dir.Path() / name)) << name;
      EXPECT_EQ(fs::status(dir.Path() / name).permissions(), entry.mode) << name;
    }
  }
}

const fs::perms kMode0640 = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;

INSTANTIATE_TEST_SUITE_P(
    Corpus, KeysetCorpusTest,
    testing::Values(
        Unchanged("leading integers and wide hex",
                  "1204x:32px:3735552:0:1FF:0xB1:Play\r\n1224:::-1:b1:0:Volume 1\r\nDeviceMode:2\r\n"),
        Unchanged("spaces around the fields",
                  " 1204 : 32 : 3735552 : 0 : 0 : 0 :Play\r\n  MidiInPort :  Loopback A \r\nDeviceMode: 3\r\n"),
        Unchanged("unreadable lines in their places",
                  "# notes\r\n1204:32:3735552:0:0:0:Play\r\nhalf a line\r\n\r\n1204:::0:0:0:second Play\r\n"
                  "1224:::4:B1:0:Volume 1\r\nMidiOutPort:\r\nDeviceMode:two\r\nDeviceMode:2\r\n9:::0:0:0:x\r\n",
                  {"DEFAULT.orvo: lines 1, 3, 5, 8, 10 not understood, kept as written"}),
        Unchanged("8-bit labels", "1224:::4:B1:0:\x80\xFF\r\n1000:77:3276801:0:0:0:M\xE4rz \xFC\r\nDeviceMode:2\r\n"),
        CorpusCase{"symlinked file keeps its link and mode",
                   {{"DEFAULT.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n", "keep/default.txt", kMode0640}},
                   {{"DEFAULT.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n"}},
                   {}},
        CorpusCase{"stale casing adds mappings but no settings",
                   {{"DEFAULT.orvo", "1204:32:3735552:0:0:0:Play\r\nMidiInPort:Real In\r\nDeviceMode:1\r\n"},
                    {"default.orvo", "1000:::0:0:0:Mute\r\nMidiInPort:Old In\r\nMidiOutPort:Old Out\r\nDeviceMode:3\r\n"}},
                   {{"DEFAULT.orvo", "1204:32:3735552:0:0:0:Play\r\n1000:::0:0:0:Mute\r\nMidiInPort:Real In\r\nDeviceMode:1\r\n"}},
                   {}}),
    test::NameFromWhat());

// What may appear under a Keyset file's name, at start and while the program runs: only
// a regular file up to the cap is read; anything else is refused without waiting (a FIFO
// with no writer, a device that never ends) and said in one line naming the file.
struct FileTypeCase {
  const char* what;
  std::function<void(const fs::path& file)> make;  // makes SEQ.orvo
  const char* refusal;                              // the line, or nullptr when read
  bool readFailedBox = false;                       // the load shows the read failure message
};

class KeysetFileTypes : public testing::TestWithParam<FileTypeCase> {};

TEST_P(KeysetFileTypes, OnlySmallRegularFilesAreRead) {
  const FileTypeCase& c = GetParam();
  test::TempDir dir;
  dir.Write("GOOD.orvo", "1204:::0:0:0:good\r\n");
  c.make(dir.Path() / "SEQ.orvo");
  RecordingMessages messages;
  LinuxFileSaver saver;
  LinuxSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files(mapper, dir.Path(), messages, saver, reader);
  std::vector<std::string> reports;
  files.SetReport([&](const std::string& line) { reports.push_back(line); });
  files.LoadAllKeysets();

  EXPECT_NE(mapper.Lookup("GOOD"), nullptr);
  EXPECT_EQ(mapper.Lookup("SEQ") != nullptr, c.refusal == nullptr && !c.readFailedBox);
  EXPECT_EQ(reports, c.refusal ? std::vector<std::string>{c.refusal} : std::vector<std::string>{});
  EXPECT_EQ(messages.Texts().size(), c.readFailedBox ? 1u : 0u);
  if (c.refusal) {
    const KeysetReload reload = files.ReloadKeysetFile("SEQ.orvo");
    EXPECT_EQ(reload.kind, KeysetReload::Kind::kRefused);
    EXPECT_EQ(reload.refusal, c.refusal);
  }
}

std::string FileOfSize(std::size_t size) {
  const std::string head = "1204:::0:0:0:";
  return head + std::string(size - head.size() - 2, 'x') + "\r\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeysetFileTypes,
    testing::Values(
        FileTypeCase{"regular file at the cap",
                     [](const fs::path& f) { test::TempDir::WriteFile(f, FileOfSize(kKeysetFileLimit)); }, nullptr},
        FileTypeCase{"regular file past the cap",
                     [](const fs::path& f) { test::TempDir::WriteFile(f, FileOfSize(kKeysetFileLimit + 1)); },
                     "SEQ.orvo not read: larger than 1 MiB"},
        FileTypeCase{"link to a regular file", [](const fs::path& f) {
                       test::TempDir::WriteFile(f.parent_path() / "seq.txt", "DeviceMode:1\r\n");
                       fs::create_symlink("seq.txt", f);
                     }, nullptr},
        FileTypeCase{"FIFO without a writer", [](const fs::path& f) { ASSERT_EQ(mkfifo(f.c_str(), 0644), 0); },
                     "SEQ.orvo not read: it is not a regular file"},
        FileTypeCase{"link to an endless device", [](const fs::path& f) { fs::create_symlink("/dev/zero", f); },
                     "SEQ.orvo not read: it is not a regular file"},
        FileTypeCase{"directory", [](const fs::path& f) { fs::create_directory(f); },
                     "SEQ.orvo not read: it is not a regular file"},
        FileTypeCase{"dangling link", [](const fs::path& f) { fs::create_symlink("gone", f); }, nullptr, true}),
    test::NameFromWhat());

TEST(KeysetCorpus, PlantedTemporaryLinkStaysAndItsTargetIsUntouched) {
  test::TempDir dir;
  dir.Write("victim.txt", "precious");
  fs::create_symlink("victim.txt", dir.Path() / "DEFAULT.orvo.tmp");
  LinuxFileSaver saver;
  ASSERT_TRUE(saver.ReplaceFile(dir.Path() / "DEFAULT.orvo", "DeviceMode:2\r\n"));
  EXPECT_EQ(dir.Read("victim.txt"), "precious");
  EXPECT_TRUE(fs::is_symlink(dir.Path() / "DEFAULT.orvo.tmp"));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir.Path() / "DEFAULT.orvo")));
  EXPECT_EQ(dir.Read("DEFAULT.orvo"), "DeviceMode:2\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 3);  // no temporary file left
}

TEST(FileSaver, FailedRenameLeavesNoTemporaryFile) {
  test::TempDir dir;
  fs::create_directory(dir.Path() / "DEFAULT.orvo");
  LinuxFileSaver saver;
  EXPECT_FALSE(saver.ReplaceFile(dir.Path() / "DEFAULT.orvo", "DeviceMode:2\r\n"));
  EXPECT_FALSE(saver.ReplaceFile(dir.Path() / "missing" / "DEFAULT.orvo", "DeviceMode:2\r\n"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), {}), 1);
  EXPECT_TRUE(fs::is_directory(dir.Path() / "DEFAULT.orvo"));
}

TEST(FileSaver, NewFileTakesTheUmaskDefault) {
  test::TempDir dir;
  const mode_t previous = ::umask(027);
  LinuxFileSaver saver;
  const bool saved = saver.ReplaceFile(dir.Path() / "NEW.orvo", "DeviceMode:2\r\n");
  ::umask(previous);
  ASSERT_TRUE(saved);
  EXPECT_EQ(fs::status(dir.Path() / "NEW.orvo").permissions(), kMode0640);
}

// A save killed at any moment leaves the old file or the new one, whole.
TEST(FileSaver, KilledSaveNeverLeavesAPartialFile) {
  test::TempDir dir;
  const std::string oldText = "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n";
  std::string newText;
  for (int i = 0; i < 2000; ++i) newText += "1224:::4:B1:0:Volume " + std::to_string(i) + "\r\n";
  dir.Write("SEQ.orvo", oldText);
  std::mt19937 random(4711);
  for (int round = 0; round < 50; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      LinuxFileSaver saver;
      for (;;) {
        saver.ReplaceFile(dir.Path() / "SEQ.orvo", newText);
        saver.ReplaceFile(dir.Path() / "SEQ.orvo", oldText);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 20000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string text = dir.Read("SEQ.orvo");
    ASSERT_TRUE(text == oldText || text == newText) << "round " << round << ": " << text.size() << " bytes";
  }
}

// Written by hand, copied in, moved away: each reported by name once its writer is done
// (a file still open is not); the directory removed and made again: said once each way,
// and what it holds then is reported.
TEST(DirectoryWatch, ReportsFinishedFilesAndFollowsTheDirectoryBack) {
  test::TempDir dir;
  const fs::path settings = dir.Path() / "settings";
  fs::create_directory(settings);
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<std::string> names;
  std::vector<bool> presence;
  InotifyDirectoryWatch watch;
  ASSERT_TRUE(watch.Start(
      settings,
      [&](const std::string& name) {
        std::lock_guard lock(mutex);
        names.push_back(name);
        arrived.notify_all();
      },
      [&](bool present) {
        std::lock_guard lock(mutex);
        presence.push_back(present);
        arrived.notify_all();
      }));
  auto seen = [&](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };
  auto awaitName = [&](const std::string& name) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(2), [&] { return seen(name); });
  };
  auto awaitPresence = [&](std::vector<bool> wanted) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(2), [&] { return presence == wanted; });
  };

  const int open = ::open((settings / "OPEN.orvo").c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
  ASSERT_GE(open, 0);
  ASSERT_EQ(::write(open, "Devi", 4), 4);
  ASSERT_EQ(mkfifo((settings / "PIPE.orvo").c_str(), 0644), 0);
  EXPECT_TRUE(awaitName("PIPE.orvo"));  // no writer to wait for
  {
    std::lock_guard lock(mutex);
    EXPECT_FALSE(seen("OPEN.orvo"));  // created before the FIFO, and still being written
  }
  ::close(open);
  EXPECT_TRUE(awaitName("OPEN.orvo"));
  LinuxFileSaver saver;
  ASSERT_TRUE(saver.ReplaceFile(settings / "MIXER.orvo", "DeviceMode:1\r\n"));
  EXPECT_TRUE(awaitName("MIXER.orvo"));
  fs::rename(settings / "MIXER.orvo", settings / "OLD.txt");
  EXPECT_TRUE(awaitName("OLD.txt"));

  fs::remove_all(settings);
  EXPECT_TRUE(awaitPresence({false}));
  fs::create_directory(settings);
  test::TempDir::WriteFile(settings / "BACK.orvo", "DeviceMode:1\r\n");
  EXPECT_TRUE(awaitPresence({false, true}));
  EXPECT_TRUE(awaitName("BACK.orvo"));
  fs::rename(settings, dir.Path() / "elsewhere");
  EXPECT_TRUE(awaitPresence({false, true, false}));
  watch.Stop();
  EXPECT_FALSE(InotifyDirectoryWatch().Start(dir.Path() / "missing", [](const std::string&) {}, {}));
}

}  // namespace
}  // namespace orvo
