#pragma once
// A DispatchTarget that records what it takes and refuses on request: `refuseShort` /
// `refuseLong` hold the results to give before taking (consumed front first).
#include <atomic>
#include <deque>
#include <string>
#include <vector>

#include "protocol/dispatch_target.h"
#include "protocol/sysex_pool.h"

namespace orvo::test {

class RecordingDispatch : public DispatchTarget {
 public:
  struct Short {
    const ControlDescriptor* row;
    uint32_t message;
  };

  DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t message) override {
    ++shortOffers;
    if (!refuseShort.empty()) {
      const DispatchResult result = refuseShort.front();
      refuseShort.pop_front();
      return result;
    }
    taken.push_back({row, message});
    return DispatchResult::kTaken;
  }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    ++longOffers;
    if (!refuseLong.empty()) {
      const DispatchResult result = refuseLong.front();
      refuseLong.pop_front();
      return result;
    }
    longMessages.emplace_back(buffer->data, buffer->data + buffer->bytesRecorded);
    lengths.push_back(buffer->bufferLength);
    SysExPool::GiveBackToOwner(buffer);  // as if sent and completed
    return DispatchResult::kTaken;
  }

  std::vector<Short> taken;
  std::vector<std::vector<uint8_t>> longMessages;
  std::vector<uint32_t> lengths;
  std::deque<DispatchResult> refuseShort;
  std::deque<DispatchResult> refuseLong;
  std::atomic<int> shortOffers{0};
  std::atomic<int> longOffers{0};
};

}  // namespace orvo::test
