#include "richtext/controls/pageprop.h"

#include <cmath>
#include <iterator>

#include "platform/rtl/sysconst.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"

namespace tw::richtext {

namespace {

int RoundHalfEven(double v) {
  // The class library's Round: banker's rounding.
  return static_cast<int>(std::nearbyint(v));
}

constexpr const char* kUnits[] = {"Inch", "Cm", "Twips"};

}  // namespace

namespace {
// The dialog's error messages in the program's language.
constexpr TUiTextPair kGerman[] = {
    {"'%s' is not a valid page value", "'%s' ist kein g\xFCltiger Seitenwert"},
    {"The margins leave no room for the text on this page", "Die R\xE4nder lassen auf dieser Seite keinen Platz f\xFCr den Text"},
    {"A margin cannot be negative", "Ein Rand kann nicht negativ sein"},
    {"The paper cannot be larger than %s", "Das Papier kann nicht gr\xF6\xDF" "er als %s sein"},
    // The window.
    {"Page Properties", "Seiteneigenschaften"},
    {" Paper Size ", " Papiergr\xF6\xDF" "e "},
    {"Width", "Breite"},
    {"Height", "H\xF6he"},
    {" Margins ", " R\xE4nder "},
    {"Top", "Oben"},
    {"Bottom", "Unten"},
    {"Left", "Links"},
    {"Right", "Rechts"},
    {"Unit", "Einheit"},
    {"Inch", "Zoll"},
    {"Cm", "cm"},
    {"Twips", "Twips"},
};
std::string PageText(std::string_view english) { return UiText(english, kGerman); }
}  // namespace

int UnitToTwips(double value, const std::string& unit) {
  double twips = value;
  if (AnsiSameText(unit, "Cm"))
    twips = value * TwipsPerCm;
  else if (AnsiSameText(unit, "Inch"))
    twips = value * 1440.0;
  if (!(std::fabs(twips) < 2147483647.0)) throw EConvertError(Format(PageText("'%s' is not a valid page value"), {FloatToStr(value)}));
  return RoundHalfEven(twips);
}

std::string TwipsToUnitText(int twips, const std::string& unit) {
  if (AnsiSameText(unit, "Cm")) return FloatToStrF(twips * CmPerTwip, TFloatFormat::ffFixed, 8, 2);
  if (AnsiSameText(unit, "Inch")) return FloatToStrF(twips * (1.0 / 1440.0), TFloatFormat::ffFixed, 8, 2);
  return std::to_string(twips);
}

// --- the window ---------------------------------------------------------------------------------

TRiPageProp::TRiPageProp(TComponent* owner, TRiRTFTextPaint* engine) : TForm(owner), engine_(engine) {
  // The window shows the program's language; the units keep their own names inside.
  SetCaption(PageText("Page Properties"));
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetBorderIcons(TBorderIcons{TBorderIcon::biSystemMenu});
  SetPosition(TPosition::poScreenCenter);
  SetClientWidth(290);
  SetClientHeight(220);
  auto label = [this](TWinControl* parent, const std::string& name, const std::string& caption, int x, int y) {
    auto* l = new TLabel(this);
    l->SetName(name);
    l->SetParent(parent);
    l->SetCaption(PageText(caption));
    l->SetBounds(x, y, 50, 15);
    return l;
  };
  auto edit = [this](TWinControl* parent, int tag, int x, int y) {
    auto* e = new TEdit(this);
    e->SetName("Edit" + std::to_string(tag));
    e->SetParent(parent);
    e->SetTag(tag);
    e->SetBounds(x, y, 70, 21);
    e->SetTabStop(true);
    e->OnChange = [this](TObject* s) { EditChange(s); };
    Edits[static_cast<std::size_t>(tag)] = e;
    return e;
  };
  GroupBox1 = new TGroupBox(this);
  GroupBox1->SetName("GroupBox1");
  GroupBox1->SetParent(this);
  GroupBox1->SetCaption(PageText(" Paper Size "));
  GroupBox1->SetBounds(8, 8, 274, 56);
  Label1 = label(GroupBox1, "Label1", "Width", 8, 24);
  edit(GroupBox1, 1, 56, 20);
  Label2 = label(GroupBox1, "Label2", "Height", 136, 24);
  edit(GroupBox1, 2, 190, 20);
  GroupBox2 = new TGroupBox(this);
  GroupBox2->SetName("GroupBox2");
  GroupBox2->SetParent(this);
  GroupBox2->SetCaption(PageText(" Margins "));
  GroupBox2->SetBounds(8, 70, 274, 84);
  Label3 = label(GroupBox2, "Label3", "Top", 8, 24);
  edit(GroupBox2, 3, 56, 20);
  Label4 = label(GroupBox2, "Label4", "Bottom", 136, 24);
  edit(GroupBox2, 4, 190, 20);
  Label5 = label(GroupBox2, "Label5", "Left", 8, 52);
  edit(GroupBox2, 5, 56, 48);
  Label6 = label(GroupBox2, "Label6", "Right", 136, 52);
  edit(GroupBox2, 6, 190, 48);
  Label7 = label(this, "Label7", "Unit", 16, 166);
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetName("ComboBox1");
  ComboBox1->SetParent(this);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->SetBounds(64, 162, 90, 21);
  ComboBox1->SetTabStop(true);
  for (const char* u : kUnits) ComboBox1->Items()->Add(PageText(u));
  ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };
  BitBtn2 = new TBitBtn(this);
  BitBtn2->SetName("BitBtn2");
  BitBtn2->SetParent(this);
  BitBtn2->SetKind(TBitBtnKind::bkOK);
  BitBtn2->SetModalResult(mrNone);
  BitBtn2->SetDefault(true);
  // Wide enough for the glyph and the longest caption of the languages ("Abbrechen").
  BitBtn2->SetBounds(100, 190, 88, 25);
  BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };
  BitBtn1 = new TBitBtn(this);
  BitBtn1->SetName("BitBtn1");
  BitBtn1->SetParent(this);
  BitBtn1->SetKind(TBitBtnKind::bkCancel);
  BitBtn1->SetBounds(194, 190, 88, 25);
  SetActiveControl(Edits[1]);
  OnActivate = [this](TObject* s) { FormActivate(s); };
}

