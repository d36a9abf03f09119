#include "editor/editor_target.h"

#include <memory>

#include "mapping/keyset.h"

namespace orvo {

ControlMapping* MappingToEdit(const EditorTarget& target) {
  Keyset* keyset = target.ShownKeyset();
  const ControlDescriptor* selected = target.SelectedControl();
  if (!keyset || !selected) return nullptr;
  if (ControlMapping* mapping = keyset->LookupMapping(selected->id)) return mapping;
  return keyset->SetMapping(std::make_unique<ControlMapping>(*selected));
}

}  // namespace orvo
