#include "multilang/langeditor.h"

#include <algorithm>
#include <cctype>

#include "multilang/addprop.h"
#include "multilang/copyfrom.h"
#include "multilang/editortexts.h"
#include "multilang/hourglass.h"
#include "multilang/iconfile.h"
#include "multilang/langswitch.h"
#include "multilang/makecontrol.h"
#include "multilang/mbuttons.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/forms/comctrls/outline.h"
#include "platform/forms/dialogs/inputbox.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/gfx/color.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/winapi.h"

namespace tw::multilang {
namespace {

// The colour identifiers offered for a Color property.
constexpr const char* kColorNames[] = {
    "clBlack", "clMaroon", "clGreen", "clOlive", "clNavy", "clPurple", "clTeal", "clGray", "clSilver", "clRed",
    "clLime", "clYellow", "clBlue", "clFuchsia", "clAqua", "clLtGray", "clDkGray", "clWhite", "clScrollBar",
    "clBackground", "clActiveCaption", "clInactiveCaption", "clMenu", "clWindow", "clWindowFrame", "clMenuText",
    "clWindowText", "clCaptionText", "clActiveBorder", "clInactiveBorder", "clAppWorkSpace", "clHighlight",
    "clHighlightText", "clBtnFace", "clBtnShadow", "clGrayText", "clBtnText", "clInactiveCaptionText",
    "clBtnHighlight", "cl3DDkShadow", "cl3DLight", "clInfoText", "clInfoBk", "clNone", "clDefault"};

// The language entry listed in row `index` of the language list.  The list keeps language IDs,
// never entry addresses: loading a file replaces the entries under it.
TLanguageEntry* EntryOf(TLangSwitch* sw, TStrings* items, int index) {
  if (sw == nullptr || index < 0 || index >= items->Count()) return nullptr;
  auto id = items->Objects(index);
  for (const auto& e : sw->Languages())
    if (e->Kind == ekLanguage && e->ID == id) return e.get();
  return nullptr;
}

}  // namespace

TLangEditorForm::TLangEditorForm(TComponent* owner) : TForm(owner) {
  SetCaption("Language Editor");
  SetBounds(80, 60, 560, 430);
  SetClientWidth(556);
  SetClientHeight(424);
  SetKeyPreview(true);
  Image1 = MakeControl<TImage>(this, this, "Image1", 8, 8, 32, 32);

  FormPanel = MakeControl<TPanel>(this, this, "FormPanel", 48, 4, 500, 30);
  MakeControl<TLabel>(this, FormPanel, "LabelForm", 6, 8, 60, 16, "Form:");
  FormList = MakeControl<TMComboBox>(this, FormPanel, "FormList", 80, 4, 300, 22);
  FormList->SetVisible(true);
  FormList->SetShowIcons(true);
  FormDeleteBtn = MakeControl<TButton>(this, FormPanel, "FormDeleteBtn", 390, 3, 80, 24, "Re&move");

  LanguagePanel = MakeControl<TPanel>(this, this, "LanguagePanel", 48, 36, 500, 58);
  MakeControl<TLabel>(this, LanguagePanel, "LabelLanguage", 6, 8, 70, 16, "Language:");
  LanguageListBox = MakeControl<TMComboBox>(this, LanguagePanel, "LanguageListBox", 80, 4, 200, 22);
  LanguageListBox->SetVisible(true);
  LanguageListBox->SetShowIcons(true);
  LanguageListBox->SetStyle(csOwnerDrawFixed);
  MakeControl<TLabel>(this, LanguagePanel, "LabelIcon", 290, 8, 40, 16, "Icon:");
  LangImageBrowse = MakeControl<TButton>(this, LanguagePanel, "LangImageBrowse", 330, 3, 70, 24, "&Load");
  LangImageClear = MakeControl<TButton>(this, LanguagePanel, "LangImageClear", 405, 3, 70, 24, "C&lear");
  LangAddBtn = MakeControl<TButton>(this, LanguagePanel, "LangAddBtn", 80, 30, 70, 24, "&Add");
  LangDeleteBtn = MakeControl<TButton>(this, LanguagePanel, "LangDeleteBtn", 155, 30, 70, 24, "&Delete");
  LangRenameBtn = MakeControl<TButton>(this, LanguagePanel, "LangRenameBtn", 230, 30, 70, 24, "&Rename");

  PropertiesWindow = MakeControl<TPanel>(this, this, "PropertiesWindow", 8, 98, 540, 260);
  MakeControl<TLabel>(this, PropertiesWindow, "LabelProperties", 6, 4, 100, 16, "Properties:");
  PropList = MakeControl<TOutline>(this, PropertiesWindow, "PropList", 6, 22, 220, 200);
  ExpandAllBtn = MakeControl<TButton>(this, PropertiesWindow, "ExpandAllBtn", 6, 228, 100, 24, "E&xpand All");
  PropAddBtn = MakeControl<TButton>(this, PropertiesWindow, "PropAddBtn", 112, 228, 70, 24, "&Browse");
  MakeControl<TLabel>(this, PropertiesWindow, "LabelValues", 236, 4, 100, 16, "Values:");
  GridValues = MakeControl<TStringGrid>(this, PropertiesWindow, "GridValues", 236, 22, 296, 140);
  GridValues->SetColCount(2);
  GridValues->SetFixedCols(0);
  GridValues->SetFixedRows(0);
  GridValues->SetColWidths(0, 100);
  GridValues->SetColWidths(1, 190);
  // The value column takes the room the language column leaves: the grid scrolls only up and
  // down, so the languages stay in sight.
  GridValues->SetScrollBars(TGridScrollBars::ssVertical);
  MakeControl<TLabel>(this, PropertiesWindow, "LabelNewValue", 236, 168, 100, 16, "New Value:");
  EditDropDown = MakeControl<TComboBox>(this, PropertiesWindow, "EditDropDown", 236, 186, 296, 22);
  EditDropDown->SetVisible(false);
  CopyFromBtn = MakeControl<TButton>(this, PropertiesWindow, "CopyFromBtn", 236, 228, 90, 24, "Co&py from");
  LookupText = MakeControl<TCheckBox>(this, PropertiesWindow, "LookupText", 336, 230, 90, 20, "Look&up");
  Directional = MakeControl<TCheckBox>(this, this, "Directional", 8, 366, 120, 20, "Right-To-Left");
  // Texts are drawn left to right whatever this box says: it is shown for the file's sake, but
  // cannot be ticked, and its hint says why.
  Directional->SetEnabled(false);
  Directional->SetHint("Not used: the texts are always shown left to right");
  Directional->SetShowHint(true);

  OKBtn = MakeControl<TButton>(this, this, "OKBtn", 300, 392, 75, 25, "OK");
  OKBtn->SetModalResult(mrOk);
  OKBtn->SetDefault(false);
  CancelBtn = MakeControl<TButton>(this, this, "CancelBtn", 380, 392, 75, 25, "Cancel");
  CancelBtn->SetModalResult(mrCancel);
  HelpBtn = MakeControl<TButton>(this, this, "HelpBtn", 460, 392, 75, 25, "&Help");
  SaveBtn = MakeControl<TButton>(this, this, "SaveBtn", 140, 366, 75, 25, "&Save to");
  LoadBtn = MakeControl<TButton>(this, this, "LoadBtn", 220, 366, 75, 25, "Load &from");
  MButtons1 = new TMButtons(this);
  MButtons1->SetName("MButtons1");
  MOpenDialog1 = new TMOpenDialog(this);
  MOpenDialog1->SetName("MOpenDialog1");
  LangSwitch1 = AddEditorLanguage(this, 8, 392);

  // The editor's own settings: the last language edited and the look-up state.
  try {
    TIniFile ini(SettingsFileName());
    lastLanguageID_ = ini.ReadInteger("Default", "LastLanguageID", -1);
    LookupText->SetChecked(ini.ReadInteger("Default", "LastLookupState", 0) != 0);
  } catch (const Exception&) {
    // unreadable settings leave the defaults
  }

  OKBtn->OnClick = [this](TObject*) { OkCancelClick(); };
  CancelBtn->OnClick = OKBtn->OnClick;
  HelpBtn->OnClick = [this](TObject*) { HelpClick(); };
  SaveBtn->OnClick = [this](TObject*) { SaveClick(); };
  LoadBtn->OnClick = [this](TObject*) { LoadClick(); };
  LangAddBtn->OnClick = [this](TObject*) { AddClick(); };
  LangDeleteBtn->OnClick = [this](TObject*) { DeleteClick(); };
  LangRenameBtn->OnClick = [this](TObject*) { RenameClick(); };
  LangImageBrowse->OnClick = [this](TObject*) { IconClick(); };
  LangImageClear->OnClick = [this](TObject*) {
    if (work_ != nullptr && work_->SetLanguageIcon(ChosenLanguageName(), {})) {
      sectionChanged_ = true;
      ShareLanguages();
      FillLanguages(ChosenLanguageID());
    }
  };
  FormDeleteBtn->OnClick = [this](TObject*) { FormDeleteClick(); };
  FormList->OnChange = [this](TObject*) { ChooseForm(FormList->ItemIndex()); };
  ExpandAllBtn->OnClick = [this](TObject*) {
    expanded_ = !expanded_;
    if (expanded_) PropList->FullExpand(); else PropList->FullCollapse();
    ExpandAllBtn->SetCaption(Text(expanded_ ? "ExpandAllBtn_Collapse" : "ExpandAllBtn_Expand"));
  };
  CopyFromBtn->OnClick = [this](TObject*) {
    int target = ChosenLanguageID();
    if (work_ == nullptr || target < 0) return;
    auto* dlg = new TCopyFromForm(Application());
    dlg->SetTarget(work_, target);
    if (dlg->ShowModal() == mrOk) sectionChanged_ = true;
    delete dlg;
    FillProperties();
    FillGrid();
  };
  PropAddBtn->OnClick = [this](TObject*) {
    int language = ChosenLanguageID();
    if (work_ == nullptr || language < 0) return;
    auto* dlg = new TAddPropertiesForm(Application());
    dlg->SetEdited(work_, language);
    if (dlg->ShowModal() == mrOk) sectionChanged_ = true;
    delete dlg;
    FillProperties();
    FillGrid();
  };
  PropList->OnClick = [this](TObject*) {
    int node = PropList->SelectedItem();
    if (node <= 0) return;
    auto data = reinterpret_cast<std::intptr_t>(PropList->Items(node)->Data());
    if (data > 0) ChooseProperty(static_cast<int>(data - 1));
  };
  LanguageListBox->OnChange = [this](TObject*) { LanguageChanged(); };
  GridValues->OnClick = [this](TObject*) { WriteSetting("LastValueID", GridValues->Row()); };
  GridValues->OnDblClick = [this](TObject*) {
    if (GridValues->Row() != LanguageListBox->ItemIndex()) {
      LanguageListBox->SetItemIndex(GridValues->Row());
      LanguageChanged();
    }
    OpenValueEditor();
  };
  GridValues->OnDrawCell = [this](TObject*, int col, int row, TRect rect, TGridDrawState) {
    TCanvas* c = GridValues->Canvas();
    c->Font()->SetStyle(col == 0 && row == GridValues->Row() ? TFontStyles{TFontStyle::fsBold} : TFontStyles{});
    c->FillRect(rect);
    c->TextRect(rect, rect.Left + 3, rect.Top + 1, GridValues->Cells(col, row));
  };
  EditDropDown->OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { EditKeyDown(s, key, shift); };
  EditDropDown->OnKeyPress = [this](TObject* s, char& key) { EditKeyPress(s, key); };
  EditDropDown->OnExit = [this](TObject*) { CloseValueEditor(true); };
}

std::string TLangEditorForm::Text(const std::string& name, std::initializer_list<std::string> args) const {
  return FillIn(LangSwitch1->GetString(name), args);
}

void TLangEditorForm::WriteSetting(const std::string& key, int value) {
  try {
    TIniFile ini(SettingsFileName());
    ini.WriteInteger("Default", key, value);
  } catch (const Exception&) {
    // the editor works on without its settings file
  }
}

int TLangEditorForm::Ask(const std::string& text, const std::string& title, unsigned flags) {
  MButtons1->SetTitle(title);
  MButtons1->SetActive(true);
  int answer = Application()->MessageBox(text, title, flags);
  MButtons1->SetActive(false);
  MButtons1->SetTitle("");
  return answer;
}

void TLangEditorForm::SetEdited(TLangSwitch* edited, TObject*) {
  edited_ = edited;
  work_ = edited;
  sections_.assign(1, edited);
  FillForms();
  int pick = lastLanguageID_;
  if (edited->LanguageName(pick).empty()) pick = edited->LanguageID(edited->CurrentLanguage());
  FillLanguages(pick);
  FillProperties();
  LanguageChanged();
}

void TLangEditorForm::FillForms() {
  FormList->Items()->Clear();
  FormList->Items()->Add(edited_->SectionName());
  TCustomForm* main = Application()->MainForm();
  if (main != nullptr && main->Icon() != nullptr && !main->Icon()->Empty()) FormList->SetItemIcon(0, main->Icon());
  bool lan = !edited_->LanguageFile().empty() && edited_->IsLanName(edited_->LanguageFile());
  FormList->SetEnabled(lan);
  FormDeleteBtn->SetEnabled(lan);
  sections_.resize(1);
  if (lan) {
    try {
      std::string bytes = ReadFileBytes(edited_->ExpandedFileName(edited_->LanguageFile()));
      for (const auto& s : ParseLanFile(bytes).Sections)
        if (s.Name != edited_->SectionName()) {
          FormList->Items()->Add(s.Name);
          sections_.push_back(nullptr);
        }
    } catch (const Exception&) {
      // a missing or damaged file lists only this form
    }
  }
  FormList->SetItemIndex(0);
}

void TLangEditorForm::ChooseForm(int index) {
  if (index < 0 || index >= static_cast<int>(sections_.size())) return;
  CloseValueEditor(true);
  KeepWorkingSection();
  if (sections_[static_cast<std::size_t>(index)] == nullptr) {
    // The first visit of another form's section: a component of its own holds it, loaded
    // without resolving (its components are not on this form).
    auto* sw = new TLangSwitch(this);
    sw->SetDetached(edited_->LanguageFile(), FormList->Items()->Strings(index));
    sw->LoadLanguageFile();
    // The file holds the languages as they were last saved; the ones added, renamed or
    // deleted since are in the sections already loaded.
    CopyLanguages(*edited_, *sw);
    sections_[static_cast<std::size_t>(index)] = sw;
  }
  work_ = sections_[static_cast<std::size_t>(index)];
  if (FormList->ItemIndex() != index) FormList->SetItemIndex(index);
  sectionChanged_ = false;
  chosen_ = -1;
  FillLanguages(ChosenLanguageID());
  FillProperties();
  LanguageChanged();
}

void TLangEditorForm::KeepWorkingSection() {
  if (work_ == nullptr || work_ == edited_ || !sectionChanged_) return;
  if (std::find(changed_.begin(), changed_.end(), work_) == changed_.end()) changed_.push_back(work_);
  sectionChanged_ = false;
}

void TLangEditorForm::SaveChangedSections() {
  KeepWorkingSection();
  // Each writes the languages too, the same list in every section loaded here.
  for (TLangSwitch* sw : changed_) sw->SaveLanguageFile();
  changed_.clear();
}

void TLangEditorForm::ShareLanguages() {
  for (TLangSwitch* other : sections_)
    if (other != nullptr && other != work_) CopyLanguages(*work_, *other);
}

void TLangEditorForm::CopyLanguages(TLangSwitch& from, TLangSwitch& to) {
  // One language file holds the languages once for all its forms: every section loaded here
  // (and the edited form's) has the same list in the same order, so that whichever of them is
  // saved last writes it whole, and an ID names the same language in every section.  Values
  // of a language that is gone go with it.  Entries of languages kept stay the same objects
  // (the component's chooser points at them).
  auto& entries = to.Languages();
  std::vector<std::unique_ptr<TLanguageEntry>> languages, values;
  for (std::size_t i = 1; i < entries.size(); ++i)
    (entries[i]->Kind == ekLanguage ? languages : values).push_back(std::move(entries[i]));
  entries.resize(1);
  for (const auto& e : from.Languages()) {
    if (e->Kind != ekLanguage) continue;
    std::unique_ptr<TLanguageEntry> kept;
    if (e->ID == 0) {
      entries[0]->ID = 0;
    } else {
      auto same = std::find_if(languages.begin(), languages.end(), [&](const auto& l) { return l && l->ID == e->ID; });
      kept = same != languages.end() ? std::move(*same) : std::make_unique<TLanguageEntry>();
      kept->Kind = ekLanguage;
      kept->ID = e->ID;
    }
    TLanguageEntry& target = e->ID == 0 ? *entries[0] : *kept;
    target.Text = e->Text;
    target.Icon = e->Icon;
    if (kept) entries.push_back(std::move(kept));
  }
  for (auto& v : values)
    if (!to.LanguageName(v->ID).empty()) entries.push_back(std::move(v));
}

void TLangEditorForm::FillLanguages(int selectID) {
  LanguageListBox->Items()->Clear();
  LanguageListBox->ClearItemIcons();
  int pick = -1, current = -1, fallback = -1;
  for (const auto& e : work_->Languages()) {
    if (e->Kind != ekLanguage) continue;
    int i = LanguageListBox->Items()->AddObject(e->Text, static_cast<std::intptr_t>(e->ID));
    if (!e->Icon.empty()) {
      try {
        TIcon icon;
        icon.LoadFromBytes(e->Icon);
        LanguageListBox->SetItemIcon(i, &icon);
      } catch (const Exception&) {
      }
    }
    if (e->ID == selectID) pick = i;
    if (e->Text == work_->CurrentLanguage()) current = i;
    if (e->ID == 0) fallback = i;
  }
  if (pick < 0) pick = current;
  if (pick < 0) pick = fallback;
  if (pick < 0 && LanguageListBox->Items()->Count() > 0) pick = 0;
  LanguageListBox->SetItemIndex(pick);
}

void TLangEditorForm::LanguageChanged() {
  CloseValueEditor(false);
  FillGrid();
  UpdateButtons();
}

void TLangEditorForm::UpdateButtons() {
  TLanguageEntry* lang = EntryOf(work_, LanguageListBox->Items(), LanguageListBox->ItemIndex());
  bool any = lang != nullptr;
  for (TButton* b : {LangImageBrowse, LangDeleteBtn, LangRenameBtn, CopyFromBtn, PropAddBtn}) b->SetEnabled(any);
  LangImageClear->SetEnabled(any && !lang->Icon.empty());
  LangAddBtn->SetEnabled(true);
  bool designing = work_->ComponentState().Contains(TComponentStateFlag::csDesigning);
  if (any && edited_->DisableBrowseAtRunTime() && !designing) PropAddBtn->SetEnabled(false);
  // The property browser lists the edited form's properties: another form's are not here.
  if (work_ != edited_) PropAddBtn->SetEnabled(false);
}

std::string TLangEditorForm::PropertyText(int index) const {
  if (index < 0 || index >= PropertyCount()) return {};
  const Key& k = keys_[static_cast<std::size_t>(index)];
  std::string text = k.Component + "." + k.Property;
  if (k.ValueID != -1) text += "%" + std::to_string(k.ValueID);
  return text;
}

void TLangEditorForm::FillProperties() {
  keys_.clear();
  PropList->BeginUpdate();
  PropList->Clear();
  for (const auto& e : work_->Languages()) {
    if (e->Kind != ekValue) continue;
    bool known = std::any_of(keys_.begin(), keys_.end(), [&](const Key& k) {
      return k.Component == e->Component && k.Property == e->Property && k.ValueID == e->ValueID;
    });
    if (known) continue;
    keys_.push_back({e->Component, e->Property, e->ValueID});
  }
  // One node per component in the order met, its properties below it; the keys follow the
  // outline's order, so Page Down and Page Up walk it.
  std::vector<std::string> components;
  for (const Key& k : keys_)
    if (std::find(components.begin(), components.end(), k.Component) == components.end())
      components.push_back(k.Component);
  auto rank = [&](const Key& k) { return std::find(components.begin(), components.end(), k.Component) - components.begin(); };
  std::stable_sort(keys_.begin(), keys_.end(), [&](const Key& a, const Key& b) { return rank(a) < rank(b); });
  for (const std::string& c : components) {
    int node = PropList->Add(0, c);
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      if (keys_[i].Component != c) continue;
      std::string text = keys_[i].Property;
      if (keys_[i].ValueID != -1) text += "%" + std::to_string(keys_[i].ValueID);
      PropList->AddChildObject(node, text, reinterpret_cast<void*>(static_cast<std::intptr_t>(i + 1)));
    }
  }
  if (expanded_) PropList->FullExpand();
  PropList->EndUpdate();
  if (chosen_ >= PropertyCount()) chosen_ = -1;
}

