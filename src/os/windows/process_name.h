#pragma once
// The name a running process is known by for its Keyset: its executable's base name.
#include <cstdint>
#include <string>

namespace orvo {

// From the process's image path, cut at the first '.', as UTF-8; empty when the process
// is gone or may not be asked.
std::string ProcessExecutableBaseName(uint32_t processId);
// The process's image path as UTF-8 ("C:\\Program Files\\Seq\\seq.exe"); empty as above.
std::string ProcessImagePath(uint32_t processId);

}  // namespace orvo
