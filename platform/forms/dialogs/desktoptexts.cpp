#include "platform/forms/dialogs/desktoptexts.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tw {

namespace {

struct Pair {
  std::string_view english;
  std::string_view german;  // Windows-1252
};

constexpr Pair kGerman[] = {
    // Message boxes.
    {"&Yes", "&Ja"},
    {"&No", "&Nein"},
    {"Cancel", "Abbrechen"},
    {"&Abort", "&Abbrechen"},
    {"&Retry", "&Wiederholen"},
    {"&Ignore", "&Ignorieren"},
    {"&All", "&Alle"},
    {"&Help", "&Hilfe"},
    {"Warning", "Warnung"},
    {"Error", "Fehler"},
    {"Information", "Information"},
    {"Confirm", "Best\xE4tigen"},
    // Font dialog.
    {"Font", "Schriftart"},
    {"&Font:", "Schrift&art:"},
    {"Font st&yle:", "Schrifts&til:"},
    {"&Size:", "&Gr\xF6\xDF" "e:"},
    {"Effects", "Darstellung"},
    {"Stri&keout", "&Durchgestrichen"},
    {"&Underline", "&Unterstrichen"},
    {"&Color:", "&Farbe:"},
    {"Sample", "Muster"},
    {"Regular", "Standard"},
    {"Italic", "Kursiv"},
    {"Bold", "Fett"},
    {"Bold Italic", "Fett Kursiv"},
    {"Black", "Schwarz"},
    {"Maroon", "Kastanienbraun"},
    {"Green", "Gr\xFCn"},
    {"Olive", "Olivgr\xFCn"},
    {"Navy", "Marineblau"},
    {"Purple", "Violett"},
    {"Teal", "Blaugr\xFCn"},
    {"Gray", "Grau"},
    {"Silver", "Silber"},
    {"Red", "Rot"},
    {"Lime", "Hellgr\xFCn"},
    {"Yellow", "Gelb"},
    {"Blue", "Blau"},
    {"Fuchsia", "Fuchsie"},
    {"Aqua", "Aquamarin"},
    {"White", "Wei\xDF"},
    {"There is no font with that name.\nChoose a font from the list of fonts.",
     "Es gibt keine Schriftart mit diesem Namen.\nW\xE4hlen Sie eine Schriftart aus der Liste."},
    {"Size must be between %s and %s points.", "Der Schriftgrad muss zwischen %s und %s Punkt liegen."},
    // Find and replace.
    {"Find", "Suchen"},
    {"Replace", "Ersetzen"},
    {"Fi&nd what:", "Su&chen nach:"},
    {"Re&place with:", "Erse&tzen durch:"},
    {"Match &whole word only", "Nur ganzes &Wort suchen"},
    {"Match &case", "&Gro\xDF-/Kleinschreibung"},
    {"Direction", "Richtung"},
    {"&Up", "Nach &oben"},
    {"&Down", "Nach &unten"},
    {"&Find Next", "&Weitersuchen"},
    {"&Replace", "&Ersetzen"},
    {"Replace &All", "&Alle ersetzen"},
    // Printer setup.
    {"Print Setup", "Druckereinrichtung"},
    {"Printer", "Drucker"},
    {"&Name:", "&Name:"},
    {"(Default printer)", "(Standarddrucker)"},
    {"Paper", "Papier"},
    {"Si&ze:", "&Gr\xF6\xDF" "e:"},
    {"Orientation", "Orientierung"},
    {"P&ortrait", "&Hochformat"},
    {"&Landscape", "&Querformat"},
    {"Printing in progress", "Es wird gerade gedruckt."},
    // File dialogs.
    {"Open", "\xD6" "ffnen"},
    {"Save As", "Speichern unter"},
    {"File &name:", "Datei&name:"},
    {"List files of &type:", "Datei&typ:"},
    {"&Folders:", "&Ordner:"},
    {"Dri&ves:", "&Laufwerke:"},
    {"&Read only", "&Schreibgesch\xFCtzt"},
    {"Net&work...", "Netz&werk..."},
    {"\nPath does not exist.\nPlease verify the correct path was given.",
     "\nDer Pfad ist nicht vorhanden.\n\xDC" "berpr\xFC" "fen Sie, ob der Pfad richtig angegeben wurde."},
    {"\nFile not found.\nPlease verify the correct file name was given.",
     "\nDie Datei wurde nicht gefunden.\n\xDC" "berpr\xFC" "fen Sie, ob der Dateiname richtig angegeben wurde."},
    {"\nThis file does not exist.\nDo you want to create it?",
     "\nDiese Datei ist nicht vorhanden.\nWollen Sie sie erstellen?"},
    {" already exists.\nDo you want to replace it?", " ist bereits vorhanden.\nWollen Sie sie ersetzen?"},
};

// "de_DE.UTF-8", "de_AT", "de" and "German_Germany" name German.
bool NamesGerman(const char* locale) {
  return std::strncmp(locale, "de", 2) == 0 && (locale[2] == 0 || locale[2] == '_' || locale[2] == '.' || locale[2] == '@');
}

}  // namespace

TDesktopLanguage DesktopLanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == 0) continue;
    return NamesGerman(value) ? TDesktopLanguage::German : TDesktopLanguage::English;
  }
  return TDesktopLanguage::English;
}

std::string DesktopText(const std::string& english) {
  if (DesktopLanguage() != TDesktopLanguage::German) return english;
  for (const Pair& p : kGerman)
    if (p.english == english) return std::string(p.german);
  return english;
}

}  // namespace tw
