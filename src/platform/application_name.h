#pragma once
// How an application is named for its Keyset: the base name of its executable, cut at the
// first '.'. The focus finder names the focused process this way, and a Keyset made for a
// chosen executable must carry the same name to be found for it.
#include <string>

namespace orvo {

// "/usr/bin/my.tool" gives "my"; a " (deleted)" after the path (an executable replaced
// while it runs) is ignored.
std::string BaseNameOfExecutable(const std::string& path);

}  // namespace orvo
