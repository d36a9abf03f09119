#pragma once
// The programs that have windows on the Windows desktop: each visible top-level window's
// title and its process's executable, in the desktop's order (front first). For
// "&New Keyset", which offers them beside the file chooser.
#include <cstdint>
#include <string>
#include <vector>

namespace orvo {

struct ListedWindow {
  std::string title;       // may be empty
  uint32_t processId = 0;
  std::string executable;  // the image path; empty where the process may not be asked
};

std::vector<ListedWindow> ListProgramWindows();

}  // namespace orvo
