#pragma once
// The line at the foot of the editor that says what is in force right now: whether the
// surface is connected and in which mode, the Keyset serving the application in front
// (and that application's executable), and the Bank and Shift layers; and, first, what
// stops the surface from reaching the applications: no surface, no MIDI system, a
// Keyset's port that is not there.
#include <QString>
#include <cstdint>
#include <string>

namespace orvo {

struct SurfaceStatus {
  bool connected = false;
  int32_t deviceMode = 0;
  std::string keyset;      // the Keyset in force; empty while none is
  std::string executable;  // the program in front; empty when unknown
  int bankLayer = 0;
  int shiftLayer = 0;
  std::string midiProblem;  // why no MIDI goes anywhere; empty while a MIDI system is in use
  std::string absentPorts;  // "port of SYNTH not connected (NAME)"; empty when all are there

  bool operator==(const SurfaceStatus&) const = default;
};

QString StatusLineText(const SurfaceStatus& status);
// "no MIDI system: WHY", said once when the reason itself begins with it.
QString NoMidiSystemText(const std::string& problem);

}  // namespace orvo
