#include "multilang/editortexts.h"

#include <memory>

#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::multilang {
namespace {

struct Text {
  const char* form;       // window class, nullptr = every editor window
  const char* component;  // nullptr = the language component itself (a named string)
  const char* property;   // property, or the name of the named string
  const char* english;
  const char* german;
};

// English is the design language; German follows the program's second language.
constexpr Text kTexts[] = {
    {"TLangEditorForm", nullptr, "ExpandAllBtn_Expand", "E&xpand All", "Alle e&rweitern"},
    {"TLangEditorForm", nullptr, "ExpandAllBtn_Collapse", "Collap&se All", "Alle &reduzieren"},
    {"TLangEditorForm", nullptr, "EditDropDown_InvalidValue", "%s is an invalid value", "%s ist kein gültiger Wert"},
    {"TLangEditorForm", nullptr, "LoadBtn_InvalidName", "Invalid language file: %s", "Ungültige Sprachdatei: %s"},
    {"TLangEditorForm", nullptr, "LangAddBtn_NewLangCaption", "Add a new language", "Neue Sprache hinzufügen"},
    {"TLangEditorForm", nullptr, "LangAddBtn_NewLangName", "Language name:", "Name der Sprache:"},
    {"TLangEditorForm", nullptr, "LangAddBtn_Fail", "Couldn't add %s", "%s konnte nicht hinzugefügt werden"},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Prompt", "Are you sure you want to delete %s",
     "Wollen Sie %s wirklich löschen"},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Prompt2", "You will also permanently delete all attached properties",
     "Alle zugehörigen Eigenschaften werden ebenfalls gelöscht"},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Title", "Delete ?", "Löschen ?"},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Fail", "Couldn't delete %s", "%s konnte nicht gelöscht werden"},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Caption", "Rename language %s", "Sprache %s umbenennen"},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Name", "New name:", "Neuer Name:"},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Exist", "%s already exist", "%s gibt es schon"},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Fail", "Couldn't rename %s", "%s konnte nicht umbenannt werden"},
    {"TLangEditorForm", nullptr, "LoadBtn_Title", "Select a language file", "Sprachdatei wählen"},
    {"TLangEditorForm", nullptr, "LoadBtn_Filter", "Language files (*.LAN)|*.LAN|Text files (*.TXT)|*.TXT",
     "Sprachdateien (*.LAN)|*.LAN|Textdateien (*.TXT)|*.TXT"},
    {"TLangEditorForm", nullptr, "LangImageBrowse_Title", "Select a file with an icon for %s",
     "Datei mit einem Symbol für %s wählen"},
    {"TLangEditorForm", nullptr, "LangImageBrowse_Filter",
     "All (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Icons (*.ICO)|*.ICO|Executables (*.EXE)|*.EXE|Libraries "
     "(*.DLL)|*.DLL",
     "Alle (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Symbole (*.ICO)|*.ICO|Programme (*.EXE)|*.EXE|Bibliotheken "
     "(*.DLL)|*.DLL"},
    {"TLangEditorForm", nullptr, "LangImageBrowse_TooLarge",
     "The icon in %s is larger than a language file can hold (766 bytes)",
     "Das Symbol in %s ist größer, als eine Sprachdatei aufnehmen kann (766 Bytes)"},
    {"TLangEditorForm", nullptr, "SaveBtn_NoLangFile", "%s is not a language file, do you want to overwrite it ?",
     "%s ist keine Sprachdatei, wollen Sie sie überschreiben ?"},
    {"TLangEditorForm", nullptr, "SaveBtn_Success",
     "The languages data of this form, was successfully saved in file %s &SaveBtn_SuccessHeading& %s",
     "Die Sprachdaten dieses Fensters wurden in der Datei %s &SaveBtn_SuccessHeading& %s gespeichert"},
    {"TLangEditorForm", nullptr, "SaveBtn_SuccessHeading", "as heading", "unter der Überschrift"},
    {"TLangEditorForm", nullptr, "SaveBtn_Fail", "Could not save to file %s",
     "In die Datei %s konnte nicht gespeichert werden"},
    {"TLangEditorForm", nullptr, "PropList_Exception", "An exception error occurred while reading value of property",
     "Beim Lesen des Eigenschaftswerts ist ein Fehler aufgetreten"},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Title", "Remove ?", "Entfernen ?"},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Prompt", "Are you sure you want to remove %s",
     "Wollen Sie %s wirklich entfernen"},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Fail", "Couldn't remove %s", "%s konnte nicht entfernt werden"},
    {"TLangEditorForm", nullptr, "HelpContextNr", "210", "210"},
    {"TAddPropertiesForm", nullptr, "ExpandBtn_Expand", "E&xpand All", "Alle e&rweitern"},
    {"TAddPropertiesForm", nullptr, "ExpandBtn_Collapse", "C&ollapse All", "Alle &reduzieren"},
    {"TAddPropertiesForm", nullptr, "NewString_Title", "New user defined string", "Neuer eigener Text"},
    {"TAddPropertiesForm", nullptr, "NewString_Name", "Identifier", "Bezeichner"},
    {"TAddPropertiesForm", nullptr, "HelpContextNr", "260", "260"},
    {"TCopyFromForm", nullptr, "HelpContextNr", "270", "270"},
    {nullptr, nullptr, "Helpfile", "LANGSWITCH.HLP", "LANGSWITCH.HLP"},
    // Captions of the editor window.
    {"TLangEditorForm", "TLangEditorForm", "Caption", "Language Editor", "Spracheditor"},
    {"TLangEditorForm", "OKBtn", "Caption", "OK", "OK"},
    {"TLangEditorForm", "CancelBtn", "Caption", "Cancel", "Abbrechen"},
    {"TLangEditorForm", "HelpBtn", "Caption", "&Help", "&Hilfe"},
    {"TLangEditorForm", "SaveBtn", "Caption", "&Save to", "&Speichern in"},
    {"TLangEditorForm", "LoadBtn", "Caption", "Load &from", "&Laden aus"},
    {"TLangEditorForm", "PropAddBtn", "Caption", "&Browse", "&Auswählen"},
    {"TLangEditorForm", "CopyFromBtn", "Caption", "Co&py from", "&Kopieren aus"},
    {"TLangEditorForm", "ExpandAllBtn", "Caption", "E&xpand All", "Alle e&rweitern"},
    {"TLangEditorForm", "LookupText", "Caption", "Look&up", "Nach&schlagen"},
    {"TLangEditorForm", "Directional", "Caption", "Right-To-Left", "Von rechts nach links"},
    {"TLangEditorForm", "FormDeleteBtn", "Caption", "Re&move", "En&tfernen"},
    {"TLangEditorForm", "LangImageBrowse", "Caption", "&Load", "La&den"},
    {"TLangEditorForm", "LangImageClear", "Caption", "C&lear", "L&eeren"},
    {"TLangEditorForm", "LangAddBtn", "Caption", "&Add", "&Neu"},
    {"TLangEditorForm", "LangDeleteBtn", "Caption", "&Delete", "L&öschen"},
    {"TLangEditorForm", "LangRenameBtn", "Caption", "&Rename", "&Umbenennen"},
    {"TLangEditorForm", "LabelProperties", "Caption", "Properties:", "Eigenschaften:"},
    {"TLangEditorForm", "LabelNewValue", "Caption", "New Value:", "Neuer Wert:"},
    {"TLangEditorForm", "LabelValues", "Caption", "Values:", "Werte:"},
    {"TLangEditorForm", "LabelForm", "Caption", "Form:", "Fenster:"},
    {"TLangEditorForm", "LabelLanguage", "Caption", "Language:", "Sprache:"},
    {"TLangEditorForm", "LabelIcon", "Caption", "Icon:", "Symbol:"},
    {"TLangEditorForm", "MButtons1", "Captions", "OK|&OK", "OK|&OK"},
    {"TLangEditorForm", "MButtons1", "Captions", "Cancel|&Cancel", "Cancel|&Abbrechen"},
    {"TLangEditorForm", "MButtons1", "Captions", "Yes|&Yes", "Yes|&Ja"},
    {"TLangEditorForm", "MButtons1", "Captions", "No|&No", "No|&Nein"},
    {"TCopyFromForm", "TCopyFromForm", "Caption", "Copy from dialog", "Kopieren aus"},
    {"TCopyFromForm", "Design", "Caption", "Design time language", "Sprache des Entwurfs"},
    {"TCopyFromForm", "Selected", "Caption", "Language selected above", "Oben gewählte Sprache"},
    {"TCopyFromForm", "CancelBtn", "Caption", "&Cancel", "&Abbrechen"},
    {"TAddPropertiesForm", "IncludeBtn", "Caption", ">> &INSERT >>", ">> &EINFÜGEN >>"},
    {"TAddPropertiesForm", "ExcludeBtn", "Caption", "<< &REMOVE<<", "<< &ENTFERNEN<<"},
    {"TAddPropertiesForm", "CancelBtn", "Caption", "&Cancel", "&Abbrechen"},
};

}  // namespace

