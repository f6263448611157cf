// The language component: entries, language switching, broadcasting and the chooser list.
#include "multilang/langswitch.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "multilang/hourglass.h"
#include "multilang/langeditor.h"
#include "platform/classes/filer.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/comctrls/tabset.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/rtl/files.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"
#include "platform/win/winapi.h"

namespace tw::multilang {
namespace {

// The names in flight between a posted language message and its receiver, by ticket.  A
// receiver destroyed before its message arrives takes its tickets with it.
struct PendingName {
  const TLangSwitch* Receiver;
  std::string Name;
  std::uint64_t Generation;  // the broadcast it belongs to
};
std::map<LPARAM, PendingName>& PendingNames() {
  static std::map<LPARAM, PendingName> names;
  return names;
}
LPARAM NextTicket() {
  static LPARAM ticket = 0;
  return ++ticket;
}
// Every broadcast is numbered; a component remembers the newest one it followed or made, so a
// message of an older switch that arrives late never switches a window back.
std::uint64_t NextGeneration() {
  static std::uint64_t generation = 0;
  return ++generation;
}

bool IsEditorWindowClass(const std::string& cls) {
  return cls == "TLangEditorForm" || cls == "TAddPropertiesForm" || cls == "TCopyFromForm";
}

TCustomForm* FindOwnerForm(TComponent* owner) {
  if (owner == nullptr) return nullptr;
  if (auto* f = dynamic_cast<TCustomForm*>(owner)) return f;
  return dynamic_cast<TCustomForm*>(owner->Owner());
}

TLangSwitch* FirstSwitchOf(TComponent* form) {
  for (int i = 0; i < form->ComponentCount(); ++i)
    if (auto* s = dynamic_cast<TLangSwitch*>(form->Components(i))) return s;
  return nullptr;
}

}  // namespace

std::string PrivateIniFolder() {
  std::string base;
  if (const char* x = std::getenv("XDG_CONFIG_HOME"); x != nullptr && *x != '\0') {
    base = x;
  } else if (const char* h = std::getenv("HOME"); h != nullptr) {
    base = std::string(h) + "/.config";
  } else {
    base = "/tmp";
  }
  std::string folder = base + "/tidewell/";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

UINT TLangSwitch::LanguageMessage() {
  static const UINT msg = RegisterWindowMessage("TLangSwitch.SelectLanguage");
  return msg;
}

void TLangSwitch::ShowError(const std::string& text) {
  Application()->MessageBox(text, Application()->Title(), MB_OK | MB_ICONERROR);
}

void TLangSwitch::ReportFileError(const std::string& fileName, int code) {
  ShowError(LangFileErrorText(fileName, code));
}

TLangSwitch::TLangSwitch(TComponent* owner) : TMComboBox(owner), filter_(std::make_unique<TStringList>()) {
  ownerForm_ = FindOwnerForm(owner);
  auto e = std::make_unique<TLanguageEntry>();
  e->Kind = ekLanguage;
  e->ID = 0;
  e->Text = "English";
  entries_.push_back(std::move(e));
  HookSystemMenu();
}

TLangSwitch::~TLangSwitch() {
  std::erase_if(PendingNames(), [this](const auto& p) { return p.second.Receiver == this; });
}

std::string TLangSwitch::SectionName() const {
  if (detached_) return section_;
  return (ownerForm_ != nullptr ? std::string(ownerForm_->ClassName()) : std::string()) + Name();
}

// --- language list ------------------------------------------------------------------------

int TLangSwitch::LanguageID(const std::string& name) const {
  for (const auto& e : entries_)
    if (e->Kind == ekLanguage && e->Text == name) return e->ID;
  return -1;
}

std::string TLangSwitch::LanguageName(int id) const {
  for (const auto& e : entries_)
    if (e->Kind == ekLanguage && e->ID == id) return e->Text;
  return {};
}

int TLangSwitch::NextFreeID(const std::vector<int>& reserved) const {
  for (int id = 0; id < 32768; ++id)
    if (std::find(reserved.begin(), reserved.end(), id) == reserved.end() &&
        std::none_of(entries_.begin(), entries_.end(), [id](const auto& e) { return e->Kind == ekLanguage && e->ID == id; }))
      return id;
  return -1;
}

int TLangSwitch::AddLanguage(const std::string& name, const std::string& icon, const std::vector<int>& reserved) {
  if (name.empty() || name == entries_[0]->Text || LanguageID(name) >= 0) return -1;
  int id = NextFreeID(reserved);
  if (id < 0) return -1;
  auto e = std::make_unique<TLanguageEntry>();
  e->Kind = ekLanguage;
  e->ID = id;
  e->Text = name;
  e->Icon = icon;
  entries_.push_back(std::move(e));
  return id;
}

TLanguageEntry& TLangSwitch::AddValue(int id, const std::string& component, const std::string& property,
                                     int valueID, const std::string& text) {
  auto e = std::make_unique<TLanguageEntry>();
  e->Kind = ekValue;
  e->ID = id;
  e->Component = component;
  e->Property = property;
  e->ValueID = valueID;
  e->Text = text;
  entries_.push_back(std::move(e));
  return *entries_.back();
}

bool TLangSwitch::DeleteLanguageValues(int id) {
  if (id <= 0) return false;
  std::erase_if(entries_, [id](const auto& e) { return e->Kind != ekLanguage && e->ID == id; });
  return true;
}

bool TLangSwitch::DeleteLanguage(const std::string& name) {
  int id = LanguageID(name);
  if (id <= 0) return false;
  DeleteLanguageValues(id);
  std::erase_if(entries_, [id](const auto& e) { return e->Kind == ekLanguage && e->ID == id; });
  if (current_ == name) current_ = entries_[0]->Text;
  return true;
}

void TLangSwitch::ClearEntries() { entries_.resize(1); }

bool TLangSwitch::SetLanguageIcon(const std::string& name, const std::string& iconImage) {
  for (auto& e : entries_)
    if (e->Kind == ekLanguage && e->Text == name) {
      e->Icon = iconImage;
      return true;
    }
  return false;
}

bool TLangSwitch::RenameLanguage(const std::string& oldName, const std::string& newName) {
  if (newName.empty() || LanguageID(newName) >= 0) return false;
  for (auto& e : entries_)
    if (e->Kind == ekLanguage && e->Text == oldName) {
      e->Text = newName;
      if (current_ == oldName) current_ = newName;
      if (defaultLanguage_ == oldName && e->ID == 0) defaultLanguage_ = newName;
      return true;
    }
  return false;
}

const TLanguageEntry* TLangSwitch::ItemEntry(int index) const {
  if (index < 0 || index >= Items()->Count()) return nullptr;
  auto* item = reinterpret_cast<const TLanguageEntry*>(Items()->Objects(index));
  // The editor may have deleted the language since the list was filled.
  for (const auto& e : entries_)
    if (e.get() == item && e->Kind == ekLanguage) return item;
  return nullptr;
}

// --- switching ------------------------------------------------------------------------------

void TLangSwitch::Change() {
  TMComboBox::Change();  // the user's OnChange
  int i = ItemIndex();
  if (i >= 0 && i < Items()->Count() && Items()->Objects(i) != 0) SelectLanguage(Items()->Strings(i), true);
}

bool TLangSwitch::SelectLanguage(const std::string& name, bool broadcast) {
  if (ComponentState().Contains(TComponentStateFlag::csDesigning) || detached_ || name == current_) return false;
  if (!loading_ && !languageFile_.empty()) {
    std::int32_t age = FileAge(ExpandedFileName(languageFile_));
    if (age != fileAge_ && age != -1) LoadLanguageFile();
  }
  ++selecting_;
  bool success = false;
  try {
    success = SelectNow(name, broadcast);
  } catch (...) {
    --selecting_;
    throw;
  }
  --selecting_;
  if (selecting_ == 0 && !deferred_.empty()) {
    std::string next = std::move(deferred_);
    deferred_.clear();
    SelectLanguage(next, false);
  }
  return success;
}

bool TLangSwitch::SelectNow(const std::string& name, bool broadcast) {
  FireEvent(OnTranslate, this, name);
  bool success = Translate(name);
  if (updateWinIni_) WriteWinIni();
  int id = LanguageID(name);
  for (int i = 0; i < Items()->Count(); ++i) {
    const TLanguageEntry* e = ItemEntry(i);
    if (e != nullptr && e->ID == id) SetItemIndex(i);
  }
  RefreshLanguageList(true);
  if (broadcast) Broadcast();
  FireEvent(OnTranslated, this, name, success);
  return success;
}

void TLangSwitch::Broadcast() {
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  if (ownerForm_ != nullptr && IsEditorWindowClass(ownerForm_->ClassName())) return;
  std::string name = current_;
  std::uint64_t generation = NextGeneration();
  generation_ = generation;
  TComponent* app = Application();
  for (int i = 0; i < app->ComponentCount(); ++i) {
    auto* form = dynamic_cast<TCustomForm*>(app->Components(i));
    if (form == nullptr) continue;
    for (int j = 0; j < form->ComponentCount(); ++j) {
      auto* other = dynamic_cast<TLangSwitch*>(form->Components(j));
      if (other == nullptr || other == this) continue;
      // The name travels by ticket, so that a receiver never reads freed memory.
      LPARAM ticket = NextTicket();
      PendingNames()[ticket] = PendingName{other, name, generation};
      if (!PostMessage(other->Handle(), LanguageMessage(), 0, ticket)) PendingNames().erase(ticket);
    }
  }
}

void TLangSwitch::WndProc(TMessage& msg) {
  if (msg.Msg == LanguageMessage() && msg.Msg != 0) {
    auto it = PendingNames().find(msg.LParam);
    if (it != PendingNames().end() && it->second.Receiver == this) {
      std::string name = it->second.Name;
      std::uint64_t generation = it->second.Generation;
      PendingNames().erase(it);
      if (generation > generation_) {
        generation_ = generation;
        if (selecting_ > 0) {
          // A switch of this component is under way (its handlers process messages): the
          // newer language follows when it is done, not in the middle of it.
          deferred_ = name;
        } else {
          SelectLanguage(name, false);
        }
      }
    }
    return;
  }
  TMComboBox::WndProc(msg);
}

bool TLangSwitch::Translate(const std::string& name) {
  int id = LanguageID(name);
  if (ComponentState().Contains(TComponentStateFlag::csDesigning) || id == -1) return true;
  std::unique_ptr<HourGlass> wait;
  if (name != current_) {
    current_ = name;
    wait = std::make_unique<HourGlass>();
  }
  ResolveEntries();
  bool failed = false;
  std::vector<const TLanguageEntry*> done;
  if (id != 0) {
    for (auto& e : entries_) {
      if (e->Kind != ekValue || e->ID != id) continue;
      if (e->IsNamedString() || ApplyValue(*e)) {
        done.push_back(e.get());
      } else {
        failed = true;
      }
    }
  }
  for (auto& e : entries_) {
    if (e->Kind != ekValue || e->ID != 0 || e->IsNamedString()) continue;
    bool covered = std::any_of(done.begin(), done.end(), [&](const TLanguageEntry* d) {
      return d->Component == e->Component && d->Property == e->Property && d->ValueID == e->ValueID;
    });
    if (!covered && !ApplyValue(*e)) failed = true;
  }
  return !failed;
}

std::string TLangSwitch::NamedString(const std::string& name) const {
  std::string property = "#" + name;
  auto find = [&](int id) -> std::string {
    for (std::size_t i = 1; i < entries_.size(); ++i) {
      const auto& e = entries_[i];
      if (e->Kind == ekValue && e->ID == id && e->Property == property) return e->Text;
    }
    return {};
  };
  std::string text = find(LanguageID(current_));
  if (text.empty()) text = find(0);
  return text;
}

std::string TLangSwitch::GetString(const std::string& name) {
  Expansion run;
  run.Open.push_back(name);
  return Expand(NamedString(name), run);
}

std::string TLangSwitch::ExpandNamedStrings(const std::string& text) {
  Expansion run;
  return Expand(text, run);
}

// A reference is replaced by the named string it names, itself expanded.  A reference to a
// string that is being expanded (a string that names itself, directly or in a circle) stays as
// it is written, and so does every reference once one expansion has replaced
// kMaxNamedReferences of them or would grow the text past kMaxExpandedLength: the work and the text of
// one expansion are bounded whatever the strings hold, and a loop shows as its text.
std::string TLangSwitch::Expand(const std::string& text, Expansion& run) const {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t a = text.find('&', pos);
    if (a == std::string::npos) break;
    std::size_t b = text.find('&', a + 1);
    if (b == std::string::npos || b - a - 1 > 255) break;
    std::string ref = text.substr(a + 1, b - a - 1);
    if (ref.find(' ') != std::string::npos) break;
    out += text.substr(pos, a - pos);
    pos = b + 1;
    bool open = std::find(run.Open.begin(), run.Open.end(), ref) != run.Open.end();
    if (ref.empty() || open || run.References >= kMaxNamedReferences) {
      out += text.substr(a, b - a + 1);
      continue;
    }
    ++run.References;
    run.Open.push_back(ref);
    std::string sub = Expand(NamedString(ref), run);
    run.Open.pop_back();
    if (out.size() + sub.size() > kMaxExpandedLength) {
      out += text.substr(a, b - a + 1);
      continue;
    }
    out += sub;
  }
  out += text.substr(pos);
  return out;
}

// --- chooser list and adopted controls -------------------------------------------------------

void TLangSwitch::RefreshLanguageList(bool translate) {
  int selectedID = -1;
  int sel = ItemIndex();
  if (sel >= 0 && sel < Items()->Count()) {
    if (const TLanguageEntry* e = ItemEntry(sel)) selectedID = e->ID;
  }
  Items()->Clear();
  ClearItemIcons();
  for (auto& e : entries_) {
    if (e->Kind != ekLanguage || filter_->IndexOf(e->Text) >= 0) continue;
    int index = Items()->AddObject(e->Text, reinterpret_cast<std::intptr_t>(e.get()));
    if (!e->Icon.empty()) {
      try {
        TIcon icon;
        icon.LoadFromBytes(e->Icon);
        SetItemIcon(index, &icon);
      } catch (const Exception&) {
        // an unreadable flag is shown without its icon
      }
    }
  }
  bool designing = ComponentState().Contains(TComponentStateFlag::csDesigning);
  if (!designing && translate && selectedID >= 0) {
    for (auto& e : entries_)
      if (e->Kind == ekValue && e->ID == selectedID && e->Component == Name()) ApplyValue(*e);
  }
  int pick = -1;
  for (int i = 0; i < Items()->Count(); ++i) {
    const TLanguageEntry* e = ItemEntry(i);
    if (e != nullptr && (designing ? e->Text == entries_[0]->Text : e->ID == selectedID)) pick = i;
  }
  if (pick < 0) pick = Items()->IndexOf(defaultLanguage_);
  SetItemIndex(pick);
  FillAdopted();
}

void TLangSwitch::FillAdopted() {
  if (adoptOn_ == nullptr) return;
  SetVisible(false);
  std::string selected = ItemIndex() >= 0 ? Items()->Strings(ItemIndex()) : std::string();
  TMenuItem* menu = dynamic_cast<TMenuItem*>(adoptOn_);
  if (auto* m = dynamic_cast<TMenu*>(adoptOn_)) menu = m->Items();
  // The adopted control is rebuilt only when the languages changed: a click on one of its
  // items switches the language, and that item must outlive its own click.
  auto sameNames = [this](int count, const std::function<std::string(int)>& name) {
    if (count != Items()->Count()) return false;
    for (int i = 0; i < count; ++i)
      if (name(i) != Items()->Strings(i)) return false;
    return true;
  };
  if (menu != nullptr) {
    if (sameNames(menu->Count(), [menu](int i) { return menu->Items(i)->Caption(); })) {
      for (int i = 0; i < menu->Count(); ++i) menu->Items(i)->SetChecked(menu->Items(i)->Caption() == selected);
      return;
    }
    menu->Clear();
    for (int i = Items()->Count() - 1; i >= 0; --i) {
      auto* item = new TMenuItem(menu->Owner() != nullptr ? menu->Owner() : this);
      std::string name = Items()->Strings(i);
      item->SetCaption(name);
      item->SetRadioItem(true);
      item->OnClick = [this, name](TObject*) { AdoptedClick(name); };
      menu->Insert(0, item);
    }
    for (int i = 0; i < menu->Count(); ++i) menu->Items(i)->SetChecked(menu->Items(i)->Caption() == selected);
    return;
  }
  // A tab set, list box, combo box or radio group: one line per language, the chosen one marked.
  auto* list = dynamic_cast<TCustomListBox*>(adoptOn_);
  auto* combo = dynamic_cast<TCustomComboBox*>(adoptOn_);
  auto* tabs = dynamic_cast<TTabSet*>(adoptOn_);
  auto* radio = dynamic_cast<TRadioGroup*>(adoptOn_);
  TStrings* lines = list != nullptr    ? list->Items()
                    : combo != nullptr ? combo->Items()
                    : tabs != nullptr  ? tabs->Tabs()
                    : radio != nullptr ? radio->Items()
                                       : nullptr;
  if (lines == nullptr) return;
  auto chosen = [list, combo, tabs, radio] {
    return list != nullptr    ? list->ItemIndex()
           : combo != nullptr ? combo->ItemIndex()
           : tabs != nullptr  ? tabs->TabIndex()
                              : radio->ItemIndex();
  };
  if (!sameNames(lines->Count(), [lines](int i) { return lines->Strings(i); })) {
    lines->Clear();
    for (int i = 0; i < Items()->Count(); ++i) lines->AddObject(Items()->Strings(i), Items()->Objects(i));
  }
  auto* ctrl = dynamic_cast<TControl*>(adoptOn_);
  ctrl->OnClick = [this, lines, chosen](TObject*) {
    int i = chosen();
    if (i >= 0 && i < lines->Count()) AdoptedClick(lines->Strings(i));
  };
  int index = lines->IndexOf(selected);
  if (list != nullptr) list->SetItemIndex(index);
  if (combo != nullptr) combo->SetItemIndex(index);
  if (tabs != nullptr) tabs->SetTabIndex(index);
  if (radio != nullptr) radio->SetItemIndex(index);
}

void TLangSwitch::AdoptedClick(const std::string& name) {
  std::string selected = ItemIndex() >= 0 ? Items()->Strings(ItemIndex()) : std::string();
  if (name == selected) return;
  SelectLanguage(name, true);
  FireEvent(OnChange, this);
}

void TLangSwitch::SetAdoptOn(TComponent* value) {
  if (value != nullptr && dynamic_cast<TMenuItem*>(value) == nullptr && dynamic_cast<TMenu*>(value) == nullptr &&
      dynamic_cast<TCustomListBox*>(value) == nullptr && dynamic_cast<TCustomComboBox*>(value) == nullptr &&
      dynamic_cast<TTabSet*>(value) == nullptr && dynamic_cast<TRadioGroup*>(value) == nullptr) {
    ShowError("Error setting AdoptOn property, an illigal component");
    return;
  }
  adoptOn_ = value;
  if (value != nullptr) value->FreeNotification(this);
  if (!ComponentState().Contains(TComponentStateFlag::csLoading)) RefreshLanguageList(false);
}

// --- life cycle -----------------------------------------------------------------------------

void TLangSwitch::Loaded() {
  TMComboBox::Loaded();
  if (!languageFile_.empty()) {
    LoadLanguageFile();
  } else {
    RecheckEntries();
    ResolveEntries();
    RefreshLanguageList(true);
    CaptureDefaults();
  }
  // The form shows its design texts, which are the default language's, whether or not the
  // chooser lists it (its filter may leave it out, and then the first item is another one).
  current_ = entries_[0]->Text;
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  std::string start;
  TComponent* app = Application();
  for (int i = 0; i < app->ComponentCount(); ++i) {
    auto* form = dynamic_cast<TCustomForm*>(app->Components(i));
    if (form == nullptr || form == ownerForm_ ||
        (ownerForm_ != nullptr && std::string(form->ClassName()) == ownerForm_->ClassName()))
      continue;
    if (TLangSwitch* s = FirstSwitchOf(form); s != nullptr) {
      int sel = s->ItemIndex();
      if (sel >= 0 && sel < s->Items()->Count() && s->Items()->Objects(sel) != 0) start = s->Items()->Strings(sel);
    }
  }
  if (start.empty()) start = defaultLanguage_;
  int index = Items()->IndexOf(start);
  if (index < 0 && Items()->Count() > 0) index = 0;
  SetItemIndex(index);
  Change();
}

void TLangSwitch::Notification(TComponent* component, TOperation operation) {
  TMComboBox::Notification(component, operation);
  // The adopted control is forgotten whatever its name: it may have none.
  if (operation == TOperation::opRemove && component == adoptOn_) adoptOn_ = nullptr;
  // A detached component's values name another form's components: the components that come
  // and go here are not theirs.
  if (component == this || component->Name().empty() || detached_ ||
      ComponentState().Contains(TComponentStateFlag::csDestroying))
    return;
  bool changed = false;
  if (operation == TOperation::opRemove) {
    for (std::size_t i = 1; i < entries_.size(); ++i) {
      auto& e = entries_[i];
      if (e->ComponentRef == component || (e->Kind == ekValue && e->Component == component->Name())) {
        if (e->Kind == ekValue) {
          e->Kind = ekMissing;
          changed = true;
        }
        e->ComponentRef = nullptr;
        e->PropInfo = nullptr;
      }
    }
  } else if (!ComponentState().Contains(TComponentStateFlag::csLoading)) {
    for (auto& e : entries_)
      if (e->Kind == ekMissing && e->Component == component->Name()) {
        e->Kind = ekValue;
        changed = true;
      }
  }
  if (changed && !languageFile_.empty()) SaveLanguageFile();
}

void TLangSwitch::DefineProperties(TFiler* filer) {
  TMComboBox::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "LanguagesData",
      [this](TStream& stream) {
        std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
        stream.SetPosition(0);
        if (!bytes.empty()) stream.Read(bytes.data(), static_cast<std::int64_t>(bytes.size()));
        if (languageFile_.empty() && !bytes.empty()) ReadLanguagesData(bytes);
      },
      [this](TStream& stream) {
        if (!languageFile_.empty()) return;
        std::string bytes = LanguagesData();
        stream.Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
      },
      true);
}

