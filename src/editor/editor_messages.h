#pragma once
// The texts the editor's panels show in message boxes.
namespace orvo {

inline constexpr const char* kSelectControlFirstMessage = "Select a control first";
inline constexpr const char* kSelectKeysetFirstMessage = "Select a Keyset first";
inline constexpr const char* kSelectMapFirstMessage = "Select a map for this key first";
inline constexpr const char* kInvalidKeyMessage = "Invalid Key and/or Modifiers";

// Written once in the monitor when a click finds the surface unplugged.
inline constexpr const char* kNotConnectedNote =
    "The surface is not connected: a click selects nothing until it is plugged in.";

}  // namespace orvo
