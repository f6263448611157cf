// The font, find, replace and printer-setup dialogs, as our own forms.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/forms/dialogs/filedialogs.h"
#include "platform/gfx/font.h"

namespace tw {

enum class TFontDialogOption {
  fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel, fdNoOEMFonts,
  fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp, fdWysiwyg, fdLimitSize,
  fdScalableOnly, fdApplyButton
};
TW_ENUM_NAMES(TFontDialogOption, "fdAnsiOnly", "fdTrueTypeOnly", "fdEffects", "fdFixedPitchOnly", "fdForceFontExist",
              "fdNoFaceSel", "fdNoOEMFonts", "fdNoSimulations", "fdNoSizeSel", "fdNoStyleSel", "fdNoVectorFonts",
              "fdShowHelp", "fdWysiwyg", "fdLimitSize", "fdScalableOnly", "fdApplyButton");
using enum TFontDialogOption;
using TFontDialogOptions = Set<TFontDialogOption>;

// Chooses a font among the families the machine has (fontconfig's, and the old names the
// program's fonts use), a style, a size and, with fdEffects, underline, strike-out and colour;
// a sample shows the choice.
class TFontDialog : public TCommonDialog {
  TW_CLASS(TFontDialog, TCommonDialog)
 public:
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;
  // True with Font changed when the user pressed OK.
  bool Execute() override;
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* font) { font_->Assign(font); }
  TFontDialogOptions Options() const { return options_; }
  void SetOptions(TFontDialogOptions v) { options_ = v; }
  int MinFontSize() const { return minFontSize_; }
  void SetMinFontSize(int v) { minFontSize_ = v; }
  int MaxFontSize() const { return maxFontSize_; }
  void SetMaxFontSize(int v) { maxFontSize_ = v; }

 private:
  std::unique_ptr<TFont> font_;
  TFontDialogOptions options_{fdEffects};
  int minFontSize_ = 0;
  int maxFontSize_ = 0;
};

enum class TFindOption {
  frDown, frFindNext, frHideMatchCase, frHideWholeWord, frHideUpDown, frMatchCase, frDisableMatchCase,
  frDisableUpDown, frDisableWholeWord, frReplace, frReplaceAll, frWholeWord, frShowHelp
};
TW_ENUM_NAMES(TFindOption, "frDown", "frFindNext", "frHideMatchCase", "frHideWholeWord", "frHideUpDown",
              "frMatchCase", "frDisableMatchCase", "frDisableUpDown", "frDisableWholeWord", "frReplace",
              "frReplaceAll", "frWholeWord", "frShowHelp");
using enum TFindOption;
using TFindOptions = Set<TFindOption>;

// The modeless find dialog: Execute shows it and returns at once; "Find Next" sets FindText and
// Options (frFindNext, frDown, frMatchCase, frWholeWord as chosen) and fires OnFind; Cancel or
// Esc closes it.
class TFindDialog : public TCommonDialog {
  TW_CLASS(TFindDialog, TCommonDialog)
 public:
  explicit TFindDialog(TComponent* owner);
  ~TFindDialog() override;
  bool Execute() override;
  void CloseDialog();
  // Whether the dialog is shown.
  bool Showing() const;
  const std::string& FindText() const { return findText_; }
  void SetFindText(const std::string& v);
  TFindOptions Options() const { return options_; }
  void SetOptions(TFindOptions v);
  // Screen position of the dialog (-1: centred on first showing).
  int Left() const { return left_; }
  int Top() const { return top_; }
  void SetPosition(int left, int top) {
    left_ = left;
    top_ = top;
  }
  TNotifyEvent OnFind;

 protected:
  virtual bool IsReplace() const { return false; }
  void Build();
  void ReadControls();
  void Fire(TFindOption action);
  std::unique_ptr<TForm> dialog_;
  std::string findText_;
  std::string replaceText_;
  TFindOptions options_{frDown};
  int left_ = -1;
  int top_ = -1;

  friend class TReplaceDialog;
};

// The find dialog with a replacement: "Replace" (frReplace) and "Replace All" (frReplaceAll) set
// ReplaceText and fire OnReplace.
class TReplaceDialog : public TFindDialog {
  TW_CLASS(TReplaceDialog, TFindDialog)
 public:
  explicit TReplaceDialog(TComponent* owner) : TFindDialog(owner) {}
  const std::string& ReplaceText() const { return replaceText_; }
  void SetReplaceText(const std::string& v);
  TNotifyEvent OnReplace;

 protected:
  bool IsReplace() const override { return true; }
};

// Chooses the printer of the program (platform/gfx's Printer()), its paper size and
// orientation.
class TPrinterSetupDialog : public TCommonDialog {
  TW_CLASS(TPrinterSetupDialog, TCommonDialog)
 public:
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  // True when OK applied the choice to the printer.
  bool Execute() override;
};

// Registers the dialog classes for creation by name (form resources).
void RegisterDialogClasses();

}  // namespace tw
