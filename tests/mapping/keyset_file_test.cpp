#include "mapping/keyset_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <sstream>

#include "harness/temp_dir.h"
#include "os/fake/plain_file_saver.h"
#include "os/fake/plain_small_file_reader.h"
#include "os/fake/recording_messages.h"
#include "platform/utf8_path.h"
#include "support/case_names.h"

namespace orvo {
namespace {

void Read(Keyset& keyset, const std::string& text) {
  std::istringstream in(text);
  ReadKeysetText(in, keyset);
}

// ---- HexToByte

struct HexCase {
  const char* what;
  std::string text;
  bool result;
  uint8_t byte;
};

class HexToByteTest : public testing::TestWithParam<HexCase> {};

TEST_P(HexToByteTest, Converts) {
  const HexCase& c = GetParam();
  uint8_t byte = 0x5A;
  EXPECT_EQ(HexToByte(c.text, byte), c.result);
  EXPECT_EQ(byte, c.byte);
}

INSTANTIATE_TEST_SUITE_P(Cases, HexToByteTest,
                         testing::Values(HexCase{"empty leaves the byte", "", false, 0x5A},
                                         HexCase{"upper case", "B1", true, 0xB1},
                                         HexCase{"lower case", "b1", true, 0xB1},
                                         HexCase{"one digit", "7", true, 0x07},
                                         HexCase{"low eight bits kept", "1FF", true, 0xFF},
                                         HexCase{"space padded", " 9", true, 0x09},
                                         HexCase{"stray inner char counts 0", "1Z2", true, 0x02},
                                         HexCase{"stray last char ignored", "9 ", true, 0x09},
                                         HexCase{"nothing but a stray", "Z", true, 0x00}),
                         test::NameFromWhat());

// ---- One line, between two sound neighbours

struct LineCase {
  const char* what;
  std::string line;
  bool mapped;  // a mapping for 1204 results
  int32_t keyCode = 24;
  uint32_t keyFlags = 24;
  uint8_t mapType = 0;
  uint8_t dataA = 0;
  uint8_t dataB = 0;
  std::string label;
};

LineCase Skipped(const char* what, std::string line) { return {what, std::move(line), false, 24, 24, 0, 0, 0, ""}; }

class KeysetLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(KeysetLineTest, ReadsOrSkipsWithoutHarmingNeighbours) {
  const LineCase& c = GetParam();
  Keyset keyset("APP");
  Read(keyset, "1000:77:3276801:0:0:0:Mute 1\r\n" + c.line + "\r\n1224:::4:B1:0:Volume 1\r\n");
  ASSERT_NE(keyset.LookupMapping(1000), nullptr);
  ASSERT_NE(keyset.LookupMapping(1224), nullptr);
  EXPECT_EQ(keyset.LookupMapping(1000)->Label.Get(), "Mute 1");
  EXPECT_EQ(keyset.LookupMapping(1224)->Label.Get(), "Volume 1");
  EXPECT_EQ(keyset.Count(), c.mapped ? 3u : 2u);
  const ControlMapping* m = keyset.LookupMapping(1204);
  ASSERT_EQ(m != nullptr, c.mapped);
  if (!m) return;
  EXPECT_EQ(&m->Descriptor, LookupControlById(1204));
  EXPECT_EQ(m->KeyCode.load(), c.keyCode);
  EXPECT_EQ(m->KeyFlags.load(), c.keyFlags);
  EXPECT_EQ(static_cast<uint8_t>(m->MapType.load()), c.mapType);
  EXPECT_EQ(m->DataA.load(), c.dataA);
  EXPECT_EQ(m->DataB.load(), c.dataB);
  EXPECT_EQ(m->Label.Get(), c.label);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeysetLineTest,
    testing::Values(
        LineCase{"plain", "1204:32:3735552:0:0:0:Play", true, 32, 3735552, 0, 0, 0, "Play"},
        LineCase{"spaced fields", " 1204 : 32 : 3735552 : 0 : 0 : 0 :Play", true, 32, 3735552, 0, 0, 0, "Play"},
        LineCase{"tabs around fields", "\t1204\t:\t32:3735552\t: 3 :\tb1 : 7 :x", true, 32, 3735552, 3, 0xB1, 7, "x"},
        LineCase{"no key", "1204:::4:B1:0:Volume 1", true, 24, 24, 4, 0xB1, 0, "Volume 1"},
        LineCase{"colons in label", "1204:::0:0:0:A:B:C", true, 24, 24, 0, 0, 0, "A:B:C"},
        LineCase{"label kept untrimmed", "1204:::0:0:0: two  ", true, 24, 24, 0, 0, 0, " two  "},
        LineCase{"empty fields keep defaults", "1204::::::", true, 24, 24, 0, 0, 0, ""},
        LineCase{"negative key flags", "1204:65:-16777215:0:0:0:", true, 65, 0xFF000001u, 0, 0, 0, ""},
        LineCase{"unsigned key flags", "1204:65:4278190081:0:0:0:", true, 65, 0xFF000001u, 0, 0, 0, ""},
        LineCase{"map type low bits", "1204:::260:1:2:", true, 24, 24, 4, 1, 2, ""},
        LineCase{"leading zeros in data", "1204:::0:00B1:007:", true, 24, 24, 0, 0xB1, 7, ""},
        Skipped("fewer than six colons", "1204:32:3735552:0:0:Play"),
        Skipped("no colon", "1204"),
        Skipped("empty key", " :32:3735552:0:0:0:Play"),
        Skipped("ControlId 999", "999:::0:0:0:x"),
        Skipped("ControlId 1271", "1271:::0:0:0:x"),
        Skipped("ControlId without a row", "1223:::0:0:0:x"),
        Skipped("non numeric ControlId", "12O4:::0:0:0:x"),
        LineCase{"ControlId with trailing text", "1204x:::0:0:0:x", true, 24, 24, 0, 0, 0, "x"},
        LineCase{"non numeric key code", "1204:A:3735552:0:0:0:x", true, 0, 3735552, 0, 0, 0, "x"},
        LineCase{"key code with trailing text", "1204:32px:3735552:0:0:0:x", true, 32, 3735552, 0, 0, 0, "x"},
        LineCase{"non numeric map type", "1204:::four:0:0:x", true, 24, 24, 0, 0, 0, "x"},
        LineCase{"negative map type keeps low bits", "1204:::-1:0:0:x", true, 24, 24, 0xFF, 0, 0, "x"},
        Skipped("huge ControlId", "99999999999999999999999:::0:0:0:x"),
        LineCase{"huge key code held at the limit", "1204:2147483648:3735552:0:0:0:x", true, 2147483647, 3735552, 0, 0, 0, "x"},
        LineCase{"huge key flags held at the limit", "1204:32:4294967296:0:0:0:x", true, 32, 0xFFFFFFFFu, 0, 0, 0, "x"},
        LineCase{"huge map type keeps low bits", "1204:::4294967297:0:0:x", true, 24, 24, 1, 0, 0, "x"},
        LineCase{"non hex data byte counts 0", "1204:::4:G1:0:x", true, 24, 24, 4, 0x01, 0, "x"},
        LineCase{"wide data byte keeps low bits", "1204:::4:1B1:1FF:x", true, 24, 24, 4, 0xB1, 0xFF, "x"},
        LineCase{"0x prefix in data byte", "1204:::4:0xB1:0:x", true, 24, 24, 4, 0xB1, 0, "x"},
        Skipped("key case matters", "midiinport:Loopback"),
        Skipped("binary garbage", std::string("\x01\xFF:\x00:\x80\x90::::", 11))),
    test::NameFromWhat());

TEST(KeysetLines, FirstLineForAControlWins) {
  Keyset keyset("APP");
  Read(keyset, "1204:::0:0:0:first\n1204:::5:0:7:second\n");
  ASSERT_EQ(keyset.Count(), 1u);
  EXPECT_EQ(keyset.LookupMapping(1204)->Label.Get(), "first");
  // A mapping already in the Keyset (another file of the same name) wins as well.
  Read(keyset, "1204:::0:0:0:third\n");
  EXPECT_EQ(keyset.LookupMapping(1204)->Label.Get(), "first");
}

TEST(KeysetLines, PortsAndMode) {
  Keyset keyset("APP");
  Read(keyset, "  MidiInPort :  Loopback A \nMidiOutPort:client:port out\nDeviceMode: -7 \n");
  EXPECT_EQ(keyset.MidiInPort.Get(), "Loopback A");
  EXPECT_EQ(keyset.MidiOutPort.Get(), "client:port out");
  EXPECT_EQ(keyset.DeviceMode.load(), -7);
  // Empty and malformed values change nothing.
  Read(keyset, "MidiInPort:\nMidiOutPort:   \nDeviceMode:\nDeviceMode:two\nDeviceMode:99999999999\n");
  EXPECT_EQ(keyset.MidiInPort.Get(), "Loopback A");
  EXPECT_EQ(keyset.MidiOutPort.Get(), "client:port out");
  EXPECT_EQ(keyset.DeviceMode.load(), -7);
}

TEST(KeysetLines, FileEndsAndOddContent) {
  Keyset lastLine("A");
  Read(lastLine, "1000:::0:0:0:x\n1204:::0:0:0:no line end");
  ASSERT_NE(lastLine.LookupMapping(1204), nullptr);
  EXPECT_EQ(lastLine.LookupMapping(1204)->Label.Get(), "no line end");

  Keyset lfOnly("B");
  Read(lfOnly, "1204:32:3735552:0:0:0:Play\nDeviceMode:1\n");
  EXPECT_EQ(lfOnly.LookupMapping(1204)->Label.Get(), "Play");
  EXPECT_EQ(lfOnly.DeviceMode.load(), 1);

  Keyset empty("C");
  Read(empty, "");
  EXPECT_EQ(empty.Count(), 0u);
  EXPECT_EQ(empty.DeviceMode.load(), kModeHost);

  Keyset binary("D");
  std::mt19937 random(7);
  std::string bytes(64 * 1024, '\0');
  for (char& ch : bytes) ch = static_cast<char>(random() % 4 == 0 ? ':' : random());
  Read(binary, bytes);
  binary.ForEachMapping([](ControlId id, const ControlMapping& m) {
    EXPECT_EQ(&m.Descriptor, LookupControlById(id));
  });
}

// ---- Writing

TEST(KeysetFormat, WritesTheExampleFileByteForByte) {
  const std::string file =
      "1204:32:3735552:0:0:0:Play\r\n"
      "1224:::4:B1:0:Volume 1\r\n"
      "1000:77:3276801:0:0:0:Mute 1\r\n"
      "MidiInPort:Loopback A\r\n"
      "MidiOutPort:Loopback B\r\n"
      "DeviceMode:2\r\n";
  Keyset keyset("SEQUENCER");
  Read(keyset, file);
  EXPECT_EQ(FormatKeyset(keyset), file);
}

TEST(KeysetFormat, EmptyPortsWriteNoLinesAndNoKeyWritesEmptyFields) {
  Keyset keyset("APP");
  ControlMapping* m = keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(1224)));
  m->KeyCode = 65;  // a key code without a key: not written
  m->MapType = MapType::kCustom1Status;
  m->DataA = 0xB1;
  m->Label.Set("Volume 1");
  keyset.DeviceMode = kModeKelo;
  EXPECT_EQ(FormatKeyset(keyset), "1224:::4:B1:0:Volume 1\r\nDeviceMode:3\r\n");
}

