#include "app/qt_message_service.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <cstdio>

namespace orvo {

// Over the window in front, when it is one of ours: a box the editor raises belongs to
// the editor (it sits over it, and the surface's touches still reach the editor).
void QtMessageService::ShowBox(const std::string& text, MessageIcon icon) {
  if (boxesEnded_) return Print(text);
  QPointer<QMessageBox> box = new QMessageBox(QApplication::activeWindow());
  box->setWindowTitle("Orvo");
  box->setText(QString::fromLocal8Bit(text.c_str()));
  box->setIcon(icon == MessageIcon::kError     ? QMessageBox::Critical
               : icon == MessageIcon::kWarning ? QMessageBox::Warning
                                               : QMessageBox::NoIcon);
  box->setStandardButtons(QMessageBox::Ok);
  boxes_.push_back(box);
  box->exec();
  std::erase(boxes_, box);
  delete box.data();  // unless its window went with it meanwhile
}

void QtMessageService::EndBoxes() {
  boxesEnded_ = true;
  for (const QPointer<QMessageBox>& box : boxes_)
    if (box) box->reject();
}

void QtMessageService::ShowMessage(const std::string& text, MessageIcon icon) {
  if (!gui_ || gui_->Closed() || boxesEnded_) return Print(text);
  {
    std::lock_guard lock(mutex_);
    if (!standing_.insert(text).second) return;
  }
  const bool shown = gui_->CallAndWait([&] { ShowBox(text, icon); });
  {
    std::lock_guard lock(mutex_);
    standing_.erase(text);
  }
  if (!shown) Print(text);
}

void QtMessageService::Print(const std::string& text) { terminal_.ShowMessage(text, MessageIcon::kInformation); }

}  // namespace orvo
