#include "platform/forms/dialogs/desktoptexts.h"

#include "platform/rtl/uilanguage.h"

namespace tw {

namespace {

constexpr TUiTextPair kGerman[] = {
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
    // Help.
    {"Help could not be shown", "Die Hilfe konnte nicht angezeigt werden"},
    {"The help file is ", "Die Hilfedatei ist "},
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

}  // namespace

TDesktopLanguage DesktopLanguage() {
  return UiLanguage() == TUiLanguage::German ? TDesktopLanguage::German : TDesktopLanguage::English;
}

std::string DesktopText(const std::string& english) { return UiText(english, kGerman); }

}  // namespace tw
