#include "multilang/addprop.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "multilang/editortexts.h"
#include "multilang/hourglass.h"
#include "multilang/langswitch.h"
#include "multilang/makecontrol.h"
#include "multilang/mbuttons.h"
#include "platform/classes/inifiles.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/dialogs/inputbox.h"
#include "platform/forms/comctrls/outline.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::multilang {

bool TPropertyFilter::Passes(const std::string& p) const {
  return All || (Caption && p == "Caption") || (Hint && p == "Hint") || (Items && p == "Items") ||
         (User && !UserName.empty() && p == UserName);
}

const std::vector<std::string>& PseudoPropertyNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> n = {"CurrencyString", "CurrencyFormat",  "NegCurrFormat",   "ThousandSeparator",
                                  "DecimalSeparator", "CurrencyDecimals", "DateSeparator", "ShortDateFormat",
                                  "LongDateFormat",  "TimeSeparator",   "TimeAMString",    "TimePMString",
                                  "ShortTimeFormat", "LongTimeFormat"};
    for (int i = 1; i <= 12; ++i) n.push_back("ShortMonthNames" + std::to_string(i));
    for (int i = 1; i <= 12; ++i) n.push_back("LongMonthNames" + std::to_string(i));
    for (int i = 1; i <= 7; ++i) n.push_back("ShortDayNames" + std::to_string(i));
    for (int i = 1; i <= 7; ++i) n.push_back("LongDayNames" + std::to_string(i));
    n.push_back("UpdateWindowsINI");
    for (const char* s : {"SystemMenuRestore", "SystemMenuMove", "SystemMenuSize", "SystemMenuMinimize",
                          "SystemMenuMaximize", "SystemMenuClose", "SystemMenuTaskList", "SystemMenuNextWindow"})
      n.push_back(s);
    return n;
  }();
  return names;
}

namespace {

void AddComponent(std::vector<TPropertyKey>& out, TComponent* comp, const std::string& name, const TLangSwitch& sw,
                  const TPropertyFilter& filter) {
  for (const TPropInfo* p : GetPropList(comp)) {
    if (p->Kind == tkMethod || p->ReadOnly() || !filter.Passes(p->Name)) continue;
    if (comp == &sw && p->Name == "Languages") continue;
    if (p->Kind != tkClass) {
      out.push_back({name, p->Name, -1});
      continue;
    }
    TObject* obj = p->Get(comp).AsObject();
    if (obj == nullptr || dynamic_cast<TComponent*>(obj) != nullptr) continue;
    if (auto* lines = dynamic_cast<TStrings*>(obj)) {
      for (int i = 0; i < lines->Count(); ++i) out.push_back({name, p->Name, i});
      continue;
    }
    int n = 0;
    for (const TPropInfo* sub : GetPropList(obj))
      if (sub->Kind != tkMethod) out.push_back({name, p->Name, n++});
  }
  if (comp == &sw && (filter.All || filter.User))
    for (const auto& pseudo : PseudoPropertyNames())
      if (filter.All || pseudo == filter.UserName) out.push_back({name, pseudo, -1});
}

}  // namespace

std::vector<TPropertyKey> TranslatableProperties(TLangSwitch& sw, const TPropertyFilter& filter) {
  std::vector<TPropertyKey> out;
  TCustomForm* form = sw.OwnerForm();
  if (form == nullptr) return out;
  AddComponent(out, form, form->ClassName(), sw, filter);
  for (int i = 0; i < form->ComponentCount(); ++i) {
    TComponent* c = form->Components(i);
    if (!c->Name().empty()) AddComponent(out, c, c->Name(), sw, filter);
  }
  return out;
}

