#include "mapping/dispatch.h"

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "protocol/short_message.h"
#include "support/case_names.h"
#include "support/dispatch_rig.h"
#include "support/reader_front.h"

namespace orvo {
namespace {

using test::DispatchRig;
using test::kOutHandle;
using Kind = test::RecordingEditor::Kind;

constexpr uint32_t kPlayPress = PackShortMessage(0xBE, 0x4C, 0x7F);
constexpr uint32_t kPlayRelease = PackShortMessage(0xBE, 0x4C, 0x00);
constexpr uint32_t Tag(uint32_t message, uint8_t tag) { return message | (uint32_t{tag} << 24); }

// ---- The rewrite table

struct RewriteCase {
  const char* what;
  uint8_t mapType;
  uint32_t sent;
};

class RewriteTest : public testing::TestWithParam<RewriteCase> {};

// Native 0xB0 0x10 0x40, DataA 0xB1, DataB 0x07.
TEST_P(RewriteTest, SendsTheRewrittenMessage) {
  const RewriteCase& c = GetParam();
  EXPECT_EQ(RewriteMessage(PackShortMessage(0xB0, 0x10, 0x40), static_cast<MapType>(c.mapType), 0xB1, 0x07), c.sent);
  // Bits 24-31 are left as they are.
  EXPECT_EQ(RewriteMessage(PackShortMessage(0xB0, 0x10, 0x40) | 0xAB000000u, static_cast<MapType>(c.mapType), 0xB1, 0x07),
            c.sent | 0xAB000000u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RewriteTest,
                         testing::Values(RewriteCase{"native", 0, PackShortMessage(0xB0, 0x10, 0x40)},
                                         RewriteCase{"custom 1 native", 1, PackShortMessage(0xB0, 0x10, 0x40)},
                                         RewriteCase{"custom 2 native", 2, PackShortMessage(0xB0, 0x10, 0x40)},
                                         RewriteCase{"status and first byte", 3, PackShortMessage(0xB1, 0x07, 0x40)},
                                         RewriteCase{"status", 4, PackShortMessage(0xB1, 0x10, 0x40)},
                                         RewriteCase{"first byte", 5, PackShortMessage(0xB0, 0x07, 0x40)},
                                         RewriteCase{"status value moved", 6, PackShortMessage(0xB1, 0x40, 0x07)},
                                         RewriteCase{"status bytes swapped", 7, PackShortMessage(0xB1, 0x40, 0x10)},
                                         RewriteCase{"value moved", 8, PackShortMessage(0xB0, 0x40, 0x07)},
                                         RewriteCase{"beyond the table", 9, PackShortMessage(0xB0, 0x10, 0x40)},
                                         RewriteCase{"far beyond", 255, PackShortMessage(0xB0, 0x10, 0x40)}),
                         test::NameFromWhat());

// ---- Keystroke records

struct Record {
  uint16_t vk;
  uint16_t scan;
  uint32_t flags;
  bool operator==(const Record&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Record& r) {
  return out << "{vk " << r.vk << ", scan " << r.scan << ", flags " << r.flags << "}";
}

struct KeystrokeCase {
  const char* what;
  uint32_t keyFlags;  // scan code 30 ('A') is added
  std::vector<Record> records;
};

class KeystrokeTest : public testing::TestWithParam<KeystrokeCase> {};

constexpr uint16_t kA = 0x41;
constexpr Record kADown{kA, 30, 0}, kAUp{kA, 30, 2};
constexpr Record kCtrlDown{0x11, 0, 0}, kCtrlUp{0x11, 0, 2};
constexpr Record kAltDown{0x12, 0, 0}, kAltUp{0x12, 0, 2};
constexpr Record kShiftDown{0x10, 0, 0}, kShiftUp{0x10, 0, 2};

TEST_P(KeystrokeTest, TypesTheModifiersAroundTheKeyInOneCall) {
  const KeystrokeCase& c = GetParam();
  DispatchRig rig;
  rig.Map(1204, kA, c.keyFlags | (30u << 16));
  // Twice: the second keystroke must not carry anything over from the first.
  for (int i = 0; i < 2; ++i) ASSERT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
  const auto calls = rig.keys.Calls();
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) {
    std::vector<Record> got;
    for (const KeyboardInput& in : call) {
      got.push_back({in.VirtualKey, in.ScanCode, in.Flags});
    }
    EXPECT_EQ(got, c.records);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeystrokeTest,
    testing::Values(KeystrokeCase{"plain key", 0, {kADown, kAUp}},
                    KeystrokeCase{"ctrl", kModCtrl, {kCtrlDown, kADown, kAUp, kCtrlUp}},
                    KeystrokeCase{"shift", kModShift, {kShiftDown, kADown, kAUp, kShiftUp}},
                    KeystrokeCase{"ctrl shift", kModCtrl | kModShift,
                                  {kCtrlDown, kShiftDown, kADown, kAUp, kShiftUp, kCtrlUp}},
                    KeystrokeCase{"alt shift", kModAlt | kModShift,
                                  {kAltDown, kShiftDown, kADown, kAUp, kShiftUp, kAltUp}},
                    KeystrokeCase{"all three", kModCtrl | kModAlt | kModShift,
                                  {kCtrlDown, kAltDown, kShiftDown, kADown, kAUp, kShiftUp, kAltUp, kCtrlUp}},
                    KeystrokeCase{"extended on the down record only", kModCtrl | kKeyFlagsExtended,
                                  {kCtrlDown, Record{kA, 30, 1}, kAUp, kCtrlUp}},
                    KeystrokeCase{"other high bits ignored", 0x7E000000u | kModAlt, {kAltDown, kADown, kAUp, kAltUp}}),
    test::NameFromWhat());

TEST(Dispatch, CtrlShiftButtonTypesOnPressAndStillSendsTheRelease) {
  DispatchRig rig;
  rig.Map(1204, kA, kModCtrl | kModShift | (30u << 16), MapType::kCustom1Status, 0xB1);
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayRelease), DispatchResult::kTaken);
  EXPECT_EQ(rig.keys.Calls().size(), 1u);  // the release types nothing
  const auto sent = rig.midi.Shorts();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].handle, kOutHandle);
  EXPECT_EQ(sent[0].message, PackShortMessage(0xB1, 0x4C, 0x7F));
  EXPECT_EQ(sent[1].message, PackShortMessage(0xB1, 0x4C, 0x00));
  const auto notes = rig.editor.Notes();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].kind, Kind::kPost);
  EXPECT_EQ(notes[1].row, rig.Row(1204));
  EXPECT_EQ(notes[1].message, Tag(PackShortMessage(0xB1, 0x4C, 0x00), 0x90));
}

