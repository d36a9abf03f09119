// Dispatching allocates nothing: every operator new of this test program is counted
// while the reader hands a stream of events to the dispatch of a fully mapped Keyset.
#include <gtest/gtest.h>

#include "support/counting_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "os/fake/counting_sinks.h"
#include "os/fake/recording_device.h"
#include "protocol/message_decoder.h"


namespace orvo {
namespace {

TEST(DispatchAllocation, NoHeapAllocationPerEvent) {
  EngineContext context(4242);
  context.Protocol.CurrentDeviceMode = kModeHost;
  Keyset* keyset = context.Mapper.FindOrCreate("SEQUENCER", true);
  keyset->MidiOutHandle = 7;
  for (const ControlDescriptor& row : kControls) {
    auto mapping = std::make_unique<ControlMapping>(row);
    mapping->KeyCode = 0x41;
    mapping->KeyFlags = kModCtrl | kModShift | (30u << 16);
    mapping->MapType = static_cast<MapType>(row.id % 9);
    keyset->SetMapping(std::move(mapping));
  }
  context.FocusState.CreateFocusState();
  context.FocusState.Current()->Write(777, kOwnerOther, keyset);

  auto pool = SysExPool::Create();
  test::CountingKeys keys;
  test::CountingMidiOut midi;
  test::CountingEditor editor;
  Dispatch dispatch(context.FocusState, keys, midi, editor);
  test::RecordingDevice device;
  MessageDecoder reader(context.Protocol, pool.get(), dispatch, device);

  // Buttons pressed and released, a fader, a pot, the wheel and a system-exclusive message.
  const uint8_t stream[] = {0xBE, 0x4C, 0x7F, 0xBE, 0x4C, 0x00, 0xBF, 0x03, 0x40, 0xBD, 0x05, 0x7F,
                            0xBF, 0x43, 0x41, 0xBF, 0x60, 0x01, 0xF0, 0x15, 0x29, 0x01, 0xF7};
  reader.Store(stream, sizeof stream);  // warm up
  reader.Parse();

  const long before = test::Allocations();
  for (int i = 0; i < 10000; ++i) {
    reader.Store(stream, sizeof stream);
    reader.Parse();
  }
  EXPECT_EQ(test::Allocations() - before, 0);
  EXPECT_EQ(midi.shorts, 10001 * 6);
  EXPECT_EQ(midi.longs, 10001);
  EXPECT_EQ(keys.records, 10001 * 5 * 6);  // two presses, fader, pot, wheel: Ctrl+Shift+key
  EXPECT_EQ(editor.notes, 10001 * 7);
  EXPECT_EQ(pool->Count(), pool->Capacity());
}

}  // namespace
}  // namespace orvo
