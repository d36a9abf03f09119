#pragma once
// The environment for a child process: this process's, with `env` entries ("NAME=value")
// replacing or adding to it.
#include <string>
#include <vector>

extern char** environ;

namespace orvo::test {

inline std::vector<std::string> MergedEnvironment(const std::vector<std::string>& env) {
  std::vector<std::string> merged = env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const auto& mine : env) replaced = replaced || mine.rfind(name, 0) == 0;
    if (!replaced) merged.push_back(entry);
  }
  return merged;
}

}  // namespace orvo::test
