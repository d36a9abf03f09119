#include "editor/key_map_panel.h"

#include "editor/editor_target.h"
#include "platform/message_service.h"

namespace orvo {

// Placeholder until key capture lands: keeps the texts so the dialog can show a mapping.
KeyMapPanel::KeyMapPanel(EditorTarget& target, MessageService& messages, QWidget* parent)
    : QWidget(parent), target_(target), messages_(messages) {}

void KeyMapPanel::SetSelectedName(const QString& name) { selectedName_ = name; }
QString KeyMapPanel::SelectedName() const { return selectedName_; }
void KeyMapPanel::SetLabel(const QString& label) { label_ = label; }
QString KeyMapPanel::Label() const { return label_; }
void KeyMapPanel::ClearKeyText() { keyText_.clear(); }
QString KeyMapPanel::KeyText() const { return keyText_; }
void KeyMapPanel::ShowKeyText(int32_t, uint32_t) {}
void KeyMapPanel::ApplyMapping() {}
void KeyMapPanel::FocusKeyCapture() {}

}  // namespace orvo
