#include "app/keyset_file_follower.h"

#include <new>

#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"
#include "midi/midi_ports.h"
#include "protocol/device_modes.h"

namespace orvo {

KeysetFileFollower::KeysetFileFollower(KeysetFollowerServices services, std::unique_ptr<DirectoryWatch> watch)
    : services_(std::move(services)), watch_(std::move(watch)) {
  // Watch thread: reads the changed file, then hands it to the main thread.
  std::weak_ptr<KeysetFileFollower*> weak = self_;
  auto changed = [this, weak](const std::string& fileName) {
    // Read and parsed here, so that the main thread only puts the result in force.
    try {
      auto prepared = std::make_shared<PreparedReload>(services_.Files.PrepareReload(fileName));
      if (prepared->step == PreparedReload::Step::kNothing) return;
      services_.MainThread.Post([weak, prepared] {
        if (auto self = weak.lock()) (*self)->TakeUp(*prepared);
      });
    } catch (const std::bad_alloc&) {
      // Not even the refusal fits in memory: the next change of the file is taken up.
    }
  };
  auto presence = [this, weak](bool present) {
    services_.MainThread.Post([weak, present] {
      if (auto self = weak.lock()) (*self)->SayPresence(present);
    });
  };
  const bool watching = watch_->Start(services_.Files.Directory(), std::move(changed), std::move(presence));
  if (!watching) services_.Say("Keyset files are read at start only: the settings directory cannot be watched");
}

KeysetFileFollower::~KeysetFileFollower() { watch_->Stop(); }

void KeysetFileFollower::SayPresence(bool present) {
  const std::string directory = services_.Files.Directory().string();
  services_.Say(present ? "The settings directory " + directory + " is back; its Keyset files are followed again"
                        : "The settings directory " + directory +
                              " was removed or renamed; Keyset files are followed again when it returns");
}

void KeysetFileFollower::TakeUp(const std::string& fileName) {
  PreparedReload prepared = services_.Files.PrepareReload(fileName);
  TakeUp(prepared);
}

void KeysetFileFollower::TakeUp(PreparedReload& prepared) {
  const std::string& fileName = prepared.fileName;
  const KeysetReload reload = services_.Files.ApplyReload(prepared);
  Keyset* keyset = reload.keyset;
  switch (reload.kind) {
    case KeysetReload::Kind::kNone: return;
    case KeysetReload::Kind::kRefused: services_.Say(reload.refusal); return;
    case KeysetReload::Kind::kKeptOwn:
      services_.Say(fileName + " changed; the editor's version of " + keyset->Name + " is kept and will be saved over it");
      return;
    case KeysetReload::Kind::kRemoved:
      services_.Say(fileName + " was removed; the Keyset " + keyset->Name + " stays until the next start");
      return;
    case KeysetReload::Kind::kAdded: services_.Say("Keyset " + keyset->Name + " added from " + fileName); break;
    case KeysetReload::Kind::kChanged: services_.Say("Keyset " + keyset->Name + " read again from " + fileName); break;
  }
  if (reload.portsChanged || reload.kind == KeysetReload::Kind::kAdded) {
    services_.Ports.CloseMidiIn(*keyset);
    services_.Ports.CloseMidiOut(*keyset);
    if (!keyset->MidiOutPort.Empty()) services_.Ports.OpenMidiInByName(*keyset, keyset->MidiOutPort.Get());
    if (!keyset->MidiInPort.Empty()) services_.Ports.OpenMidiOutByName(*keyset, keyset->MidiInPort.Get());
  }
  if (reload.modeChanged) {
    const auto record = services_.Engine.FocusState.Current();
    if (record && record->Peek().ActiveKeyset == keyset)
      SelectModeForApplication(services_.Engine.Protocol, services_.Device, keyset->DeviceMode.load(), &keyset->Lamps);
  }
  if (services_.Changed) services_.Changed(keyset);
}

}  // namespace orvo
