#include "editor/new_keyset.h"

#include "platform/application_name.h"
#include "protocol/protocol_state.h"

namespace orvo {

NewKeyset CreateKeysetForApplication(Mapper& mapper, MessageService& messages, const std::string& applicationPath) {
  const std::string title = BaseNameOfExecutable(applicationPath);
  // DEFAULT serves every application and cannot be added; a name without letters before
  // its first '.' (".hidden") would make a Keyset no application is ever found under.
  if (title.empty() || UpperCased(title) == Mapper::kDefaultName) {
    messages.ShowMessage(kRefusedNameMessage + title, MessageIcon::kWarning);
    return {};
  }
  NewKeyset result;
  result.existed = mapper.FindOrCreate(title, false) != nullptr;
  result.keyset = mapper.FindOrCreate(title, true);
  if (!result.keyset) {
    messages.ShowMessage(kCouldNotAddMessage, MessageIcon::kError);
    return {};
  }
  if (result.keyset->Name.find("PROTOOLS") != std::string::npos) result.keyset->DeviceMode.store(kModeKelo);
  return result;
}

}  // namespace orvo
