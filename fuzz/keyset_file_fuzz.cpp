// Arbitrary Keyset file contents: the reader never crashes, creates mappings only for
// controls of the table (each with its own row), and what it read is written and read
// back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "mapping/keyset.h"
#include "mapping/keyset_file.h"
#include "protocol/control_table.h"

namespace {

using namespace orvo;

void Check(const Keyset& keyset) {
  std::size_t count = 0;
  keyset.ForEachMapping([&](ControlId id, const ControlMapping& mapping) {
    ++count;
    if (id != mapping.ControlId || &mapping.Descriptor != LookupControlById(id)) std::abort();
  });
  if (count != keyset.Count() || count > kControlRowCount) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Keyset keyset("FUZZ");
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  ReadKeysetText(in, keyset);
  Check(keyset);

  const std::string written = FormatKeyset(keyset);
  Keyset again("FUZZ");
  std::istringstream back(written);
  ReadKeysetText(back, again);
  Check(again);
  if (again.Count() != keyset.Count() || FormatKeyset(again) != written) std::abort();
  return 0;
}
