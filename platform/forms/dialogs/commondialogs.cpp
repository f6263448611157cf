// The font, find and replace, and printer-setup dialogs.
#include "platform/forms/dialogs/commondialogs.h"

#include <algorithm>

#include "platform/classes/typinfo.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/desktoptexts.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/gfx/printer.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

TW_PUBLISHED(TFontDialog,
             Prop("Font", &TFontDialog::Font, &TFontDialog::SetFont),
             Prop("Options", &TFontDialog::Options, &TFontDialog::SetOptions),
             Prop("MinFontSize", &TFontDialog::MinFontSize, &TFontDialog::SetMinFontSize),
             Prop("MaxFontSize", &TFontDialog::MaxFontSize, &TFontDialog::SetMaxFontSize));
TW_PUBLISHED(TFindDialog,
             Prop("FindText", &TFindDialog::FindText, &TFindDialog::SetFindText),
             Prop("Options", &TFindDialog::Options, &TFindDialog::SetOptions),
             Prop("OnFind", &TFindDialog::OnFind));
TW_PUBLISHED(TReplaceDialog,
             Prop("ReplaceText", &TReplaceDialog::ReplaceText, &TReplaceDialog::SetReplaceText),
             Prop("OnReplace", &TReplaceDialog::OnReplace));
TW_REGISTER_CLASS(TFontDialog);
TW_REGISTER_CLASS(TFindDialog);
TW_REGISTER_CLASS(TReplaceDialog);
TW_REGISTER_CLASS(TPrinterSetupDialog);

void RegisterDialogClasses() {
  RegisterClass<TOpenDialog>();
  RegisterClass<TSaveDialog>();
  RegisterClass<TFontDialog>();
  RegisterClass<TFindDialog>();
  RegisterClass<TReplaceDialog>();
  RegisterClass<TPrinterSetupDialog>();
}

