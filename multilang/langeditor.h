// The run-time language editor of one language component: its languages with their icons, the
// form sections of its language file, the translated properties of the form in an outline, and
// for the chosen property its value in each language.  Browse (Ctrl+Alt+E) creates it, shows it
// modally and saves the language file when it ends with OK.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/forms.h"

namespace tw {
class TButton;
class TCheckBox;
class TComboBox;
class TImage;
class TLabel;
class TOutline;
class TPanel;
class TStringGrid;
}  // namespace tw

namespace tw::multilang {

class TLangSwitch;
class TMComboBox;
class TMButtons;
class TMOpenDialog;

class TLangEditorForm : public TForm {
  TW_CLASS(TLangEditorForm, TForm)
 public:
  explicit TLangEditorForm(TComponent* owner);

  // Hands the editor the component it edits and fills its lists.
  void SetEdited(TLangSwitch* edited, TObject* data);
  TLangSwitch* Edited() const { return edited_; }
  // The component the editor works on: the edited one, or the one made for another form
  // section of the language file.
  TLangSwitch* Working() const { return work_; }

  // The translated keys listed in PropList.
  int PropertyCount() const { return static_cast<int>(keys_.size()); }
  // "Component.Property" or "Component.Property%n" of key `index`.
  std::string PropertyText(int index) const;
  // Shows the values of key `index` in the grid.
  void ChooseProperty(int index);
  int ChosenProperty() const { return chosen_; }
  // Stores `text` as the value of the chosen property in the chosen language (a new entry when
  // the language has none); false (after the message) when the text does not suit the property.
  bool StoreValue(const std::string& text);
  // Chooses the language of the given name in the language list.
  bool ChooseLanguage(const std::string& name);
  // Shows form section `index` of FormList (0: the edited form).
  void ChooseForm(int index);
  // Saves to a language file (the save button after its dialog).
  bool SaveToFile(const std::string& fileName);
  // Loads a language file into the component worked on (the load button after its dialog).
  bool LoadFromFile(const std::string& fileName);
  // Gives the chosen language the first icon of an icon file (the icon button after its dialog).
  bool LoadIcon(const std::string& fileName);
  // A message text of the editor's own language component, "%s" filled in.
  std::string Text(const std::string& name, std::initializer_list<std::string> args = {}) const;

  // LANGSWITCH.INI in the private settings folder.
  static std::string SettingsFileName();

  TImage* Image1 = nullptr;
  TPanel* PropertiesWindow = nullptr;
  TPanel* FormPanel = nullptr;
  TPanel* LanguagePanel = nullptr;
  TMComboBox* LanguageListBox = nullptr;
  TMComboBox* FormList = nullptr;
  TOutline* PropList = nullptr;
  TStringGrid* GridValues = nullptr;
  TComboBox* EditDropDown = nullptr;
  TCheckBox* LookupText = nullptr;
  TCheckBox* Directional = nullptr;
  TButton* OKBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TButton* HelpBtn = nullptr;
  TButton* SaveBtn = nullptr;
  TButton* LoadBtn = nullptr;
  TButton* CopyFromBtn = nullptr;
  TButton* PropAddBtn = nullptr;
  TButton* ExpandAllBtn = nullptr;
  TButton* FormDeleteBtn = nullptr;
  TButton* LangImageBrowse = nullptr;
  TButton* LangImageClear = nullptr;
  TButton* LangAddBtn = nullptr;
  TButton* LangDeleteBtn = nullptr;
  TButton* LangRenameBtn = nullptr;
  TLangSwitch* LangSwitch1 = nullptr;
  TMButtons* MButtons1 = nullptr;
  TMOpenDialog* MOpenDialog1 = nullptr;

 private:
  struct Key {
    std::string Component, Property;
    int ValueID;
  };
  void FillLanguages(int selectID);
  void FillForms();
  void FillProperties();
  void FillGrid();
  void LanguageChanged();
  void UpdateButtons();
  void EditKeyDown(TObject* sender, Word& key, TShiftState shift);
  void EditKeyPress(TObject* sender, char& key);
  void OpenValueEditor();
  void CloseValueEditor(bool store);
  void FillDropDown(bool lookup);
  int ChosenLanguageID() const;
  std::string ChosenLanguageName() const;
  int Ask(const std::string& text, const std::string& title, unsigned flags);
  bool RunOpenDialog(const std::string& title, const std::string& filter, const std::string& start,
                     std::string& chosen, bool mustExist);
  void AddClick();
  void DeleteClick();
  void RenameClick();
  void IconClick();
  void LoadClick();
  void SaveClick();
  void FormDeleteClick();
  void OkCancelClick();
  void HelpClick();
  // Notes the section worked on as one to write on OK, when its values were changed.
  void KeepWorkingSection();
  // OK: writes every other form's section changed here (the edited form's own is written by
  // Browse afterwards).
  void SaveChangedSections();
  void WriteSetting(const std::string& key, int value);

  int lastLanguageID_ = -1;
  TLangSwitch* edited_ = nullptr;
  // Gives every other loaded section the languages of the one worked on.
  void ShareLanguages();
  static void CopyLanguages(TLangSwitch& from, TLangSwitch& to);
  // IDs of the languages deleted since the editor opened.  Until the file is written, sections
  // not loaded here still hold their values, so a new language never takes one of these IDs.
  std::vector<int> retired_;
  TLangSwitch* work_ = nullptr;
  std::vector<TLangSwitch*> sections_;  // per FormList item; nullptr until first chosen
  bool sectionChanged_ = false;
  // Other forms' sections changed here: written on OK only, so Cancel writes nothing.
  std::vector<TLangSwitch*> changed_;
  std::vector<Key> keys_;
  int chosen_ = -1;
  bool expanded_ = false;
  std::string editStart_;  // the value editor's text when it opened
  bool refusing_ = false;  // a refused value's message is shown
};

// Ctrl+Alt+E: `exact` asks for no Shift (the application's windows), else Shift is allowed (the
// editor's own windows).
bool IsBrowseKey(Word key, TShiftState shift, bool exact = true);
// For a window's key-up handler: opens the editor of `sw` on Ctrl+Alt+E; true when it did.
bool HandleBrowseKey(TLangSwitch* sw, Word key, TShiftState shift, bool exact = true);

}  // namespace tw::multilang