void TLangEditorForm::ChooseProperty(int index) {
  if (index < 0 || index >= PropertyCount()) return;
  CloseValueEditor(true);
  chosen_ = index;
  int node = PropList->GetDataItem(reinterpret_cast<void*>(static_cast<std::intptr_t>(index + 1)));
  if (node > 0) {
    if (TOutlineNode* parent = PropList->Items(node)->Parent()) parent->Expand();
    PropList->SetSelectedItem(node);
  }
  FillGrid();
}

void TLangEditorForm::FillGrid() {
  int rows = LanguageListBox->Items()->Count();
  GridValues->SetRowCount(std::max(1, rows));
  // Measured on the grid's window, with room kept for a vertical scroll bar.
  GridValues->HandleNeeded();
  const bool vertical = (GetWindowLong(GridValues->Handle(), GWL_STYLE) & WS_VSCROLL) != 0;
  const int room = GridValues->ClientWidth() - (vertical ? 0 : GetSystemMetrics(SM_CXVSCROLL)) -
                   GridValues->ColWidths(0) - 2 * GridValues->GridLineWidth();
  if (room > 20) GridValues->SetColWidths(1, room);
  GridValues->SetLeftCol(0);
  GridValues->SetTopRow(0);
  for (int r = 0; r < GridValues->RowCount(); ++r) {
    TLanguageEntry* lang = EntryOf(work_, LanguageListBox->Items(), r);
    GridValues->SetCells(0, r, lang != nullptr ? lang->Text : std::string());
    GridValues->SetCells(1, r, {});
  }
  if (chosen_ < 0) return;
  const Key& k = keys_[static_cast<std::size_t>(chosen_)];
  bool failed = false;
  for (int r = 0; r < rows; ++r) {
    TLanguageEntry* lang = EntryOf(work_, LanguageListBox->Items(), r);
    if (lang == nullptr) continue;
    for (const auto& e : work_->Languages()) {
      if (e->Kind == ekLanguage || e->ID != lang->ID || e->Component != k.Component || e->Property != k.Property ||
          e->ValueID != k.ValueID)
        continue;
      std::string value = e->Text;
      // The default row shows the design value of the form, when the form is the edited one.
      if (lang->ID == 0 && work_ == edited_ && e->Kind == ekValue && !e->IsNamedString()) {
        try {
          value = work_->ReadValue(*e);
        } catch (const std::exception&) {
          failed = true;
        }
      }
      GridValues->SetCells(1, r, value);
    }
  }
  int sel = LanguageListBox->ItemIndex();
  if (sel >= 0) GridValues->SetRow(sel);
  if (failed) Ask(Text("PropList_Exception"), Caption(), MB_OK | MB_ICONERROR);
}