namespace {

template <typename T>
T* Add(TForm* form, TWinControl* parent, const std::string& name, int x, int y, int w, int h) {
  auto* c = new T(form);
  c->SetName(name);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

TLabel* AddLabel(TForm* form, TWinControl* parent, const std::string& name, const std::string& caption, int x, int y,
                 int w) {
  auto* l = Add<TLabel>(form, parent, name, x, y, w, 16);
  l->SetAutoSize(false);
  l->SetCaption(caption);
  return l;
}

TButton* AddButton(TForm* form, const std::string& name, const std::string& caption, int x, int y) {
  auto* b = Add<TButton>(form, form, name, x, y, 75, 23);
  b->SetCaption(caption);
  b->SetTabStop(true);
  return b;
}

void DialogFrame(TForm* form, const std::string& caption, int clientWidth, int clientHeight) {
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBorderIcons({TBorderIcon::biSystemMenu});
  form->SetCaption(caption);
  form->SetPosition(TPosition::poScreenCenter);
  form->SetClientWidth(clientWidth);
  form->SetClientHeight(clientHeight);
}

// --- font dialog

struct NamedColor {
  const char* Name;
  TColor Color;
};
constexpr NamedColor kColors[] = {
    {"Black", static_cast<TColor>(0x000000)},  {"Maroon", static_cast<TColor>(0x000080)},
    {"Green", static_cast<TColor>(0x008000)},  {"Olive", static_cast<TColor>(0x008080)},
    {"Navy", static_cast<TColor>(0x800000)},   {"Purple", static_cast<TColor>(0x800080)},
    {"Teal", static_cast<TColor>(0x808000)},   {"Gray", static_cast<TColor>(0x808080)},
    {"Silver", static_cast<TColor>(0xC0C0C0)}, {"Red", static_cast<TColor>(0x0000FF)},
    {"Lime", static_cast<TColor>(0x00FF00)},   {"Yellow", static_cast<TColor>(0x00FFFF)},
    {"Blue", static_cast<TColor>(0xFF0000)},   {"Fuchsia", static_cast<TColor>(0xFF00FF)},
    {"Aqua", static_cast<TColor>(0xFFFF00)},   {"White", static_cast<TColor>(0xFFFFFF)},
};
constexpr int kSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
constexpr const char* kStyles[] = {"Regular", "Italic", "Bold", "Bold Italic"};

// The sample text in the chosen font.
class TFontSample : public TGraphicControl {
  TW_CLASS(TFontSample, TGraphicControl)
 public:
  explicit TFontSample(TComponent* owner) : TGraphicControl(owner) {}
  TFont sample;

 protected:
  void Paint() override {
    TCanvas* c = Canvas();
    TRect r = ClientRect();
    c->Brush()->SetColor(clBtnFace);
    c->FillRect(r);
    c->DrawEdge(r, EDGE_SUNKEN, BF_RECT);
    c->SetFont(&sample);
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    const std::string text = "AaBbYyZz";
    c->TextOut((r.Width() - c->TextWidth(text)) / 2, (r.Height() - c->TextHeight(text)) / 2, text);
  }
};

int IndexOfText(TStrings* items, const std::string& text) {
  for (int i = 0; i < items->Count(); ++i)
    if (AnsiSameText(items->Strings(i), text)) return i;
  return -1;
}

}  // namespace

// --- TFontDialog

TFontDialog::TFontDialog(TComponent* owner) : TCommonDialog(owner), font_(std::make_unique<TFont>()) {}

TFontDialog::~TFontDialog() = default;

bool TFontDialog::Execute() {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  TForm* f = form.get();
  DialogFrame(f, DesktopText("Font"), 430, 290);
  const bool effects = options_.Contains(fdEffects);

  TLabel* nameLabel = AddLabel(f, f, "FontLabel", DesktopText("&Font:"), 8, 6, 150);
  auto* nameEdit = Add<TEdit>(f, f, "FontEdit", 8, 22, 150, 21);
  auto* names = Add<TListBox>(f, f, "FontList", 8, 44, 150, 110);
  nameLabel->SetFocusControl(nameEdit);
  std::vector<std::string> families = FontFamilies();
  if (std::none_of(families.begin(), families.end(), [&](const std::string& n) { return AnsiSameText(n, font_->Name()); }))
    families.push_back(font_->Name());
  std::sort(families.begin(), families.end(), [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; });
  for (const std::string& n : families) names->Items()->Add(n);

  TLabel* styleLabel = AddLabel(f, f, "StyleLabel", DesktopText("Font st&yle:"), 166, 6, 110);
  auto* styleEdit = Add<TEdit>(f, f, "StyleEdit", 166, 22, 110, 21);
  styleEdit->SetReadOnly(true);
  auto* styles = Add<TListBox>(f, f, "StyleList", 166, 44, 110, 110);
  for (const char* s : kStyles) styles->Items()->Add(DesktopText(s));
  styleLabel->SetFocusControl(styles);

  TLabel* sizeLabel = AddLabel(f, f, "SizeLabel", DesktopText("&Size:"), 284, 6, 50);
  auto* sizeEdit = Add<TEdit>(f, f, "SizeEdit", 284, 22, 50, 21);
  auto* sizes = Add<TListBox>(f, f, "SizeList", 284, 44, 50, 110);
  for (int s : kSizes)
    if ((minFontSize_ <= 0 || s >= minFontSize_) && (maxFontSize_ <= 0 || s <= maxFontSize_))
      sizes->Items()->Add(std::to_string(s));
  sizeLabel->SetFocusControl(sizeEdit);

  auto* group = Add<TGroupBox>(f, f, "EffectsGroup", 8, 160, 150, 120);
  group->SetCaption(DesktopText("Effects"));
  group->SetVisible(effects);
  auto* strike = Add<TCheckBox>(f, group, "StrikeOutCheck", 10, 18, 130, 17);
  strike->SetCaption(DesktopText("Stri&keout"));
  auto* underline = Add<TCheckBox>(f, group, "UnderlineCheck", 10, 40, 130, 17);
  underline->SetCaption(DesktopText("&Underline"));
  AddLabel(f, group, "ColorLabel", DesktopText("&Color:"), 10, 64, 130);
  auto* colors = Add<TComboBox>(f, group, "ColorCombo", 10, 82, 130, 21);
  colors->SetStyle(csDropDownList);
  for (const NamedColor& c : kColors) colors->Items()->Add(DesktopText(c.Name));

  auto* sampleGroup = Add<TGroupBox>(f, f, "SampleGroup", 166, 160, 168, 120);
  sampleGroup->SetCaption(DesktopText("Sample"));
  auto* sample = Add<TFontSample>(f, sampleGroup, "Sample", 8, 18, 152, 94);

  AddButton(f, "OKButton", MsgDlgButtonCaption(mbOK), 345, 22)->SetDefault(true);
  auto* cancel = AddButton(f, "CancelButton", MsgDlgButtonCaption(mbCancel), 345, 50);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  auto* help = AddButton(f, "HelpButton", MsgDlgButtonCaption(mbHelp), 345, 78);
  help->SetVisible(options_.Contains(fdShowHelp));
  const int context = HelpContext();
  help->OnClick = [context](TObject*) { HelpContextCall(context); };

  // The state shown, kept in a font of the dialog's own.
  TFont chosen;
  chosen.Assign(font_.get());
  auto styleIndex = [](TFontStyles s) {
    return (s.Contains(TFontStyle::fsBold) ? 2 : 0) + (s.Contains(TFontStyle::fsItalic) ? 1 : 0);
  };
  auto refreshSample = [&] {
    sample->sample.Assign(&chosen);
    sample->Invalidate();
  };
  nameEdit->SetText(chosen.Name());
  names->SetItemIndex(IndexOfText(names->Items(), chosen.Name()));
  styles->SetItemIndex(styleIndex(chosen.Style()));
  styleEdit->SetText(DesktopText(kStyles[styleIndex(chosen.Style())]));
  sizeEdit->SetText(std::to_string(chosen.Size()));
  sizes->SetItemIndex(IndexOfText(sizes->Items(), std::to_string(chosen.Size())));
  strike->SetChecked(chosen.Style().Contains(TFontStyle::fsStrikeOut));
  underline->SetChecked(chosen.Style().Contains(TFontStyle::fsUnderline));
  for (std::size_t i = 0; i < std::size(kColors); ++i)
    if (ColorToRGB(chosen.Color()) == kColors[i].Color) colors->SetItemIndex(static_cast<int>(i));
  refreshSample();

  names->OnClick = [&](TObject*) {
    if (names->ItemIndex() < 0) return;
    nameEdit->SetText(names->Items()->Strings(names->ItemIndex()));
    chosen.SetName(nameEdit->Text());
    refreshSample();
  };
  nameEdit->OnChange = [&](TObject*) {
    const int i = IndexOfText(names->Items(), nameEdit->Text());
    if (i >= 0 && i != names->ItemIndex()) names->SetItemIndex(i);
  };
  auto applyStyle = [&] {
    TFontStyles s;
    const int i = std::max(styles->ItemIndex(), 0);
    if (i & 2) s.Include(TFontStyle::fsBold);
    if (i & 1) s.Include(TFontStyle::fsItalic);
    if (effects && strike->Checked()) s.Include(TFontStyle::fsStrikeOut);
    if (effects && underline->Checked()) s.Include(TFontStyle::fsUnderline);
    styleEdit->SetText(DesktopText(kStyles[i]));
    chosen.SetStyle(s);
    refreshSample();
  };
  styles->OnClick = [&](TObject*) { applyStyle(); };
  strike->OnClick = [&](TObject*) { applyStyle(); };
  underline->OnClick = [&](TObject*) { applyStyle(); };
  sizes->OnClick = [&](TObject*) {
    if (sizes->ItemIndex() < 0) return;
    sizeEdit->SetText(sizes->Items()->Strings(sizes->ItemIndex()));
    chosen.SetSize(StrToIntDef(sizeEdit->Text(), chosen.Size()));
    refreshSample();
  };
  colors->OnChange = [&](TObject*) {
    const int i = colors->ItemIndex();
    if (i >= 0) chosen.SetColor(kColors[static_cast<std::size_t>(i)].Color);
    refreshSample();
  };
  static_cast<TButton*>(f->FindComponent("OKButton"))->OnClick = [&](TObject*) {
    const std::string name = Trim(nameEdit->Text());
    if (name.empty() || (options_.Contains(fdForceFontExist) && IndexOfText(names->Items(), name) < 0)) {
      MessageBox(DesktopText("There is no font with that name.\nChoose a font from the list of fonts."), DesktopText("Font"),
                 MB_OK | MB_ICONEXCLAMATION);
      nameEdit->SetFocus();
      return;
    }
    int size = 0;
    const int low = minFontSize_ > 0 ? minFontSize_ : 1;
    const int high = maxFontSize_ > 0 ? maxFontSize_ : 1638;
    if (!TryStrToInt(Trim(sizeEdit->Text()), size) || size < low || size > high) {
      std::string text = DesktopText("Size must be between %s and %s points.");
      for (const int bound : {low, high}) text.replace(text.find("%s"), 2, std::to_string(bound));
      MessageBox(text, DesktopText("Font"),
                 MB_OK | MB_ICONEXCLAMATION);
      sizeEdit->SetFocus();
      return;
    }
    chosen.SetName(name);
    chosen.SetSize(size);
    applyStyle();
    f->SetModalResult(mrOk);
  };
  f->SetActiveControl(nameEdit);
  if (RunForm(f) != mrOk) return false;
  font_->Assign(&chosen);
  return true;
}

// --- TFindDialog and TReplaceDialog

TFindDialog::TFindDialog(TComponent* owner) : TCommonDialog(owner) {}

TFindDialog::~TFindDialog() = default;

void TFindDialog::SetFindText(const std::string& v) {
  findText_ = v;
  if (dialog_ != nullptr)
    if (auto* e = dynamic_cast<TEdit*>(dialog_->FindComponent("FindEdit"))) e->SetText(v);
}

void TReplaceDialog::SetReplaceText(const std::string& v) {
  replaceText_ = v;
  if (dialog_ != nullptr)
    if (auto* e = dynamic_cast<TEdit*>(dialog_->FindComponent("ReplaceEdit"))) e->SetText(v);
}

void TFindDialog::SetOptions(TFindOptions v) {
  options_ = v;
  if (dialog_ == nullptr) return;
  if (auto* c = dynamic_cast<TCheckBox*>(dialog_->FindComponent("MatchCaseCheck"))) c->SetChecked(v.Contains(frMatchCase));
  if (auto* c = dynamic_cast<TCheckBox*>(dialog_->FindComponent("WholeWordCheck"))) c->SetChecked(v.Contains(frWholeWord));
  if (auto* r = dynamic_cast<TRadioButton*>(dialog_->FindComponent("DownRadio"))) r->SetChecked(v.Contains(frDown));
  if (auto* r = dynamic_cast<TRadioButton*>(dialog_->FindComponent("UpRadio"))) r->SetChecked(!v.Contains(frDown));
}

bool TFindDialog::Showing() const { return dialog_ != nullptr && dialog_->Visible(); }

void TFindDialog::Build() {
  dialog_.reset(new TForm(nullptr));
  TForm* f = dialog_.get();
  const bool replace = IsReplace();
  DialogFrame(f, DesktopText(replace ? "Replace" : "Find"), 350, replace ? 150 : 100);
  f->SetFormStyle(TFormStyle::fsStayOnTop);
  if (left_ >= 0 && top_ >= 0) {
    f->SetPosition(TPosition::poDesigned);
    f->SetBounds(left_, top_, f->Width(), f->Height());
  }
  TLabel* findLabel = AddLabel(f, f, "FindLabel", DesktopText("Fi&nd what:"), 8, 12, 80);
  auto* findEdit = Add<TEdit>(f, f, "FindEdit", 90, 8, 160, 21);
  findEdit->SetTabStop(true);
  findEdit->SetText(findText_);
  findLabel->SetFocusControl(findEdit);
  int y = 38;
  if (replace) {
    TLabel* replaceLabel = AddLabel(f, f, "ReplaceLabel", DesktopText("Re&place with:"), 8, 42, 80);
    auto* replaceEdit = Add<TEdit>(f, f, "ReplaceEdit", 90, 38, 160, 21);
    replaceEdit->SetTabStop(true);
    replaceEdit->SetText(replaceText_);
    replaceLabel->SetFocusControl(replaceEdit);
    y = 68;
  }
  auto* whole = Add<TCheckBox>(f, f, "WholeWordCheck", 8, y, 150, 17);
  whole->SetCaption(DesktopText("Match &whole word only"));
  whole->SetChecked(options_.Contains(frWholeWord));
  whole->SetVisible(!options_.Contains(frHideWholeWord));
  whole->SetEnabled(!options_.Contains(frDisableWholeWord));
  whole->SetTabStop(true);
  auto* matchCase = Add<TCheckBox>(f, f, "MatchCaseCheck", 8, y + 22, 150, 17);
  matchCase->SetCaption(DesktopText("Match &case"));
  matchCase->SetChecked(options_.Contains(frMatchCase));
  matchCase->SetVisible(!options_.Contains(frHideMatchCase));
  matchCase->SetEnabled(!options_.Contains(frDisableMatchCase));
  matchCase->SetTabStop(true);
  if (!replace) {
    auto* direction = Add<TGroupBox>(f, f, "DirectionGroup", 160, y - 6, 90, 48);
    direction->SetCaption(DesktopText("Direction"));
    direction->SetVisible(!options_.Contains(frHideUpDown));
    direction->SetEnabled(!options_.Contains(frDisableUpDown));
    auto* up = Add<TRadioButton>(f, direction, "UpRadio", 8, 20, 36, 17);
    up->SetCaption(DesktopText("&Up"));
    auto* down = Add<TRadioButton>(f, direction, "DownRadio", 46, 20, 42, 17);
    down->SetCaption(DesktopText("&Down"));
    (options_.Contains(frDown) ? down : up)->SetChecked(true);
  }
  auto* next = AddButton(f, "FindNextButton", DesktopText("&Find Next"), 264, 8);
  next->SetDefault(true);
  next->OnClick = [this](TObject*) { Fire(frFindNext); };
  int by = 36;
  if (replace) {
    AddButton(f, "ReplaceButton", DesktopText("&Replace"), 264, by)->OnClick = [this](TObject*) { Fire(frReplace); };
    AddButton(f, "ReplaceAllButton", DesktopText("Replace &All"), 264, by + 28)->OnClick = [this](TObject*) { Fire(frReplaceAll); };
    by += 56;
  }
  auto* cancel = AddButton(f, "CancelButton", MsgDlgButtonCaption(mbCancel), 264, by);
  cancel->SetCancel(true);
  cancel->OnClick = [this](TObject*) { CloseDialog(); };
  auto* help = AddButton(f, "HelpButton", MsgDlgButtonCaption(mbHelp), 264, by + 28);
  help->SetVisible(options_.Contains(frShowHelp));
  const int context = HelpContext();
  help->OnClick = [context](TObject*) { HelpContextCall(context); };
  // Closing the window only hides the dialog; the component keeps it.
  f->OnClose = [this](TObject*, TCloseAction& action) {
    action = TCloseAction::caHide;
    ReadControls();
    FireEvent(OnClose, this);
  };
  f->SetActiveControl(findEdit);
}

void TFindDialog::ReadControls() {
  if (dialog_ == nullptr) return;
  if (auto* e = dynamic_cast<TEdit*>(dialog_->FindComponent("FindEdit"))) findText_ = e->Text();
  if (auto* e = dynamic_cast<TEdit*>(dialog_->FindComponent("ReplaceEdit"))) replaceText_ = e->Text();
  auto set = [this](TFindOption o, bool on) {
    if (on)
      options_.Include(o);
    else
      options_.Exclude(o);
  };
  if (auto* c = dynamic_cast<TCheckBox*>(dialog_->FindComponent("MatchCaseCheck"))) set(frMatchCase, c->Checked());
  if (auto* c = dynamic_cast<TCheckBox*>(dialog_->FindComponent("WholeWordCheck"))) set(frWholeWord, c->Checked());
  if (auto* r = dynamic_cast<TRadioButton*>(dialog_->FindComponent("DownRadio"))) set(frDown, r->Checked());
}

void TFindDialog::Fire(TFindOption action) {
  ReadControls();
  options_.Exclude(frFindNext);
  options_.Exclude(frReplace);
  options_.Exclude(frReplaceAll);
  options_.Include(action);
  if (action == frFindNext) {
    FireEvent(OnFind, this);
  } else if (auto* r = dynamic_cast<TReplaceDialog*>(this)) {
    FireEvent(r->OnReplace, this);
  }
}

bool TFindDialog::Execute() {
  if (dialog_ != nullptr && dialog_->Visible()) {
    dialog_->BringToFront();
    return true;
  }
  // Built anew each time, so that the options and texts set meanwhile show.
  if (dialog_ != nullptr && dialog_->HandleAllocated()) {
    left_ = dialog_->Left();
    top_ = dialog_->Top();
  }
  Build();
  form_ = dialog_.get();
  FireEvent(OnShow, this);
  dialog_->Show();
  return true;
}

void TFindDialog::CloseDialog() {
  if (dialog_ == nullptr || !dialog_->Visible()) return;
  left_ = dialog_->Left();
  top_ = dialog_->Top();
  dialog_->Close();
}

// --- TPrinterSetupDialog

bool TPrinterSetupDialog::Execute() {
  TPrinter* printer = Printer();
  std::unique_ptr<TForm> form(new TForm(nullptr));
  TForm* f = form.get();
  DialogFrame(f, DesktopText("Print Setup"), 360, 190);
  auto* printerGroup = Add<TGroupBox>(f, f, "PrinterGroup", 8, 6, 260, 54);
  printerGroup->SetCaption(DesktopText("Printer"));
  AddLabel(f, printerGroup, "NameLabel", DesktopText("&Name:"), 8, 24, 50);
  auto* names = Add<TComboBox>(f, printerGroup, "PrinterCombo", 60, 20, 190, 21);
  names->SetStyle(csDropDownList);
  TStrings* printers = printer->Printers();
  names->Items()->Add(DesktopText("(Default printer)"));
  for (int i = 0; i < printers->Count(); ++i) names->Items()->Add(printers->Strings(i));
  int current = -1;
  try {
    current = printer->PrinterIndex();
  } catch (const EPrinter&) {
    current = -1;
  }
  names->SetItemIndex(current + 1);

  auto* paperGroup = Add<TGroupBox>(f, f, "PaperGroup", 8, 66, 160, 54);
  paperGroup->SetCaption(DesktopText("Paper"));
  AddLabel(f, paperGroup, "SizeLabel", DesktopText("Si&ze:"), 8, 24, 36);
  auto* papers = Add<TComboBox>(f, paperGroup, "PaperCombo", 46, 20, 106, 21);
  papers->SetStyle(csDropDownList);
  const TPaperSize* sizes[] = {&PaperA4(), &PaperLetter(), &PaperLegal(), &PaperA5()};
  int paperIndex = 0;
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    papers->Items()->Add(sizes[i]->Name);
    if (sizes[i]->Name == printer->PaperSize().Name) paperIndex = static_cast<int>(i);
  }
  papers->SetItemIndex(paperIndex);

  auto* orientation = Add<TGroupBox>(f, f, "OrientationGroup", 176, 66, 92, 70);
  orientation->SetCaption(DesktopText("Orientation"));
  auto* portrait = Add<TRadioButton>(f, orientation, "PortraitRadio", 8, 20, 80, 17);
  portrait->SetCaption(DesktopText("P&ortrait"));
  auto* landscape = Add<TRadioButton>(f, orientation, "LandscapeRadio", 8, 42, 80, 17);
  landscape->SetCaption(DesktopText("&Landscape"));
  (printer->Orientation() == TPrinterOrientation::poLandscape ? landscape : portrait)->SetChecked(true);

  auto* ok = AddButton(f, "OKButton", MsgDlgButtonCaption(mbOK), 278, 12);
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto* cancel = AddButton(f, "CancelButton", MsgDlgButtonCaption(mbCancel), 278, 40);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  f->SetActiveControl(names);
  if (RunForm(f) != mrOk) return false;
  if (printer->Printing()) {
    MessageBox(DesktopText("Printing in progress"), DesktopText("Print Setup"), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  printer->SetPrinterIndex(std::max(names->ItemIndex(), 0) - 1);
  printer->SetPaperSize(*sizes[static_cast<std::size_t>(std::max(papers->ItemIndex(), 0))]);
  printer->SetOrientation(landscape->Checked() ? TPrinterOrientation::poLandscape : TPrinterOrientation::poPortrait);
  return true;
}

}  // namespace tw
