#pragma once
// The texts the editor shows in message boxes and under its panel.
namespace orvo {

inline constexpr const char* kSelectControlFirstMessage = "Select a control first";
inline constexpr const char* kSelectKeysetFirstMessage = "Select a Keyset first";
inline constexpr const char* kSelectMapFirstMessage = "Select a map for this key first";
inline constexpr const char* kInvalidKeyMessage = "Invalid Key and/or Modifiers";

// Written once in the monitor, and under the panel, when a click finds the surface unplugged.
inline constexpr const char* kNotConnectedNote =
    "The surface is not connected: a click selects nothing until it is plugged in.";
// Under the panel until a control is selected: how to map one.
inline constexpr const char* kTouchAControlHint =
    "Touch a control on the surface to select it, or click it here in Host mode. Then press the key it "
    "should type in \"Key\", or choose the MIDI it should send on \"MIDI Map\", and press Apply.";

}  // namespace orvo
