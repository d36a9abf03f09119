#pragma once
// A fresh empty directory under the system's temporary directory, only the user's (mode
// 0700), removed with all its contents when the object goes.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace orvo::test {

class TempDir {
 public:
  TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    do path_ = base / ("orvo-test-" + std::to_string(random()) + std::to_string(random()));
    while (!std::filesystem::create_directory(path_));
    // Only ours, as a runtime directory must be.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }

  void Write(const std::string& name, const std::string& bytes) const { WriteFile(path_ / name, bytes); }
  static void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool Exists(const std::string& name) const { return std::filesystem::exists(path_ / name); }

 private:
  std::filesystem::path path_;
};

}  // namespace orvo::test
