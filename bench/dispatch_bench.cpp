// Events through the reader and the dispatch with a fully mapped Keyset and sinks that
// only count; and loading and saving a settings directory of 100 full Keyset files.
#include <benchmark/benchmark.h>

#include <fstream>

#include <filesystem>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "mapping/dispatch.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"
#include "os/fake/counting_sinks.h"
#include "os/fake/plain_file_saver.h"
#include "os/fake/plain_small_file_reader.h"
#include "protocol/message_decoder.h"

namespace orvo {
namespace {

// Every control but Bank and Shift, with a key on half of them and a rewrite rule.
void FillKeyset(Keyset& keyset, uint32_t seed) {
  std::mt19937 random(seed);
  for (const ControlDescriptor& row : kControls) {
    if (row.id == kBankButton || row.id == kShiftButton) continue;
    auto mapping = std::make_unique<ControlMapping>(row);
    if (random() % 2) {
      mapping->KeyCode = static_cast<int32_t>(0x30 + random() % 40);
      mapping->KeyFlags = static_cast<uint32_t>(random() % 8) | ((random() % 90) << 16);
    }
    mapping->MapType = static_cast<MapType>(random() % 9);
    mapping->DataA = static_cast<uint8_t>(0xB0 + random() % 16);
    mapping->DataB = static_cast<uint8_t>(random() % 128);
    mapping->Label.Set("Label " + std::to_string(row.id));
    keyset.SetMapping(std::move(mapping));
  }
}

// Buttons, faders, pots and the wheel, and now and then a system-exclusive message.
std::vector<uint8_t> Traffic() {
  return {0xBF, 0x03, 0x40, 0xBD, 0x05, 0x7F, 0xBF, 0x43, 0x41, 0xBE, 0x4C, 0x7F, 0xBF, 0x60, 0x01,
          0xBE, 0x4C, 0x00, 0xBF, 0x10, 0x22, 0xF0, 0x15, 0x29, 0x01, 0xF7, 0xBD, 0x45, 0x00, 0xBF,
          0x1F, 0x7F};
}
constexpr int64_t kEventsInTraffic = 11;

void BM_ReaderAndDispatch(benchmark::State& state) {
  EngineContext context(4242);
  context.Protocol.CurrentDeviceMode = kModeHost;
  Keyset* keyset = context.Mapper.FindOrCreate("SEQUENCER", true);
  FillKeyset(*keyset, 1);
  keyset->MidiOutHandle = 7;
  context.FocusState.CreateFocusState();
  context.FocusState.Current()->Write(777, kOwnerOther, keyset);
  auto pool = SysExPool::Create();
  test::CountingKeys keys;
  test::CountingMidiOut midi;
  test::CountingEditor editor;
  Dispatch dispatch(context.FocusState, keys, midi, editor);
  test::CountingDevice device;
  MessageDecoder reader(context.Protocol, pool.get(), dispatch, device);
  const auto chunk = Traffic();
  for (auto _ : state) {
    reader.Store(chunk.data(), chunk.size());
    reader.Parse();
  }
  state.SetItemsProcessed(state.iterations() * kEventsInTraffic);
  state.counters["mappings"] = static_cast<double>(keyset->Count());
}
BENCHMARK(BM_ReaderAndDispatch);

struct SettingsDir {
  SettingsDir() {
    std::random_device random;
    path = std::filesystem::temp_directory_path() / ("orvo-bench-" + std::to_string(random()));
    std::filesystem::create_directories(path);
  }
  ~SettingsDir() { std::filesystem::remove_all(path); }
  std::filesystem::path path;
};

struct SilentMessages : MessageService {
  void ShowMessage(const std::string&, MessageIcon) override { std::abort(); }
};

constexpr int kKeysetFiles = 100;

void MakeKeysets(Mapper& mapper) {
  for (int i = 0; i < kKeysetFiles; ++i) {
    Keyset* keyset = mapper.FindOrCreate("APP" + std::to_string(i), true);
    FillKeyset(*keyset, static_cast<uint32_t>(i));
    keyset->MidiInPort.Set("client:in " + std::to_string(i));
    keyset->MidiOutPort.Set("client:out " + std::to_string(i));
  }
}

void BM_SaveAllKeysets(benchmark::State& state) {
  SettingsDir dir;
  Mapper mapper;
  MakeKeysets(mapper);
  SilentMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  KeysetFiles files(mapper, dir.path, messages, saver, reader);
  for (auto _ : state) files.SaveAllKeysets();
  state.SetItemsProcessed(state.iterations() * kKeysetFiles);
}
BENCHMARK(BM_SaveAllKeysets)->Unit(benchmark::kMillisecond);

void BM_LoadAllKeysets(benchmark::State& state) {
  SettingsDir dir;
  {
    Mapper mapper;
    MakeKeysets(mapper);
    SilentMessages messages;
    PlainFileSaver saver;
    PlainSmallFileReader reader;
    KeysetFiles(mapper, dir.path, messages, saver, reader).SaveAllKeysets();
  }
  SilentMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  for (auto _ : state) {
    Mapper mapper;
    KeysetFiles files(mapper, dir.path, messages, saver, reader);
    files.LoadAllKeysets();
    benchmark::DoNotOptimize(mapper.Count());
  }
  state.SetItemsProcessed(state.iterations() * kKeysetFiles);
}
BENCHMARK(BM_LoadAllKeysets)->Unit(benchmark::kMillisecond);

// The worst file read while running: a Keyset file at the size cap, every line a mapping
// (all but the first of each control kept as written and reported), read again as
// changed. Argument 0: read, parsed and put in force at once; 1: only the main thread's
// part (what the watch thread prepared is put in force).
void BM_ReloadKeysetFileAtTheCap(benchmark::State& state) {
  SettingsDir dir;
  std::string text;
  for (int round = 0; text.size() < kKeysetFileLimit - 200; ++round)
    for (const ControlDescriptor& row : kControls) {
      text += std::to_string(row.id) + ":32:3735552:4:B1:0:label " + std::to_string(round) + "\r\n";
      if (text.size() >= kKeysetFileLimit - 200) break;
    }
  SilentMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  Mapper mapper;
  KeysetFiles files(mapper, dir.path, messages, saver, reader);
  files.SetReport([](const std::string&) {});
  int round = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::ofstream(dir.path / "SEQ.orvo", std::ios::binary) << text << "DeviceMode:" << (++round % 2 + 1) << "\r\n";
    if (state.range(0) == 0) {
      state.ResumeTiming();
      benchmark::DoNotOptimize(files.ReloadKeysetFile("SEQ.orvo").kind);
    } else {
      PreparedReload prepared = files.PrepareReload("SEQ.orvo");
      state.ResumeTiming();
      benchmark::DoNotOptimize(files.ApplyReload(prepared).kind);
      state.PauseTiming();
      prepared = PreparedReload();  // what the main thread no longer holds goes with the task
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_ReloadKeysetFileAtTheCap)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvo
