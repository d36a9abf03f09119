#pragma once
// The editor's menu command ids, kept from the menu resource so that items can be found
// by them. Every item's QAction carries its id as data.

namespace orvo {

enum class EditorCommand : int {
  // "&File"
  kNewKeyset = 32775,
  kSaveKeyset = 32779,
  kSaveAllKeysets = 32799,
  kSave = 32805,  // added: "&Save" (Ctrl+S), every Keyset as closing does
  kExit = 32789,
  // "&Edit"; all but "Display Keyset", "Keyset Table" and "MIDI Ports" are greyed
  kUndo = 57643,
  kRedo = 57644,
  kCut = 57635,
  kCopy = 57634,
  kPaste = 57637,
  kDelete = 32787,
  kCutKeyset = 32788,
  kCopyKeyset = 32790,
  kPasteKeyset = 32791,
  kDeleteKeyset = 32792,
  kDisplayKeyset = 32793,
  kKeysetTable = 32804,  // added after the resource's ids
  kMidiPorts = 32797,
  kPreferences = 32794,
  // "&Help"
  kContents = 32795,
  kAbout = 32796,
  // The greyed mode menu
  kStandardMode = 32800,
  kHostMode = 32801,
  kKeloMode = 32802,
  kEnhancedMode = 32803,
};

// "&Apps" items are numbered from here in the order they were added; past the 99th the
// numbers go on beyond the range the resource kept for them.
inline constexpr int kFirstAppsCommand = 32901;

}  // namespace orvo
