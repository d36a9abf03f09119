#include "midi/midi_ports.h"

#include <new>

namespace orvo {
namespace {

// Further resets a close of an output port tries while a long message sent just before it
// is still in flight.
constexpr int kCloseRounds = 3;

const char* SuffixOf(int operation) {
  static const char* const kSuffixes[] = {": MIDI Out construct Error: ", ": MIDI In construct Error: ",
                                          ": MIDI Out destruct Error: ", ": MIDI In destruct Error: "};
  return kSuffixes[operation];
}

}  // namespace

void AppendMidiErrorText(MidiResult code, std::string& text) {
  switch (code) {
    case kMidiNoError: text += "No error"; break;
    case kMidiBadDeviceId: text += "The specified device identifier is out of range."; break;
    case kMidiAllocated: text += "The specified resource is already allocated."; break;
    case kMidiInvalidHandle: text += "The specified device handle is invalid."; break;
    case kMidiNoMemory: text += "The system is unable to allocate or lock memory."; break;
    case kMidiInvalidFlag: text += "The flags specified by dwFlags are invalid."; break;
    case kMidiInvalidParam: text += "The specified pointer or structure is invalid."; break;
    case kMidiStillPlaying: text += "Buffers are still in the queue."; break;
    default: text += "Unspecified MIDI error"; break;
  }
}

MidiPorts::MidiPorts(MidiServices services) : services_(services), completions_(services_) {}

MidiPorts::~MidiPorts() = default;

void MidiPorts::Report(const Keyset& keyset, Operation operation, const std::string& reason) {
  services_.Messages.ShowMessage(keyset.Name + SuffixOf(static_cast<int>(operation)) + reason,
                                 MessageIcon::kError);
}

void MidiPorts::ReportCode(const Keyset& keyset, Operation operation, MidiResult code) {
  if (code == kNotThere) return;  // a stored port that is not there stays closed, and nothing is shown
  std::string reason;
  AppendMidiErrorText(code, reason);
  Report(keyset, operation, reason);
}

KeysetPortContext* MidiPorts::ContextOf(Keyset& keyset) {
  std::lock_guard lock(contextsMutex_);
  try {
    auto& context = contexts_[&keyset];
    if (!context) context.reset(new KeysetPortContext{services_, completions_, keyset});
    return context.get();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool MidiPorts::OpenMidiOut(Keyset& keyset, uint32_t device) {
  return OpenOut(keyset, [&](MidiOutHandle& handle, MidiHandler* handler) {
    return services_.Midi.OutOpen(handle, device, handler);
  });
}

bool MidiPorts::OpenMidiIn(Keyset& keyset, uint32_t device) {
  return OpenIn(keyset, [&](MidiInHandle& handle, MidiHandler* handler) {
    return services_.Midi.InOpen(handle, device, handler, true);
  });
}

bool MidiPorts::OpenOut(Keyset& keyset, const OpenCall& open) {
  if (keyset.MidiOutHandle.load(std::memory_order_acquire) != kNoMidiHandle) {
    Report(keyset, Operation::kOpenOut, "Please Destruct MIDI Out for this app first.");
    return false;
  }
  KeysetPortContext* context = ContextOf(keyset);
  if (!context) {
    Report(keyset, Operation::kOpenOut, "Could not allocate memory.");
    return false;
  }
  MidiOutHandle handle = kNoMidiHandle;
  const MidiResult result = open(handle, &context->output);
  if (result != kMidiNoError) {
    ReportCode(keyset, Operation::kOpenOut, result);
    return false;
  }
  keyset.MidiOutHandle.store(handle, std::memory_order_release);
  return true;
}

bool MidiPorts::OpenIn(Keyset& keyset, const OpenCall& open) {
  if (keyset.MidiInHandle.load(std::memory_order_acquire) != kNoMidiHandle) {
    Report(keyset, Operation::kOpenIn, "Please Destruct MIDI In for this app first.");
    return false;
  }
  KeysetPortContext* context = ContextOf(keyset);
  if (!context) {
    Report(keyset, Operation::kOpenIn, "Could not allocate memory.");
    return false;
  }
  MidiInHandle handle = kNoMidiHandle;
  MidiResult result = open(handle, &context->input);
  if (result != kMidiNoError) {
    ReportCode(keyset, Operation::kOpenIn, result);
    return false;
  }
  keyset.MidiInHandle.store(handle, std::memory_order_release);
  // Running out of buffers is not reported: the port works, it just receives no long
  // messages until buffers come free.
  for (int i = 0; i < kInputBuffersPerPort; ++i)
    if (!AddInputBuffer(services_.Midi, keyset, services_.Pool)) break;
  result = services_.Midi.InStart(handle);
  if (result == kMidiNoError) return true;
  CloseMidiIn(keyset);
  ReportCode(keyset, Operation::kOpenIn, result);
  return false;
}

bool MidiPorts::CloseMidiOut(Keyset& keyset) {
  // Withdrawn first, so that dispatch starts nothing new on the closing port.
  const MidiOutHandle handle = keyset.MidiOutHandle.exchange(kNoMidiHandle, std::memory_order_acq_rel);
  if (handle == kNoMidiHandle) return true;
  MidiResult result = services_.Midi.OutReset(handle);  // hands back what is in flight
  if (result == kMidiNoError) result = services_.Midi.OutClose(handle);
  // The read thread may have read the handle just before it was withdrawn and sent a long
  // message after the reset: that one too comes back with another reset. It was the last
  // (the thread reads the handle afresh for each message), so a few rounds always do.
  for (int round = 0; result == kMidiStillPlaying && round < kCloseRounds; ++round) {
    result = services_.Midi.OutReset(handle);
    if (result == kMidiNoError) result = services_.Midi.OutClose(handle);
  }
  if (result == kMidiNoError) return true;
  keyset.MidiOutHandle.store(handle, std::memory_order_release);  // still open: a later close retries
  ReportCode(keyset, Operation::kCloseOut, result);
  return false;
}

bool MidiPorts::CloseMidiIn(Keyset& keyset) {
  const MidiInHandle handle = keyset.MidiInHandle.exchange(kNoMidiHandle, std::memory_order_acq_rel);
  if (handle == kNoMidiHandle) return true;
  MidiResult result = services_.Midi.InReset(handle);  // every queued buffer comes back
  if (result == kMidiNoError) result = services_.Midi.InClose(handle);
  if (result != kMidiNoError) keyset.MidiInHandle.store(handle, std::memory_order_release);
  // The buffers the reset handed back go to the pool now, not some time later, so that
  // a port reopened next gets its full share.
  completions_.RunPending();
  if (result == kMidiNoError) return true;
  ReportCode(keyset, Operation::kCloseIn, result);
  return false;
}

// Our own port is named after the Keyset, so that a patchbay shows whose it is.
bool MidiPorts::OpenMidiOutByName(Keyset& keyset, const std::string& name) {
  if (name.empty()) return false;
  return OpenOut(keyset, [&](MidiOutHandle& handle, MidiHandler* handler) {
    const MidiResult result = services_.Midi.OutOpenByName(handle, name, keyset.Name + " out", handler);
    return result == kMidiBadDeviceId ? kNotThere : result;
  });
}

bool MidiPorts::OpenMidiInByName(Keyset& keyset, const std::string& name) {
  if (name.empty()) return false;
  return OpenIn(keyset, [&](MidiInHandle& handle, MidiHandler* handler) {
    const MidiResult result = services_.Midi.InOpenByName(handle, name, keyset.Name + " in", handler);
    return result == kMidiBadDeviceId ? kNotThere : result;
  });
}

bool MidiPorts::OpenAllMidiPorts(const Mapper& mapper) {
  mapper.ForEachKeyset([&](const auto&, Keyset& keyset) {
    if (!keyset.MidiOutPort.Empty()) OpenMidiInByName(keyset, keyset.MidiOutPort.Get());
    if (!keyset.MidiInPort.Empty()) OpenMidiOutByName(keyset, keyset.MidiInPort.Get());
  });
  return true;
}

bool MidiPorts::CloseAllMidiPorts(const Mapper& mapper) {
  mapper.ForEachKeyset([&](const auto&, Keyset& keyset) {
    CloseMidiIn(keyset);
    CloseMidiOut(keyset);
  });
  completions_.RunPending();
  return true;
}

}  // namespace orvo
