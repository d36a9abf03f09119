// The simulated surface on the command line: opens a pty pair, prints where the host
// should connect, sends control events typed on standard input and prints what the host
// sends back.
//   orvo-sim-surface [--link PATH]
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <mutex>
#include <string>
#include <variant>

#include "protocol/control_table.h"
#include "sim/host_output_decoder.h"
#include "sim/sim_commands.h"
#include "sim/sim_surface.h"

namespace {

std::string DefaultLinkPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string dir = runtime && *runtime ? runtime : "/tmp";
  return dir + "/orvo-surface-" + std::to_string(getuid());
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvo::sim;
  std::string linkPath = DefaultLinkPath();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--link" && i + 1 < argc) {
      linkPath = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: orvo-sim-surface [--link PATH]\n"
                   "Plays the surface on a pty. Point the driver at the link: --device PATH.\n"
                << CommandHelp();
      return 0;
    } else {
      std::cerr << "orvo-sim-surface: unknown option \"" << arg << "\" (try --help)\n";
      return 2;
    }
  }

  std::mutex outputMutex;
  SimSurface surface(linkPath);
  if (!surface.Plugged()) {
    std::cerr << "orvo-sim-surface: cannot create the surface's pty: " << surface.Error() << '\n';
    return 1;
  }
  surface.SetLineCallback([&](const std::string& line) {
    std::lock_guard lock(outputMutex);
    std::cout << "host: " << line << std::endl;
  });
  {
    std::lock_guard lock(outputMutex);
    std::cout << "surface on " << surface.SlavePath() << ", link " << linkPath << '\n'
              << "connect with: --device " << linkPath << '\n'
              << "type help for the commands" << std::endl;
  }

  for (std::string line; std::getline(std::cin, line);) {
    const auto parsed = ParseCommand(line);
    std::lock_guard lock(outputMutex);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
      std::cout << "error: " << *error << std::endl;
      continue;
    }
    const Command& command = std::get<Command>(parsed);
    switch (command.kind) {
      case Command::Kind::kNothing: break;
      case Command::Kind::kHelp: std::cout << CommandHelp() << std::flush; break;
      case Command::Kind::kQuit: return 0;
      case Command::Kind::kSend:
        if (surface.Send(command.bytes))
          std::cout << "sent " << HexBytes(command.bytes.data(), command.bytes.size()) << std::endl;
        else
          std::cout << "error: not sent (unplugged, or the host does not read)" << std::endl;
        break;
      case Command::Kind::kUnplug:
        std::cout << (surface.Unplug() ? "unplugged" : "already unplugged") << std::endl;
        break;
      case Command::Kind::kReplug:
        if (surface.Replug()) std::cout << "plugged in on " << surface.SlavePath() << std::endl;
        else if (surface.Plugged()) std::cout << "already plugged in" << std::endl;
        else std::cout << "error: " << surface.Error() << std::endl;
        break;
    }
  }
  return 0;
}
