#pragma once
// The list of MIDI ports in the port settings dialog, drawn by the program: rows twice
// the height of a line of text, the selected row filled with the highlight colour, the
// focused row framed in pure red, each name centred on a single line. GUI thread.
#include <QListWidget>

namespace orvo {

class PortListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit PortListBox(QWidget* parent = nullptr);
};

}  // namespace orvo
