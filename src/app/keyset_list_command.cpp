#include "app/keyset_list_command.h"

#include "app/qt_message_service.h"
#include "app/settings_directory.h"
#include "mapping/keyset.h"
#include "mapping/keyset_file.h"
#include "os/linux/file_saver.h"
#include "os/linux/small_file_reader.h"
#include "mapping/keyset_listing.h"
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

int ListKeysets(const Options& options) {
  const std::filesystem::path directory =
      options.settingsDir.empty() ? ChooseSettingsDirectory() : std::filesystem::path(options.settingsDir);
  if (!std::filesystem::is_directory(directory)) {
    std::fprintf(stderr, "orvo: %s is not a directory\n", directory.c_str());
    return 1;
  }
  QtMessageService messages(nullptr);  // to standard error
  Mapper mapper;
  LinuxFileSaver saver;  // never used: listing saves nothing
  LinuxSmallFileReader reader;
  KeysetFiles files(mapper, directory, messages, saver, reader);
  files.SetReport([](const std::string& line) { std::fprintf(stderr, "orvo: %s\n", line.c_str()); });
  files.LoadAllKeysets();
  std::printf("Keyset files in %s\n\n", directory.c_str());
  PrintKeysets(mapper, stdout);
  return 0;
}

}  // namespace orvo
