#include "protocol/message_decoder.h"

#include <gtest/gtest.h>

#include "support/case_names.h"

#include <thread>

#include "protocol/short_message.h"
#include "support/reader_fixture.h"

namespace orvo {
namespace {

using test::ReaderRig;
using Bytes = std::vector<uint8_t>;

constexpr uint32_t Msg(uint8_t s, uint8_t d1, uint8_t d2) { return PackShortMessage(s, d1, d2); }

TEST(MessageDecoder, MessageSplitAcrossReadsIsParsedOnceComplete) {
  ReaderRig rig;
  rig.Receive({0xBF, 0x03});
  EXPECT_TRUE(rig.dispatch.taken.empty());
  rig.Receive({0x40});
  EXPECT_EQ(rig.Messages(), (std::vector<uint32_t>{Msg(0xBF, 0x03, 0x40)}));
  EXPECT_EQ(rig.dispatch.taken[0].row, nullptr);  // rows are resolved in Host mode only
}

// Every split of the same stream gives the same messages.
TEST(MessageDecoder, AnySplitGivesTheSameMessages) {
  const Bytes stream = {0xBF, 0x00, 0x10, 0xF0, 0x01, 0x02, 0xF7, 0xBE, 0x4C, 0x7F, 0x05,
                        0xBD, 0x00, 0x7F, 0xF0, 0x7E, 0xF7, 0xBF, 0x60, 0x41};
  for (std::size_t cut1 = 0; cut1 <= stream.size(); ++cut1) {
    for (std::size_t cut2 = cut1; cut2 <= stream.size(); ++cut2) {
      ReaderRig rig;
      rig.Receive(Bytes(stream.begin(), stream.begin() + cut1));
      rig.Receive(Bytes(stream.begin() + cut1, stream.begin() + cut2));
      rig.Receive(Bytes(stream.begin() + cut2, stream.end()));
      EXPECT_EQ(rig.Messages(), (std::vector<uint32_t>{Msg(0xBF, 0x00, 0x10), Msg(0xBE, 0x4C, 0x7F),
                                                      Msg(0xBD, 0x00, 0x7F), Msg(0xBF, 0x60, 0x41)}))
          << cut1 << "," << cut2;
      EXPECT_EQ(rig.dispatch.longMessages,
                (std::vector<Bytes>{{0xF0, 0x01, 0x02, 0xF7}, {0xF0, 0x7E, 0xF7}}));
      EXPECT_EQ(rig.pool->Count(), 2000u);
    }
  }
}

TEST(MessageDecoder, MessageStraddlingTheRingWrapIsParsed) {
  ReaderRig rig;
  Bytes fill;
  for (int i = 0; i < 340; ++i) fill.insert(fill.end(), {0xBF, 0x01, static_cast<uint8_t>(i & 0x7F)});
  rig.Receive(fill);  // 1020 bytes: the write position is 4 bytes before the end
  ASSERT_EQ(rig.dispatch.taken.size(), 340u);
  rig.Receive({0xBF, 0x03, 0x40, 0xBF, 0x04, 0x41, 0xBF, 0x05, 0x42});
  ASSERT_EQ(rig.dispatch.taken.size(), 343u);
  EXPECT_EQ(rig.dispatch.taken[340].message, Msg(0xBF, 0x03, 0x40));
  EXPECT_EQ(rig.dispatch.taken[341].message, Msg(0xBF, 0x04, 0x41));
  EXPECT_EQ(rig.dispatch.taken[342].message, Msg(0xBF, 0x05, 0x42));
}

// A burst larger than the ring is read in ring-sized pieces: nothing unparsed is overwritten.
TEST(MessageDecoder, BurstLargerThanTheRingLosesNothing) {
  ReaderRig rig;
  Bytes burst;
  for (int i = 0; i < 1000; ++i) burst.insert(burst.end(), {0xBF, static_cast<uint8_t>(i % 32), static_cast<uint8_t>(i & 0x7F)});
  rig.Receive(burst);
  ASSERT_EQ(rig.dispatch.taken.size(), 1000u);
  for (int i = 0; i < 1000; ++i)
    ASSERT_EQ(rig.dispatch.taken[i].message, Msg(0xBF, i % 32, i & 0x7F)) << i;
}

TEST(MessageDecoder, StoreIsBoundedToTheFreeSpace) {
  ReaderRig rig;
  Bytes many(2000, 0x01);
  EXPECT_EQ(rig.decoder.Store(many.data(), many.size()), 1023u);
  EXPECT_EQ(rig.decoder.FreeSpace(), 0u);
  EXPECT_EQ(rig.decoder.Store(many.data(), 1), 0u);
  rig.decoder.Parse();  // all stray data bytes
  EXPECT_EQ(rig.decoder.Unparsed(), 0u);
  EXPECT_TRUE(rig.dispatch.taken.empty());
}

TEST(MessageDecoder, HostBankPressEchoesTheLampAndSwitchesTheLayer) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.Receive({0xBE, 0x40, 0x7F});
  EXPECT_EQ(rig.device.Written(), (Bytes{0xBE, 0x40, 0x7F}));
  EXPECT_EQ(rig.state.BankLayer, 1);
  ASSERT_EQ(rig.dispatch.taken.size(), 1u);
  EXPECT_EQ(rig.dispatch.taken[0].row->id, 1192);
  EXPECT_EQ(rig.dispatch.taken[0].message, Msg(0xBE, 0x40, 0x7F));
  EXPECT_EQ(rig.state.LastHostControl.load()->id, 1192);

