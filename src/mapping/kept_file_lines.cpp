#include "mapping/kept_file_lines.h"

#include <utility>

namespace orvo {

void KeptFileLines::Clear() {
  std::lock_guard lock(mutex_);
  spellings_.clear();
  unread_.clear();
}

void KeptFileLines::TakeFrom(KeptFileLines& other) {
  std::scoped_lock lock(mutex_, other.mutex_);
  spellings_ = std::exchange(other.spellings_, {});
  unread_ = std::exchange(other.unread_, {});
}

void KeptFileLines::AddSpelling(std::string written, std::string original) {
  std::lock_guard lock(mutex_);
  spellings_.insert_or_assign(std::move(written), std::move(original));
}

void KeptFileLines::AddUnread(std::string anchorKey, std::string text) {
  std::lock_guard lock(mutex_);
  unread_.push_back({std::move(anchorKey), std::move(text)});
}

std::vector<std::string> KeptFileLines::Merge(const std::vector<std::string>& written) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  out.reserve(written.size() + unread_.size());
  std::vector<bool> placed(unread_.size(), false);
  auto placeAfter = [&](std::string_view key) {
    for (std::size_t i = 0; i < unread_.size(); ++i) {
      if (placed[i] || unread_[i].anchorKey != key) continue;
      out.push_back(unread_[i].text);
      placed[i] = true;
    }
  };
  placeAfter("");
  for (const std::string& line : written) {
    const auto spelling = spellings_.find(line);
    out.push_back(spelling == spellings_.end() ? line : spelling->second);
    placeAfter(KeyOf(line));
  }
  for (std::size_t i = 0; i < unread_.size(); ++i)
    if (!placed[i]) out.push_back(unread_[i].text);
  return out;
}

}  // namespace orvo
