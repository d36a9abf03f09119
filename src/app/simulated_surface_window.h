#pragma once
// The "Simulated surface" window: the surface's picture to play with the mouse, its lamps
// lit and darkened as the host writes them, the mode the host has put it in in the title,
// and a small log of whatever else the host sends. It never takes the keyboard focus, so
// the application being played keeps it (and the focus finder keeps following that).
// Lives on the GUI thread.
#include <QWidget>

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "protocol/control_table.h"
#include "sim/host_message_splitter.h"

class QPlainTextEdit;

namespace orvo {
namespace sim {
class SimSurface;
}
class SimulatedSurfacePicture;

inline constexpr const char* kSimulatedSurfaceTitle = "Simulated surface";

class SimulatedSurfaceWindow : public QWidget {
  Q_OBJECT
 public:
  // Plays `surface`, which must outlive the window.
  explicit SimulatedSurfaceWindow(sim::SimSurface& surface, QWidget* parent = nullptr);
  ~SimulatedSurfaceWindow() override;

  SimulatedSurfacePicture& Picture() { return *picture_; }
  QString LogText() const;
  // Whether the driver has the surface connected: unplugged, the title says so at once
  // instead of the mode the host set last.
  void ShowConnection(bool connected);
  // What the driver did with a control event, in the log (while no editor shows it).
  void ShowDriverLine(const QString& line);

 private:
  void Send(const std::vector<uint8_t>& message);
  void OnHostBytes(const std::vector<uint8_t>& bytes);
  void OnHostMessage(const std::vector<uint8_t>& message);
  void Log(const QString& line);
  void ShowTitle();

  sim::SimSurface& surface_;
  bool connected_ = true;  // until the driver says otherwise
  int32_t lastMode_ = -1;  // the mode the host set last; -1: none yet
  sim::HostMessageSplitter splitter_;
  SimulatedSurfacePicture* picture_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  std::set<uint32_t> lampCodes_;                 // status | control number << 8
  std::multimap<uint32_t, ControlId> lampsOf_;  // the pictured controls of a lamp code
};

}  // namespace orvo
