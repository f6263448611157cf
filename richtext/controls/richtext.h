// The rich-text component: the editor control joined to the process-wide find and replace
// dialogs, a finder, a file name, and optional external scroll bars.  TRiRichText is the
// component the program places on its forms (the transit view is one, read-only with links).
#pragma once

#include <memory>
#include <string>

#include "platform/forms/comctrls/scrollbar.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "richtext/controls/richedit.h"
#include "richtext/controls/textfinder.h"

namespace tw::richtext {

enum class TRiToolLanguage { twpEnglish, twpGerman };

class TRiCustomRichText : public TRiCustomRtfEdit {
  TW_CLASS(TRiCustomRichText, TRiCustomRtfEdit)
 public:
  explicit TRiCustomRichText(TComponent* owner);
  ~TRiCustomRichText() override;

  // --- files -------------------------------------------------------------------------------------
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  void Clear() override;
  std::string FileName;
  std::string TemplateName;

  // --- find and replace through the shared dialogs ---------------------------------------------------
  void ShowFindDialog();
  void ShowReplaceDialog();
  // The handlers of the dialogs' events (public so that the program may drive them).
  void DoFind(TObject* sender);
  void DoReplace(TObject* sender);
  TRiTextFinder& Finder() { return *finder_; }

  // The process-wide dialogs, made on first use and shared by every component.
  static TFindDialog* FindDialog();
  static TReplaceDialog* ReplaceDialog();

  TRiToolLanguage Language = TRiToolLanguage::twpEnglish;
  TScrollBar* ExternVerScrollBar = nullptr;
  TScrollBar* ExternHorScrollBar = nullptr;
  TNotifyEvent StartSpellCheck;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  void UpdateHorzScrollBar() override;
  void UpdateVertScrollBar() override;
  void Detach();
  void SearchFrom(const std::string& text, TFindOptions options);

 private:
  std::unique_ptr<TRiTextFinder> finder_;
};

class TRiRichText : public TRiCustomRichText {
  TW_CLASS(TRiRichText, TRiCustomRichText)
 public:
  explicit TRiRichText(TComponent* owner) : TRiCustomRichText(owner) {}
};

// Registers TRiRichText and TRiPagePropDlg for creation by name from form resources.
void RegisterRichTextControls();

}  // namespace tw::richtext
