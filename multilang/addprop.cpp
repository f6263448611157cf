#include "multilang/addprop.h"

#include <algorithm>

#include "multilang/hourglass.h"
#include "multilang/langswitch.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/comctrls/listbox.h"
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
  if (languageID > 0) sw.DeleteLanguageValues(languageID);
  if (languageID >= 0) {
    for (const auto& k : keys) {
      auto e = std::make_unique<TLanguageEntry>();
      e->Kind = ekValue;
      e->ID = languageID;
      e->Component = k.Component;
      e->Property = k.Property;
      e->ValueID = k.ValueID;
      entries.push_back(std::move(e));
      TLanguageEntry& added = *entries.back();
      sw.ResolveEntries();
      if (added.Kind == ekValue) added.Text = sw.ReadValue(added);
    }
  }
  sw.CaptureDefaults();
  // Default named strings that no other language has any more are dropped.
  std::erase_if(entries, [&](const auto& e) {
    if (e->Kind == ekLanguage || e->ID != 0 || !e->IsNamedString()) return false;
    return std::none_of(entries.begin(), entries.end(), [&](const auto& o) {
      return o->Kind != ekLanguage && o->ID != 0 && o->Component == e->Component && o->Property == e->Property;
    });
  });
}

TAddPropertiesForm::TAddPropertiesForm(TComponent* owner) : TForm(owner) {
  SetBounds(100, 100, 560, 400);
  auto place = [this](TControl* c, const std::string& name, int l, int t, int w, int h, const std::string& cap) {
    c->SetName(name);
    c->SetParent(this);
    c->SetBounds(l, t, w, h);
    if (!cap.empty()) c->SetCaption(cap);
  };
  SrcList = new TListBox(this);
  place(SrcList, "SrcList", 8, 24, 220, 240, "");
  DstList = new TListBox(this);
  place(DstList, "DstList", 330, 24, 220, 240, "");
  CaptionCheckBox = new TCheckBox(this);
  place(CaptionCheckBox, "CaptionCheckBox", 8, 280, 80, 20, "Caption");
  CaptionCheckBox->SetChecked(true);
  HintCheckBox = new TCheckBox(this);
  place(HintCheckBox, "HintCheckBox", 90, 280, 80, 20, "Hint");
  ItemsCheckBox = new TCheckBox(this);
  place(ItemsCheckBox, "ItemsCheckBox", 170, 280, 80, 20, "Items");
  AllCheckBox = new TCheckBox(this);
  place(AllCheckBox, "AllCheckBox", 250, 280, 80, 20, "All");
  UserCheckBox = new TCheckBox(this);
  place(UserCheckBox, "UserCheckBox", 8, 306, 20, 20, "");
  FilterName = new TEdit(this);
  place(FilterName, "FilterName", 30, 306, 150, 22, "");
  OKBtn = new TButton(this);
  place(OKBtn, "OKBtn", 380, 340, 75, 25, "&OK");
  OKBtn->SetModalResult(mrOk);
  OKBtn->OnClick = [this](TObject*) { Apply(); };
  CancelBtn = new TButton(this);
  place(CancelBtn, "CancelBtn", 460, 340, 75, 25, "&Cancel");
  CancelBtn->SetModalResult(mrCancel);
  for (TCheckBox* b : {CaptionCheckBox, HintCheckBox, ItemsCheckBox, AllCheckBox, UserCheckBox})
    b->OnClick = [this](TObject*) { Rebuild(); };
  SrcList->OnDblClick = [this](TObject*) { Include(SrcList->ItemIndex()); };
  DstList->OnDblClick = [this](TObject*) { Exclude(DstList->ItemIndex()); };
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
  SrcList->Items()->Clear();
  for (const auto& k : src_) SrcList->Items()->Add(KeyText(k));
  DstList->Items()->Clear();
  for (const auto& k : dst_) DstList->Items()->Add(KeyText(k));
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

void TAddPropertiesForm::AddNamedString(const std::string& identifier) {
  if (identifier.empty() || edited_ == nullptr) return;
  dst_.push_back({edited_->Name(), "#" + identifier, -1});
  Rebuild();
}

void TAddPropertiesForm::Apply() {
  if (edited_ != nullptr) SetTranslatedProperties(*edited_, language_, dst_);
}

}  // namespace tw::multilang
