#include "app/qt_message_service.h"

#include <QMessageBox>
#include <cstdio>

namespace orvo {
namespace {

void ShowBox(const std::string& text, MessageIcon icon) {
  QMessageBox box;
  box.setWindowTitle("Orvo");
  box.setText(QString::fromLocal8Bit(text.c_str()));
  box.setIcon(icon == MessageIcon::kError     ? QMessageBox::Critical
              : icon == MessageIcon::kWarning ? QMessageBox::Warning
                                              : QMessageBox::NoIcon);
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
}

void PrintMessage(const std::string& text) { std::fprintf(stderr, "orvo: %s\n", text.c_str()); }

}  // namespace

void QtMessageService::ShowMessage(const std::string& text, MessageIcon icon) {
  if (!gui_ || !gui_->CallAndWait([&] { ShowBox(text, icon); })) PrintMessage(text);
}

}  // namespace orvo