std::string FillIn(std::string text, std::initializer_list<std::string> args) {
  std::size_t pos = 0;
  for (const std::string& a : args) {
    pos = text.find("%s", pos);
    if (pos == std::string::npos) break;
    text.replace(pos, 2, a);
    pos += a.size();
  }
  return text;
}

void InstallEditorTexts(TLangSwitch& sw, const std::string& formClass) {
  sw.ClearEntries();
  int german = sw.AddLanguage("Deutsch");
  int valueID = 0;
  std::string lastKey;
  for (const Text& t : kTexts) {
    if (t.form != nullptr && formClass != t.form) continue;
    std::string component = t.component == nullptr ? sw.Name() : t.component;
    if (t.form != nullptr && component == t.form) component = formClass;
    std::string property = t.component == nullptr ? std::string("#") + t.property : t.property;
    // Lines of a string list are numbered in their order.
    std::string key = component + "." + property;
    bool isLine = property == "Captions";
    valueID = isLine ? (key == lastKey ? valueID + 1 : 0) : -1;
    lastKey = key;
    for (int id : {0, german}) {
      // Values of properties stay the window's own design texts in the default language.
      if (id == 0 && t.component != nullptr) continue;
      sw.AddValue(id, component, property, valueID, Utf8ToWin1252(id == 0 ? t.english : t.german));  // UTF-8 source
    }
  }
  sw.RecheckEntries();
  sw.ResolveEntries();
  sw.CaptureDefaults();
  sw.RefreshLanguageList(false);
}

