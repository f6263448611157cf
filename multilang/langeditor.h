// The run-time language editor of one language component: its languages, the translated
// properties of its form, and for the chosen property its value in each language.  Browse
// (Ctrl+Alt+E) creates it, shows it modally and saves the language file when it ends with OK.
#pragma once

#include <string>
#include <vector>

#include "platform/forms/forms.h"

namespace tw {
class TButton;
class TListBox;
class TStringGrid;
class TComboBox;
class TLabel;
}  // namespace tw

namespace tw::multilang {

class TLangSwitch;
class TMComboBox;
class TMButtons;

class TLangEditorForm : public TForm {
  TW_CLASS(TLangEditorForm, TForm)
 public:
  explicit TLangEditorForm(TComponent* owner);

  // Hands the editor the component it edits and fills its lists.
  void SetEdited(TLangSwitch* edited, TObject* data);
  TLangSwitch* Edited() const { return edited_; }

  // The translated keys listed in PropList ("Component.Property" or "...%n").
  int PropertyCount() const { return static_cast<int>(keys_.size()); }
  // Shows the values of key `index` in the grid.
  void ChooseProperty(int index);
  // Stores `text` as the value of the chosen property in the chosen language (a new entry when
  // the language has none); false when nothing is chosen or the text does not suit the property.
  bool StoreValue(const std::string& text);
  // Chooses the language of the given name in the language list.
  bool ChooseLanguage(const std::string& name);
  // Saves to the language file (the save button without its dialog).
  bool SaveToFile(const std::string& fileName);

  // LANGSWITCH.INI in the private settings folder.
  static std::string SettingsFileName();

  TMComboBox* LanguageListBox = nullptr;
  TMComboBox* FormList = nullptr;
  TListBox* PropList = nullptr;
  TStringGrid* GridValues = nullptr;
  TComboBox* EditDropDown = nullptr;
  TButton* OKBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TButton* SaveBtn = nullptr;
  TButton* CopyFromBtn = nullptr;
  TButton* PropAddBtn = nullptr;
  TLangSwitch* LangSwitch1 = nullptr;
  TMButtons* MButtons1 = nullptr;

 private:
  struct Key {
    std::string Component, Property;
    int ValueID;
  };
  void FillProperties();
  void FillGrid();
  void EditKeyDown(TObject* sender, Word& key, TShiftState shift);
  int ChosenLanguageID() const;

  int lastLanguageID_ = -1;
  TLangSwitch* edited_ = nullptr;
  std::vector<Key> keys_;
  int chosen_ = -1;
};

// Ctrl+Alt+E: `exact` asks for no Shift (the application's windows), else Shift is allowed (the
// editor's own windows).
bool IsBrowseKey(Word key, TShiftState shift, bool exact = true);
// For a window's key-up handler: opens the editor of `sw` on Ctrl+Alt+E; true when it did.
bool HandleBrowseKey(TLangSwitch* sw, Word key, TShiftState shift, bool exact = true);

}  // namespace tw::multilang
