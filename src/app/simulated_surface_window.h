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

 private:
  void Send(const std::vector<uint8_t>& message);
  void OnHostBytes(const std::vector<uint8_t>& bytes);
  void OnHostMessage(const std::vector<uint8_t>& message);
  void Log(const QString& line);

  sim::SimSurface& surface_;
  sim::HostMessageSplitter splitter_;
  SimulatedSurfacePicture* picture_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
  std::set<uint32_t> lampCodes_;                 // status | control number << 8
  std::multimap<uint32_t, ControlId> lampsOf_;  // the pictured controls of a lamp code
};

}  // namespace orvo
