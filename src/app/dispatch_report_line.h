#pragma once
// One line for the terminal saying what the driver did with a control event:
//   PLAY button BE4C7F, Keyset DEFAULT: sent BE4C7F to midi-monitor:input
//   STOP button BE4E7F, Keyset DEFAULT: not mapped; map it in the editor, or add a line to
//     /home/me/.config/.../DEFAULT.orvo
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "mapping/dispatch_observer.h"

namespace orvo {

struct ReportContext {
  std::filesystem::path settingsDirectory;  // where the Keyset files live
  std::function<std::string()> keysOff;     // why keystrokes are not typed now; empty: they are
  // The focused program's name for a process id; empty when unknown.
  std::function<std::string(uint32_t)> programName;
};

std::string DescribeDispatch(const DispatchReport& report, const ReportContext& context);

}  // namespace orvo
