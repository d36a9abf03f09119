#include "os/linux/process_name.h"

#include <limits.h>
#include <unistd.h>

#include "platform/application_name.h"

namespace orvo {

std::string ProcessExecutableBaseName(uint32_t processId) {
  if (processId == 0) return {};
  const std::string link = "/proc/" + std::to_string(processId) + "/exe";
  char path[PATH_MAX];
  const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
  if (length <= 0) return {};
  return BaseNameOfExecutable(std::string(path, static_cast<std::size_t>(length)));
}

}  // namespace orvo