TEST(KeysetFormat, LineBreaksInTextWouldSplitTheLine) {
  Keyset keyset("APP");
  keyset.SetMapping(std::make_unique<ControlMapping>(*LookupControlById(1000)))->Label.Set("a\r\nb");
  keyset.MidiInPort.Set("x\ny");
  EXPECT_EQ(FormatKeyset(keyset), "1000:::0:0:0:a  b\r\nMidiInPort:x y\r\nDeviceMode:2\r\n");
}

// A mapping that does nothing (an older editor saved every control once selected) still
// loads, and is not written again.
TEST(KeysetFormat, EmptyMappingsLoadButAreNotWrittenAgain) {
  Keyset keyset("APP");
  std::istringstream in("1194:::0:0:0:\r\n1204:::0:0:0:Play\r\nDeviceMode:2\r\n");
  EXPECT_TRUE(ReadKeysetText(in, keyset).empty());
  EXPECT_NE(keyset.LookupMapping(1194), nullptr);
  EXPECT_EQ(FormatKeyset(keyset), "1204:::0:0:0:Play\r\nDeviceMode:2\r\n");
}

// A line read from an unusual spelling is written back in it until its mapping changes;
// lines that could not be read stay where they were.
TEST(KeysetFormat, KeepsSpellingsUntilAnEditAndUnreadLinesInPlace) {
  const std::string file = "1204x:32:3735552:0:0:0:Play\r\nnot a mapping\r\n1224:::4:1B1:0:Volume 1\r\nDeviceMode: 2\r\n";
  Keyset keyset("APP");
  std::istringstream in(file);
  EXPECT_EQ(ReadKeysetText(in, keyset), std::vector<int>{2});
  EXPECT_EQ(FormatKeyset(keyset), file);
  keyset.LookupMapping(1224)->DataA = 0xB2;
  keyset.DeviceMode = kModeKelo;
  EXPECT_EQ(FormatKeyset(keyset),
            "1204x:32:3735552:0:0:0:Play\r\nnot a mapping\r\n1224:::4:B2:0:Volume 1\r\nDeviceMode:3\r\n");
  // Read again, the Keyset's file holds only what the new text says.
  keyset.FileLines.Clear();
  EXPECT_EQ(FormatKeyset(keyset), "1204:32:3735552:0:0:0:Play\r\n1224:::4:B2:0:Volume 1\r\nDeviceMode:3\r\n");
}

