#pragma once
// What the editor's panels and side dialogs work on: the Keyset on show and the selected
// control. The editor dialog owns both and answers for them. GUI thread only.
namespace orvo {

class Keyset;
struct ControlDescriptor;

class EditorTarget {
 public:
  virtual ~EditorTarget() = default;
  // The Keyset the editor shows and edits; nullptr before the editor has shown one.
  virtual Keyset* ShownKeyset() const = 0;
  // The control selected on the picture; nullptr when none is.
  virtual const ControlDescriptor* SelectedControl() const = 0;
};

}  // namespace orvo
