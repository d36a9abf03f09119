#pragma once
// The process-wide state of the engine in one object, so that every test starts clean:
// the protocol state with each control's last message, the Keysets and the focus record.
#include <cstdint>

#include "mapping/focus_state.h"
#include "mapping/keyset.h"
#include "protocol/protocol_state.h"

namespace orvo {

struct EngineContext {
  // `ownProcessId`: this program's process id, given by the application.
  explicit EngineContext(uint32_t ownProcessId) : FocusState(ownProcessId) {}
  EngineContext(const EngineContext&) = delete;
  EngineContext& operator=(const EngineContext&) = delete;

  ProtocolState Protocol;
  orvo::Mapper Mapper;
  FocusStateHolder FocusState;
};

}  // namespace orvo
