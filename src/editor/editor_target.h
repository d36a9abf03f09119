#pragma once
// What the editor's panels and side dialogs work on: the Keyset on show and the selected
// control. The editor dialog owns both and answers for them. GUI thread only.
namespace orvo {

class Keyset;
struct ControlDescriptor;
struct ControlMapping;

class EditorTarget {
 public:
  virtual ~EditorTarget() = default;
  // The Keyset the editor shows and edits; nullptr before the editor has shown one.
  virtual Keyset* ShownKeyset() const = 0;
  // The control selected on the picture; nullptr when none is.
  virtual const ControlDescriptor* SelectedControl() const = 0;
};

// The selected control's mapping in the Keyset on show, for something to be stored in it:
// a control selected before another Keyset came on show has none there yet, and gets a
// blank one now. Nullptr when no control is selected or no Keyset is on show.
ControlMapping* MappingToEdit(const EditorTarget& target);

}  // namespace orvo