  rig.Receive({0xBE, 0x40, 0x00});  // release: no effect
  EXPECT_EQ(rig.state.BankLayer, 1);
  EXPECT_EQ(rig.device.Writes(), 1);
  EXPECT_EQ(rig.dispatch.taken[1].row->id, 1192);

  rig.Receive({0xBE, 0x40, 0x7F});  // second press: lamp off, layer back
  EXPECT_EQ(rig.device.Written(), (Bytes{0xBE, 0x40, 0x7F, 0xBE, 0x40, 0x00}));
  EXPECT_EQ(rig.state.BankLayer, 0);
}

TEST(MessageDecoder, HostBankLayerChoosesTheRow) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.Receive({0xBD, 0x05, 0x7F, 0xBE, 0x40, 0x7F, 0xBD, 0x05, 0x7F});
  ASSERT_EQ(rig.dispatch.taken.size(), 3u);
  EXPECT_EQ(rig.dispatch.taken[0].row->id, 1037);
  EXPECT_EQ(rig.dispatch.taken[2].row->id, 1005);
  EXPECT_EQ(rig.state.LastMessage(*LookupControlById(1005)), Msg(0xBD, 0x05, 0x7F));
}

TEST(MessageDecoder, HostShiftTogglesOnPressAndRelease) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.Receive({0xBE, 0x41, 0x7F});
  EXPECT_EQ(rig.state.ShiftLayer, 1);
  rig.Receive({0xBE, 0x42, 0x7F});
  EXPECT_EQ(rig.dispatch.taken.back().row->id, 1214);  // F1 (Shift)
  rig.Receive({0xBE, 0x41, 0x00});
  EXPECT_EQ(rig.state.ShiftLayer, 0);
  EXPECT_EQ(rig.dispatch.taken[0].row->id, 1193);
}

TEST(MessageDecoder, FailedBankLampWriteKeepsTheLayer) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.device.FailWrites(true);
  rig.Receive({0xBE, 0x40, 0x7F});
  EXPECT_EQ(rig.state.BankLayer, 0);
  EXPECT_EQ(rig.dispatch.taken.size(), 1u);  // still dispatched
}

TEST(MessageDecoder, RefusedBankPressTogglesOnceAndWritesTheLampOnce) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.dispatch.refuseShort = {DispatchResult::kBusy, DispatchResult::kBusy};
  rig.Receive({0xBE, 0x40, 0x7F});
  EXPECT_EQ(rig.dispatch.shortOffers.load(), 3);
  EXPECT_EQ(rig.dispatch.taken.size(), 1u);
  EXPECT_EQ(rig.state.BankLayer, 1);
  EXPECT_EQ(rig.device.Writes(), 1);
}

// A failed lamp write is tried again when the refused message is offered again.
TEST(MessageDecoder, LampWriteIsRetriedWithTheRefusedMessage) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.device.FailWrites(true);
  rig.dispatch.refuseShort = {DispatchResult::kBusy};
  rig.bridge.Feed({0xBE, 0x40, 0x7F});
  // Let the first offer fail the write, then let the device work for the retry.
  struct Flip : DispatchTarget {
    test::RecordingDispatch& inner;
    test::RecordingDevice& device;
    Flip(test::RecordingDispatch& i, test::RecordingDevice& d) : inner(i), device(d) {}
    DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t m) override {
      device.FailWrites(false);
      return inner.DispatchShortMessage(row, m);
    }
    DispatchResult DispatchLongMessage(MidiHeader* b) override { return inner.DispatchLongMessage(b); }
  } flip(rig.dispatch, rig.device);
  MessageDecoder decoder(rig.state, rig.pool.get(), flip, rig.device);
  ReadLoop reader(rig.bridge, rig.link, decoder);
  reader.RunPass(rig.connected, rig.stop);
  EXPECT_EQ(rig.device.Writes(), 2);
  EXPECT_EQ(rig.state.BankLayer, 1);
}