int TLangEditorForm::ChosenLanguageID() const {
  TLanguageEntry* e = EntryOf(work_, LanguageListBox->Items(), LanguageListBox->ItemIndex());
  return e != nullptr ? e->ID : -1;
}

std::string TLangEditorForm::ChosenLanguageName() const {
  TLanguageEntry* e = EntryOf(work_, LanguageListBox->Items(), LanguageListBox->ItemIndex());
  return e != nullptr ? e->Text : std::string();
}

bool TLangEditorForm::ChooseLanguage(const std::string& name) {
  int i = LanguageListBox->Items()->IndexOf(name);
  if (i < 0) return false;
  LanguageListBox->SetItemIndex(i);
  LanguageChanged();
  return true;
}

// --- the value editor -------------------------------------------------------------------------

void TLangEditorForm::OpenValueEditor() {
  if (chosen_ < 0 || LanguageListBox->ItemIndex() < 0) return;
  editStart_ = GridValues->Cells(1, LanguageListBox->ItemIndex());
  FillDropDown(false);
  EditDropDown->SetText(editStart_);
  EditDropDown->SetVisible(true);
  if (Visible()) EditDropDown->SetFocus();
}

void TLangEditorForm::CloseValueEditor(bool store) {
  // While a refusal is shown the focus leaves the editor; that is no second try.
  if (!EditDropDown->Visible() || refusing_) return;
  std::string text = EditDropDown->GetText();
  EditDropDown->SetVisible(false);
  if (store && text != editStart_ && !StoreValue(text)) {
    // The refused text stays in the editor, so the user can mend it.
    EditDropDown->SetVisible(true);
    EditDropDown->SetText(text);
  }
}

