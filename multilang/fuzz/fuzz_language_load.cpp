// A language file of any content loaded by a window's language component, in both of its
// forms (the binary ".LAN" file and the INI form), and then every language it names applied
// to the window: texts for components and properties that may not exist, value numbers out of
// range, odd language names.  The first input byte picks the form; the rest is the file.
// Nothing may crash, hang or leak; a damaged file is reported, never half applied.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "multilang/langswitch.h"
#include "platform/forms/comctrls/combobox.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "platform/rtl/fuzz/scratchfolder.h"
#include "platform/win/display.h"

namespace {

using namespace tw;
using namespace tw::multilang;

class TFuzzForm : public TForm {
  TW_CLASS(TFuzzForm, TForm)
 public:
  explicit TFuzzForm(TComponent* owner) : TForm(owner) {
    SetCaption("Main window");
    auto* label = new TLabel(this);
    label->SetName("Label1");
    label->SetParent(this);
    label->SetCaption("Hello");
    auto* button = new TButton(this);
    button->SetName("Button1");
    button->SetParent(this);
    button->SetCaption("&Cancel");
    auto* menu = new TMainMenu(this);
    menu->SetName("MainMenu1");
    auto* file = new TMenuItem(this);
    file->SetName("File1");
    file->SetCaption("&File");
    menu->Items()->Add(file);
    auto* combo = new TComboBox(this);
    combo->SetName("ComboBox1");
    combo->SetParent(this);
    for (const char* s : {"One", "Two", "Three"}) combo->Items()->Add(s);
    Switch = new TLangSwitch(this);
    Switch->SetName("LangSwitch1");
    Switch->SetParent(this);
  }
  TLangSwitch* Switch;
};

// The scratch folder of the run: the language files, and the settings the component keeps
// (XDG_CONFIG_HOME points here, so the user's own settings are never touched).
const std::string& Folder() {
  static const std::string& folder = [] {
    SelectDisplay("offscreen");
    SetMessageBoxFunc([](const std::string&, const std::string&, unsigned) { return mrOk; });
    // One window made and freed first: the font configuration is read once, from the
    // machine's own settings, and what its reader keeps for good is not counted against an
    // input.
    delete new TFuzzForm(Application());
    DoneApplication();
    const std::string& f = tw::fuzz::ScratchFolder("lang");
    ::setenv("XDG_CONFIG_HOME", f.c_str(), 1);
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const bool lan = (data[0] & 1) == 0;
  const std::string file = Folder() + (lan ? "/Fuzz.lan" : "/Fuzz.ini");
  std::filesystem::remove(Folder() + "/Fuzz.lan");
  std::filesystem::remove(Folder() + "/Fuzz.ini");
  tw::fuzz::WriteScratchFile(file, data + 1, size - 1);

  ResetWindowSystem();
  auto* form = new TFuzzForm(Application());
  form->Switch->SetLanguageFile(file);
  form->Switch->Loaded();
  std::vector<std::string> names;
  for (const auto& e : form->Switch->Languages())
    if (e->Kind == ekLanguage) names.push_back(e->Text);
  for (const std::string& name : names) form->Switch->SelectLanguage(name, false);
  form->Switch->SelectLanguage("English", false);
  delete form;
  DoneApplication();
  return 0;
}