// Random Keysets: written, read back and written again give the same bytes.
TEST(KeysetFormat, WriteReadWriteIsByteIdentical) {
  std::mt19937 random(20240501);
  const std::string labelChars = "abcXYZ 019:;,.-_\t#";
  auto text = [&](std::size_t maxLength, bool edgeBlanks) {
    std::string out;
    for (std::size_t n = random() % (maxLength + 1); n > 0; --n) out += labelChars[random() % labelChars.size()];
    if (!edgeBlanks) {
      while (!out.empty() && (out.front() == ' ' || out.front() == '\t')) out.erase(0, 1);
      while (!out.empty() && (out.back() == ' ' || out.back() == '\t')) out.pop_back();
    }
    return out;
  };
  for (int round = 0; round < 200; ++round) {
    Keyset original("RANDOM");
    const auto rows = kControls;
    for (int n = static_cast<int>(random() % 80); n > 0; --n) {
      auto mapping = std::make_unique<ControlMapping>(rows[random() % rows.size()]);
      if (random() % 3) {
        mapping->KeyCode = static_cast<int32_t>(random() % 256);
        mapping->KeyFlags = static_cast<uint32_t>(random()) & ~0xFFF8u;  // any modifiers, any high half
      }
      mapping->MapType = static_cast<MapType>(random() % 10);
      mapping->DataA = static_cast<uint8_t>(random());
      mapping->DataB = static_cast<uint8_t>(random());
      mapping->Label.Set(text(20, true));
      original.SetMapping(std::move(mapping));
    }
    original.MidiInPort.Set(text(12, false));
    original.MidiOutPort.Set(text(12, false));
    original.DeviceMode = static_cast<int32_t>(random());

    const std::string first = FormatKeyset(original);
    Keyset copy("RANDOM");
    Read(copy, first);
    ASSERT_EQ(FormatKeyset(copy), first) << "round " << round;
    std::size_t mapsSomething = 0;  // mappings that do nothing are not written
    original.ForEachMapping([&](ControlId, const ControlMapping& mapping) { mapsSomething += MapsSomething(mapping); });
    ASSERT_EQ(copy.Count(), mapsSomething);
  }
}

