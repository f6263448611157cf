// The page-properties dialog: edits the page size and margins of a rich-text editor's document
// in a small modal window, in inches, centimetres or twips.
#pragma once

#include <array>
#include <string>

#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls/buttons.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "richtext/controls/richedit.h"

namespace tw::richtext {

// Twips per unit and back.
constexpr double TwipsPerCm = 566.929;
constexpr double CmPerTwip = 0.00176388930;

// Converts a value shown in `unit` ("Inch", "Cm", anything else: twips) to twips and back.
int UnitToTwips(double value, const std::string& unit);
std::string TwipsToUnitText(int twips, const std::string& unit);

class TRiPageProp : public TForm {
  TW_CLASS(TRiPageProp, TForm)
 public:
  TRiPageProp(TComponent* owner, TRiRTFTextPaint* engine);

  // Page values in twips, 1 page width, 2 page height, 3 top, 4 bottom, 5 left, 6 right margin.
  int Value(int tag) const { return values_.at(static_cast<std::size_t>(tag)); }
  std::string Unit() const;

  TGroupBox* GroupBox1;
  TGroupBox* GroupBox2;
  TLabel* Label1;
  TLabel* Label2;
  TLabel* Label3;
  TLabel* Label4;
  TLabel* Label5;
  TLabel* Label6;
  TLabel* Label7;
  std::array<TEdit*, 7> Edits{};  // 1..6
  TComboBox* ComboBox1;
  TBitBtn* BitBtn1;  // Cancel
  TBitBtn* BitBtn2;  // OK

  void FormActivate(TObject* sender);
  void ComboBox1Change(TObject* sender);
  void EditChange(TObject* sender);
  void BitBtn2Click(TObject* sender);
  // The field (by Tag) that makes the page unusable: a negative margin, or a width or height
  // that leaves the text less than MinPageText twips; 0 when the page is sound.
  int BadPageField() const;

 private:
  TRiRTFTextPaint* engine_;
  std::array<int, 7> values_{};
  bool filling_ = false;
  bool filled_ = false;
};

class TRiPagePropDlg : public TComponent {
  TW_CLASS(TRiPagePropDlg, TComponent)
 public:
  explicit TRiPagePropDlg(TComponent* owner) : TComponent(owner) {}
  ~TRiPagePropDlg() override;

  TRiCustomRtfEdit* EditBox() const { return editBox_; }
  void SetEditBox(TRiCustomRtfEdit* box);
  // Shows the dialog modally on the editor's document; false when cancelled or without editor.
  bool Execute();
  // The window while Execute runs (tests drive it), else null.
  TRiPageProp* Window() const { return window_; }

  // The unit last confirmed with OK (process-wide; empty at start).
  static std::string& RememberedUnit();

  void Notification(TComponent* component, TOperation operation) override;

 private:
  TRiCustomRtfEdit* editBox_ = nullptr;
  TRiPageProp* window_ = nullptr;
};

}  // namespace tw::richtext