void TLangEditorForm::FillDropDown(bool lookup) {
  EditDropDown->Items()->Clear();
  if (chosen_ < 0) return;
  const Key& k = keys_[static_cast<std::size_t>(chosen_)];
  if (lookup) {
    for (const std::string& s : work_->SoundsLike(EditDropDown->GetText(), ChosenLanguageID()))
      EditDropDown->Items()->Add(s);
    return;
  }
  for (const auto& e : work_->Languages()) {
    if (e->Kind != ekValue || e->Component != k.Component || e->Property != k.Property || e->PropInfo == nullptr)
      continue;
    if (e->PropInfo->Kind == tkEnumeration && e->PropInfo->Enum != nullptr && e->ValueID == -1) {
      for (int v = 0; v < 256; ++v) {
        std::string name = e->PropInfo->Enum->NameOf(v);
        if (name.empty()) break;
        EditDropDown->Items()->Add(name);
      }
    } else if (e->PropInfo->Name == "Color" && e->ValueID == -1) {
      for (const char* name : kColorNames) {
        TColor color = 0;
        if (IdentToColor(name, color)) EditDropDown->Items()->Add(name);
      }
    }
    break;
  }
}

void TLangEditorForm::EditKeyDown(TObject*, Word& key, TShiftState) {
  // With the list open, Enter and Esc belong to the list (take a line, or close it).
  if (EditDropDown->DroppedDown() && (key == VK_RETURN || key == VK_ESCAPE)) return;
  if (key == VK_RETURN) {
    key = 0;
    std::string text = EditDropDown->GetText();
    if (text == editStart_ || StoreValue(text)) {
      EditDropDown->SetVisible(false);
      if (GridValues->CanFocus()) GridValues->SetFocus();
    }
  } else if (key == VK_ESCAPE) {
    key = 0;
    EditDropDown->SetText(editStart_);
  } else if (key == VK_NEXT || key == VK_PRIOR) {
    int next = chosen_ + (key == VK_NEXT ? 1 : -1);
    key = 0;
    if (next < 0 || next >= PropertyCount()) return;
    ChooseProperty(next);
    OpenValueEditor();
  }
}

