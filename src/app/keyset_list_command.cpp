#include "app/keyset_list_command.h"

#include "app/driver_platform.h"
#include "app/terminal_messages.h"
#include "mapping/keyset.h"
#include "mapping/keyset_file.h"
#include "mapping/keyset_listing.h"
#include "platform/file_saver.h"
#include "platform/small_file_reader.h"
#include "platform/utf8_path.h"
#include "protocol/device_modes.h"

namespace orvo {

void PrintKeysets(const Mapper& mapper, std::FILE* out) {
  mapper.ForEachKeyset([&](const std::string&, const Keyset& keyset) {
    auto port = [](const SharedText& name) { return name.Empty() ? std::string("(none)") : name.Get(); };
    const int32_t mode = keyset.DeviceMode.load();
    std::fprintf(out, "%s\n", keyset.Name.c_str());
    std::fprintf(out, "  MidiInPort:  %s\n", port(keyset.MidiInPort).c_str());
    std::fprintf(out, "  MidiOutPort: %s\n", port(keyset.MidiOutPort).c_str());
    std::fprintf(out, "  DeviceMode:  %d (%s)\n", mode, ModeDisplayName(mode));
    const auto lines = KeysetListing(keyset);
    if (lines.empty()) std::fprintf(out, "  (no mappings)\n");
    for (const std::string& line : lines) std::fprintf(out, "  %s\n", line.c_str());
  });
}

int ListKeysets(const Options& options, DriverPlatform& platform) {
  const std::filesystem::path directory =
      options.settingsDir.empty() ? platform.DefaultSettingsDirectory() : Utf8Path(options.settingsDir);
  if (!std::filesystem::is_directory(directory)) {
    std::fprintf(stderr, "orvo: %s is not a directory\n", Utf8Name(directory).c_str());
    return 1;
  }
  TerminalMessages messages;
  Mapper mapper;
  const std::unique_ptr<FileSaver> saver = platform.MakeFileSaver();  // never used: listing saves nothing
  const std::unique_ptr<SmallFileReader> reader = platform.MakeFileReader();
  KeysetFiles files(mapper, directory, messages, *saver, *reader);
  files.SetReport([](const std::string& line) { std::fprintf(stderr, "orvo: %s\n", line.c_str()); });
  files.LoadAllKeysets();
  std::printf("Keyset files in %s\n\n", Utf8Name(directory).c_str());
  PrintKeysets(mapper, stdout);
  return 0;
}

}  // namespace orvo
