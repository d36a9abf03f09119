// Keyset files changed while the program runs: what the program does with the change.
#include "app/keyset_file_follower.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "harness/temp_dir.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"
#include "os/fake/plain_file_saver.h"
#include "os/fake/plain_small_file_reader.h"
#include "os/fake/scripted_directory_watch.h"
#include "support/midi_rig.h"

namespace orvo {
namespace {

using Bytes = std::vector<uint8_t>;

struct FollowerRig {
  FollowerRig() {
    dir.Write("SEQ.orvo", "MidiInPort:synth:MIDI in\r\nDeviceMode:3\r\n");
    files.LoadAllKeysets();
    midi.ports.OpenAllMidiPorts(engine.Mapper);
    engine.FocusState.CreateFocusState();
    auto scripted = std::make_unique<ScriptedDirectoryWatch>();
    watch = scripted.get();
    KeysetFollowerServices services{files, engine, midi.ports, midi.surface, midi.mainThread,
                                    [this](const std::string& line) { said.push_back(line); },
                                    [this](Keyset* keyset) { shown.push_back(keyset); }};
    follower = std::make_unique<KeysetFileFollower>(std::move(services), std::move(scripted));
  }
  // `bytes` written to `file` (nullptr: removed; "": left as it is), reported by the
  // watch, taken up.
  void Change(const std::string& file, const char* bytes) {
    if (!bytes)
      std::filesystem::remove(dir.Path() / file);
    else if (*bytes)
      dir.Write(file, bytes);
    watch->Report(file);
    midi.mainThread.RunPending();
  }

  test::TempDir dir;
  EngineContext engine{4242};
  test::MidiRig midi;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  KeysetFiles files{engine.Mapper, dir.Path(), midi.messages, saver, reader};
  ScriptedDirectoryWatch* watch = nullptr;
  std::vector<std::string> said;
  std::vector<Keyset*> shown;
  std::unique_ptr<KeysetFileFollower> follower;
};

TEST(KeysetFileFollower, TakesUpChangesAddsKeysetsAndSaysWhatHappened) {
  FollowerRig rig;
  EXPECT_EQ(rig.watch->Directory(), rig.dir.Path());
  Keyset* seq = rig.engine.Mapper.Lookup("SEQ");
  const MidiOutHandle firstOut = seq->MidiOutHandle.load();
  ASSERT_NE(firstOut, kNoMidiHandle);
  rig.engine.FocusState.Current()->Write(77, 0, seq);  // the active Keyset

  // New port and mode: the port is reopened and the active Keyset's mode put in force.
  rig.Change("SEQ.orvo", "MidiInPort:Looper:MIDI in\r\nDeviceMode:1\r\n");
  EXPECT_NE(seq->MidiOutHandle.load(), firstOut);
  EXPECT_NE(seq->MidiOutHandle.load(), kNoMidiHandle);
  ASSERT_FALSE(rig.midi.surface.Events().empty());
  EXPECT_EQ(rig.midi.surface.Events().front().bytes, (Bytes{0xF0, 0x15, 0x29, 0x02, 0xF7}));
  // Its own save is not taken up again.
  ASSERT_TRUE(rig.files.SaveKeyset(*seq));
  rig.Change("SEQ.orvo", "");
  rig.Change("MIXER.orvo", "1000:::0:0:0:m\r\n");
  rig.Change("MIXER.orvo", nullptr);
  ASSERT_NE(rig.engine.Mapper.Lookup("MIXER"), nullptr);
  EXPECT_EQ(rig.said, (std::vector<std::string>{"Keyset SEQ read again from SEQ.orvo", "Keyset MIXER added from MIXER.orvo",
                                                "MIXER.orvo was removed; the Keyset MIXER stays until the next start"}));
  EXPECT_EQ(rig.shown, (std::vector<Keyset*>{seq, rig.engine.Mapper.Lookup("MIXER")}));

  // A FIFO under a Keyset's name is refused without waiting for a writer; the settings
  // directory going and coming back is said.
  rig.said.clear();
  ASSERT_EQ(mkfifo((rig.dir.Path() / "PIPE.orvo").c_str(), 0644), 0);
  rig.Change("PIPE.orvo", "");
  rig.watch->ReportPresence(false);
  rig.watch->ReportPresence(true);
  rig.midi.mainThread.RunPending();
  const std::string directory = rig.dir.Path().string();
  EXPECT_EQ(rig.said, (std::vector<std::string>{
                          "PIPE.orvo not read: it is not a regular file",
                          "The settings directory " + directory +
                              " was removed or renamed; Keyset files are followed again when it returns",
                          "The settings directory " + directory + " is back; its Keyset files are followed again"}));
  rig.midi.ports.CloseAllMidiPorts(rig.engine.Mapper);
}

}  // namespace
}  // namespace orvo
