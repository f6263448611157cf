// The common-dialog base and the open and save dialogs: our own file browser with the list of
// folders, the files of the current folder that match the chosen type's pattern, the file-name
// edit, the file-type combo box, OK and Cancel.  Every label and button caption is a property,
// so that the language component can translate the dialog.
//
// The window controls carry the identifiers of the window system's open dialog (file-name edit
// 0x480, file list 0x460, folder list 0x461, type combo 0x470, drive combo 0x471, OK 1, Cancel 2,
// Help 0x40E, read-only check box 0x410); the labels are windowless and are set through the
// caption properties.  The parts are also named components of DialogForm() while it runs
// ("FileNameEdit", "FileList", "FolderList", "TypeCombo", "DriveCombo", "OKButton" ...).
//
// The dialogs never change the process's current folder (the program names its own files
// relative to it).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/forms/forms.h"
#include "platform/rtl/set.h"

namespace tw {

// The base of the dialog components: Execute shows the dialog modally.
class TCommonDialog : public TComponent {
  TW_CLASS(TCommonDialog, TComponent)
 public:
  explicit TCommonDialog(TComponent* owner);
  virtual bool Execute() = 0;
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int v) { helpContext_ = v; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v) { ctl3D_ = v; }
  // The dialog's form while Execute runs (nullptr otherwise).
  TForm* DialogForm() const { return form_; }
  // When the dialog form is about to show, and after it closed.
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

 protected:
  // Shows `form` modally with OnShow and OnClose around it.
  TModalResult RunForm(TForm* form);
  TForm* form_ = nullptr;

 private:
  int helpContext_ = 0;
  bool ctl3D_ = true;
};

enum class TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks
};
TW_ENUM_NAMES(TOpenOption, "ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp",
              "ofNoValidate", "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist",
              "ofCreatePrompt", "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton",
              "ofNoLongNames", "ofOldStyleDialog", "ofNoDereferenceLinks");
using enum TOpenOption;
using TOpenOptions = Set<TOpenOption>;

// Whether a file name matches a pattern list ("*.ICO;*.EXE"): "*" any run, "?" one character,
// without regard to case; "*.*" matches every name.
bool MatchesFilePattern(const std::string& name, const std::string& patterns);
// The (description, patterns) pairs of a filter text "Text files (*.txt)|*.txt|All files|*.*".
std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter);

class TOpenDialog : public TCommonDialog {
  TW_CLASS(TOpenDialog, TCommonDialog)
 public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  // True with FileName (and Files) set to the chosen full paths when the user pressed OK.
  bool Execute() override;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& v) { fileName_ = v; }
  // Every chosen file (one unless ofAllowMultiSelect), full paths.
  TStrings* Files() const { return files_.get(); }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& v) { filter_ = v; }
  // 1-based index of the filter shown first.
  int FilterIndex() const { return filterIndex_; }
  void SetFilterIndex(int v) { filterIndex_ = v; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& v) { defaultExt_ = v; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& v) { initialDir_ = v; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions v) { options_ = v; }

  // Captions of the labels and buttons.
  const std::string& CaptionFileName() const { return captionFileName_; }
  void SetCaptionFileName(const std::string& v) { captionFileName_ = v; }
  const std::string& CaptionTypeList() const { return captionTypeList_; }
  void SetCaptionTypeList(const std::string& v) { captionTypeList_ = v; }
  const std::string& CaptionDirectory() const { return captionDirectory_; }
  void SetCaptionDirectory(const std::string& v) { captionDirectory_ = v; }
  const std::string& CaptionDrives() const { return captionDrives_; }
  void SetCaptionDrives(const std::string& v) { captionDrives_ = v; }
  const std::string& CaptionOK() const { return captionOK_; }
  void SetCaptionOK(const std::string& v) { captionOK_ = v; }
  const std::string& CaptionCancel() const { return captionCancel_; }
  void SetCaptionCancel(const std::string& v) { captionCancel_ = v; }
  const std::string& CaptionHelp() const { return captionHelp_; }
  void SetCaptionHelp(const std::string& v) { captionHelp_ = v; }
  const std::string& CaptionReadOnly() const { return captionReadOnly_; }
  void SetCaptionReadOnly(const std::string& v) { captionReadOnly_ = v; }
  const std::string& CaptionNetwork() const { return captionNetwork_; }
  void SetCaptionNetwork(const std::string& v) { captionNetwork_ = v; }

 protected:
  virtual bool IsSaveDialog() const { return false; }
  virtual std::string DefaultTitle() const { return "Open"; }

 private:
  class Browser;
  friend class Browser;
  std::string fileName_;
  std::unique_ptr<TStringList> files_;
  std::string filter_;
  int filterIndex_ = 1;
  std::string title_;
  std::string defaultExt_;
  std::string initialDir_;
  TOpenOptions options_{ofHideReadOnly};
  std::string captionFileName_ = "File &name:";
  std::string captionTypeList_ = "List files of &type:";
  std::string captionDirectory_ = "&Folders:";
  std::string captionDrives_ = "Dri&ves:";
  std::string captionOK_ = "OK";
  std::string captionCancel_ = "Cancel";
  std::string captionHelp_ = "&Help";
  std::string captionReadOnly_ = "&Read only";
  std::string captionNetwork_ = "Net&work...";
};

class TSaveDialog : public TOpenDialog {
  TW_CLASS(TSaveDialog, TOpenDialog)
 public:
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}

 protected:
  bool IsSaveDialog() const override { return true; }
  std::string DefaultTitle() const override { return "Save As"; }
};

}  // namespace tw