// ---- The settings directory

struct Files {
  test::TempDir dir;
  RecordingMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files{mapper, dir.Path(), messages, saver, reader};

  // The names the directory lists, sorted, as UTF-8.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) names.push_back(Utf8Name(entry.path().filename()));
    std::sort(names.begin(), names.end());
    return names;
  }
  // Whether names that differ in letter case only are one file here (Windows, macOS).
  bool IgnoresCase() const {
    dir.Write("case.probe", "");
    const bool ignores = dir.Exists("CASE.PROBE");
    std::filesystem::remove(dir.Path() / "case.probe");
    return ignores;
  }
};

TEST(KeysetFiles, EmptyDirectoryGivesOnlyTheDefault) {
  Files f;
  f.files.LoadAllKeysets();
  ASSERT_EQ(f.mapper.Count(), 1u);
  Keyset* fallback = f.mapper.DefaultKeyset();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->Name, "DEFAULT");
  EXPECT_EQ(fallback->DeviceMode.load(), kModeHost);
  EXPECT_EQ(fallback->Count(), 0u);
  EXPECT_TRUE(fallback->MidiInPort.Empty());
  EXPECT_TRUE(f.messages.Texts().empty());
}

TEST(KeysetFiles, MissingDirectoryGivesOnlyTheDefault) {
  RecordingMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files(mapper, "/nonexistent/orvo/settings", messages, saver, reader);
  files.LoadAllKeysets();
  EXPECT_EQ(mapper.Count(), 1u);
  EXPECT_NE(mapper.DefaultKeyset(), nullptr);
  EXPECT_TRUE(messages.Texts().empty());
}