// ---- Which events do what

struct EventCase {
  const char* what;
  ControlId id;          // 0: no row resolved
  uint32_t message;
  int32_t mode;          // the active Keyset's DeviceMode
  bool output;           // the Keyset has a MIDI output
  bool mapped;           // a mapping with key A and MapType 4 to 0xB1
  uint32_t keyFlags;     // of the mapping
  int keystrokes;
  std::vector<uint32_t> sent;
  std::vector<uint32_t> posted;  // tagged messages posted to the editor
};

class DispatchEventTest : public testing::TestWithParam<EventCase> {};

TEST_P(DispatchEventTest, ActsAsTheKeysetSays) {
  const EventCase& c = GetParam();
  DispatchRig rig;
  rig.keyset->DeviceMode = c.mode;
  if (!c.output) rig.keyset->MidiOutHandle = kNoMidiHandle;
  if (c.mapped) rig.Map(c.id, kA, c.keyFlags, MapType::kCustom1Status, 0xB1);
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(c.id ? rig.Row(c.id) : nullptr, c.message), DispatchResult::kTaken);
  EXPECT_EQ(static_cast<int>(rig.keys.Calls().size()), c.keystrokes);
  std::vector<uint32_t> sent, posted;
  for (const auto& s : rig.midi.Shorts()) {
    EXPECT_EQ(s.handle, kOutHandle);
    sent.push_back(s.message);
  }
  for (const auto& n : rig.editor.Notes()) {
    EXPECT_EQ(n.kind, Kind::kPost);
    EXPECT_EQ(n.row, rig.Row(c.id));
    posted.push_back(n.message);
  }
  EXPECT_EQ(sent, c.sent);
  EXPECT_EQ(posted, c.posted);
}

constexpr uint32_t kFader = PackShortMessage(0xBF, 0x00, 0x40);
constexpr uint32_t kFaderB1 = PackShortMessage(0xB1, 0x00, 0x40);
constexpr uint32_t kPlayB1 = PackShortMessage(0xB1, 0x4C, 0x7F);
constexpr uint32_t kKeyA = kModCtrl | (30u << 16);

INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchEventTest,
    testing::Values(
        EventCase{"host press", 1204, kPlayPress, kModeHost, true, true, kKeyA, 1, {kPlayB1}, {Tag(kPlayB1, 0x90)}},
        EventCase{"host no key assigned", 1204, kPlayPress, kModeHost, true, true, kNoKey | (30u << 16), 0, {kPlayB1},
                  {Tag(kPlayB1, 0x90)}},
        EventCase{"host no mapping", 1204, kPlayPress, kModeHost, true, false, 0, 0, {kPlayPress}, {}},
        EventCase{"host no output posts native", 1204, kPlayPress, kModeHost, false, true, kKeyA, 1, {},
                  {Tag(kPlayPress, 0x90)}},
        EventCase{"host no row", 0, kPlayPress, kModeHost, true, false, 0, 0, {}, {}},
        EventCase{"host bank button", kBankButton, PackShortMessage(0xBE, 0x40, 0x7F), kModeHost, true, true, kKeyA, 0,
                  {}, {}},
        EventCase{"host shift button", kShiftButton, PackShortMessage(0xBE, 0x41, 0x7F), kModeHost, true, true, kKeyA,
                  0, {}, {}},
        EventCase{"host fader types on every move", 1224, kFader, kModeHost, true, true, kKeyA, 1, {kFaderB1},
                  {Tag(kFaderB1, 0x90)}},
        EventCase{"host wheel types on every move", 1270, PackShortMessage(0xBF, 0x60, 0x01), kModeHost, true, true,
                  kKeyA, 1, {PackShortMessage(0xB1, 0x60, 0x01)}, {Tag(PackShortMessage(0xB1, 0x60, 0x01), 0x90)}},
        EventCase{"host footswitch half value types nothing", kFootSwitch, PackShortMessage(0xBF, 0x56, 0x40),
                  kModeHost, true, true, kKeyA, 0, {PackShortMessage(0xB1, 0x56, 0x40)},
                  {Tag(PackShortMessage(0xB1, 0x56, 0x40), 0x90)}},
        EventCase{"host footswitch press types", kFootSwitch, PackShortMessage(0xBF, 0x56, 0x7F), kModeHost, true,
                  true, kKeyA, 1, {PackShortMessage(0xB1, 0x56, 0x7F)}, {Tag(PackShortMessage(0xB1, 0x56, 0x7F), 0x90)}},
        EventCase{"standard sends unchanged", 1204, kPlayPress, kModeStandard, true, true, kKeyA, 0, {kPlayPress}, {}},
        EventCase{"standard without row", 0, kPlayPress, kModeStandard, true, false, 0, 0, {kPlayPress}, {}},
        EventCase{"standard without output", 1204, kPlayPress, kModeStandard, false, true, kKeyA, 0, {}, {}},
        EventCase{"kelo sends unchanged", 1204, kPlayPress, kModeKelo, true, true, kKeyA, 0, {kPlayPress}, {}},
        EventCase{"enhanced drops", 1204, kPlayPress, kModeEnhanced, true, true, kKeyA, 0, {}, {}},
        EventCase{"none drops", 1204, kPlayPress, kModeNone, true, true, kKeyA, 0, {}, {}},
        EventCase{"unknown mode drops", 1204, kPlayPress, 17, true, true, kKeyA, 0, {}, {}}),
    test::NameFromWhat());

TEST(Dispatch, EditorNotRunningIsNotNotified) {
  DispatchRig rig;
  rig.editor.running = false;
  rig.Map(1204, kA, kModCtrl);
  rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress);
  EXPECT_EQ(rig.keys.Calls().size(), 1u);
  EXPECT_EQ(rig.midi.Shorts().size(), 1u);
  EXPECT_TRUE(rig.editor.Notes().empty());
}

// ---- The focus record

TEST(Dispatch, BusyFocusRecordReturnsBusyAndDoesNothing) {
  DispatchRig rig;
  rig.Map(1204, kA, kModCtrl);
  auto record = rig.context.FocusState.Current();
  std::unique_lock finder(record->Lock);
  MidiHeader* buffer = rig.LongMessage({0xF0, 0x01, 0xF7});
  const auto results = std::async(std::launch::async, [&] {
    return std::pair(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), rig.dispatch.DispatchLongMessage(buffer));
  }).get();
  EXPECT_EQ(results, std::pair(DispatchResult::kBusy, DispatchResult::kBusy));
  EXPECT_TRUE(rig.keys.Calls().empty());
  EXPECT_TRUE(rig.midi.Shorts().empty());
  EXPECT_TRUE(rig.midi.Longs().empty());
  EXPECT_TRUE(rig.editor.Notes().empty());
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity() - 1);  // still the caller's
}

