#pragma once
// The test that keeps the program's own ports out of the device lists. A JACK port is
// named by its full name "client:port"; an ALSA port by "client name:port name", without
// the client and port numbers that change from run to run.
#include <string>
#include <string_view>

namespace orvo {

// True for a port of a client that this program made: JACK gives a second client of the
// same name the suffix "-01", "-02", ...
bool IsOwnJackPort(std::string_view fullName, std::string_view clientName);
bool IsOwnAlsaPort(std::string_view stableName, std::string_view clientName);

}  // namespace orvo