void TLangEditorForm::EditKeyPress(TObject*, char& key) {
  unsigned char c = static_cast<unsigned char>(key);
  if (LookupText->Checked() && (std::isalnum(c) || c == ' ')) {
    // The look-up sees the text with the typed character.
    std::string text = EditDropDown->GetText() + key;
    FillDropDown(false);
    EditDropDown->Items()->Clear();
    for (const std::string& s : work_->SoundsLike(text, ChosenLanguageID())) EditDropDown->Items()->Add(s);
    if (EditDropDown->Items()->Count() > 0) EditDropDown->SetDroppedDown(true);
  }
}

bool TLangEditorForm::StoreValue(const std::string& text) {
  int id = ChosenLanguageID();
  if (work_ == nullptr || chosen_ < 0 || id < 0) return false;
  const Key& k = keys_[static_cast<std::size_t>(chosen_)];
  TLanguageEntry* target = nullptr;
  TLanguageEntry* model = nullptr;
  for (auto& e : work_->Languages()) {
    if (e->Kind == ekLanguage || e->Component != k.Component || e->Property != k.Property || e->ValueID != k.ValueID)
      continue;
    model = e.get();
    if (e->ID == id) target = e.get();
  }
  if (model == nullptr) return false;
  // The text must suit the property: it is tried on the form and the design value put back.
  // The language component's own format settings are tried the same way (the WIN.INI switch
  // takes any text, and trying it would switch it on).
  const bool pseudo = model->PropInfo == nullptr && model->ComponentRef == work_ && model->Property != "UpdateWindowsINI";
  if (!model->IsNamedString() && model->Kind == ekValue && (model->PropInfo != nullptr || pseudo) &&
      model->ComponentRef != nullptr) {
    TLanguageEntry probe = *model;
    std::string saved = work_->ReadValue(probe);
    probe.Text = text;
    if (!work_->ApplyValue(probe)) {
      refusing_ = true;
      Ask(Text("EditDropDown_InvalidValue", {"'" + text + "'"}), Caption(), MB_OK | MB_ICONERROR);
      refusing_ = false;
      if (EditDropDown->Visible() && EditDropDown->CanFocus()) EditDropDown->SetFocus();
      return false;
    }
    probe.Text = saved;
    work_->ApplyValue(probe);
  }
  if (target == nullptr) {
    auto e = std::make_unique<TLanguageEntry>(*model);
    e->ID = id;
    target = e.get();
    work_->Languages().push_back(std::move(e));
  }
  target->Text = text;
  sectionChanged_ = true;
  FillGrid();
  return true;
}