std::string TRiPageProp::Unit() const {
  const int i = ComboBox1->ItemIndex();
  return i >= 0 && i < static_cast<int>(std::size(kUnits)) ? std::string(kUnits[i]) : std::string(kUnits[0]);
}

void TRiPageProp::FormActivate(TObject*) {
  // Filled once per showing: the window is activated again whenever a box it raised closes
  // (a refused OK), and must then show what the user typed, not the document's page again.
  if (filled_) return;
  filled_ = true;
  const TRiLayout& l = engine_->Header().Layout;
  values_ = {0, l.PageWidth, l.PageHeight, l.TopMargin, l.BottomMargin, l.LeftMargin, l.RightMargin};
  int index = 0;
  const std::string& remembered = TRiPagePropDlg::RememberedUnit();
  for (int i = 0; i < static_cast<int>(std::size(kUnits)); ++i)
    if (!remembered.empty() && AnsiSameText(kUnits[i], remembered)) index = i;
  ComboBox1->SetItemIndex(index);
  ComboBox1Change(ComboBox1);
}

void TRiPageProp::ComboBox1Change(TObject*) {
  // Showing a value does not change it: the exact twips stay until the user edits a field.
  filling_ = true;
  const std::string unit = Unit();
  for (int tag = 1; tag <= 6; ++tag) Edits[static_cast<std::size_t>(tag)]->SetText(TwipsToUnitText(Value(tag), unit));
  filling_ = false;
}