TEST(Dispatch, EditorFocusedGetsEveryEventAndNothingElseDoes) {
  DispatchRig rig;
  rig.Map(1204, kA, kModCtrl);
  rig.FocusOwnWindow(kOwnerEditor);
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(nullptr, kFader), DispatchResult::kTaken);
  const auto notes = rig.editor.Notes();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].kind, Kind::kSend);
  EXPECT_EQ(notes[0].row, rig.Row(1204));
  EXPECT_EQ(notes[0].message, Tag(kPlayPress, 0xF0));
  EXPECT_EQ(notes[1].row, nullptr);
  EXPECT_EQ(notes[1].message, Tag(kFader, 0xF0));
  EXPECT_TRUE(rig.keys.Calls().empty());
  EXPECT_TRUE(rig.midi.Shorts().empty());
}

TEST(Dispatch, OwnWindowsOtherThanTheEditorDropEverything) {
  for (uint32_t owner : {kOwnerOther, kOwnerMain}) {
    DispatchRig rig;  // also: right after a connection, before the first poll (kOwnerMain)
    rig.Map(1204, kA, kModCtrl);
    rig.FocusOwnWindow(owner);
    EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
    EXPECT_TRUE(rig.editor.Notes().empty());
    EXPECT_TRUE(rig.keys.Calls().empty());
    EXPECT_TRUE(rig.midi.Shorts().empty());
  }
  DispatchRig stopped;  // the editor's owner id, but the editor has ended
  stopped.editor.running = false;
  stopped.FocusOwnWindow(kOwnerEditor);
  EXPECT_EQ(stopped.dispatch.DispatchShortMessage(stopped.Row(1204), kPlayPress), DispatchResult::kTaken);
  EXPECT_TRUE(stopped.editor.Notes().empty());
}

TEST(Dispatch, JustConnectedDropsShortEventsAndReturnsLongMessages) {
  DispatchRig rig;
  rig.context.FocusState.CreateFocusState();  // a fresh record, as on connection
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
  EXPECT_EQ(rig.dispatch.DispatchLongMessage(rig.LongMessage({0xF0, 0x01, 0xF7})), DispatchResult::kTaken);
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
  EXPECT_TRUE(rig.midi.Shorts().empty());
  EXPECT_TRUE(rig.midi.Longs().empty());
}

TEST(Dispatch, NoFocusRecordDropsEverything) {
  DispatchRig rig;
  rig.context.FocusState.DestroyFocusState();
  EXPECT_EQ(rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress), DispatchResult::kTaken);
  EXPECT_EQ(rig.dispatch.DispatchLongMessage(rig.LongMessage({0xF0, 0x01, 0xF7})), DispatchResult::kTaken);
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
  EXPECT_TRUE(rig.midi.Shorts().empty());
}

// ---- Long messages

TEST(Dispatch, LongMessageGoesOutInEveryModeAndTheEditorGetsACopy) {
  for (int32_t mode : {kModeNone, kModeStandard, kModeHost, kModeKelo, kModeEnhanced}) {
    DispatchRig rig;
    rig.keyset->DeviceMode = mode;
    MidiHeader* buffer = rig.LongMessage({0xF0, 0x15, 0x29, 0xF7});
    ASSERT_EQ(rig.dispatch.DispatchLongMessage(buffer), DispatchResult::kTaken);
    const auto longs = rig.midi.Longs();
    ASSERT_EQ(longs.size(), 1u);
    EXPECT_EQ(longs[0].handle, kOutHandle);
    EXPECT_EQ(longs[0].header, buffer);
    EXPECT_EQ(longs[0].bytes, (std::vector<uint8_t>{0xF0, 0x15, 0x29, 0xF7}));
    EXPECT_EQ(rig.midi.Prepares(), 1);
    EXPECT_EQ(rig.midi.Unprepares(), 0);
    // The output owns it now; the editor saw the bytes from its own copy.
    std::fill_n(buffer->data, 4, 0);
    const auto notes = rig.editor.Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].kind, Kind::kLong);
    EXPECT_EQ(notes[0].keyset, rig.keyset);
    EXPECT_EQ(notes[0].bytes, (std::vector<uint8_t>{0xF0, 0x15, 0x29, 0xF7}));
    SysExPool::GiveBackToOwner(buffer);  // as the output's completion would
  }
}

