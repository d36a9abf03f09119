#include "midi/long_message_assembly.h"

#include <algorithm>

namespace orvo {

void LongMessageAssembly::Take(const uint8_t* piece, uint32_t count, DeviceWriter& surface) {
  if (count == 0) return;
  if (piece[0] == 0xF0) {
    if (open_) surface.DropFeedback();  // its end never came
    bytes_.clear();
    open_ = true;
    tooLong_ = false;
  } else if (!open_) {
    surface.QueueFeedback(piece, count);
    return;
  }
  const bool ends = std::find(piece, piece + count, uint8_t{0xF7}) != piece + count;
  if (bytes_.size() + count > kLongest) tooLong_ = true;
  if (!tooLong_) bytes_.insert(bytes_.end(), piece, piece + count);
  if (!ends) return;
  open_ = false;
  if (tooLong_)
    surface.DropFeedback();
  else
    surface.QueueFeedback(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
}

}  // namespace orvo