std::string EditorSettingsFileName() { return PrivateIniFolder() + "LANGSWITCH.INI"; }

TLangSwitch* AddEditorLanguage(TForm* form, int left, int top) {
  auto* sw = new TLangSwitch(form);
  sw->SetName("LangSwitch1");
  sw->SetParent(form);
  sw->SetBounds(left, top, 120, 22);
  sw->SetVisible(true);
  InstallEditorTexts(*sw, form->ClassName());
  std::string language = "English";
  try {
    TIniFile ini(EditorSettingsFileName());
    std::string file = ini.ReadString("Default", "LanguageFile", "");
    if (!file.empty()) sw->SetLanguageFile(file);
    language = ini.ReadString("Default", "Language", "English");
  } catch (const Exception&) {
    // unreadable settings leave the stored texts
  }
  sw->SelectLanguage(language, false);
  sw->OnChange = [sw](TObject*) {
    try {
      TIniFile ini(EditorSettingsFileName());
      // The user's handler runs before the switch: the chosen item names the new language.
      if (sw->ItemIndex() >= 0) ini.WriteString("Default", "Language", sw->Items()->Strings(sw->ItemIndex()));
    } catch (const Exception&) {
    }
  };
  form->SetKeyPreview(true);
  form->OnKeyUp = [sw](TObject*, Word& key, TShiftState shift) { HandleBrowseKey(sw, key, shift, false); };
  return sw;
}

void ShowEditorHelp(TLangSwitch& sw) {
  std::string saved = Application()->HelpFile();
  Application()->SetHelpFile(sw.GetString("Helpfile"));
  std::int32_t context = 0;
  if (TryStrToInt(sw.GetString("HelpContextNr"), context)) HelpContextCall(context);
  Application()->SetHelpFile(saved);
}

}  // namespace tw::multilang