TEST(KeysetFiles, LoadsEveryKeysetFileOfAnyCase) {
  Files f;
  f.dir.Write("SEQUENCER.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:1\r\n");
  f.dir.Write("mixer.ORVO", "1000:::0:0:0:m\n");
  f.dir.Write("notes.txt", "1000:::0:0:0:n\n");
  f.dir.Write("EDITOR.orvo.tmp", "1000:::0:0:0:t\n");
  f.dir.Write(".orvo", "1000:::0:0:0:nameless\n");
  f.files.LoadAllKeysets();
  EXPECT_EQ(f.mapper.Count(), 3u);  // SEQUENCER, MIXER, DEFAULT
  ASSERT_NE(f.mapper.Lookup("SEQUENCER"), nullptr);
  EXPECT_EQ(f.mapper.Lookup("SEQUENCER")->DeviceMode.load(), kModeStandard);
  ASSERT_NE(f.mapper.Lookup("MIXER"), nullptr);
  EXPECT_EQ(f.mapper.Lookup("MIXER")->LookupMapping(1000)->Label.Get(), "m");
  EXPECT_EQ(f.mapper.DefaultKeyset(), f.mapper.Lookup("DEFAULT"));
  EXPECT_TRUE(f.messages.Texts().empty());
}

TEST(KeysetFiles, LowerCaseDefaultBecomesDefaultAndIsSavedUpperCase) {
  Files f;
  f.dir.Write("default.orvo", "1224:::4:B1:0:Volume 1\r\n");
  f.files.LoadAllKeysets();
  Keyset* fallback = f.mapper.DefaultKeyset();
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(fallback->Name, "DEFAULT");
  EXPECT_EQ(f.mapper.Count(), 1u);

  ASSERT_TRUE(f.files.SaveKeyset(*fallback));
  EXPECT_EQ(f.dir.Read("DEFAULT.orvo"), "1224:::4:B1:0:Volume 1\r\nDeviceMode:2\r\n");
  // No default.orvo to load a second time; where case is ignored, the one file renamed.
  EXPECT_EQ(f.Names(), std::vector<std::string>{"DEFAULT.orvo"});
  EXPECT_TRUE(f.messages.Texts().empty());
}

TEST(KeysetFiles, ExactlyNamedFileWinsOverAStaleCasing) {
  Files f;
  f.dir.Write("seq.orvo", "1204:::0:0:0:stale\n");
  f.dir.Write("SEQ.orvo", "1204:::0:0:0:current\n");
  f.files.LoadAllKeysets();
  EXPECT_EQ(f.mapper.Lookup("SEQ")->LookupMapping(1204)->Label.Get(), "current");
}

