// The rich-text component: the editor control joined to the process-wide find and replace
// dialogs, a finder, a file name, and optional external scroll bars.  TRiRichText is the
// component the program places on its forms (the transit view is one, read-only with links).
#pragma once

#include <memory>
#include <string>

#include "platform/forms/comctrls/scrollbar.h"
#include "platform/forms/dialogs/commondialogs.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "richtext/controls/richedit.h"
#include "richtext/controls/ruler.h"
#include "richtext/controls/statusbar.h"
#include "richtext/controls/textfinder.h"
#include "richtext/controls/toolpanel.h"

namespace tw::richtext {

enum class TRiToolLanguage { twpEnglish, twpGerman };
TW_ENUM_NAMES(TRiToolLanguage, "twpEnglish", "twpGerman");

// The language of the texts of every rich-text component, ruler and dialog of the process.
TRiToolLanguage RichTextLanguage();
void SetRichTextLanguage(TRiToolLanguage language);
// A text of the components' string table (56001..56013) in the current language.
std::string RichTextString(int id);
// The decimal separator of measurements in the current language.
char RichTextDecimalSeparator();

// Texts of the string table.
constexpr int rsFileFilter = 56001;
constexpr int rsAbortOperation = 56002;
constexpr int rsReady = 56003;
constexpr int rsReading = 56004;
constexpr int rsWriting = 56005;
constexpr int rsFormatting = 56006;
constexpr int rsFormatting2 = 56007;
constexpr int rsInitMemory = 56008;
constexpr int rsNoSelection = 56009;
constexpr int rsRich = 56010;
constexpr int rsPlain = 56011;
constexpr int rsInternalError = 56012;
constexpr int rsDeleteTabs = 56013;

class TRiCustomRichText;

// The set-mode object of the component: the engine reports cursor, attribute and paragraph
// changes through it, and it brings the attached ruler and tool panel up to date.
class TRiRichTextSetMode : public TRiSetModeControl {
  TW_CLASS(TRiRichTextSetMode, TRiSetModeControl)
 public:
  explicit TRiRichTextSetMode(TRiCustomRichText* owner) : owner_(owner) {}
  void ParagraphChanged() override;
  void AttributesChanged() override;
  void PositionChanged(int value) override;

 private:
  TRiCustomRichText* owner_;
};

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

  // Process-wide: every component reads and writes the same value.
  TRiToolLanguage Language() const { return RichTextLanguage(); }
  void SetLanguage(TRiToolLanguage language) { SetRichTextLanguage(language); }
  TNotifyEvent StartSpellCheck;
  // Scroll bars outside the control that scroll the view (positions 0..1000).
  TScrollBar* ExternVerScrollBar() const { return externVer_; }
  void SetExternVerScrollBar(TScrollBar* bar);
  TScrollBar* ExternHorScrollBar() const { return externHor_; }
  void SetExternHorScrollBar(TScrollBar* bar);

  // --- attached controls ---------------------------------------------------------------------------
  TRiRuler* RiRuler() const { return ruler_; }
  void SetRiRuler(TRiRuler* ruler);
  TRiStatusBarBasic* StatusBar() const { return statusBar_; }
  void SetStatusBar(TRiStatusBarBasic* bar);
  TRiCustomToolPanel* RiToolBar() const { return toolBar_; }
  void SetRiToolBar(TRiCustomToolPanel* panel);
  TLabel* StatusLabel() const { return statusLabel_; }
  void SetStatusLabel(TLabel* label);
  TRiRichTextSetMode& SetModeLink() { return *setMode_; }
  // Shows a status text (empty: "Ready") in the status label and the status bar's status item.
  void SetStatusText(const std::string& text);
  // Brings the ruler, status bar and tool panel up to date.
  virtual void UpdateAttachedControls();
  // Writes the selection through the engine's selection writer; without a selection shows
  // "no text selected" and answers false.
  virtual bool SaveSelectionToStream(TStream& stream);

  void RulerChanged(int typ, int group, int num, bool changing) override;
  void ToolPanelCommand(int kind, int group, int number) override;
  void ToolPanelField(int kind, const std::string& value, int extra) override;
  void FocusRequest() override;
  void StatusBarUpdate() override;
  void DoEditState(bool selectionMarked, bool clipboardNotEmpty) override;
  void SetWordWrap(bool value) override;
  void SetZooming(int value) override;
  void SetResizing(int value) override;
  void Loaded() override;

  void Notification(TComponent* component, TOperation operation) override;

 protected:
  friend class TRiRichTextSetMode;
  void UpdateHorzScrollBar() override;
  void UpdateVertScrollBar() override;
  void CursorShown() override;
  void ViewScrolled() override;
  void Detach();
  void SearchFrom(const std::string& text, TFindOptions options);
  void WMSetFocus(TMessage& msg);
  // The set-mode reports.
  void ShowParagraph();
  void ShowAttributes();
  void ShowRulerOffset();
  void ShowPosition();
  void ShowEditState();
  // Applies a style command to the selection or the current attributes.
  void ApplyStyle(std::uint16_t add, std::uint16_t remove);
  // Empties the document for one read from a file or stream.
  void ClearForNewDocument();
  void FileCommand(int number);

 private:
  TW_MESSAGE_MAP_DECLARE();
  std::unique_ptr<TRiTextFinder> finder_;
  std::unique_ptr<TRiRichTextSetMode> setMode_;
  TRiRuler* ruler_ = nullptr;
  TRiStatusBarBasic* statusBar_ = nullptr;
  TRiCustomToolPanel* toolBar_ = nullptr;
  TLabel* statusLabel_ = nullptr;
  TScrollBar* externVer_ = nullptr;
  TScrollBar* externHor_ = nullptr;
  bool hiddenButton_ = false;
  bool clipboardNotEmpty_ = false;
};

class TRiRichText : public TRiCustomRichText {
  TW_CLASS(TRiRichText, TRiCustomRichText)
 public:
  explicit TRiRichText(TComponent* owner) : TRiCustomRichText(owner) {}
};

// Registers TRiRichText and TRiPagePropDlg for creation by name from form resources.
void RegisterRichTextControls();

}  // namespace tw::richtext
