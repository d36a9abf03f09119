#include "app/qt_message_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
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

}  // namespace

void QtMessageService::ShowMessage(const std::string& text, MessageIcon icon) {
  if (headless_ || !qApp) {
    std::fprintf(stderr, "orvo: %s\n", text.c_str());
    return;
  }
  if (QThread::currentThread() == qApp->thread()) {
    ShowBox(text, icon);
    return;
  }
  QMetaObject::invokeMethod(qApp, [text, icon] { ShowBox(text, icon); }, Qt::BlockingQueuedConnection);
}

}  // namespace orvo