TEST(KeysetFiles, SaveAllWritesEveryKeysetAndLeavesNoStrayFile) {
  Files f;
  f.dir.Write("mixer.orvo", "1000:::0:0:0:m\n");
  f.files.LoadAllKeysets();
  f.mapper.FindOrCreate("mixer", true)->MidiOutPort.Set("mix:out");
  f.mapper.FindOrCreate("sequencer", true)->DeviceMode = kModeKelo;
  f.mapper.FindOrCreate("GR\u00dcN", true);  // names are UTF-8 on every system
  ASSERT_TRUE(f.files.SaveAllKeysets());
  EXPECT_EQ(f.dir.Read("DEFAULT.orvo"), "DeviceMode:2\r\n");
  EXPECT_EQ(f.dir.Read("MIXER.orvo"), "1000:::0:0:0:m\r\nMidiOutPort:mix:out\r\nDeviceMode:2\r\n");
  EXPECT_EQ(f.dir.Read("SEQUENCER.orvo"), "DeviceMode:3\r\n");
  // mixer.orvo gone, or given its upper-case name where case is ignored
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"DEFAULT.orvo", "GR\u00dcN.orvo", "MIXER.orvo", "SEQUENCER.orvo"}));

  // Loaded again, the same Keysets in the same state.
  Mapper again;
  KeysetFiles reload(again, f.dir.Path(), f.messages, f.saver, f.reader);
  reload.LoadAllKeysets();
  EXPECT_EQ(again.Count(), 4u);
  EXPECT_NE(again.Lookup("GR\u00dcN"), nullptr);
  EXPECT_EQ(again.Lookup("MIXER")->MidiOutPort.Get(), "mix:out");
  EXPECT_EQ(again.Lookup("SEQUENCER")->DeviceMode.load(), kModeKelo);
}

TEST(KeysetFiles, FailedSaveKeepsThePreviousFile) {
  Files f;
  f.dir.Write("SEQ.orvo", "1204:::0:0:0:precious\r\nDeviceMode:2\r\n");
  f.files.LoadAllKeysets();
  Keyset* seq = f.mapper.Lookup("SEQ");
  seq->LookupMapping(1204)->Label.Set("changed");
  // The temporary file cannot be created.
  std::filesystem::create_directory(f.dir.Path() / "SEQ.orvo.tmp");
  EXPECT_FALSE(f.files.SaveKeyset(*seq));
  EXPECT_EQ(f.messages.Texts(), std::vector<std::string>{kWriteFailedMessage});
  EXPECT_EQ(f.dir.Read("SEQ.orvo"), "1204:::0:0:0:precious\r\nDeviceMode:2\r\n");
  EXPECT_EQ(seq->LookupMapping(1204)->Label.Get(), "changed");  // nothing lost in memory

  std::filesystem::remove(f.dir.Path() / "SEQ.orvo.tmp");
  EXPECT_TRUE(f.files.SaveKeyset(*seq));
  EXPECT_EQ(f.dir.Read("SEQ.orvo"), "1204:::0:0:0:changed\r\nDeviceMode:2\r\n");
}

TEST(KeysetFiles, SaveFailsForAMissingDirectoryOrANameThatIsNoFileName) {
  RecordingMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files(mapper, "/nonexistent/orvo/settings", messages, saver, reader);
  EXPECT_FALSE(files.SaveKeyset(*mapper.FindOrCreate("app", true)));

  Files f;
  EXPECT_FALSE(f.files.SaveKeyset(*f.mapper.FindOrCreate("../ESCAPE", true)));
  EXPECT_FALSE(std::filesystem::exists(f.dir.Path().parent_path() / "ESCAPE.orvo"));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{kWriteFailedMessage});
  EXPECT_EQ(f.messages.Texts(), std::vector<std::string>{kWriteFailedMessage});
}

// ---- Files that change while the program runs, step by step

struct ReloadStep {
  const char* what;
  std::string file;
  const char* bytes;  // written before the reload; nullptr: removed; "": left as it is
  KeysetReload::Kind kind;
  bool portsChanged = false;
  bool modeChanged = false;
  bool distinctCasing = false;  // needs a file system where case makes another file
};

