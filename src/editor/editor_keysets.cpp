// The Keyset the editor shows: the "&Apps" menu, the title, and the file commands.
// GUI thread.
#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "editor/editor_dialog.h"
#include "editor/key_map_panel.h"
#include "editor/keyset_listing_dialog.h"
#include "editor/keyset_table_dialog.h"
#include "editor/new_keyset.h"
#include "editor/port_settings_dialog.h"
#include "mapping/engine_context.h"
#include "mapping/keyset_file.h"
#include "platform/message_service.h"
#include "protocol/device_modes.h"
#include "protocol/editor_notifier.h"

namespace orvo {
namespace {

constexpr const char* kAppsTitle = "&Apps";

// A Keyset's name as a menu text: an '&' in it is a letter, not a shortcut mark.
QString MenuText(const std::string& name) { return QString::fromStdString(name).replace('&', "&&"); }

}  // namespace

QString EditorTitle(const Keyset& keyset, int32_t deviceMode) {
  return QString("Orvo Tablan Editor: %1 (%2 mode) - Keyset,   [Dev in %3 mode]")
      .arg(QString::fromStdString(keyset.Name), ModeDisplayName(keyset.DeviceMode.load()), ModeDisplayName(deviceMode));
}

void EditorDialog::BuildAppsMenu() {
  appsMenu_ = new QMenu(kAppsTitle, menuBar_);
  appsGroup_ = new QActionGroup(appsMenu_);
  appsGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  connect(appsGroup_, &QActionGroup::triggered, this, [this](QAction* action) { OnAppsCommand(action); });
  int id = kFirstAppsCommand;
  services_.engine.Mapper.ForEachKeyset([&](const std::string&, Keyset& keyset) { AddAppsItem(appsMenu_, keyset, id++); });
  menuBar_->addMenu(appsMenu_);
}

void EditorDialog::AddAppsItem(QMenu* apps, Keyset& keyset, int commandId) {
  QAction* action = apps->addAction(MenuText(keyset.Name));
  action->setData(commandId);
  action->setCheckable(true);
  appsGroup_->addAction(action);
  appsCommands_[&keyset] = commandId;
}

// The popup is found by its title, from the last menu towards the first.
void EditorDialog::AppendToAppsMenu(Keyset& keyset) {
  QMenu* apps = nullptr;
  const QList<QAction*> items = menuBar_->actions();
  for (auto item = items.rbegin(); item != items.rend() && !apps; ++item)
    if ((*item)->text() == kAppsTitle) apps = (*item)->menu();
  if (!apps) {
    services_.messages.ShowMessage("Could not find menu item Apps", MessageIcon::kInformation);
    return;
  }
  AddAppsItem(apps, keyset, kFirstAppsCommand + static_cast<int>(apps->actions().size()));
}

QStringList EditorDialog::AppNames() const {
  QStringList names;
  for (const QAction* action : appsMenu_->actions()) names << QString(action->text()).replace("&&", "&");
  return names;
}

// The item's text names the Keyset; one that no longer exists does nothing. Every item
// works, also past the 99th (ids above 32999).
void EditorDialog::OnAppsCommand(QAction* action) {
  const std::string name = QString(action->text()).replace("&&", "&").toStdString();
  if (Keyset* keyset = services_.engine.Mapper.FindOrCreate(name, false)) ShowKeyset(keyset);
}

void EditorDialog::ShowKeyset(Keyset* keyset) {
  if (!keyset) return;
  shown_ = keyset;
  RefreshTitle();
  // A Keyset without an item marks none.
  const auto item = appsCommands_.find(keyset);
  const int id = item == appsCommands_.end() ? 0 : item->second;
  for (QAction* action : appsMenu_->actions())
    action->setChecked(action->data().toInt() == id);
  if (selected_) ShowControl(selected_->id, false);
  RefreshKeysetTable();
  if (summary_) {
    RefreshMarks();
    ShowSummary();
  }
}

// Unsaved changes to any Keyset mark the title until they are written.
void EditorDialog::RefreshTitle() {
  if (shown_)
    setWindowTitle(EditorTitle(*shown_, services_.engine.Protocol.CurrentDeviceMode.load()) +
                   (unsaved_ ? QStringLiteral(" *") : QString()));
  if (status_) RefreshStatus();
}

// A Keyset for another application, in memory until the next save. Choosing an
// application that has one already shows it, without a second "&Apps" item.
void EditorDialog::NewKeyset() {
  const NewKeysetChoice choice =
      services_.chooseApplication
          ? services_.chooseApplication(this)
          : ChooseNewKeyset(this, services_.runningPrograms ? services_.runningPrograms() : std::vector<RunningProgram>(),
                            lastApplication_);
  const QString chosen = choice.program;
  if (chosen.isEmpty()) return;
  lastApplication_ = chosen;
  // The program a link leads to: the running process is known by it, not by the link.
  const QString resolved = QFileInfo(chosen).canonicalFilePath();
  const QString program = resolved.isEmpty() ? chosen : resolved;
  const orvo::NewKeyset made =
      CreateKeysetForApplication(services_.engine.Mapper, services_.messages, program.toLocal8Bit().toStdString());
  if (!made.keyset) return;
  // Only a Keyset made now starts from DEFAULT: one that exists keeps what it has.
  if (choice.copyDefault && !made.existed)
    if (const Keyset* defaults = services_.engine.Mapper.DefaultKeyset()) CopyMappings(*defaults, *made.keyset);
  if (!made.existed || !HasAppsItem(*made.keyset)) AppendToAppsMenu(*made.keyset);
  ShowKeyset(made.keyset);
}

bool EditorDialog::HasAppsItem(const Keyset& keyset) const {
  return AppNames().contains(QString::fromStdString(keyset.Name));
}

void EditorDialog::ShowKeysetListing() {
  KeysetListingDialog listing(shown_, this);
  listing.exec();
}

void EditorDialog::ShowKeysetTable() {
  if (!table_) {
    table_ = new KeysetTableDialog(this);
    connect(table_, &KeysetTableDialog::controlChosen, this, [this](ControlId id) { ChooseFromTable(id); });
    connect(table_, &KeysetTableDialog::mappingRemoved, this, [this](ControlId id) {
      if (selected_ && selected_->id == id) ShowControl(id, false);
    });
  }
  table_->ShowKeyset(shown_);
  table_->show();
  table_->raise();
  table_->activateWindow();
}

void EditorDialog::RefreshKeysetTable() {
  if (table_) table_->ShowKeyset(shown_);
}

// A row chosen in the table selects its control as a click on the picture would; outside
// Host mode the surface's lamps and layers are not ours, so only the panels follow.
void EditorDialog::ChooseFromTable(ControlId id) {
  if (connected_ && services_.engine.Protocol.CurrentDeviceMode.load() == kModeHost)
    PickControl(id);
  else
    SelectControl(id, kNotifySelect);
}

// The ports and mode of a Keyset; the dialog applies what it changes itself.
void EditorDialog::ShowPortSettings() {
  if (!services_.midi || !services_.ports) return;
  PortSettingsDialog dialog(PortSettingsServices{services_.engine.Mapper, *services_.midi, *services_.ports, {},
                                                 midiProblem_, [this] { return midiProblem_; }},
                            AppNames(), shown_, this);
  dialog.exec();
  RefreshTitle();
  RefreshUnsaved();
}

}  // namespace orvo
