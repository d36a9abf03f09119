#pragma once
// The texts the editor's panels show in message boxes.
namespace orvo {

inline constexpr const char* kSelectControlFirstMessage = "Select a control first";
inline constexpr const char* kSelectKeysetFirstMessage = "Select a Keyset first";
inline constexpr const char* kSelectMapFirstMessage = "Select a map for this key first";
inline constexpr const char* kInvalidKeyMessage = "Invalid Key and/or Modifiers";

}  // namespace orvo