void SetTranslatedProperties(TLangSwitch& sw, int languageID, const std::vector<TPropertyKey>& keys) {
  HourGlass wait;
  auto& entries = sw.Languages();
  // The language keeps the texts it has for the properties still chosen (translations and
  // named strings alike); only a newly chosen property starts from the form's current text.
  std::vector<std::pair<TPropertyKey, std::string>> kept;
  if (languageID > 0) {
    for (const auto& e : entries)
      if (e->Kind != ekLanguage && e->ID == languageID) kept.push_back({{e->Component, e->Property, e->ValueID}, e->Text});
    sw.DeleteLanguageValues(languageID);
  }
  if (languageID > 0) {
    std::vector<TPropertyKey> made;
    for (const auto& k : keys) {
      if (std::find(made.begin(), made.end(), k) != made.end()) continue;  // one value per key
      made.push_back(k);
      auto old = std::find_if(kept.begin(), kept.end(), [&](const auto& p) { return p.first == k; });
      TLanguageEntry& added = sw.AddValue(languageID, k.Component, k.Property, k.ValueID, {});
      if (old != kept.end()) {
        added.Text = old->second;
        continue;
      }
      sw.ResolveEntries();
      if (added.Kind == ekValue) added.Text = sw.ReadValue(added);
    }
  }
  sw.CaptureDefaults();
  // Default named strings that no other language has any more are dropped.  The strings other
  // languages have are noted first: the list cannot be read while entries are taken out of it.
  std::set<std::pair<std::string, std::string>> translated;
  for (const auto& o : entries)
    if (o->Kind != ekLanguage && o->ID != 0 && o->IsNamedString()) translated.insert({o->Component, o->Property});
  std::erase_if(entries, [&](const auto& e) {
    return e->Kind != ekLanguage && e->ID == 0 && e->IsNamedString() && !translated.contains({e->Component, e->Property});
  });
}

TAddPropertiesForm::TAddPropertiesForm(TComponent* owner) : TForm(owner) {
  SetBounds(100, 100, 584, 392);
  LabelAvailable = MakeControl<TLabel>(this, this, "LabelAvailable", 8, 6, 220, 16, "Available properties:");
  LabelChange = MakeControl<TLabel>(this, this, "LabelChange", 346, 6, 220, 16, "Properties to change:");
  SrcList = MakeControl<TOutline>(this, this, "SrcList", 8, 24, 220, 220);
  DstList = MakeControl<TOutline>(this, this, "DstList", 346, 24, 220, 220);
  for (TOutline* list : {SrcList, DstList}) list->SetOutlineStyle(osTreeText);
  // The filter: the property names offered on the left.
  FilterGroup = MakeControl<TGroupBox>(this, this, "FilterGroup", 8, 276, 316, 74, "Property filter:");
  CaptionCheckBox = MakeControl<TCheckBox>(this, FilterGroup, "CaptionCheckBox", 8, 18, 72, 20, "Caption");
  CaptionCheckBox->SetChecked(true);
  HintCheckBox = MakeControl<TCheckBox>(this, FilterGroup, "HintCheckBox", 84, 18, 64, 20, "Hint");
  ItemsCheckBox = MakeControl<TCheckBox>(this, FilterGroup, "ItemsCheckBox", 152, 18, 68, 20, "Items");
  AllCheckBox = MakeControl<TCheckBox>(this, FilterGroup, "AllCheckBox", 224, 18, 84, 20, "All");
  UserCheckBox = MakeControl<TCheckBox>(this, FilterGroup, "UserCheckBox", 8, 44, 20, 20);
  FilterName = MakeControl<TEdit>(this, FilterGroup, "FilterName", 30, 43, 150, 22);
  OKBtn = MakeControl<TButton>(this, this, "OKBtn", 352, 284, 70, 25, "&OK");
  OKBtn->SetModalResult(mrOk);
  OKBtn->OnClick = [this](TObject*) { Apply(); };
  CancelBtn = MakeControl<TButton>(this, this, "CancelBtn", 426, 284, 70, 25, "&Cancel");
  CancelBtn->SetModalResult(mrCancel);
  HelpBtn = MakeControl<TButton>(this, this, "HelpBtn", 500, 284, 66, 25, "&Help");
  IncludeBtn = MakeControl<TButton>(this, this, "IncludeBtn", 234, 60, 106, 25, ">> &INSERT >>");
  ExcludeBtn = MakeControl<TButton>(this, this, "ExcludeBtn", 234, 90, 106, 25, "<< &REMOVE<<");
  ExpandBtn = MakeControl<TButton>(this, this, "ExpandBtn", 234, 130, 106, 25, "E&xpand All");
  NewString = MakeControl<TButton>(this, this, "NewString", 234, 160, 106, 25, "&New string");
  SrcValue = MakeControl<TEdit>(this, this, "SrcValue", 8, 250, 220, 22);
  SrcValue->SetReadOnly(true);
  DstValue = MakeControl<TEdit>(this, this, "DstValue", 346, 250, 220, 22);
  DstValue->SetReadOnly(true);
  MButtons1 = new TMButtons(this);
  MButtons1->SetName("MButtons1");
  LangSwitch1 = AddEditorLanguage(this, 352, 320);
  // The filter of the last use.
  try {
    TIniFile ini(EditorSettingsFileName());
    FilterName->SetText(ini.ReadString("Default", "UserFilterName", ""));
    for (const auto& [key, box] : FilterBoxes()) box->SetChecked(ini.ReadInteger("Default", key, box == CaptionCheckBox) != 0);
  } catch (const Exception&) {
  }
  for (TCheckBox* b : {CaptionCheckBox, HintCheckBox, ItemsCheckBox, AllCheckBox, UserCheckBox})
    b->OnClick = [this](TObject*) { Rebuild(); };
  SrcList->OnDblClick = [this](TObject*) { IncludeSelected(); };
  DstList->OnDblClick = [this](TObject*) { ExcludeSelected(); };
  SrcList->OnClick = [this](TObject*) { ShowValue(SrcList, src_, SrcValue); };
  DstList->OnClick = [this](TObject*) { ShowValue(DstList, dst_, DstValue); };
  IncludeBtn->OnClick = [this](TObject*) { IncludeSelected(); };
  ExcludeBtn->OnClick = [this](TObject*) { ExcludeSelected(); };
  NewString->OnClick = [this](TObject*) { AskNamedString(); };
  HelpBtn->OnClick = [this](TObject*) { ShowEditorHelp(*LangSwitch1); };
  ExpandBtn->OnClick = [this](TObject*) { SetExpanded(!expanded_); };
}