// --- languages --------------------------------------------------------------------------------

void TLangEditorForm::AddClick() {
  std::string name;
  if (!InputQuery(Text("LangAddBtn_NewLangCaption"), Text("LangAddBtn_NewLangName"), name) || name.empty()) return;
  int id = work_->AddLanguage(name, {}, retired_);
  if (id < 0) {
    Ask(Text("LangAddBtn_Fail", {name}), Caption(), MB_OK | MB_ICONERROR);
    return;
  }
  sectionChanged_ = true;
  ShareLanguages();
  FillLanguages(id);
  LanguageChanged();
}

void TLangEditorForm::DeleteClick() {
  std::string name = ChosenLanguageName();
  if (name.empty()) return;
  std::string prompt = Text("LangDeleteBtn_Prompt", {name});
  if (PropertyCount() > 0) prompt += "\r\n" + Text("LangDeleteBtn_Prompt2");
  if (Ask(prompt, Text("LangDeleteBtn_Title"), MB_YESNO | MB_ICONQUESTION) != IDYES) return;
  int id = work_->LanguageID(name);
  if (!work_->DeleteLanguage(name)) {
    Ask(Text("LangDeleteBtn_Fail", {name}), Caption(), MB_OK | MB_ICONERROR);
    return;
  }
  retired_.push_back(id);
  sectionChanged_ = true;
  ShareLanguages();
  FillLanguages(0);
  FillProperties();
  LanguageChanged();
}

