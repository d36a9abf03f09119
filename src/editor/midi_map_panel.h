#pragma once
// The "MIDI Map" tab: "Native", "Custom 1:" and "Custom 2:" with their byte boxes. GUI thread.
#include <QWidget>

namespace orvo {

class EditorTarget;
class MessageService;
struct ControlMapping;

class MidiMapPanel : public QWidget {
  Q_OBJECT
 public:
  MidiMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent = nullptr);

  // The radio buttons, the enabled row and the boxes from a mapping's rewrite rule.
  void ShowMidiMap(const ControlMapping& mapping);
  // "Apply" while this tab is current.
  void ApplyMapping();

 private:
  [[maybe_unused]] EditorTarget& target_;
  [[maybe_unused]] MessageService& messages_;
};

}  // namespace orvo
