#include "multilang/langeditor.h"

#include "multilang/addprop.h"
#include "multilang/copyfrom.h"
#include "multilang/langswitch.h"
#include "multilang/mbuttons.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/grids.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/win/winapi.h"

namespace tw::multilang {
namespace {

template <typename T>
T* Make(TLangEditorForm* form, const std::string& name, int left, int top, int width, int height) {
  auto* c = new T(form);
  c->SetName(name);
  c->SetParent(form);
  c->SetBounds(left, top, width, height);
  return c;
}

}  // namespace

TLangEditorForm::TLangEditorForm(TComponent* owner) : TForm(owner) {
  SetCaption("Language Editor");
  SetBounds(80, 60, 520, 380);
  SetKeyPreview(true);
  FormList = Make<TMComboBox>(this, "FormList", 60, 8, 250, 22);
  FormList->SetVisible(true);
  LanguageListBox = Make<TMComboBox>(this, "LanguageListBox", 60, 36, 250, 22);
  LanguageListBox->SetVisible(true);
  LanguageListBox->SetShowIcons(true);
  PropList = Make<TListBox>(this, "PropList", 8, 70, 220, 220);
  GridValues = Make<TStringGrid>(this, "GridValues", 236, 70, 270, 180);
  GridValues->SetColCount(2);
  GridValues->SetFixedCols(0);
  GridValues->SetFixedRows(0);
  EditDropDown = Make<TComboBox>(this, "EditDropDown", 236, 260, 270, 22);
  OKBtn = Make<TButton>(this, "OKBtn", 260, 320, 75, 25);
  OKBtn->SetCaption("OK");
  OKBtn->SetModalResult(mrOk);
  CancelBtn = Make<TButton>(this, "CancelBtn", 340, 320, 75, 25);
  CancelBtn->SetCaption("Cancel");
  CancelBtn->SetModalResult(mrCancel);
  SaveBtn = Make<TButton>(this, "SaveBtn", 420, 320, 75, 25);
  SaveBtn->SetCaption("&Save to");
  SaveBtn->OnClick = [this](TObject*) {
    if (edited_ != nullptr && !edited_->LanguageFile().empty()) SaveToFile(edited_->LanguageFile());
  };
  CopyFromBtn = Make<TButton>(this, "CopyFromBtn", 236, 290, 90, 25);
  CopyFromBtn->SetCaption("Co&py from");
  CopyFromBtn->OnClick = [this](TObject*) {
    int target = ChosenLanguageID();
    if (edited_ == nullptr || target < 0) return;
    auto* dlg = new TCopyFromForm(Application());
    dlg->SetTarget(edited_, target);
    dlg->ShowModal();
    delete dlg;
    FillProperties();
    FillGrid();
  };
  PropAddBtn = Make<TButton>(this, "PropAddBtn", 330, 290, 80, 25);
  PropAddBtn->SetCaption("&Browse");
  PropAddBtn->OnClick = [this](TObject*) {
    int language = ChosenLanguageID();
    if (edited_ == nullptr || language < 0) return;
    auto* dlg = new TAddPropertiesForm(Application());
    dlg->SetEdited(edited_, language);
    dlg->ShowModal();
    delete dlg;
    FillProperties();
    FillGrid();
  };
  MButtons1 = new TMButtons(this);
  MButtons1->SetName("MButtons1");
  LangSwitch1 = new TLangSwitch(this);
  LangSwitch1->SetName("LangSwitch1");
  LangSwitch1->SetParent(this);
  LangSwitch1->SetBounds(8, 320, 120, 22);

  // The editor's own settings: its language file and language, the last language edited.
  try {
    TIniFile ini(SettingsFileName());
    std::string file = ini.ReadString("Default", "LanguageFile", "");
    if (!file.empty()) LangSwitch1->SetLanguageFile(file);
    LangSwitch1->SelectLanguage(ini.ReadString("Default", "Language", "English"), false);
    lastLanguageID_ = ini.ReadInteger("Default", "LastLanguageID", -1);
  } catch (const Exception&) {
    // unreadable settings leave the defaults
  }
  OnClose = [this](TObject*, TCloseAction&) {
    try {
      TIniFile ini(SettingsFileName());
      ini.WriteInteger("Default", "LastLanguageID", ChosenLanguageID());
    } catch (const Exception&) {
    }
  };
  PropList->OnClick = [this](TObject*) { ChooseProperty(PropList->ItemIndex()); };
  LanguageListBox->OnChange = [this](TObject*) {
    EditDropDown->SetText(GridValues->Cells(1, std::max(0, LanguageListBox->ItemIndex())));
  };
  EditDropDown->OnKeyDown = [this](TObject* s, Word& key, TShiftState shift) { EditKeyDown(s, key, shift); };
  OnKeyUp = [this](TObject*, Word& key, TShiftState shift) { HandleBrowseKey(LangSwitch1, key, shift, false); };
}

void TLangEditorForm::SetEdited(TLangSwitch* edited, TObject*) {
  edited_ = edited;
  PropAddBtn->SetEnabled(!edited->DisableBrowseAtRunTime() ||
                         edited->ComponentState().Contains(TComponentStateFlag::csDesigning));
  FormList->Items()->Clear();
  FormList->Items()->Add(edited->SectionName());
  FormList->SetItemIndex(0);
  LanguageListBox->Items()->Clear();
  int pick = 0;
  for (const auto& e : edited->Languages()) {
    if (e->Kind != ekLanguage) continue;
    int i = LanguageListBox->Items()->AddObject(e->Text, reinterpret_cast<std::intptr_t>(e.get()));
    if (e->Text == edited->CurrentLanguage()) pick = i;
  }
  if (lastLanguageID_ >= 0) {
    for (int i = 0; i < LanguageListBox->Items()->Count(); ++i)
      if (reinterpret_cast<TLanguageEntry*>(LanguageListBox->Items()->Objects(i))->ID == lastLanguageID_) pick = i;
  }
  LanguageListBox->SetItemIndex(pick);
  FillProperties();
}

void TLangEditorForm::FillProperties() {
  keys_.clear();
  PropList->Items()->Clear();
  for (const auto& e : edited_->Languages()) {
    if (e->Kind != ekValue) continue;
    bool known = false;
    for (const auto& k : keys_)
      if (k.Component == e->Component && k.Property == e->Property && k.ValueID == e->ValueID) known = true;
    if (known) continue;
    keys_.push_back({e->Component, e->Property, e->ValueID});
    std::string text = e->Component + "." + e->Property;
    if (e->ValueID != -1) text += "%" + std::to_string(e->ValueID);
    PropList->Items()->Add(text);
  }
}

void TLangEditorForm::ChooseProperty(int index) {
  if (index < 0 || index >= PropertyCount()) return;
  chosen_ = index;
  PropList->SetItemIndex(index);
  FillGrid();
}

void TLangEditorForm::FillGrid() {
  int rows = LanguageListBox->Items()->Count();
  GridValues->SetRowCount(std::max(1, rows));
  if (chosen_ < 0) return;
  const Key& k = keys_[static_cast<std::size_t>(chosen_)];
  for (int r = 0; r < rows; ++r) {
    auto* lang = reinterpret_cast<TLanguageEntry*>(LanguageListBox->Items()->Objects(r));
    std::string value;
    for (const auto& e : edited_->Languages())
      if (e->Kind == ekValue && e->ID == lang->ID && e->Component == k.Component && e->Property == k.Property &&
          e->ValueID == k.ValueID)
        value = lang->ID == 0 && !e->IsNamedString() ? edited_->ReadValue(*e) : e->Text;
    GridValues->SetCells(0, r, lang->Text);
    GridValues->SetCells(1, r, value);
  }
  int sel = LanguageListBox->ItemIndex();
  if (sel >= 0) EditDropDown->SetText(GridValues->Cells(1, sel));
}

int TLangEditorForm::ChosenLanguageID() const {
  int sel = LanguageListBox->ItemIndex();
  if (sel < 0) return -1;
  return reinterpret_cast<TLanguageEntry*>(LanguageListBox->Items()->Objects(sel))->ID;
}

bool TLangEditorForm::ChooseLanguage(const std::string& name) {
  int i = LanguageListBox->Items()->IndexOf(name);
  if (i < 0) return false;
  LanguageListBox->SetItemIndex(i);
  FillGrid();
  return true;
}

bool TLangEditorForm::StoreValue(const std::string& text) {
  int id = ChosenLanguageID();
  if (edited_ == nullptr || chosen_ < 0 || id < 0) return false;
  const Key& k = keys_[static_cast<std::size_t>(chosen_)];
  TLanguageEntry* target = nullptr;
  TLanguageEntry* model = nullptr;
  for (auto& e : edited_->Languages()) {
    if (e->Kind != ekValue || e->Component != k.Component || e->Property != k.Property || e->ValueID != k.ValueID)
      continue;
    model = e.get();
    if (e->ID == id) target = e.get();
  }
  if (model == nullptr) return false;
  if (target == nullptr) {
    auto e = std::make_unique<TLanguageEntry>(*model);
    e->ID = id;
    target = e.get();
    edited_->Languages().push_back(std::move(e));
  }
  // The text must suit the property: it is tried on a copy of the entry before it is kept.
  if (!target->IsNamedString() && target->PropInfo != nullptr && target->ComponentRef != nullptr) {
    std::string saved = edited_->ReadValue(*target);
    TLanguageEntry probe = *target;
    probe.Text = text;
    if (!edited_->ApplyValue(probe)) {
      MButtons1->SetTitle("Language Editor");
      MButtons1->SetActive(true);
      Application()->MessageBox(edited_->GetString("EditDropDown_InvalidValue").empty()
                                    ? "Invalid value"
                                    : edited_->GetString("EditDropDown_InvalidValue"),
                                "Language Editor", MB_OK);
      MButtons1->SetActive(false);
      MButtons1->SetTitle("");
      return false;
    }
    probe.Text = saved;
    edited_->ApplyValue(probe);
  }
  target->Text = text;
  FillGrid();
  return true;
}

void TLangEditorForm::EditKeyDown(TObject*, Word& key, TShiftState) {
  if (key == VK_RETURN) {
    StoreValue(EditDropDown->GetText());
    key = 0;
  } else if (key == VK_ESCAPE) {
    FillGrid();
    key = 0;
  } else if (key == VK_NEXT || key == VK_PRIOR) {
    int next = chosen_ + (key == VK_NEXT ? 1 : -1);
    if (next >= 0 && next < PropertyCount()) ChooseProperty(next);
    key = 0;
  }
}

bool TLangEditorForm::SaveToFile(const std::string& fileName) {
  if (edited_ == nullptr) return false;
  return edited_->IsLanName(fileName) ? edited_->SaveLanFile(fileName, edited_->SectionName())
                                      : edited_->SaveIniFile(fileName, edited_->SectionName());
}

std::string TLangEditorForm::SettingsFileName() { return PrivateIniFolder() + "LANGSWITCH.INI"; }

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