void TLangEditorForm::RenameClick() {
  std::string old = ChosenLanguageName();
  std::string name = old;
  if (!InputQuery(Text("LangRenameBtn_Caption", {old}), Text("LangRenameBtn_Name"), name) || name.empty() ||
      name == old)
    return;
  if (work_->LanguageID(old) < 0) {
    Ask(Text("LangRenameBtn_Fail", {old}), Caption(), MB_OK | MB_ICONERROR);
    return;
  }
  if (work_->LanguageID(name) >= 0) {
    Ask(Text("LangRenameBtn_Exist", {name}), Caption(), MB_OK | MB_ICONERROR);
    return;
  }
  int id = work_->LanguageID(old);
  work_->RenameLanguage(old, name);
  sectionChanged_ = true;
  ShareLanguages();
  FillLanguages(id);
  LanguageChanged();
}

bool TLangEditorForm::RunOpenDialog(const std::string& title, const std::string& filter, const std::string& start,
                                    std::string& chosen, bool mustExist) {
  MOpenDialog1->SetTitle(title);
  MOpenDialog1->SetFilter(filter);
  MOpenDialog1->SetFileName(start);
  MOpenDialog1->SetInitialDir(start.empty() ? std::string() : ExtractFileDir(start));
  TOpenOptions options{ofHideReadOnly};
  if (mustExist) options.Include(ofFileMustExist);
  MOpenDialog1->SetOptions(options);
  if (!MOpenDialog1->Execute()) return false;
  chosen = MOpenDialog1->FileName();
  return !chosen.empty();
}

void TLangEditorForm::IconClick() {
  std::string language = ChosenLanguageName();
  std::string file;
  if (language.empty() ||
      !RunOpenDialog(Text("LangImageBrowse_Title", {language}), Text("LangImageBrowse_Filter"), {}, file, true))
    return;
  LoadIcon(file);
}

bool TLangEditorForm::LoadIcon(const std::string& fileName) {
  std::string image;
  try {
    image = FirstIconImage(ReadFileBytes(fileName));
    if (!image.empty()) {
      TIcon probe;
      probe.LoadFromBytes(image);  // only an image that can be drawn becomes a flag
    }
  } catch (const Exception&) {
    image.clear();
  }
  if (image.empty()) return false;  // a file without an icon changes nothing
  if (image.size() > kIconSlotSize) {
    // A language file keeps one small icon per language; a larger one would be lost on saving.
    Ask(Text("LangImageBrowse_TooLarge", {fileName}), Caption(), MB_OK | MB_ICONERROR);
    return false;
  }
  int id = ChosenLanguageID();
  if (!work_->SetLanguageIcon(ChosenLanguageName(), image)) return false;
  sectionChanged_ = true;
  ShareLanguages();
  FillLanguages(id);
  UpdateButtons();
  return true;
}

// --- files ------------------------------------------------------------------------------------

void TLangEditorForm::LoadClick() {
  std::string file;
  MOpenDialog1->SetDefaultExt("LAN");
  bool ok = RunOpenDialog(Text("LoadBtn_Title"), Text("LoadBtn_Filter"), {}, file, true);
  MOpenDialog1->SetDefaultExt("");
  if (ok) LoadFromFile(file);
}

bool TLangEditorForm::LoadFromFile(const std::string& fileName) {
  CloseValueEditor(false);
  int chosenID = ChosenLanguageID();
  std::string section = FormList->Items()->Strings(std::max(0, FormList->ItemIndex()));
  work_->SetRefreshAfterLoad(false);
  bool read = work_->IsLanName(fileName) ? work_->LoadLanFile(fileName, section) : work_->LoadIniFile(fileName, section);
  work_->SetRefreshAfterLoad(true);
  if (read && work_ == edited_) {
    work_->RecheckEntries();
    work_->ResolveEntries();
    work_->CaptureDefaults();
  }
  if (!read && work_->IsLanName(fileName)) Ask(Text("LoadBtn_InvalidName", {fileName}), Caption(), MB_OK | MB_ICONERROR);
  if (read) {
    sectionChanged_ = true;
    ShareLanguages();
  }
  chosen_ = -1;
  FillLanguages(chosenID);
  FillProperties();
  LanguageChanged();
  return read;
}

void TLangEditorForm::SaveClick() {
  std::string start = edited_->LanguageFile().empty() ? std::string() : edited_->ExpandedFileName(edited_->LanguageFile());
  std::string file;
  if (RunOpenDialog(Text("LoadBtn_Title"), Text("LoadBtn_Filter"), start, file, false)) SaveToFile(file);
}

bool TLangEditorForm::SaveToFile(const std::string& fileName) {
  if (work_ == nullptr) return false;
  CloseValueEditor(true);
  std::string name = work_->ExpandedFileName(fileName);
  std::string section = FormList->Items()->Strings(std::max(0, FormList->ItemIndex()));
  bool lan = work_->IsLanName(name);
  if (lan && FileExists(name)) {
    std::string head;
    try {
      head = ReadFileBytes(name).substr(0, LanHeader().size());
    } catch (const Exception&) {
    }
    if (!HasLanHeader(head) &&
        Ask(Text("SaveBtn_NoLangFile", {name}), Caption(), MB_YESNO | MB_ICONQUESTION) != IDYES)
      return false;
  }
  bool ok = lan ? work_->SaveLanFile(name, section) : work_->SaveIniFile(name, section);
  if (ok)
    Ask(Text("SaveBtn_Success", {name, section}), Caption(), MB_OK | MB_ICONINFORMATION);
  else
    Ask(Text("SaveBtn_Fail", {name}), Caption(), MB_OK | MB_ICONERROR);
  return ok;
}

void TLangEditorForm::FormDeleteClick() {
  int index = FormList->ItemIndex();
  if (index < 0) return;
  std::string section = FormList->Items()->Strings(index);
  if (Ask(Text("FormDeleteBtn_Prompt", {section}), Text("FormDeleteBtn_Title"), MB_YESNO | MB_ICONQUESTION) != IDYES)
    return;
  // The edited form's own section is written again by OK, so it cannot be removed here.
  if (index == 0 || !edited_->DeleteLanSection(edited_->LanguageFile(), section)) {
    Ask(Text("FormDeleteBtn_Fail", {section}), Caption(), MB_OK | MB_ICONERROR);
    return;
  }
  // The other sections keep what was changed in them, for OK.
  KeepWorkingSection();
  TLangSwitch* removed = sections_[static_cast<std::size_t>(index)];
  std::erase(changed_, removed);
  delete removed;
  sections_.erase(sections_.begin() + index);
  FormList->Items()->Delete(index);
  work_ = edited_;
  FormList->SetItemIndex(0);
  ChooseForm(0);
}

void TLangEditorForm::OkCancelClick() {
  CloseValueEditor(ModalResult() == mrOk);
  if (EditDropDown->Visible() && ModalResult() == mrOk) {
    // A refused value stays open for mending rather than being dropped by OK.
    SetModalResult(mrNone);
    return;
  }
  if (FormList->ItemIndex() != 0) ChooseForm(0);
  // Cancel writes nothing; the sections changed here are dropped with the editor.
  if (ModalResult() == mrOk) SaveChangedSections();
  WriteSetting("LastLanguageID", ChosenLanguageID());
  WriteSetting("LastLookupState", LookupText->Checked() ? 1 : 0);
}

void TLangEditorForm::HelpClick() { ShowEditorHelp(*LangSwitch1); }

std::string TLangEditorForm::SettingsFileName() { return EditorSettingsFileName(); }

bool IsBrowseKey(Word key, TShiftState shift, bool exact) {
  if (key != 'E' || !shift.Contains(TShiftStateFlag::ssCtrl) || !shift.Contains(TShiftStateFlag::ssAlt)) return false;
  return !exact || !shift.Contains(TShiftStateFlag::ssShift);
}

bool HandleBrowseKey(TLangSwitch* sw, Word key, TShiftState shift, bool exact) {
  if (sw == nullptr || !IsBrowseKey(key, shift, exact)) return false;
  sw->Browse();
  return true;
}

}  // namespace tw::multilang
