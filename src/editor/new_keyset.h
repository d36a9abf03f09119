#pragma once
// "&New Keyset" once the user has chosen an application's executable: the Keyset is named
// as the focus finder names the running application (base name up to the first '.'),
// DEFAULT cannot be added, and an application whose name contains PROTOOLS gets Kelo mode.
// Nothing is written to disk. GUI thread.
#include <string>

#include "mapping/keyset.h"
#include "platform/message_service.h"

namespace orvo {

inline constexpr char kRefusedNameMessage[] = "Can not create a map for an app with name:";
inline constexpr char kCouldNotAddMessage[] = "Could not add app in mapper.";

struct NewKeyset {
  Keyset* keyset = nullptr;  // null: refused or failed, and the user has been told
  bool existed = false;      // the application had a Keyset already: it has its Apps entry
};

// The Keyset for the executable at `applicationPath`, found or made in `mapper`.
NewKeyset CreateKeysetForApplication(Mapper& mapper, MessageService& messages, const std::string& applicationPath);

}  // namespace orvo