TEST(KeysetFiles, ChangedFilesAreTakenUpAndOwnSavesAreNot) {
  using Kind = KeysetReload::Kind;
  Files f;
  f.dir.Write("SEQ.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n");
  f.files.LoadAllKeysets();
  Keyset* seq = f.mapper.Lookup("SEQ");
  ASSERT_TRUE(f.files.SaveAllKeysets());

  const std::vector<ReloadStep> steps = {
      {"own save", "SEQ.orvo", "", Kind::kNone},  // the file as the save left it
      {"line appended by hand", "SEQ.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n1224:::4:B1:0:Vol\r\n", Kind::kChanged},
      {"same content again", "SEQ.orvo", "1204:32:3735552:0:0:0:Play\r\nDeviceMode:2\r\n1224:::4:B1:0:Vol\r\n", Kind::kNone},
      {"ports and mode", "SEQ.orvo", "MidiInPort:A\r\nDeviceMode:3\r\n", Kind::kChanged, true, true},
      {"stale casing", "seq.orvo", "DeviceMode:1\r\n", Kind::kNone, false, false, true},
      {"not a Keyset file", "SEQ.orvo.tmp", "DeviceMode:1\r\n", Kind::kNone},
      {"new file", "MIXER.orvo", "1000:::0:0:0:m\r\n", Kind::kAdded},
      {"removed", "MIXER.orvo", nullptr, Kind::kRemoved},
      {"removal said once", "MIXER.orvo", nullptr, Kind::kNone},
  };
  const bool ignoresCase = f.IgnoresCase();
  for (const ReloadStep& step : steps) {
    if (step.distinctCasing && ignoresCase) continue;
    if (!step.bytes)
      std::filesystem::remove(f.dir.Path() / step.file);
    else if (*step.bytes)
      f.dir.Write(step.file, step.bytes);
    const KeysetReload reload = f.files.ReloadKeysetFile(step.file);
    EXPECT_EQ(reload.kind, step.kind) << step.what;
    EXPECT_EQ(reload.portsChanged, step.portsChanged) << step.what;
    EXPECT_EQ(reload.modeChanged, step.modeChanged) << step.what;
  }
  // Unsaved changes in memory: the user's choice decides, and is asked once per content.
  std::vector<std::string> asked;
  bool takeFile = false;
  f.files.SetConflictChoice([&](const Keyset& keyset) {
    asked.push_back(keyset.Name);
    return takeFile;
  });
  EXPECT_FALSE(f.files.HasUnsavedChanges(*seq));
  seq->DeviceMode = kModeStandard;
  EXPECT_TRUE(f.files.HasUnsavedChanges(*seq));
  f.dir.Write("SEQ.orvo", "MidiInPort:A\r\nDeviceMode:3\r\n1000:::0:0:0:x\r\n");
  EXPECT_EQ(f.files.ReloadKeysetFile("SEQ.orvo").kind, Kind::kKeptOwn);
  EXPECT_EQ(f.files.ReloadKeysetFile("SEQ.orvo").kind, Kind::kNone);
  EXPECT_EQ(seq->DeviceMode.load(), kModeStandard);
  takeFile = true;
  f.dir.Write("SEQ.orvo", "MidiInPort:A\r\nDeviceMode:3\r\n");
  EXPECT_EQ(f.files.ReloadKeysetFile("SEQ.orvo").kind, Kind::kChanged);
  EXPECT_EQ(asked, (std::vector<std::string>{"SEQ", "SEQ"}));
  EXPECT_FALSE(f.files.HasUnsavedChanges(*seq));

  // The last content of SEQ.orvo in force as a whole, and no replaced table kept.
  EXPECT_EQ(seq->Count(), 0u);
  EXPECT_EQ(seq->MidiInPort.Get(), "A");
  EXPECT_EQ(seq->DeviceMode.load(), kModeKelo);
  EXPECT_EQ(seq->RetiredTables(), 0u);
  ASSERT_NE(f.mapper.Lookup("MIXER"), nullptr);
  EXPECT_EQ(f.mapper.Lookup("MIXER")->LookupMapping(1000)->Label.Get(), "m");
}

}  // namespace
}  // namespace orvo
