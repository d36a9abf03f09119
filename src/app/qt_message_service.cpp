#include "app/qt_message_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <cstdio>

namespace orvo {
namespace {

// Over the window in front, when it is one of ours: a box the editor raises belongs to
// the editor (it sits over it, and the surface's touches still reach the editor).
void ShowBox(const std::string& text, MessageIcon icon) {
  QPointer<QMessageBox> box = new QMessageBox(QApplication::activeWindow());
  box->setWindowTitle("Orvo");
  box->setText(QString::fromLocal8Bit(text.c_str()));
  box->setIcon(icon == MessageIcon::kError     ? QMessageBox::Critical
               : icon == MessageIcon::kWarning ? QMessageBox::Warning
                                               : QMessageBox::NoIcon);
  box->setStandardButtons(QMessageBox::Ok);
  box->exec();
  delete box.data();  // unless its window went with it meanwhile
}

void PrintMessage(const std::string& text) { std::fprintf(stderr, "orvo: %s\n", text.c_str()); }

}  // namespace

void QtMessageService::ShowMessage(const std::string& text, MessageIcon icon) {
  if (!gui_ || !gui_->CallAndWait([&] { ShowBox(text, icon); })) PrintMessage(text);
}

}  // namespace orvo
