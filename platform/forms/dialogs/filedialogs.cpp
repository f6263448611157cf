// The open and save dialogs: the file browser form and the checks on the chosen name.
#include "platform/forms/dialogs/filedialogs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/classes/typinfo.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/comctrls/listbox.h"
#include "platform/forms/dialogs/desktoptexts.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw {

namespace fs = std::filesystem;

TW_PUBLISHED(TCommonDialog,
             Prop("HelpContext", &TCommonDialog::HelpContext, &TCommonDialog::SetHelpContext),
             Prop("Ctl3D", &TCommonDialog::Ctl3D, &TCommonDialog::SetCtl3D),
             Prop("OnShow", &TCommonDialog::OnShow),
             Prop("OnClose", &TCommonDialog::OnClose));

TW_PUBLISHED(TOpenDialog,
             Prop("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName),
             Prop("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter),
             Prop("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex),
             Prop("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle),
             Prop("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt),
             Prop("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir),
             Prop("Options", &TOpenDialog::Options, &TOpenDialog::SetOptions),
             Prop("Files", &TOpenDialog::Files),
             Prop("CaptionFileName", &TOpenDialog::CaptionFileName, &TOpenDialog::SetCaptionFileName),
             Prop("CaptionTypeList", &TOpenDialog::CaptionTypeList, &TOpenDialog::SetCaptionTypeList),
             Prop("CaptionDirectory", &TOpenDialog::CaptionDirectory, &TOpenDialog::SetCaptionDirectory),
             Prop("CaptionDrives", &TOpenDialog::CaptionDrives, &TOpenDialog::SetCaptionDrives),
             Prop("CaptionOK", &TOpenDialog::CaptionOK, &TOpenDialog::SetCaptionOK),
             Prop("CaptionCancel", &TOpenDialog::CaptionCancel, &TOpenDialog::SetCaptionCancel),
             Prop("CaptionHelp", &TOpenDialog::CaptionHelp, &TOpenDialog::SetCaptionHelp),
             Prop("CaptionReadOnly", &TOpenDialog::CaptionReadOnly, &TOpenDialog::SetCaptionReadOnly),
             Prop("CaptionNetwork", &TOpenDialog::CaptionNetwork, &TOpenDialog::SetCaptionNetwork));

TW_REGISTER_CLASS(TOpenDialog);
TW_REGISTER_CLASS(TSaveDialog);

// --- the base

TCommonDialog::TCommonDialog(TComponent* owner) : TComponent(owner) {}

TModalResult TCommonDialog::RunForm(TForm* form) {
  form_ = form;
  TModalResult result = mrCancel;
  try {
    FireEvent(OnShow, this);
    result = form->ShowModal();
  } catch (...) {
    form_ = nullptr;
    throw;
  }
  form_ = nullptr;
  FireEvent(OnClose, this);
  return result;
}

// --- patterns and filters

namespace {

// Wildcard match without regard to case; linear back-tracking to the last "*" only, so that no
// pattern can make it take exponential time.
bool Match(const std::string& name, const std::string& pat) {
  std::size_t n = 0, p = 0;
  std::size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pat.size() && pat[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pat.size() && (pat[p] == '?' || CharUpper(pat[p]) == CharUpper(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

std::string ToNative(const std::string& path) { return Win1252ToUtf8(path); }
std::string FromNative(const std::string& path) { return Utf8ToWin1252(path); }

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(fs::path(ToNative(path)), ec);
}

bool IsFile(const std::string& path) {
  std::error_code ec;
  const auto st = fs::status(fs::path(ToNative(path)), ec);
  return !ec && fs::exists(st) && !fs::is_directory(st);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// A path with "." and ".." resolved (without touching the disk).
std::string Normal(const std::string& path) {
  const fs::path p = fs::path(ToNative(path)).lexically_normal();
  std::string s = FromNative(p.string());
  if (s.size() > 1 && s.back() == '/') s.pop_back();
  return s.empty() ? std::string("/") : s;
}

bool LessNoCase(const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; }

}  // namespace

bool MatchesFilePattern(const std::string& name, const std::string& patterns) {
  std::size_t start = 0;
  while (start <= patterns.size()) {
    std::size_t end = patterns.find(';', start);
    if (end == std::string::npos) end = patterns.size();
    const std::string pat = Trim(patterns.substr(start, end - start));
    if (!pat.empty()) {
      if (pat == "*.*" || pat == "*") return true;
      if (Match(name, pat)) return true;
      // "*." stands for names without an extension.
      if (pat.size() >= 2 && pat.back() == '.' && name.find('.') == std::string::npos &&
          Match(name, pat.substr(0, pat.size() - 1)))
        return true;
    }
    start = end + 1;
  }
  return false;
}

std::vector<std::pair<std::string, std::string>> ParseFileFilter(const std::string& filter) {
  std::vector<std::pair<std::string, std::string>> out;
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= filter.size() && !filter.empty()) {
    std::size_t end = filter.find('|', start);
    if (end == std::string::npos) end = filter.size();
    parts.push_back(filter.substr(start, end - start));
    start = end + 1;
  }
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) out.emplace_back(parts[i], parts[i + 1]);
  // A description without its pattern list shows every file.
  if (parts.size() % 2 == 1 && !parts.back().empty()) out.emplace_back(parts.back(), "*.*");
  return out;
}

// --- the browser form

class TOpenDialog::Browser {
 public:
  explicit Browser(TOpenDialog* dialog) : d_(dialog), form_(new TForm(nullptr)) {}
  ~Browser() { form_->Free(); }

  bool Run();

 private:
  void Build();
  void SetFolder(const std::string& folder);
  void FillFolders();
  void FillFiles();
  void FileListChanged();
  void OkClicked();
  // Checks and takes the typed name; false keeps the dialog open.
  bool Accept(const std::string& typed, std::vector<std::string>& chosen);
  std::vector<std::string> TypedNames() const;
  int Warn(const std::string& text, unsigned flags) const;
  std::string Pattern() const;

  TOpenDialog* d_;
  TForm* form_;
  TEdit* name_ = nullptr;
  TListBox* files_ = nullptr;
  TListBox* folders_ = nullptr;
  TLabel* path_ = nullptr;
  TComboBox* types_ = nullptr;
  TComboBox* drives_ = nullptr;
  TCheckBox* readOnly_ = nullptr;
  std::vector<std::pair<std::string, std::string>> filters_;
  std::string folder_;
  std::string typedPattern_;  // a pattern typed into the name field
};

int TOpenDialog::Browser::Warn(const std::string& text, unsigned flags) const {
  const std::string title = d_->title_.empty() ? d_->DefaultTitle() : d_->title_;
  return MessageBox(text, title, flags);
}

std::string TOpenDialog::Browser::Pattern() const {
  if (!typedPattern_.empty()) return typedPattern_;
  const int i = types_->ItemIndex();
  if (i >= 0 && i < static_cast<int>(filters_.size())) return filters_[static_cast<std::size_t>(i)].second;
  return "*.*";
}

void TOpenDialog::Browser::Build() {
  TForm* f = form_;
  f->SetBorderStyle(TFormBorderStyle::bsDialog);
  f->SetBorderIcons({TBorderIcon::biSystemMenu});
  f->SetCaption(d_->title_.empty() ? DesktopText(d_->DefaultTitle()) : d_->title_);
  f->SetPosition(TPosition::poScreenCenter);
  f->SetClientWidth(424);
  f->SetClientHeight(262);

  auto label = [f](const std::string& name, const std::string& caption, int x, int y, int w) {
    auto* l = new TLabel(f);
    l->SetName(name);
    l->SetParent(f);
    l->SetAutoSize(false);
    l->SetBounds(x, y, w, 16);
    l->SetCaption(caption);
    return l;
  };
  TLabel* nameLabel = label("FileNameLabel", DesktopText(d_->captionFileName_), 8, 6, 150);
  name_ = new TEdit(f);
  name_->SetName("FileNameEdit");
  name_->SetParent(f);
  name_->SetBounds(8, 22, 150, 21);
  name_->SetTabStop(true);
  nameLabel->SetFocusControl(name_);

  files_ = new TListBox(f);
  files_->SetName("FileList");
  files_->SetParent(f);
  files_->SetBounds(8, 46, 150, 150);
  files_->SetTabStop(true);
  files_->SetMultiSelect(d_->options_.Contains(ofAllowMultiSelect));
  files_->OnClick = [this](TObject*) { FileListChanged(); };
  files_->OnDblClick = [this](TObject*) {
    FileListChanged();
    OkClicked();
  };

  TLabel* folderLabel = label("FolderLabel", DesktopText(d_->captionDirectory_), 168, 6, 160);
  path_ = label("PathLabel", "", 168, 24, 160);
  path_->SetShowAccelChar(false);
  folders_ = new TListBox(f);
  folders_->SetName("FolderList");
  folders_->SetParent(f);
  folders_->SetBounds(168, 46, 160, 150);
  folders_->SetTabStop(true);
  folders_->OnDblClick = [this](TObject*) {
    const int i = folders_->ItemIndex();
    if (i >= 0) SetFolder(Normal(JoinPath(folder_, folders_->Items()->Strings(i))));
  };
  folderLabel->SetFocusControl(folders_);

  TLabel* typeLabel = label("TypeLabel", DesktopText(d_->captionTypeList_), 8, 204, 150);
  types_ = new TComboBox(f);
  types_->SetName("TypeCombo");
  types_->SetParent(f);
  types_->SetStyle(csDropDownList);
  types_->SetBounds(8, 220, 150, 21);
  types_->SetTabStop(true);
  for (const auto& filter : filters_) types_->Items()->Add(filter.first);
  if (!filters_.empty())
    types_->SetItemIndex(std::clamp(d_->filterIndex_ - 1, 0, static_cast<int>(filters_.size()) - 1));
  types_->OnChange = [this](TObject*) {
    typedPattern_.clear();
    FillFiles();
  };
  typeLabel->SetFocusControl(types_);

  TLabel* driveLabel = label("DriveLabel", DesktopText(d_->captionDrives_), 168, 204, 160);
  drives_ = new TComboBox(f);
  drives_->SetName("DriveCombo");
  drives_->SetParent(f);
  drives_->SetStyle(csDropDownList);
  drives_->SetBounds(168, 220, 160, 21);
  drives_->SetTabStop(true);
  drives_->Items()->Add("/");
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != 0) drives_->Items()->Add(FromNative(home));
  drives_->OnChange = [this](TObject*) {
    const int i = drives_->ItemIndex();
    if (i >= 0) SetFolder(drives_->Items()->Strings(i));
  };
  driveLabel->SetFocusControl(drives_);

  auto* ok = new TButton(f);
  ok->SetName("OKButton");
  ok->SetParent(f);
  ok->SetBounds(340, 22, 75, 23);
  ok->SetCaption(DesktopText(d_->captionOK_));
  ok->SetDefault(true);
  ok->SetTabStop(true);
  ok->OnClick = [this](TObject*) { OkClicked(); };
  auto* cancel = new TButton(f);
  cancel->SetName("CancelButton");
  cancel->SetParent(f);
  cancel->SetBounds(340, 50, 75, 23);
  cancel->SetCaption(DesktopText(d_->captionCancel_));
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  cancel->SetTabStop(true);
  auto* help = new TButton(f);
  help->SetName("HelpButton");
  help->SetParent(f);
  help->SetBounds(340, 78, 75, 23);
  help->SetCaption(DesktopText(d_->captionHelp_));
  help->SetVisible(d_->options_.Contains(ofShowHelp));
  const int context = d_->HelpContext();
  help->OnClick = [context](TObject*) { HelpContextCall(context); };
  readOnly_ = new TCheckBox(f);
  readOnly_->SetName("ReadOnlyCheck");
  readOnly_->SetParent(f);
  readOnly_->SetBounds(340, 110, 80, 17);
  readOnly_->SetCaption(DesktopText(d_->captionReadOnly_));
  readOnly_->SetChecked(d_->options_.Contains(ofReadOnly));
  readOnly_->SetVisible(!d_->options_.Contains(ofHideReadOnly));
  f->SetActiveControl(name_);
  // The window controls carry the identifiers of the window system's open dialog, so that code
  // written for that dialog finds them by identifier.
  f->OnShow = [this, ok, cancel, help](TObject*) {
    const std::pair<TWinControl*, int> ids[] = {{name_, 0x480}, {files_, 0x460}, {folders_, 0x461}, {types_, 0x470},
                                                {drives_, 0x471}, {ok, 1}, {cancel, 2}, {help, 0x40E},
                                                {readOnly_, 0x410}};
    for (const auto& [control, id] : ids) SetWindowLongPtr(control->Handle(), GWL_ID, id);
  };
}

void TOpenDialog::Browser::SetFolder(const std::string& folder) {
  if (!IsFolder(folder)) return;
  folder_ = folder;
  path_->SetCaption(folder_);
  // The "drive" is the home folder for a folder inside it, else the root.
  int drive = 0;
  for (int i = 1; i < drives_->Items()->Count(); ++i) {
    const std::string& root = drives_->Items()->Strings(i);
    if (folder_ == root || folder_.rfind(root + "/", 0) == 0) drive = i;
  }
  if (drives_->ItemIndex() != drive) drives_->SetItemIndex(drive);
  FillFolders();
  FillFiles();
}

void TOpenDialog::Browser::FillFolders() {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(ToNative(folder_)), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (!it->is_directory(ec2)) continue;
    const std::string name = FromNative(it->path().filename().string());
    if (!name.empty() && name[0] != '.') names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  TStrings* items = folders_->Items();
  items->BeginUpdate();
  items->Clear();
  if (folder_ != "/") items->Add("..");
  for (const std::string& n : names) items->Add(n);
  items->EndUpdate();
}

void TOpenDialog::Browser::FillFiles() {
  const std::string pattern = Pattern();
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(fs::path(ToNative(folder_)), ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ec2;
    if (it->is_directory(ec2)) continue;
    const std::string name = FromNative(it->path().filename().string());
    if (!name.empty() && name[0] != '.' && MatchesFilePattern(name, pattern)) names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessNoCase);
  TStrings* items = files_->Items();
  items->BeginUpdate();
  items->Clear();
  for (const std::string& n : names) items->Add(n);
  items->EndUpdate();
}

void TOpenDialog::Browser::FileListChanged() {
  std::vector<std::string> chosen;
  for (int i = 0; i < files_->Items()->Count(); ++i)
    if (files_->MultiSelect() ? files_->Selected(i) : i == files_->ItemIndex()) chosen.push_back(files_->Items()->Strings(i));
  if (chosen.empty()) return;
  if (chosen.size() == 1) {
    name_->SetText(chosen[0]);
    return;
  }
  std::string text;
  for (const std::string& c : chosen) text += (text.empty() ? "\"" : " \"") + c + "\"";
  name_->SetText(text);
}

std::vector<std::string> TOpenDialog::Browser::TypedNames() const {
  const std::string text = Trim(name_->Text());
  std::vector<std::string> names;
  if (text.find('"') == std::string::npos) {
    if (!text.empty()) names.push_back(text);
    return names;
  }
  // Several names in quotes.
  std::size_t pos = 0;
  while ((pos = text.find('"', pos)) != std::string::npos) {
    const std::size_t end = text.find('"', pos + 1);
    if (end == std::string::npos) break;
    if (end > pos + 1) names.push_back(text.substr(pos + 1, end - pos - 1));
    pos = end + 1;
  }
  return names;
}

bool TOpenDialog::Browser::Accept(const std::string& typed, std::vector<std::string>& chosen) {
  std::string name = typed;
  std::replace(name.begin(), name.end(), '\\', '/');
  std::string full = Normal(JoinPath(folder_, name));
  if (ExtractFileExt(ExtractFileName(full)).empty() && !d_->defaultExt_.empty() && !IsFile(full)) {
    std::string ext = d_->defaultExt_;
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
    full += "." + ext;
  }
  const TOpenOptions o = d_->options_;
  const std::string dir = ExtractFileDir(full);
  if (!IsFolder(dir.empty() ? std::string("/") : dir)) {
    if (o.Contains(ofPathMustExist) || o.Contains(ofFileMustExist) || !o.Contains(ofNoValidate)) {
      Warn(full + DesktopText("\nPath does not exist.\nPlease verify the correct path was given."), MB_OK | MB_ICONEXCLAMATION);
      return false;
    }
  }
  const bool exists = IsFile(full);
  if (!exists && o.Contains(ofFileMustExist)) {
    Warn(full + DesktopText("\nFile not found.\nPlease verify the correct file name was given."), MB_OK | MB_ICONEXCLAMATION);
    return false;
  }
  if (!exists && o.Contains(ofCreatePrompt) &&
      Warn(full + DesktopText("\nThis file does not exist.\nDo you want to create it?"), MB_YESNO | MB_ICONQUESTION) != IDYES)
    return false;
  if (exists && d_->IsSaveDialog() && o.Contains(ofOverwritePrompt) &&
      Warn(full + DesktopText(" already exists.\nDo you want to replace it?"), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return false;
  chosen.push_back(full);
  return true;
}

void TOpenDialog::Browser::OkClicked() {
  // Enter in the folder list opens the folder.
  if (form_->ActiveControl() == folders_ && folders_->ItemIndex() >= 0) {
    SetFolder(Normal(JoinPath(folder_, folders_->Items()->Strings(folders_->ItemIndex()))));
    return;
  }
  const std::vector<std::string> names = TypedNames();
  if (names.empty()) return;
  if (names.size() == 1) {
    std::string n = names[0];
    std::replace(n.begin(), n.end(), '\\', '/');
    const std::string full = Normal(JoinPath(folder_, n));
    if (IsFolder(full)) {
      // A folder name moves there.
      SetFolder(full);
      name_->SetText("");
      return;
    }
    if (n.find_first_of("*?") != std::string::npos) {
      // A pattern filters the list.
      const std::string dir = ExtractFileDir(full);
      if (n.find('/') != std::string::npos && IsFolder(dir)) SetFolder(dir);
      typedPattern_ = ExtractFileName(n);
      FillFiles();
      // The pattern stays, selected, so that typing replaces it.
      name_->SetText(typedPattern_);
      name_->SelectAll();
      return;
    }
  }
  std::vector<std::string> chosen;
  for (const std::string& n : names)
    if (!Accept(n, chosen)) return;
  d_->files_->Clear();
  for (const std::string& c : chosen) d_->files_->Add(c);
  d_->fileName_ = chosen.front();
  if (readOnly_->Visible()) {
    if (readOnly_->Checked())
      d_->options_.Include(ofReadOnly);
    else
      d_->options_.Exclude(ofReadOnly);
  }
  form_->SetModalResult(mrOk);
}

bool TOpenDialog::Browser::Run() {
  filters_ = ParseFileFilter(d_->filter_);
  Build();
  // The first folder: the one of FileName, else InitialDir, else the current one.
  std::string start;
  std::string shownName = d_->fileName_;
  std::replace(shownName.begin(), shownName.end(), '\\', '/');
  if (shownName.find('/') != std::string::npos && IsFolder(ExtractFileDir(Normal(JoinPath(GetCurrentDir(), shownName))))) {
    const std::string full = Normal(JoinPath(GetCurrentDir(), shownName));
    start = ExtractFileDir(full);
    shownName = ExtractFileName(full);
  } else if (!d_->initialDir_.empty() && IsFolder(d_->initialDir_)) {
    start = Normal(JoinPath(GetCurrentDir(), d_->initialDir_));
  } else {
    start = GetCurrentDir();
  }
  SetFolder(start.empty() ? std::string("/") : start);
  name_->SetText(shownName);
  if (d_->RunForm(form_) != mrOk) return false;
  if (!filters_.empty()) d_->filterIndex_ = types_->ItemIndex() + 1;
  return true;
}

// --- the dialog components

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute() {
  Browser browser(this);
  return browser.Run();
}

}  // namespace tw
