// TAddPropertiesForm chooses which properties of the edited form are translated: the available
// properties on the left, the properties to change on the right.  On OK the edited language
// component gets exactly the chosen properties in the language chosen in the editor.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/forms/forms.h"

namespace tw {
class TButton;
class TCheckBox;
class TEdit;
class TGroupBox;
class TLabel;
class TOutline;
}  // namespace tw

namespace tw::multilang {

class TLangSwitch;
class TMButtons;

struct TPropertyKey {
  std::string Component;
  std::string Property;
  int ValueID = -1;
  bool operator==(const TPropertyKey&) const = default;
};

struct TPropertyFilter {
  bool Caption = true;
  bool Hint = false;
  bool Items = false;
  bool All = false;
  bool User = false;
  std::string UserName;
  bool Passes(const std::string& property) const;
};

// The translatable properties of the component's form that pass the filter: per component (the
// form by its class name) its string-like properties, the lines of its string lists and the
// sub-properties of its other objects; under the language component its pseudo-properties.
std::vector<TPropertyKey> TranslatableProperties(TLangSwitch& sw, const TPropertyFilter& filter);
// The pseudo-property names of the language component, in the browser's order.
const std::vector<std::string>& PseudoPropertyNames();
// Gives language `languageID` exactly the values of `keys` (their current texts), captures the
// default language again and drops default named strings that no other language has.
void SetTranslatedProperties(TLangSwitch& sw, int languageID, const std::vector<TPropertyKey>& keys);

class TAddPropertiesForm : public TForm {
  TW_CLASS(TAddPropertiesForm, TForm)
 public:
  explicit TAddPropertiesForm(TComponent* owner);
  ~TAddPropertiesForm() override;
  void SetEdited(TLangSwitch* edited, int languageID);
  // Moves the available property `srcIndex` (an index into Available()) to the chosen ones;
  // Exclude moves Chosen()[dstIndex] back.
  void Include(int srcIndex);
  void Exclude(int dstIndex);
  // The selected node of a list with every property below it (a component, a property with its
  // lines or sub-properties, or one of those).
  void IncludeSelected();
  void ExcludeSelected();
  // Full expansion of the lists on or off (the Expand button).
  void SetExpanded(bool expanded);
  bool Expanded() const { return expanded_; }
  void AddNamedString(const std::string& identifier);
  // The NewString button: asks the identifier in an input box.
  void AskNamedString();
  void Apply();

  TLabel* LabelAvailable = nullptr;
  TLabel* LabelChange = nullptr;
  TOutline* SrcList = nullptr;
  TOutline* DstList = nullptr;
  TGroupBox* FilterGroup = nullptr;  // holds the filter check boxes and FilterName
  TCheckBox* CaptionCheckBox = nullptr;
  TCheckBox* HintCheckBox = nullptr;
  TCheckBox* ItemsCheckBox = nullptr;
  TCheckBox* AllCheckBox = nullptr;
  TCheckBox* UserCheckBox = nullptr;
  TEdit* FilterName = nullptr;
  TButton* OKBtn = nullptr;
  TButton* CancelBtn = nullptr;
  TButton* HelpBtn = nullptr;
  TButton* IncludeBtn = nullptr;
  TButton* ExcludeBtn = nullptr;
  TButton* ExpandBtn = nullptr;
  TButton* NewString = nullptr;
  TEdit* SrcValue = nullptr;
  TEdit* DstValue = nullptr;
  TMButtons* MButtons1 = nullptr;
  TLangSwitch* LangSwitch1 = nullptr;

  const std::vector<TPropertyKey>& Chosen() const { return dst_; }
  const std::vector<TPropertyKey>& Available() const { return src_; }

 private:
  void Rebuild();
  // The filter check boxes by their LANGSWITCH.INI keys.
  std::vector<std::pair<const char*, TCheckBox*>> FilterBoxes() const;
  void ShowValue(TOutline* list, const std::vector<TPropertyKey>& keys, TEdit* value);
  // Fills an outline with the keys: component, property, then value number; a node's data is
  // the key's index + 1 where it stands for one key.
  static void FillOutline(TOutline* list, const std::vector<TPropertyKey>& keys, bool expanded);
  // The key indexes at and below the selected node.
  static std::vector<std::size_t> SelectedKeys(TOutline* list);
  bool expanded_ = false;
  static std::string KeyText(const TPropertyKey& k);
  TLangSwitch* edited_ = nullptr;
  int language_ = -1;
  std::vector<TPropertyKey> src_, dst_;
};

}  // namespace tw::multilang
