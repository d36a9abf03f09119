#pragma once
// The name a running process is known by for its Keyset: its executable's base name.
#include <cstdint>
#include <string>

namespace orvo {

// From /proc/<pid>/exe, cut at the first '.'; empty when the process is gone or hidden.
std::string ProcessExecutableBaseName(uint32_t processId);

}  // namespace orvo
