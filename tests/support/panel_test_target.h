#pragma once
// What the editor's panels edit, set directly by a test: a Keyset (or none) and a
// selected control (or none).
#include "editor/editor_target.h"
#include "mapping/keyset.h"
#include "protocol/control_table.h"

namespace orvo::test {

class PanelTestTarget : public EditorTarget {
 public:
  Keyset* ShownKeyset() const override { return keyset; }
  const ControlDescriptor* SelectedControl() const override { return selected; }

  Keyset* keyset = nullptr;
  const ControlDescriptor* selected = nullptr;
};

// A blank mapping (no key, "Native") for `row`, entered into `keyset`.
inline ControlMapping& AddBlankMapping(Keyset& keyset, const ControlDescriptor& row) {
  return *keyset.SetMapping(std::make_unique<ControlMapping>(row));
}

}  // namespace orvo::test