void TRiPageProp::EditChange(TObject* sender) {
  if (filling_) return;
  auto* edit = dynamic_cast<TEdit*>(sender);
  if (edit == nullptr || edit->Tag() < 1 || edit->Tag() > 6) return;
  // Text on its way to a number ("-", "1e") keeps the value as it was; OK checks every field
  // again and refuses what is still no number.
  const std::string text = Trim(edit->GetText());
  double v = 0.0;
  if (!text.empty() && !TryStrToFloat(text, v)) return;
  try {
    values_[static_cast<std::size_t>(edit->Tag())] = UnitToTwips(v, Unit());
  } catch (const EConvertError&) {
    // Too large for a page value: OK reports it.
  }
}

void TRiPageProp::BitBtn2Click(TObject*) {
  // Every field is read once more so that a value that does not convert stops the dialog here.
  for (int tag = 1; tag <= 6; ++tag) {
    const std::string text = Trim(Edits[static_cast<std::size_t>(tag)]->GetText());
    double v = 0;
    if (!text.empty() && !TryStrToFloat(text, v)) {
      Edits[static_cast<std::size_t>(tag)]->SetFocus();
      throw EConvertError(Format(RtlText(sysconst::SInvalidFloat), {text}));
    }
    try {
      UnitToTwips(v, Unit());
    } catch (const EConvertError&) {
      Edits[static_cast<std::size_t>(tag)]->SetFocus();
      throw;
    }
  }
  // A page whose margins are negative or leave no room for the text cannot be laid out or
  // printed: the dialog stays open on the field that has to change.
  const int bad = BadPageField();
  if (bad != 0) {
    Edits[static_cast<std::size_t>(bad)]->SetFocus();
    if (bad > 2) throw EConvertError(PageText("A margin cannot be negative"));
    if (Value(bad) > MaxPageTwips)
      throw EConvertError(Format(PageText("The paper cannot be larger than %s"), {TwipsToUnitText(MaxPageTwips, Unit())}));
    throw EConvertError(PageText("The margins leave no room for the text on this page"));
  }
  engine_->SetPageSize(Value(5), Value(6), Value(3), Value(4), Value(1), Value(2));
  engine_->ReformatAll();
  engine_->Redraw();
  TRiPagePropDlg::RememberedUnit() = Unit();
  SetModalResult(mrOk);
}

int TRiPageProp::BadPageField() const {
  for (int tag = 3; tag <= 6; ++tag)
    if (Value(tag) < 0) return tag;
  if (!PageLeavesText(Value(5), Value(6), Value(3), Value(4), Value(1), MaxPageTwips)) return 1;
  if (!PageLeavesText(Value(5), Value(6), Value(3), Value(4), Value(1), Value(2))) return 2;
  return 0;
}

// --- the component --------------------------------------------------------------------------------

std::string& TRiPagePropDlg::RememberedUnit() {
  static std::string unit;
  return unit;
}

TRiPagePropDlg::~TRiPagePropDlg() {
  if (editBox_ != nullptr) editBox_->RemoveFreeNotification(this);
}

void TRiPagePropDlg::SetEditBox(TRiCustomRtfEdit* box) {
  if (editBox_ != nullptr) editBox_->RemoveFreeNotification(this);
  editBox_ = box;
  if (box != nullptr) box->FreeNotification(this);
}

void TRiPagePropDlg::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == editBox_) editBox_ = nullptr;
}

bool TRiPagePropDlg::Execute() {
  if (editBox_ == nullptr) return false;
  std::unique_ptr<TRiPageProp> window(new TRiPageProp(nullptr, editBox_->RtfText()));
  window_ = window.get();
  TModalResult result = mrNone;
  try {
    result = window->ShowModal();
  } catch (...) {
    window_ = nullptr;
    throw;
  }
  window_ = nullptr;
  window.reset();
  if (result == mrOk) editBox_->Reformat();
  return result == mrOk;
}

}  // namespace tw::richtext
