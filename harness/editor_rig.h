#pragma once
// An editor dialog on Qt's offscreen platform over a fresh engine: a recording device for
// the lamp writes, recorded message boxes, and Keyset files in a temporary directory.
#include <QMouseEvent>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_dialog.h"
#include "editor/surface_layout.h"
#include "editor/surface_picture.h"
#include "harness/offscreen_app.h"
#include "harness/temp_dir.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"
#include "os/fake/plain_file_saver.h"
#include "os/fake/plain_small_file_reader.h"
#include "os/fake/recording_device.h"
#include "os/fake/recording_messages.h"

namespace orvo::test {

struct EditorRig {
  // `keysets`: made before the editor opens, so that its "&Apps" menu lists them.
  explicit EditorRig(std::vector<std::string> keysets = {}) {
    OffscreenApp();
    files.LoadAllKeysets();
    for (const std::string& name : keysets) engine.Mapper.FindOrCreate(name, true);
    engine.Protocol.CurrentDeviceMode.store(kModeHost);
  }

  EditorDialog& Open() {
    if (!dialog) {
      EditorServices services{engine, device, files, messages};
      services.chooseApplication = [this](QWidget*) { return NewKeysetChoice{chosenApplication, copyDefault}; };
      dialog = std::make_unique<EditorDialog>(std::move(services));
      dialog->resize(dialog->sizeHint());
    }
    return *dialog;
  }

  // A left click on a control of the picture.
  void Click(ControlId id) {
    SurfacePicture& picture = *Open().Picture();
    const QPointF at = picture.CanvasToWidget().map(LayoutOf(id)->rect.center());
    QMouseEvent press(QEvent::MouseButtonPress, at, picture.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&picture, &press);
  }

  const ControlDescriptor* Row(ControlId id) { return LookupControlById(id); }

  TempDir dir;
  EngineContext engine{4242};
  RecordingDevice device;
  RecordingMessages messages;
  PlainFileSaver saver;
  PlainSmallFileReader reader;
  KeysetFiles files{engine.Mapper, dir.Path(), messages, saver, reader};
  QString chosenApplication;  // what "&New Keyset"'s dialog answers; empty: cancelled
  bool copyDefault = false;   // and whether it asks for a copy of DEFAULT
  std::unique_ptr<EditorDialog> dialog;
};

}  // namespace orvo::test
