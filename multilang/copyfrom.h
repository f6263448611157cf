// TCopyFromForm fills one language's values from another language, from the design texts, or
// from the same-named components of the language file's other forms.
#pragma once

#include <string>

#include "platform/forms/forms.h"

namespace tw {
class TBevel;
class TButton;
class TCheckBox;
class TComboBox;
class TGroupBox;
class TLabel;
class TRadioButton;
}  // namespace tw

namespace tw::multilang {

class TLangSwitch;

enum class TCopySource { csDesign, csSelected, csExternal };

class TCopyFromForm : public TForm {
  TW_CLASS(TCopyFromForm, TForm)
 public:
  explicit TCopyFromForm(TComponent* owner);

  // The component edited and the language that receives the values; fills the language list.
  void SetTarget(TLangSwitch* edited, int targetLanguageID);
  // Applies the choice made in the window (what OK does).
  void ApplyChoice();

  TBevel* Bevel1 = nullptr;
  TLabel* LabelCopyFrom = nullptr;
  TComboBox* LanguageList = nullptr;
  TCheckBox* Overwrite = nullptr;
  TGroupBox* SetValues = nullptr;  // holds the three radio buttons
  TRadioButton* Design = nullptr;
  TRadioButton* Selected = nullptr;
  TRadioButton* ExternalProp = nullptr;
  TButton* OKBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TButton* HelpBtn = nullptr;
  TLangSwitch* LangSwitch1 = nullptr;

 private:
  void LanguageChanged();
  TLangSwitch* edited_ = nullptr;
  int target_ = -1;
};

// The copy itself.  `sourceID` -1 updates the target's existing values only (they are always
// overwritten then); otherwise values of the source language that the target lacks are added,
// and existing ones are overwritten when `overwrite` is set.
void CopyLanguageValues(TLangSwitch& sw, int sourceID, int targetID, bool overwrite, TCopySource how);

}  // namespace tw::multilang
