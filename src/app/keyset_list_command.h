#pragma once
// orvo --list-keysets: loads the Keyset files as start-up does and prints each Keyset
// (in the Mapper's order) with its ports and mode, then its mappings as the editor's
// listing shows them. For users who edit Keyset files by hand.
#include <cstdio>

#include "app/command_line.h"

namespace orvo {

class DriverPlatform;
class Mapper;

// Prints every Keyset of `mapper` to `out`.
void PrintKeysets(const Mapper& mapper, std::FILE* out);
// Returns the exit code.
int ListKeysets(const Options& options, DriverPlatform& platform);

}  // namespace orvo
