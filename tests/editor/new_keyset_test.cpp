// "&New Keyset": the naming rules applied to a chosen executable, and the file dialog.
#include "editor/new_keyset.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <filesystem>

#include "editor/application_chooser.h"
#include "editor/new_keyset_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QListWidget>
#include "harness/temp_dir.h"
#include "os/fake/recording_messages.h"
#include "protocol/protocol_state.h"
#include "support/case_names.h"
#include "support/offscreen_app.h"

namespace orvo {
namespace {

struct TitleCase {
  const char* what;
  const char* path;
  const char* keyset;   // the Keyset's name; nullptr when refused
  int32_t mode;         // its DeviceMode afterwards
  const char* message;  // what the user is shown; nullptr for nothing
};

class NewKeysetTitles : public ::testing::TestWithParam<TitleCase> {};

TEST_P(NewKeysetTitles, NameTheKeysetAsTheFocusFinderNamesTheApplication) {
  const TitleCase& c = GetParam();
  Mapper mapper;
  RecordingMessages messages;
  const NewKeyset result = CreateKeysetForApplication(mapper, messages, c.path);
  if (c.keyset) {
    ASSERT_NE(result.keyset, nullptr);
    EXPECT_EQ(result.keyset->Name, c.keyset);
    EXPECT_EQ(mapper.Lookup(c.keyset), result.keyset);
    EXPECT_FALSE(result.existed);
    EXPECT_EQ(result.keyset->DeviceMode.load(), c.mode);
    EXPECT_TRUE(result.keyset->MidiInPort.Empty() && result.keyset->MidiOutPort.Empty());
    EXPECT_EQ(mapper.Count(), 1u);
  } else {
    EXPECT_EQ(result.keyset, nullptr);
    EXPECT_EQ(mapper.Count(), 0u) << "nothing added";
  }
  EXPECT_EQ(messages.Texts(), c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Rules, NewKeysetTitles,
    ::testing::Values(
        TitleCase{"default exe refused", "/home/u/apps/default.exe", nullptr, 0,
                  "Can not create a map for an app with name:default"},
        TitleCase{"DEFAULT in any case refused", "/usr/bin/DeFaUlT", nullptr, 0,
                  "Can not create a map for an app with name:DeFaUlT"},
        TitleCase{"no name before the dot refused", "/opt/.hidden", nullptr, 0,
                  "Can not create a map for an app with name:"},
        TitleCase{"ProTools exe gets Kelo", "/mnt/c/Programs/ProTools.exe", "PROTOOLS", kModeKelo, nullptr},
        TitleCase{"name containing protools gets Kelo", "protools5.exe", "PROTOOLS5", kModeKelo, nullptr},
        TitleCase{"Linux executable without extension", "/usr/bin/ardour8", "ARDOUR8", kModeHost, nullptr},
        TitleCase{"cut at the first dot like the focus finder", "/opt/my.tool.bin", "MY", kModeHost, nullptr},
        TitleCase{"defaults is not DEFAULT", "/usr/bin/defaults", "DEFAULTS", kModeHost, nullptr}),
    test::NameFromWhat{});

TEST(NewKeyset, AnExistingKeysetIsReturnedAsItWasAndOnlyProtoolsChangesItsMode) {
  Mapper mapper;
  RecordingMessages messages;
  Keyset* seq = mapper.FindOrCreate("SEQ", true);
  seq->DeviceMode = kModeStandard;
  seq->MidiInPort.Set("synth:MIDI in");
  Keyset* protools = mapper.FindOrCreate("PROTOOLS", true);
  protools->DeviceMode = kModeStandard;

  const NewKeyset again = CreateKeysetForApplication(mapper, messages, "/usr/local/bin/seq");
  EXPECT_EQ(again.keyset, seq);
  EXPECT_TRUE(again.existed) << "no second Apps entry";
  EXPECT_EQ(seq->DeviceMode.load(), kModeStandard);
  EXPECT_EQ(seq->MidiInPort.Get(), "synth:MIDI in");

  const NewKeyset kelo = CreateKeysetForApplication(mapper, messages, "/opt/ProTools");
  EXPECT_EQ(kelo.keyset, protools);
  EXPECT_TRUE(kelo.existed);
  EXPECT_EQ(protools->DeviceMode.load(), kModeKelo);
  EXPECT_EQ(mapper.Count(), 2u);
  EXPECT_TRUE(messages.Texts().empty());
}

// The running programs are offered once each, the driver itself left out; a row chosen
// answers with its executable and whether to copy DEFAULT.
TEST(NewKeysetDialog, OffersEachRunningProgramOnceAndAnswersWithItsExecutable) {
  test::OffscreenApp();
  const QString own = QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
  NewKeysetDialog dialog({{"notes.txt - Editor", "/usr/bin/gedit"},
                          {"other.txt - Editor", "/usr/bin/gedit"},
                          {"Orvo Tablan Editor", own},
                          {"", "/usr/bin/seq24"},
                          {"gone", ""}},
                         QString());
  QStringList rows;
  for (int row = 0; row < dialog.Programs()->count(); ++row) rows << dialog.Programs()->item(row)->text();
  EXPECT_EQ(rows, (QStringList{"notes.txt - Editor  \u2014  gedit", "(no title)  \u2014  seq24"}));
  dialog.CopyDefaultBox()->setChecked(true);
  dialog.ChooseRow(1);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Choice().program, "/usr/bin/seq24");
  EXPECT_TRUE(dialog.Choice().copyDefault);
}

TEST(ApplicationChooser, OffersFoldersAndExecutableFilesOnly) {
  test::TempDir dir;
  dir.Write("tool", "#!/bin/sh\n");
  dir.Write("notes.txt", "x");
  namespace fs = std::filesystem;
  fs::permissions(dir.Path() / "tool", fs::perms::owner_all);
  fs::permissions(dir.Path() / "notes.txt", fs::perms::owner_read | fs::perms::owner_write);
  fs::create_directory(dir.Path() / "sub");
  const auto info = [&](const char* name) { return QFileInfo(QString::fromStdString((dir.Path() / name).string())); };
  EXPECT_TRUE(OfferedAsApplication(info("tool")));
  EXPECT_TRUE(OfferedAsApplication(info("sub")));
  EXPECT_FALSE(OfferedAsApplication(info("notes.txt")));
  EXPECT_FALSE(OfferedAsApplication(info("missing")));
}

TEST(ApplicationChooser, StartsInThePreviousChoicesFolderElseWhereApplicationsLive) {
  test::TempDir dir;
  const QString folder = QString::fromStdString(dir.Path().string());
  EXPECT_EQ(ApplicationStartFolder(folder + "/tool"), folder);
  EXPECT_EQ(ApplicationStartFolder({}), "/usr/bin");
  EXPECT_EQ(ApplicationStartFolder("/no/such/folder/tool"), "/usr/bin");
}

TEST(ApplicationChooser, ReturnsTheChosenFileAndNothingWhenCancelled) {
  test::OffscreenApp();
  test::TempDir dir;
  dir.Write("seq", "#!/bin/sh\n");
  std::filesystem::permissions(dir.Path() / "seq", std::filesystem::perms::owner_all);
  const QString folder = QString::fromStdString(dir.Path().string());
  const QString tool = folder + "/seq";
  QWidget owner;

  QString startedIn;
  QWidget* parent = nullptr;
  test::WhenModalShows<QFileDialog>([&](QFileDialog* dialog) {
    startedIn = dialog->directory().absolutePath();
    parent = dialog->parentWidget();
    dialog->selectFile(tool);
    QMetaObject::invokeMethod(dialog, "accept");  // a slot, protected as a function
  });
  EXPECT_EQ(ChooseApplicationFile(&owner, folder + "/earlier"), tool);
  EXPECT_EQ(startedIn, folder);
  EXPECT_EQ(parent, &owner);

  test::WhenModalShows<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
  EXPECT_EQ(ChooseApplicationFile(&owner, tool), QString()) << "cancelled: the caller changes nothing";
}

}  // namespace
}  // namespace orvo