TEST(MessageDecoder, HostFootswitchUnderBeIsDispatchedAsBf) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.Receive({0xBE, 0x56, 0x7F});
  ASSERT_EQ(rig.dispatch.taken.size(), 1u);
  EXPECT_EQ(rig.dispatch.taken[0].row->id, 1268);
  EXPECT_EQ(rig.dispatch.taken[0].message, Msg(0xBF, 0x56, 0x7F));
  EXPECT_EQ(rig.state.LastMessage(*LookupControlById(1268)), Msg(0xBF, 0x56, 0x7F));
}

TEST(MessageDecoder, OutsideHostNothingIsResolvedOrHandled) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeStandard;
  rig.Receive({0xBE, 0x56, 0x7F, 0xBE, 0x40, 0x7F, 0xBE, 0x41, 0x7F});
  ASSERT_EQ(rig.dispatch.taken.size(), 3u);
  EXPECT_EQ(rig.dispatch.taken[0].row, nullptr);
  EXPECT_EQ(rig.dispatch.taken[0].message, Msg(0xBE, 0x56, 0x7F));
  EXPECT_EQ(rig.state.BankLayer, 0);
  EXPECT_EQ(rig.state.ShiftLayer, 0);
  EXPECT_EQ(rig.device.Writes(), 0);
  EXPECT_EQ(rig.state.LastMessage(*LookupControlById(1268)), 0x56BFu);
  EXPECT_EQ(rig.state.LastHostControl, nullptr);
}

TEST(MessageDecoder, HostUnknownStatusHasNoRowAndStoresNothing) {
  ReaderRig rig;
  rig.state.CurrentDeviceMode = kModeHost;
  rig.state.LastHostControl = LookupControlById(1204);
  rig.Receive({0x90, 0x3C, 0x7F});
  ASSERT_EQ(rig.dispatch.taken.size(), 1u);
  EXPECT_EQ(rig.dispatch.taken[0].row, nullptr);
  EXPECT_EQ(rig.state.LastHostControl, nullptr);
  for (const auto& row : kControls) ASSERT_EQ(rig.state.LastMessage(row), row.wireCode);
}

TEST(MessageDecoder, SysExInTwoReadsIsDispatchedOnceAndKeepsThePoolWhole) {
  ReaderRig rig;
  rig.Receive({0xF0, 0x15, 0x29});
  EXPECT_EQ(rig.dispatch.longOffers.load(), 0);
  EXPECT_EQ(rig.pool->Count(), 2000u);
  rig.Receive({0x01, 0xF7});
  ASSERT_EQ(rig.dispatch.longMessages.size(), 1u);
  EXPECT_EQ(rig.dispatch.longMessages[0], (Bytes{0xF0, 0x15, 0x29, 0x01, 0xF7}));
  EXPECT_EQ(rig.dispatch.lengths[0], 5u);
  EXPECT_EQ(rig.pool->Count(), 2000u);
}

struct BadInputCase {
  const char* what;
  Bytes stream;
  std::vector<uint32_t> shortMessages;
  std::vector<Bytes> longMessages;
};

class BadInput : public ::testing::TestWithParam<BadInputCase> {};

// After any garbage the reader finds the next message, and no buffer is lost.
TEST_P(BadInput, IsGotPast) {
  const BadInputCase& c = GetParam();
  ReaderRig rig;
  rig.Receive(c.stream);
  EXPECT_EQ(rig.Messages(), c.shortMessages);
  EXPECT_EQ(rig.dispatch.longMessages, c.longMessages);
  EXPECT_EQ(rig.pool->Count(), 2000u);
}