TEST(Dispatch, LongMessageWhileTheEditorHasTheFocusGoesBackToThePool) {
  DispatchRig rig;
  rig.FocusOwnWindow(kOwnerEditor);
  EXPECT_EQ(rig.dispatch.DispatchLongMessage(rig.LongMessage({0xF0, 0x01, 0xF7})), DispatchResult::kTaken);
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
  EXPECT_TRUE(rig.midi.Longs().empty());
  EXPECT_EQ(rig.midi.Prepares(), 0);
  EXPECT_TRUE(rig.editor.Notes().empty());
}

TEST(Dispatch, LongMessageWithoutOutputGoesBackToThePool) {
  DispatchRig rig;
  rig.keyset->MidiOutHandle = kNoMidiHandle;
  EXPECT_EQ(rig.dispatch.DispatchLongMessage(rig.LongMessage({0xF0, 0x01, 0xF7})), DispatchResult::kTaken);
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
  EXPECT_TRUE(rig.editor.Notes().empty());
}

TEST(Dispatch, RefusedLongMessageIsUnpreparedAndStaysTheCallers) {
  for (bool failPrepare : {true, false}) {
    DispatchRig rig;
    rig.midi.FailPrepare(failPrepare);
    rig.midi.FailLongMessage(!failPrepare);
    MidiHeader* buffer = rig.LongMessage({0xF0, 0x01, 0xF7});
    EXPECT_EQ(rig.dispatch.DispatchLongMessage(buffer), DispatchResult::kRefused);
    EXPECT_EQ(rig.midi.Unprepares(), 1);
    EXPECT_EQ(buffer->flags & kMidiHeaderPrepared, 0u);
    EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity() - 1);
    EXPECT_TRUE(rig.editor.Notes().empty());
    rig.pool->GiveBack(buffer);
  }
}

// ---- With the reader in front, and threads around

TEST(Dispatch, ReaderToKeystrokeAndMidi) {
  DispatchRig rig;
  rig.Map(1204, 32, 57u << 16);  // Space
  rig.Map(1224, 24, kNoKey, MapType::kCustom1Status, 0xB1);
  test::ReaderFront front(rig);
  front.Receive({0xBE, 0x4C, 0x7F, 0xBE, 0x4C, 0x00, 0xBF, 0x00, 0x40});
  const auto calls = rig.keys.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].size(), 2u);
  EXPECT_EQ(calls[0][0].VirtualKey, 32);
  EXPECT_EQ(calls[0][0].ScanCode, 57);
  std::vector<uint32_t> sent;
  for (const auto& s : rig.midi.Shorts()) sent.push_back(s.message);
  EXPECT_EQ(sent, (std::vector<uint32_t>{kPlayPress, kPlayRelease, PackShortMessage(0xB1, 0x00, 0x40)}));
  EXPECT_EQ(rig.context.Protocol.LastHostControl.load(), rig.Row(1224));
}

// The main thread connects and disconnects while the read thread dispatches and the
// focus finder writes: nothing is used after it is freed, nothing races.
TEST(Dispatch, FocusRecordComesAndGoesDuringDispatch) {
  DispatchRig rig;
  rig.Map(1204, kA, kModCtrl);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    while (!done.load()) {
      rig.dispatch.DispatchShortMessage(rig.Row(1204), kPlayPress);
      MidiHeader* buffer = rig.LongMessage({0xF0, 0x01, 0xF7});
      const std::size_t sentBefore = rig.midi.LongCount();
      if (rig.dispatch.DispatchLongMessage(buffer) == DispatchResult::kTaken) {
        if (rig.midi.LongCount() > sentBefore) SysExPool::GiveBackToOwner(buffer);  // as on completion
      } else {
        rig.pool->GiveBack(buffer);
      }
    }
  });
  std::thread finder([&] {
    while (!done.load())
      if (auto record = rig.context.FocusState.Current()) record->Write(test::kOtherProcess, kOwnerOther, rig.keyset);
  });
  for (int i = 0; i < 1000; ++i) {
    rig.context.FocusState.DestroyFocusState();
    rig.context.FocusState.CreateFocusState();
  }
  done = true;
  reader.join();
  finder.join();
  EXPECT_EQ(rig.pool->Count(), rig.pool->Capacity());
}

}  // namespace
}  // namespace orvo
