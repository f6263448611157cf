// The stored texts of the language editor's own windows: the languages their language
// components offer, the translated captions and the message texts (named strings).  They stand
// for the "LanguagesData" of the editor windows' form resources.
#pragma once

#include <initializer_list>
#include <string>

namespace tw {
class TForm;
}

namespace tw::multilang {

class TLangSwitch;

// Fills the entries of a language component of one editor window (`formClass` is the window's
// class name) and captures the window's design texts as the default language.
void InstallEditorTexts(TLangSwitch& sw, const std::string& formClass);

// The language component of an editor window (`LangSwitch1`, shown at the given place): its
// texts installed, the language named in LANGSWITCH.INI chosen (its language file, when the
// settings name one), a choice written back there, and Ctrl+Alt+E on the window opening the
// editor on it.
TLangSwitch* AddEditorLanguage(TForm* form, int left, int top);
// Help of an editor window: the component's "Helpfile" becomes the application's help file for
// the topic "HelpContextNr", then the previous help file is restored.
void ShowEditorHelp(TLangSwitch& sw);
// LANGSWITCH.INI in the private settings folder.
std::string EditorSettingsFileName();

// `text` with each "%s" replaced by the next argument (missing arguments leave "%s" as it is).
std::string FillIn(std::string text, std::initializer_list<std::string> args);

}  // namespace tw::multilang