void TLangSwitch::SwitchToDefault() {
  if (current_ != entries_[0]->Text && !ComponentState().Contains(TComponentStateFlag::csLoading)) {
    bool saved = loading_;
    loading_ = true;
    SelectLanguage(entries_[0]->Text, false);
    loading_ = saved;
  }
}

void TLangSwitch::Browse(TObject* data) {
  if (entries_.empty()) return;
  std::unique_ptr<HourGlass> wait = std::make_unique<HourGlass>();
  if (ItemIndex() < 0 && Items()->Count() > 0) SetItemIndex(0);
  std::string remembered = ItemIndex() >= 0 ? Items()->Strings(ItemIndex()) : current_;
  int rememberedID = LanguageID(remembered);
  bool designing = ComponentState().Contains(TComponentStateFlag::csDesigning);
  // The edited window shows its default texts while the editor is open, but the user's
  // language stays the program's: the editor and every box meanwhile speak it.
  const TUiLanguage userLanguage = UiLanguage();
  if (!designing && rememberedID != 0) SelectLanguage(entries_[0]->Text, false);
  const TUiLanguage windowsLanguage = UiLanguage();
  SetUiLanguage(userLanguage);
  if (!languageFile_.empty()) LoadLanguageFile();
  auto* editor = new TLangEditorForm(Application());
  editor->SetEdited(this, data);
  RecheckEntries();
  ResolveEntries();
  CaptureDefaults();
  // The editor changes the entries in place; Cancel puts back these.
  TLanguageEntries before;
  for (const auto& e : entries_) before.push_back(std::make_unique<TLanguageEntry>(*e));
  wait.reset();
  TModalResult result = mrCancel;
  try {
    result = editor->ShowModal();
  } catch (...) {
    SetUiLanguage(windowsLanguage);
    delete editor;
    throw;
  }
  SetUiLanguage(windowsLanguage);
  if (result == mrOk && !languageFile_.empty()) SaveLanguageFile();
  delete editor;
  if (result != mrOk) {
    // Cancel: the window's languages and texts are those of before.  The editor wrote nothing
    // but a form section the user removed: the file, when there is one, is what the windows
    // read.
    entries_ = std::move(before);
    if (!languageFile_.empty() && FileExists(ExpandedFileName(languageFile_))) LoadLanguageFile();
  }
  RefreshLanguageList(true);
  // The language shown before comes back by its ID: the editor may have renamed it (or deleted
  // it, and then the form keeps the default language).
  remembered = LanguageName(rememberedID);
  if (!designing && rememberedID != 0 && rememberedID != -1 && !remembered.empty()) {
    if (SelectLanguage(remembered, true)) {
      for (int i = 0; i < Items()->Count(); ++i) {
        const TLanguageEntry* e = ItemEntry(i);
        if (e != nullptr && e->ID == rememberedID) SetItemIndex(i);
      }
    }
  } else if (!designing && rememberedID > 0) {
    // The language the windows showed is gone: this one shows the default language now, and
    // so do the others.
    Broadcast();
  }
}

TW_PUBLISHED(TLangSwitch, Prop("LanguageFile", &TLangSwitch::LanguageFile, &TLangSwitch::SetLanguageFile),
             Prop("DefaultLanguage", &TLangSwitch::DefaultLanguage, &TLangSwitch::SetDefaultLanguage),
             Prop("LanguageFilter", &TLangSwitch::LanguageFilter, &TLangSwitch::SetLanguageFilter),
             Prop("AdoptOn", &TLangSwitch::AdoptOn, &TLangSwitch::SetAdoptOn),
             Prop("DisableBrowseAtRunTime", &TLangSwitch::DisableBrowseAtRunTime,
                  &TLangSwitch::SetDisableBrowseAtRunTime),
             Prop("About", &TLangSwitch::About, &TLangSwitch::SetAbout),
             Prop("OnTranslate", &TLangSwitch::OnTranslate), Prop("OnTranslated", &TLangSwitch::OnTranslated));
TW_REGISTER_CLASS(TLangSwitch);

void RegisterMultiLangClasses() {
  RegisterClass<TMComboBox>();
  RegisterClass<TLangSwitch>();
}

}  // namespace tw::multilang
