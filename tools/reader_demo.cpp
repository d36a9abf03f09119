// Feeds a recorded byte stream through the reader, in small irregular pieces as a serial
// line delivers it, and prints one monitor line per message.
//   orvo-reader-demo [--standard] [FILE]   (hexadecimal bytes; '#' starts a comment)
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/read_loop.h"
#include "os/fake/fake_bridge.h"
#include "protocol/device_modes.h"
#include "protocol/message_decoder.h"
#include "protocol/monitor_lines.h"
#include "protocol/sysex_pool.h"

namespace {

using namespace orvo;

struct PrintingDispatch : DispatchTarget {
  DispatchResult DispatchShortMessage(const ControlDescriptor* row, uint32_t message) override {
    std::cout << FormatControlLine(message, row ? row->name : nullptr) << '\n';
    return DispatchResult::kTaken;
  }
  DispatchResult DispatchLongMessage(MidiHeader* buffer) override {
    std::cout << FormatLongMessageLine(buffer->data, buffer->bytesRecorded, buffer->flags, "DEFAULT")
              << '\n';
    SysExPool::GiveBackToOwner(buffer);
    return DispatchResult::kTaken;
  }
};

struct LampPrinter : DeviceWriter {
  bool WriteDevice(const uint8_t* bytes, uint32_t count) override {
    std::cout << "  -> surface:";
    for (uint32_t i = 0; i < count; ++i) std::printf(" %02X", bytes[i]), std::fflush(stdout);
    std::cout << '\n';
    return true;
  }
};

bool ParseHex(std::istream& in, std::vector<uint8_t>& bytes) {
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(word.c_str(), &end, 16);
      if (*end != '\0' || value > 0xFF) {
        std::cerr << "orvo-reader-demo: line " << lineNumber << ": \"" << word
                  << "\" is not a hexadecimal byte\n";
        return false;
      }
      bytes.push_back(static_cast<uint8_t>(value));
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool host = true;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--standard") host = false;
    else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: orvo-reader-demo [--standard] [FILE]\n"
                   "Reads hexadecimal bytes (FILE or standard input) as the surface sends them\n"
                   "and prints one line per message. Host mode unless --standard.\n";
      return 0;
    } else path = argv[i];
  }
  std::vector<uint8_t> bytes;
  if (path) {
    std::ifstream file(path);
    if (!file) {
      std::cerr << "orvo-reader-demo: cannot open " << path << '\n';
      return 1;
    }
    if (!ParseHex(file, bytes)) return 1;
  } else if (!ParseHex(std::cin, bytes)) {
    return 1;
  }

  FakeBridge bridge;
  bridge.AddDevice("Orvo Tablan");
  DeviceLink link;
  link.Handle = bridge.OpenByDescription("Orvo Tablan");
  ProtocolState state;
  state.CurrentDeviceMode = host ? kModeHost : kModeStandard;
  auto pool = SysExPool::Create();
  PrintingDispatch dispatch;
  LampPrinter device;
  MessageDecoder decoder(state, pool.get(), dispatch, device);
  ReadLoop reader(bridge, link, decoder);
  ManualResetEvent connected(true);
  std::atomic<bool> stop{false};

  std::cout << "Reading " << bytes.size() << " bytes in " << ModeDisplayName(state.CurrentDeviceMode)
            << " mode\n";
  // Pieces of 1, 2, 4, 7 bytes, as a serial line might split them.
  const std::size_t pieces[] = {1, 2, 4, 7};
  std::size_t at = 0;
  for (std::size_t n = 0; at < bytes.size(); ++n) {
    const std::size_t piece = std::min(pieces[n % 4], bytes.size() - at);
    bridge.Feed(std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + piece));
    reader.RunPass(connected, stop);
    at += piece;
  }
  if (decoder.Unparsed() != 0) std::cout << "(" << decoder.Unparsed() << " bytes of an unfinished message left)\n";
  return 0;
}