TAddPropertiesForm::~TAddPropertiesForm() {
  try {
    TIniFile ini(EditorSettingsFileName());
    ini.WriteString("Default", "UserFilterName", FilterName->GetText());
    for (const auto& [key, box] : FilterBoxes()) ini.WriteInteger("Default", key, box->Checked() ? 1 : 0);
  } catch (const Exception&) {
  }
}

std::vector<std::pair<const char*, TCheckBox*>> TAddPropertiesForm::FilterBoxes() const {
  return {{"UserFilterState", UserCheckBox}, {"FilterCaption", CaptionCheckBox}, {"FilterItems", ItemsCheckBox},
          {"FilterHint", HintCheckBox},      {"FilterAll", AllCheckBox}};
}

void TAddPropertiesForm::ShowValue(TOutline* list, const std::vector<TPropertyKey>& keys, TEdit* value) {
  value->SetText({});
  const int node = list->SelectedItem();
  if (edited_ == nullptr || node < 1 || node > list->ItemCount()) return;
  const auto data = reinterpret_cast<std::uintptr_t>(list->Items(node)->Data());
  if (data == 0 || data > keys.size()) return;  // a component or a property with lines below it
  const std::size_t i = data - 1;
  TLanguageEntry probe;
  probe.Kind = ekValue;
  probe.ID = 0;
  probe.Component = keys[i].Component;
  probe.Property = keys[i].Property;
  probe.ValueID = keys[i].ValueID;
  TCustomForm* form = edited_->OwnerForm();
  if (form == nullptr) return;
  probe.ComponentRef = probe.Component == form->ClassName() ? form : form->FindComponent(probe.Component);
  if (probe.ComponentRef == nullptr || probe.IsNamedString()) return;
  probe.PropInfo = GetPropInfo(probe.ComponentRef, probe.Property);
  try {
    value->SetText(edited_->ReadValue(probe));
  } catch (const std::exception&) {
  }
}

void TAddPropertiesForm::AskNamedString() {
  std::string name;
  const std::string title = LangSwitch1->GetString("NewString_Title");
  // The box's buttons carry the window's language.
  MButtons1->SetTitle(title);
  MButtons1->SetActive(true);
  bool given = false;
  try {
    given = InputQuery(title, LangSwitch1->GetString("NewString_Name"), name);
  } catch (...) {
    MButtons1->SetActive(false);
    throw;
  }
  MButtons1->SetActive(false);
  if (given) AddNamedString(name);
}

std::string TAddPropertiesForm::KeyText(const TPropertyKey& k) {
  std::string s = k.Component + "." + k.Property;
  if (k.ValueID != -1) s += "%" + std::to_string(k.ValueID);
  return s;
}

void TAddPropertiesForm::SetEdited(TLangSwitch* edited, int languageID) {
  edited_ = edited;
  language_ = languageID;
  SetCaption("Browse properties for " + (edited->OwnerForm() != nullptr ? edited->OwnerForm()->Name() : std::string()));
  dst_.clear();
  for (const auto& e : edited->Languages())
    if (e->Kind == ekValue && e->ID == languageID) dst_.push_back({e->Component, e->Property, e->ValueID});
  Rebuild();
}

