#include "multilang/copyfrom.h"

#include "multilang/editortexts.h"
#include "multilang/hourglass.h"
#include "multilang/langswitch.h"
#include "multilang/makecontrol.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw::multilang {
namespace {

bool SameKey(const TLanguageEntry& a, const TLanguageEntry& b) {
  return a.Component == b.Component && a.Property == b.Property && a.ValueID == b.ValueID;
}

// The design text of a key: the default language's captured value (the form may show another
// language at the moment), else the form's current value.
std::string DesignText(TLangSwitch& sw, TLanguageEntry& e) {
  for (const auto& d : sw.Languages())
    if (d->Kind == ekValue && d->ID == 0 && SameKey(*d, e)) return d->Text;
  if (e.IsNamedString()) return e.Text;
  try {
    return sw.ReadValue(e);
  } catch (const std::exception&) {
    return e.Text;
  }
}

}  // namespace

void CopyLanguageValues(TLangSwitch& sw, int sourceID, int targetID, bool overwrite, TCopySource how) {
  if (targetID < 0 || targetID == sourceID) return;
  sw.ResolveEntries();
  auto& entries = sw.Languages();
  auto textFor = [&](TLanguageEntry& key, const TLanguageEntry* source) -> std::string {
    switch (how) {
      case TCopySource::csSelected: return source != nullptr ? source->Text : key.Text;
      case TCopySource::csExternal: {
        std::string text;
        if (sw.LookupExternal(key.Component, key.Property, key.ValueID, targetID, text)) return text;
        return DesignText(sw, key);
      }
      case TCopySource::csDesign:
      default: return DesignText(sw, key);
    }
  };
  std::size_t count = entries.size();
  for (std::size_t i = 1; i < count; ++i) {
    TLanguageEntry& e = *entries[i];
    if (e.Kind != ekValue) continue;
    if (sourceID >= 0 && e.ID == sourceID) {
      TLanguageEntry* existing = nullptr;
      for (std::size_t j = 1; j < entries.size(); ++j)
        if (entries[j]->Kind != ekLanguage && entries[j]->ID == targetID && SameKey(*entries[j], e))
          existing = entries[j].get();
      if (existing == nullptr) {
        auto copy = std::make_unique<TLanguageEntry>(e);
        copy->ID = targetID;
        copy->Text = textFor(e, &e);
        entries.push_back(std::move(copy));
      } else if (overwrite) {
        existing->Text = textFor(e, &e);
      }
    } else if (sourceID < 0 && e.ID == targetID) {
      e.Text = textFor(e, nullptr);
    }
  }
}

TCopyFromForm::TCopyFromForm(TComponent* owner) : TForm(owner) {
  SetCaption("Copy from dialog");
  SetBounds(120, 120, 360, 290);
  Bevel1 = MakeControl<TBevel>(this, this, "Bevel1", 8, 8, 336, 174);
  LabelCopyFrom = MakeControl<TLabel>(this, this, "LabelCopyFrom", 16, 14, 320, 16, "Copy properties from language:");
  LanguageList = MakeControl<TComboBox>(this, this, "LanguageList", 16, 32, 320, 22);
  LanguageList->SetStyle(csDropDownList);
  // The first item's text as designed; the language component translates it like any line.
  LanguageList->Items()->AddObject("None (only update values)", static_cast<std::intptr_t>(-1));
  Overwrite = MakeControl<TCheckBox>(this, this, "Overwrite", 16, 60, 320, 22, "Overwrite existing properties in %s");
  SetValues = MakeControl<TGroupBox>(this, this, "SetValues", 16, 88, 320, 86, "Set property values based on:");
  Design = MakeControl<TRadioButton>(this, SetValues, "Design", 8, 18, 304, 20, "Design time language");
  Design->SetChecked(true);
  Selected = MakeControl<TRadioButton>(this, SetValues, "Selected", 8, 40, 304, 20, "Language selected above");
  ExternalProp = MakeControl<TRadioButton>(this, SetValues, "ExternalProp", 8, 62, 304, 20,
                                           "Other forms properties that has the same object names");
  OKBtn = MakeControl<TButton>(this, this, "OKBtn", 180, 192, 75, 25, "&OK");
  OKBtn->SetModalResult(mrOk);
  OKBtn->OnClick = [this](TObject*) { ApplyChoice(); };
  CancelBtn = MakeControl<TButton>(this, this, "CancelBtn", 262, 192, 75, 25, "&Cancel");
  CancelBtn->SetModalResult(mrCancel);
  HelpBtn = MakeControl<TButton>(this, this, "HelpBtn", 98, 192, 75, 25, "&Help");
  HelpBtn->OnClick = [this](TObject*) { ShowEditorHelp(*LangSwitch1); };
  LangSwitch1 = AddEditorLanguage(this, 8, 226);
  LanguageList->OnChange = [this](TObject*) { LanguageChanged(); };
}

void TCopyFromForm::SetTarget(TLangSwitch* edited, int targetLanguageID) {
  edited_ = edited;
  target_ = targetLanguageID;
  LanguageList->Items()->Clear();
  LanguageList->Items()->AddObject(LangSwitch1->GetString("LanguageList_None"), static_cast<std::intptr_t>(-1));
  for (const auto& e : edited->Languages())
    if (e->Kind == ekLanguage && e->ID != targetLanguageID)
      LanguageList->Items()->AddObject(e->Text, static_cast<std::intptr_t>(e->ID));
  LanguageList->SetItemIndex(0);
  Overwrite->SetCaption(FillIn(LangSwitch1->GetString("Overwrite_Caption"), {edited->LanguageName(targetLanguageID)}));
  LanguageChanged();
}

void TCopyFromForm::LanguageChanged() {
  bool none = LanguageList->ItemIndex() <= 0;
  ExternalProp->SetEnabled(edited_ != nullptr && !edited_->LanguageFile().empty());
  if (none) Overwrite->SetChecked(true);
  Overwrite->SetEnabled(!none);
  Selected->SetEnabled(!none);
}

void TCopyFromForm::ApplyChoice() {
  if (edited_ == nullptr) return;
  HourGlass wait;
  int i = LanguageList->ItemIndex();
  int source = i <= 0 ? -1 : static_cast<int>(LanguageList->Items()->Objects(i));
  TCopySource how = Selected->Checked() && source >= 0 ? TCopySource::csSelected
                    : ExternalProp->Checked()          ? TCopySource::csExternal
                                                       : TCopySource::csDesign;
  CopyLanguageValues(*edited_, source, target_, Overwrite->Checked() || source < 0, how);
}

}  // namespace tw::multilang