Bytes Repeat(uint8_t byte, int n) { return Bytes(n, byte); }
Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    MessageDecoder, BadInput,
    ::testing::Values(
        BadInputCase{"stray data bytes", {0x01, 0x7F, 0xBF, 0x02, 0x40, 0x33}, {Msg(0xBF, 0x02, 0x40)}, {}},
        BadInputCase{"sysex of exactly sixteen bytes",
                     Concat({{0xF0}, Repeat(0x11, 14), {0xF7}, {0xBF, 0x01, 0x02}}),
                     {Msg(0xBF, 0x01, 0x02)},
                     {Concat({{0xF0}, Repeat(0x11, 14), {0xF7}})}},
        BadInputCase{"sysex of seventeen bytes is dropped",
                     Concat({{0xF0}, Repeat(0x11, 15), {0xF7}, {0xBF, 0x01, 0x02}}),
                     {Msg(0xBF, 0x01, 0x02)},
                     {}},
        BadInputCase{"very long sysex is dropped",
                     Concat({{0xF0}, Repeat(0x22, 3000), {0xF7}, {0xF0, 0x01, 0xF7}, {0xBF, 0x01, 0x02}}),
                     {Msg(0xBF, 0x01, 0x02)},
                     {{0xF0, 0x01, 0xF7}}},
        BadInputCase{"sysex cut short by a message",
                     {0xF0, 0x01, 0x02, 0xBF, 0x03, 0x04, 0xF7},
                     {Msg(0xBF, 0x03, 0x04)},
                     {}},
        BadInputCase{"long sysex cut short by a sysex",
                     Concat({{0xF0}, Repeat(0x22, 40), {0xF0, 0x05, 0xF7}}),
                     {},
                     {{0xF0, 0x05, 0xF7}}},
        BadInputCase{"empty sysex", {0xF0, 0xF7, 0xBF, 0x01, 0x02}, {Msg(0xBF, 0x01, 0x02)}, {{0xF0, 0xF7}}}),
    test::NameFromWhat());

TEST(MessageDecoder, RefusedLongMessageIsOfferedAgainWithAFreshBuffer) {
  ReaderRig rig(3);
  rig.dispatch.refuseLong = {DispatchResult::kBusy, DispatchResult::kBusy};
  rig.Receive({0xF0, 0x01, 0xF7});
  EXPECT_EQ(rig.dispatch.longOffers.load(), 3);
  EXPECT_EQ(rig.dispatch.longMessages.size(), 1u);
  EXPECT_EQ(rig.pool->Count(), 3u);
}

TEST(MessageDecoder, LongMessageTheOutputKeepsRefusingIsDropped) {
  ReaderRig rig(3);
  rig.dispatch.refuseLong = std::deque<DispatchResult>(4, DispatchResult::kRefused);
  rig.Receive({0xF0, 0x01, 0xF7, 0xBF, 0x01, 0x02});
  EXPECT_EQ(rig.dispatch.longOffers.load(), MessageDecoder::kMaxOutputRefusals);
  EXPECT_TRUE(rig.dispatch.longMessages.empty());
  EXPECT_EQ(rig.Messages(), (std::vector<uint32_t>{Msg(0xBF, 0x01, 0x02)}));
  EXPECT_EQ(rig.pool->Count(), 3u);
}

TEST(MessageDecoder, SysExWaitsForAFreeBuffer) {
  ReaderRig rig(1);
  MidiHeader* held = rig.pool->Take();
  rig.Receive({0xF0, 0x01, 0xF7, 0xBF, 0x01, 0x02});
  EXPECT_TRUE(rig.decoder.StalledOnPool());
  EXPECT_EQ(rig.dispatch.longOffers.load(), 0);
  EXPECT_TRUE(rig.dispatch.taken.empty());  // everything after it waits too
  rig.pool->GiveBack(held);
  rig.reader.RunPass(rig.connected, rig.stop);  // looks again without new bytes
  EXPECT_EQ(rig.dispatch.longMessages.size(), 1u);
  EXPECT_EQ(rig.dispatch.taken.size(), 1u);
  EXPECT_FALSE(rig.decoder.StalledOnPool());
}

TEST(MessageDecoder, PassEndsQuietlyWhenTheHandleIsInvalid) {
  ReaderRig rig;
  rig.bridge.Feed({0xBF, 0x01, 0x02});
  rig.link.Handle = kInvalidBridgeHandle;
  rig.reader.RunPass(rig.connected, rig.stop);
  EXPECT_TRUE(rig.dispatch.taken.empty());
}

// The thread body waits for the connection and for bytes, and stops when asked.
TEST(MessageDecoder, ThreadReadsWhatArrivesAndStops) {
  ReaderRig rig;
  rig.connected.Reset();
  std::thread thread([&] { rig.reader.Run(rig.connected, rig.stop); });
  rig.bridge.Feed({0xBF, 0x01});
  rig.connected.Set();
  rig.bridge.Feed({0x02});
  for (int i = 0; i < 2000 && rig.dispatch.shortOffers.load() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  rig.stop = true;
  rig.connected.Interrupt();
  rig.link.WaitOverlapped.Event.Interrupt();
  rig.link.ReadOverlapped.Event.Interrupt();
  thread.join();
  EXPECT_EQ(rig.Messages(), (std::vector<uint32_t>{Msg(0xBF, 0x01, 0x02)}));
}

}  // namespace
}  // namespace orvo
