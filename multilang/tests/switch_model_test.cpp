// Random sequences of language switches on two windows against a small model: after every step
// each translated property shows the text of the current language, or the design text where
// that language has none.  The steps are the routes the program takes: a switch on the window,
// the chooser, a switch broadcast from the other window, a name that is no language, and the
// language file changed on disk (read again at the next switch).  Also the chooser itself: the
// language it starts with when it leaves out the default one, and its items' icons.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <map>
#include <random>

#include "multilang/iconfile.h"
#include "multilang/langeditor.h"
#include "multilang/tests/multilang_fixture.h"
#include "platform/rtl/formatsettings.h"

namespace tw::multilang {
namespace {

class SwitchModelTest : public LangSwitchTest {};

struct Key {
  std::string Component, Property;
  int ValueID;
  bool operator<(const Key& o) const {
    return std::tie(Component, Property, ValueID) < std::tie(o.Component, o.Property, o.ValueID);
  }
};

TEST_F(SwitchModelTest, EveryPropertyShowsTheCurrentLanguageAfterAnySequenceOfSwitches) {
  ScopedFormatSettings keep;
  const std::vector<std::string> names = {"English", "Deutsch", "Svenska", "Dansk"};
  const std::vector<Key> keys = {{"Label1", "Caption", -1},         {"Button1", "Caption", -1},
                                 {"File1", "Caption", -1},          {"ComboBox1", "Items", 1},
                                 {"ComboBox1", "Items", 3},         {"TTestMainForm", "Caption", -1},
                                 {"LangSwitch1", "DecimalSeparator", -1}, {"LangSwitch1", "LongMonthNames1", -1}};
  const std::string path = this->file;
  std::map<Key, std::string> design;
  const std::string long300(300, 'x');
  // The file's texts per key and language ID (English, the default, has none of its own).
  std::map<Key, std::map<int, std::string>> file;
  file[keys[0]] = {{1, "Hallo"}, {2, "Hej"}};
  file[keys[1]] = {{1, "Schlie\xDF" "en"}};  // beyond ASCII (Windows-1252)
  file[keys[2]] = {{1, "&Datei"}, {2, "&Arkiv"}};
  file[keys[3]] = {{1, "Zwei"}};
  file[keys[4]] = {{2, "Fyra " + long300}};
  file[keys[5]] = {{1, "Hauptfenster"}};
  file[keys[6]] = {{1, ","}};
  file[keys[7]] = {{1, "Januar"}, {2, "januari"}};
  auto writeFile = [&] {
    TLanFile f;
    f.HasLanguages = true;
    f.Languages.Stamp = "46000";
    for (int id = 0; id < static_cast<int>(names.size()); ++id)
      f.Languages.Languages.push_back({0, static_cast<std::int16_t>(id), names[static_cast<std::size_t>(id)], ""});
    std::vector<TLanValue> values;
    for (const auto& [k, texts] : file)
      for (const auto& [id, text] : texts) values.push_back(V(id, text, k.Component, k.Property, k.ValueID));
    f.Sections.push_back({"TTestMainFormLangSwitch1", BuildFormBody(values)});
    f.Sections.push_back({"TTestOtherFormLangSwitch1", BuildFormBody({V(1, "Gut", "OKBtn", "Caption")})});
    AtomicWriteFile(path, BuildLanFile(f));
  };
  writeFile();

  FormatSettings().DecimalSeparator = '.';
  FormatSettings().LongMonthNames[0] = "January";
  TTestMainForm* main = MakeMain();
  auto* other = new TTestOtherForm(Application());
  other->LangSwitch1->SetLanguageFile(path);
  other->LangSwitch1->Loaded();
  TLangSwitch* sw = main->LangSwitch1;
  sw->SetVisible(true);
  main->Show();
  Pump();

  auto shown = [&](const Key& k) -> std::string {
    if (k.Component == "Label1") return main->Label1->Caption();
    if (k.Component == "Button1") return main->Button1->Caption();
    if (k.Component == "File1") return main->File1->Caption();
    if (k.Component == "ComboBox1") return main->ComboBox1->Items()->Strings(k.ValueID);
    if (k.Component == "TTestMainForm") return main->Caption();
    if (k.Property == "DecimalSeparator") return std::string(1, FormatSettings().DecimalSeparator);
    return FormatSettings().LongMonthNames[0];
  };
  for (const Key& k : keys) design[k] = shown(k);

  // The model: the texts the component holds (the file as last read) and the language shown.
  auto held = file;
  std::string current = "English";
  bool fileChanged = false;
  int age = 0;
  auto idOf = [&](const std::string& name) {
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
  };
  // A switch of the main window, as the component does it: a file changed on disk is read
  // first (which shows the default texts), then the language is applied when it is known.
  auto switchTo = [&](const std::string& name) {
    if (name == current) return;
    if (fileChanged) {
      held = file;
      fileChanged = false;
      current = "English";
    }
    if (idOf(name) >= 0) current = name;
  };
  auto check = [&](const std::string& step) {
    const int id = idOf(current);
    ASSERT_EQ(sw->CurrentLanguage(), current) << step;
    ASSERT_EQ(sw->Items()->Strings(sw->ItemIndex()), current) << step;
    for (const Key& k : keys) {
      auto t = held[k].find(id);
      const std::string want = t != held[k].end() ? t->second : design[k];
      ASSERT_EQ(shown(k), want) << step << ": " << k.Component << "." << k.Property << "%" << k.ValueID;
    }
    ASSERT_EQ(other->OKBtn->Caption(), other->LangSwitch1->CurrentLanguage() == "Deutsch" ? "Gut" : "OK") << step;
  };

  std::mt19937 rng(20261207);
  for (int step = 0; step < 300; ++step) {
    const std::string name = names[rng() % names.size()];
    std::string what;
    switch (rng() % 6) {
      case 0:
        what = "select " + name;
        sw->SelectLanguage(name, false);
        switchTo(name);
        break;
      case 1:
        // The user walks the chooser with the arrow keys: each item passed is chosen.
        what = "chooser " + name;
        sw->SetFocus();
        while (sw->ItemIndex() != sw->Items()->IndexOf(name)) {
          const bool down = sw->ItemIndex() < sw->Items()->IndexOf(name);
          InjectKey(down ? VK_DOWN : VK_UP);
          Pump();
          switchTo(names[static_cast<std::size_t>(idOf(current) + (down ? 1 : -1))]);
          check(what);
          if (HasFatalFailure()) return;
        }
        break;
      case 2:
        // The other window switches and tells this one; it first follows the main window's
        // language, so that its broadcast is a change.
        what = "broadcast " + name;
        if (other->LangSwitch1->CurrentLanguage() != name) {
          other->LangSwitch1->SelectLanguage(name, true);
          Pump();
          switchTo(name);
        }
        break;
      case 3:
        what = "no language";
        sw->SelectLanguage("Klingon", false);
        switchTo("Klingon");
        break;
      default: {
        // The file changes on disk: a text changed, added or taken away.
        const Key& k = keys[rng() % keys.size()];
        const int id = 1 + static_cast<int>(rng() % 3);
        what = "file " + k.Component + " " + std::to_string(id);
        if (rng() % 3 == 0) file[k].erase(id);
        else if (k.Property == "DecimalSeparator") file[k][id] = std::string(1, ";,:"[rng() % 3]);
        else file[k][id] = "T" + std::to_string(step) + (rng() % 4 == 0 ? long300 : "");
        writeFile();
        age += 10;
        struct stat st {};
        stat(path.c_str(), &st);
        utimbuf t{st.st_atime + age, st.st_mtime + age};
        utime(path.c_str(), &t);
        fileChanged = true;
        break;
      }
    }
    Pump();
    check("step " + std::to_string(step) + " (" + what + ")");
    if (HasFatalFailure()) return;
  }
}


TEST_F(SwitchModelTest, AWindowWhoseChooserLeavesOutTheDefaultLanguageShowsTheLanguageItOffers) {
  WriteSample();
  auto* f = new TTestMainForm(Application());
  TLangSwitch* sw = f->LangSwitch1;
  sw->LanguageFilter()->Add("English");
  sw->SetLanguageFile(file);
  sw->Loaded();
  ASSERT_EQ(sw->Items()->Count(), 2);
  ASSERT_EQ(sw->ItemIndex(), 0);
  EXPECT_EQ(sw->Items()->Strings(0), "Deutsch");
  EXPECT_EQ(sw->CurrentLanguage(), "Deutsch");
  EXPECT_EQ(f->Label1->Caption(), "Hallo") << "the window shows the language its chooser shows";
  // The default language is still there by name.
  EXPECT_TRUE(sw->SelectLanguage("English", false));
  EXPECT_EQ(f->Label1->Caption(), "Hello");
  EXPECT_TRUE(sw->SelectLanguage("Deutsch", false));
  EXPECT_EQ(f->Label1->Caption(), "Hallo");
}


// The chooser is filled again after every change of the languages: each item shows its own
// language's icon, and an item whose language has none shows none, whatever stood there before.
TEST_F(SwitchModelTest, EveryChooserItemShowsItsOwnLanguagesIconAfterTheLanguagesChange) {
  const std::string flag = SmallIconFile();
  TLanFile f = Sample();
  f.Languages.Languages = {{0, 0, "English", ""}, {0, 1, "Deutsch", flag}, {0, 2, "Svenska", ""}, {0, 3, "Dansk", flag}};
  AtomicWriteFile(file, BuildLanFile(f));
  TLangSwitch* sw = MakeMain()->LangSwitch1;
  auto icons = [&] {
    std::string out;
    for (int i = 0; i < sw->Items()->Count(); ++i) out += sw->GetItemIcon(i) != nullptr ? 'I' : '-';
    return out;
  };
  ASSERT_EQ(icons(), "-I-I");
  ASSERT_TRUE(sw->DeleteLanguage("Deutsch"));  // Svenska moves up into Deutsch's row
  sw->RefreshLanguageList(false);
  EXPECT_EQ(icons(), "--I");
  ASSERT_TRUE(sw->SetLanguageIcon("Dansk", {}));
  ASSERT_TRUE(sw->SetLanguageIcon("Svenska", FirstIconImage(flag)));
  sw->RefreshLanguageList(false);
  EXPECT_EQ(icons(), "-I-");
  ASSERT_TRUE(sw->SetLanguageIcon("Svenska", {}));
  sw->RefreshLanguageList(false);
  EXPECT_EQ(icons(), "---");

  // The editor's language list, filled again when an icon is cleared there.
  ASSERT_TRUE(sw->SetLanguageIcon("Svenska", FirstIconImage(flag)));
  ASSERT_TRUE(sw->SetLanguageIcon("Dansk", FirstIconImage(flag)));
  auto* editor = new TLangEditorForm(Application());
  editor->SetEdited(sw, nullptr);
  auto listed = [&] {
    std::string out;
    for (int i = 0; i < editor->LanguageListBox->Items()->Count(); ++i)
      out += editor->LanguageListBox->GetItemIcon(i) != nullptr ? 'I' : '-';
    return out;
  };
  ASSERT_EQ(listed(), "-II");
  ASSERT_TRUE(editor->ChooseLanguage("Svenska"));
  editor->LangImageClear->Click();
  EXPECT_EQ(listed(), "--I");
  delete editor;
}


// A control that offers the languages instead of the chooser may be freed before the
// component, named or not: the component forgets it and goes on switching.
TEST_F(SwitchModelTest, AnAdoptedControlFreedFirstIsForgottenWhetherNamedOrNot) {
  WriteSample();
  TTestMainForm* f = MakeMain();
  TLangSwitch* sw = f->LangSwitch1;
  for (const std::string name : {"", "Languages1"}) {
    auto* menu = new TPopupMenu(f);
    if (!name.empty()) menu->SetName(name);
    sw->SetAdoptOn(menu);
    ASSERT_EQ(menu->Items()->Count(), 3);
    delete menu;
    EXPECT_EQ(sw->AdoptOn(), nullptr) << "adopted control named '" << name << "'";
    EXPECT_TRUE(sw->SelectLanguage("Deutsch", false));
    EXPECT_TRUE(sw->SelectLanguage("English", false));
    EXPECT_EQ(f->Label1->Caption(), "Hello");
  }
}

}  // namespace
}  // namespace tw::multilang