void TAddPropertiesForm::FillOutline(TOutline* list, const std::vector<TPropertyKey>& keys, bool expanded) {
  list->BeginUpdate();
  list->Clear();
  int component = 0, property = 0;
  const TPropertyKey* last = nullptr;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const TPropertyKey& k = keys[i];
    void* data = reinterpret_cast<void*>(static_cast<std::uintptr_t>(i + 1));
    if (last == nullptr || last->Component != k.Component) {
      component = list->GetTextItem(k.Component);
      if (component == 0 || list->Items(component)->Level() != 1) component = list->Add(0, k.Component);
      property = 0;
    }
    if (k.ValueID == -1) {
      list->AddChildObject(component, k.Property, data);
      property = 0;
    } else {
      if (property == 0 || last == nullptr || last->Property != k.Property || last->ValueID == -1)
        property = list->AddChild(component, k.Property);
      list->AddChildObject(property, "%" + std::to_string(k.ValueID), data);
    }
    last = &k;
  }
  if (expanded) list->FullExpand();
  list->EndUpdate();
}

std::vector<std::size_t> TAddPropertiesForm::SelectedKeys(TOutline* list) {
  std::vector<std::size_t> out;
  const int node = list->SelectedItem();
  if (node < 1 || node > list->ItemCount()) return out;
  const int level = list->Items(node)->Level();
  for (int i = node; i <= list->ItemCount(); ++i) {
    TOutlineNode* n = list->Items(i);
    if (i > node && n->Level() <= level) break;
    if (const auto data = reinterpret_cast<std::uintptr_t>(n->Data())) out.push_back(data - 1);
  }
  return out;
}

void TAddPropertiesForm::Rebuild() {
  if (edited_ == nullptr) return;
  TPropertyFilter f;
  f.Caption = CaptionCheckBox->Checked();
  f.Hint = HintCheckBox->Checked();
  f.Items = ItemsCheckBox->Checked();
  f.All = AllCheckBox->Checked();
  f.User = UserCheckBox->Checked();
  f.UserName = FilterName->GetText();
  src_.clear();
  for (auto& k : TranslatableProperties(*edited_, f))
    if (std::find(dst_.begin(), dst_.end(), k) == dst_.end()) src_.push_back(k);
  FillOutline(SrcList, src_, expanded_);
  FillOutline(DstList, dst_, expanded_);
  IncludeBtn->SetEnabled(!src_.empty());
  ExcludeBtn->SetEnabled(!dst_.empty());
}

void TAddPropertiesForm::SetExpanded(bool expanded) {
  expanded_ = expanded;
  ExpandBtn->SetCaption(LangSwitch1->GetString(expanded ? "ExpandBtn_Collapse" : "ExpandBtn_Expand"));
  for (TOutline* list : {SrcList, DstList}) {
    if (expanded) list->FullExpand();
    else list->FullCollapse();
  }
}

void TAddPropertiesForm::Include(int srcIndex) {
  if (srcIndex < 0 || srcIndex >= static_cast<int>(src_.size())) return;
  dst_.push_back(src_[static_cast<std::size_t>(srcIndex)]);
  Rebuild();
}

void TAddPropertiesForm::Exclude(int dstIndex) {
  if (dstIndex < 0 || dstIndex >= static_cast<int>(dst_.size())) return;
  dst_.erase(dst_.begin() + dstIndex);
  Rebuild();
}

void TAddPropertiesForm::IncludeSelected() {
  const std::vector<std::size_t> picked = SelectedKeys(SrcList);
  if (picked.empty()) return;
  HourGlass wait;
  for (std::size_t i : picked) dst_.push_back(src_[i]);
  Rebuild();
}

void TAddPropertiesForm::ExcludeSelected() {
  std::vector<std::size_t> picked = SelectedKeys(DstList);
  if (picked.empty()) return;
  HourGlass wait;
  std::sort(picked.rbegin(), picked.rend());
  for (std::size_t i : picked) dst_.erase(dst_.begin() + static_cast<std::ptrdiff_t>(i));
  Rebuild();
}

void TAddPropertiesForm::AddNamedString(const std::string& identifier) {
  if (identifier.empty() || edited_ == nullptr) return;
  // A string chosen already keeps its one entry: a second one of the same name would hide
  // the texts given to the other.
  const TPropertyKey key{edited_->Name(), "#" + identifier, -1};
  if (std::find(dst_.begin(), dst_.end(), key) != dst_.end()) return;
  dst_.push_back(key);
  Rebuild();
}

void TAddPropertiesForm::Apply() {
  if (edited_ != nullptr) SetTranslatedProperties(*edited_, language_, dst_);
}

}  // namespace tw::multilang
