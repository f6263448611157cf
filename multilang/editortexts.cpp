#include "multilang/editortexts.h"

#include <iterator>
#include <memory>
#include <vector>

#include "multilang/langeditor.h"
#include "multilang/langswitch.h"
#include "platform/classes/inifiles.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"
#include "platform/rtl/win1252.h"

namespace tw::multilang {
namespace {

// The languages the editor windows offer besides English, their design language, in the order
// of their texts below.  The two "System" languages stand for the desktop's own double-byte and
// right-to-left code pages: the texts are kept in Windows-1252, so they carry the English texts.
constexpr const char* kLanguages[] = {"Svenska", "Nederlands", "Bahasa Indonesia", "Dansk", "Deutsch"};
constexpr const char* kSystemLanguages[] = {"System (DBCS)", "System (R->L)"};
constexpr std::size_t kTextCount = 1 + std::size(kLanguages);

struct Text {
  const char* form;       // window class, nullptr = every editor window
  const char* component;  // nullptr = the language component itself (a named string)
  const char* property;   // property, or the name of the named string
  // English, then the languages of kLanguages (UTF-8 here, Windows-1252 once installed).
  const char* texts[kTextCount];
};

constexpr Text kTexts[] = {
    {"TLangEditorForm", nullptr, "ExpandAllBtn_Expand",
     {"E&xpand All", "&Visa alla", "Alles &uitvouwen", "&Buka semua", "&Fold alle ud", "Alle e&rweitern"}},
    {"TLangEditorForm", nullptr, "ExpandAllBtn_Collapse",
     {"Collap&se All", "&Dölj alla", "Alles &samenvouwen", "&Tutup semua", "Fold alle &sammen", "Alle &reduzieren"}},
    {"TLangEditorForm", nullptr, "EditDropDown_InvalidValue",
     {"%s is an invalid value", "%s är ett ogiltigt värde", "%s is een ongeldige waarde", "%s bukan nilai yang sah", "%s er en ugyldig værdi", "%s ist kein gültiger Wert"}},
    {"TLangEditorForm", nullptr, "LoadBtn_InvalidName",
     {"Invalid language file: %s", "Ogiltig språkfil: %s", "Ongeldig taalbestand: %s", "Berkas bahasa tidak sah: %s", "Ugyldig sprogfil: %s", "Ungültige Sprachdatei: %s"}},
    {"TLangEditorForm", nullptr, "LangAddBtn_NewLangCaption",
     {"Add a new language", "Lägg till ett nytt språk", "Een nieuwe taal toevoegen", "Tambah bahasa baru", "Tilføj et nyt sprog", "Neue Sprache hinzufügen"}},
    {"TLangEditorForm", nullptr, "LangAddBtn_NewLangName",
     {"Language name:", "Språkets namn:", "Naam van de taal:", "Nama bahasa:", "Sprogets navn:", "Name der Sprache:"}},
    {"TLangEditorForm", nullptr, "LangAddBtn_Fail",
     {"Couldn't add %s", "Kunde inte lägga till %s", "%s kon niet worden toegevoegd", "Tidak dapat menambah %s", "Kunne ikke tilføje %s", "%s konnte nicht hinzugefügt werden"}},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Prompt",
     {"Are you sure you want to delete %s", "Vill du verkligen ta bort %s", "Weet u zeker dat u %s wilt verwijderen", "Yakin ingin menghapus %s", "Er du sikker på, at du vil slette %s", "Wollen Sie %s wirklich löschen"}},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Prompt2",
     {"You will also permanently delete all attached properties", "Alla tillhörande egenskaper tas också bort för gott", "Alle bijbehorende eigenschappen worden ook definitief verwijderd", "Semua properti terkait juga akan dihapus secara permanen", "Alle tilknyttede egenskaber slettes også permanent", "Alle zugehörigen Eigenschaften werden ebenfalls gelöscht"}},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Title",
     {"Delete ?", "Ta bort ?", "Verwijderen ?", "Hapus ?", "Slet ?", "Löschen ?"}},
    {"TLangEditorForm", nullptr, "LangDeleteBtn_Fail",
     {"Couldn't delete %s", "Kunde inte ta bort %s", "%s kon niet worden verwijderd", "Tidak dapat menghapus %s", "Kunne ikke slette %s", "%s konnte nicht gelöscht werden"}},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Caption",
     {"Rename language %s", "Byt namn på språket %s", "Taal %s hernoemen", "Ganti nama bahasa %s", "Omdøb sproget %s", "Sprache %s umbenennen"}},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Name",
     {"New name:", "Nytt namn:", "Nieuwe naam:", "Nama baru:", "Nyt navn:", "Neuer Name:"}},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Exist",
     {"%s already exist", "%s finns redan", "%s bestaat al", "%s sudah ada", "%s findes allerede", "%s gibt es schon"}},
    {"TLangEditorForm", nullptr, "LangRenameBtn_Fail",
     {"Couldn't rename %s", "Kunde inte byta namn på %s", "%s kon niet worden hernoemd", "Tidak dapat mengganti nama %s", "Kunne ikke omdøbe %s", "%s konnte nicht umbenannt werden"}},
    {"TLangEditorForm", nullptr, "LoadBtn_Title",
     {"Select a language file", "Välj en språkfil", "Kies een taalbestand", "Pilih berkas bahasa", "Vælg en sprogfil", "Sprachdatei wählen"}},
    {"TLangEditorForm", nullptr, "LoadBtn_Filter",
     {"Language files (*.LAN)|*.LAN|Text files (*.TXT)|*.TXT", "Språkfiler (*.LAN)|*.LAN|Textfiler (*.TXT)|*.TXT", "Taalbestanden (*.LAN)|*.LAN|Tekstbestanden (*.TXT)|*.TXT", "Berkas bahasa (*.LAN)|*.LAN|Berkas teks (*.TXT)|*.TXT", "Sprogfiler (*.LAN)|*.LAN|Tekstfiler (*.TXT)|*.TXT", "Sprachdateien (*.LAN)|*.LAN|Textdateien (*.TXT)|*.TXT"}},
    {"TLangEditorForm", nullptr, "LangImageBrowse_Title",
     {"Select a file with an icon for %s", "Välj en fil med en ikon för %s", "Kies een bestand met een pictogram voor %s", "Pilih berkas dengan ikon untuk %s", "Vælg en fil med et ikon til %s", "Datei mit einem Symbol für %s wählen"}},
    {"TLangEditorForm", nullptr, "LangImageBrowse_Filter",
     {"All (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Icons (*.ICO)|*.ICO|Executables (*.EXE)|*.EXE|Libraries (*.DLL)|*.DLL", "Alla (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Ikoner (*.ICO)|*.ICO|Program (*.EXE)|*.EXE|Bibliotek (*.DLL)|*.DLL", "Alle (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Pictogrammen (*.ICO)|*.ICO|Programma's (*.EXE)|*.EXE|Bibliotheken (*.DLL)|*.DLL", "Semua (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Ikon (*.ICO)|*.ICO|Program (*.EXE)|*.EXE|Pustaka (*.DLL)|*.DLL", "Alle (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Ikoner (*.ICO)|*.ICO|Programmer (*.EXE)|*.EXE|Biblioteker (*.DLL)|*.DLL", "Alle (*.ICO, *.EXE, *.DLL)|*.ICO;*.EXE;*.DLL|Symbole (*.ICO)|*.ICO|Programme (*.EXE)|*.EXE|Bibliotheken (*.DLL)|*.DLL"}},
    {"TLangEditorForm", nullptr, "LangImageBrowse_TooLarge",
     {"The icon in %s is larger than a language file can hold (766 bytes)", "Ikonen i %s är större än en språkfil rymmer (766 byte)", "Het pictogram in %s is groter dan een taalbestand kan bevatten (766 bytes)", "Ikon dalam %s lebih besar daripada yang dapat dimuat berkas bahasa (766 bita)", "Ikonet i %s er større, end en sprogfil kan rumme (766 byte)", "Das Symbol in %s ist größer, als eine Sprachdatei aufnehmen kann (766 Bytes)"}},
    {"TLangEditorForm", nullptr, "SaveBtn_NoLangFile",
     {"%s is not a language file, do you want to overwrite it ?", "%s är ingen språkfil, vill du skriva över den ?", "%s is geen taalbestand, wilt u het overschrijven ?", "%s bukan berkas bahasa, ingin menimpanya ?", "%s er ikke en sprogfil, vil du overskrive den ?", "%s ist keine Sprachdatei, wollen Sie sie überschreiben ?"}},
    {"TLangEditorForm", nullptr, "SaveBtn_Success",
     {"The languages data of this form, was successfully saved in file %s &SaveBtn_SuccessHeading& %s", "Språkdata för detta fönster sparades i filen %s &SaveBtn_SuccessHeading& %s", "De taalgegevens van dit venster zijn opgeslagen in bestand %s &SaveBtn_SuccessHeading& %s", "Data bahasa jendela ini berhasil disimpan dalam berkas %s &SaveBtn_SuccessHeading& %s", "Sprogdata for dette vindue blev gemt i filen %s &SaveBtn_SuccessHeading& %s", "Die Sprachdaten dieses Fensters wurden in der Datei %s &SaveBtn_SuccessHeading& %s gespeichert"}},
    {"TLangEditorForm", nullptr, "SaveBtn_SuccessHeading",
     {"as heading", "under rubriken", "onder de kop", "dengan judul", "under overskriften", "unter der Überschrift"}},
    {"TLangEditorForm", nullptr, "SaveBtn_Fail",
     {"Could not save to file %s", "Kunde inte spara i filen %s", "Kon niet opslaan in bestand %s", "Tidak dapat menyimpan ke berkas %s", "Kunne ikke gemme i filen %s", "In die Datei %s konnte nicht gespeichert werden"}},
    {"TLangEditorForm", nullptr, "PropList_Exception",
     {"An exception error occurred while reading value of property", "Ett fel uppstod när egenskapens värde lästes", "Er trad een fout op bij het lezen van de waarde van de eigenschap", "Terjadi kesalahan saat membaca nilai properti", "Der opstod en fejl under læsning af egenskabens værdi", "Beim Lesen des Eigenschaftswerts ist ein Fehler aufgetreten"}},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Title",
     {"Remove ?", "Avlägsna ?", "Weghalen ?", "Buang ?", "Fjern ?", "Entfernen ?"}},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Prompt",
     {"Are you sure you want to remove %s", "Vill du verkligen avlägsna %s", "Weet u zeker dat u %s wilt weghalen", "Yakin ingin membuang %s", "Er du sikker på, at du vil fjerne %s", "Wollen Sie %s wirklich entfernen"}},
    {"TLangEditorForm", nullptr, "FormDeleteBtn_Fail",
     {"Couldn't remove %s", "Kunde inte avlägsna %s", "%s kon niet worden weggehaald", "Tidak dapat membuang %s", "Kunne ikke fjerne %s", "%s konnte nicht entfernt werden"}},
    {"TLangEditorForm", nullptr, "HelpContextNr",
     {"210", "210", "210", "210", "210", "210"}},
    {"TAddPropertiesForm", nullptr, "ExpandBtn_Expand",
     {"E&xpand All", "&Visa alla", "Alles &uitvouwen", "&Buka semua", "&Fold alle ud", "Alle e&rweitern"}},
    {"TAddPropertiesForm", nullptr, "ExpandBtn_Collapse",
     {"C&ollapse All", "&Dölj alla", "Alles &samenvouwen", "&Tutup semua", "Fold alle &sammen", "Alle &reduzieren"}},
    {"TAddPropertiesForm", nullptr, "NewString_Title",
     {"New user defined string", "Ny egen text", "Nieuwe eigen tekst", "Teks buatan pengguna baru", "Ny brugerdefineret tekst", "Neuer eigener Text"}},
    {"TAddPropertiesForm", nullptr, "NewString_Name",
     {"Identifier", "Identifierare", "Aanduiding", "Pengenal", "Identifikator", "Bezeichner"}},
    {"TAddPropertiesForm", nullptr, "HelpContextNr",
     {"260", "260", "260", "260", "260", "260"}},
    {"TCopyFromForm", nullptr, "HelpContextNr",
     {"270", "270", "270", "270", "270", "270"}},
    {nullptr, nullptr, "Helpfile",
     {"LANGSWITCH.HLP", "LANGSWITCH.HLP", "LANGSWITCH.HLP", "LANGSWITCH.HLP", "LANGSWITCH.HLP", "LANGSWITCH.HLP"}},
    {"TLangEditorForm", "TLangEditorForm", "Caption",
     {"Language Editor", "Språkredigerare", "Taaleditor", "Penyunting Bahasa", "Sprogeditor", "Spracheditor"}},
    {"TLangEditorForm", "OKBtn", "Caption",
     {"OK", "OK", "OK", "OK", "OK", "OK"}},
    {"TLangEditorForm", "CancelBtn", "Caption",
     {"Cancel", "Avbryt", "Annuleren", "Batal", "Annuller", "Abbrechen"}},
    {"TLangEditorForm", "HelpBtn", "Caption",
     {"&Help", "&Hjälp", "&Help", "Ban&tuan", "&Hjælp", "&Hilfe"}},
    {"TLangEditorForm", "SaveBtn", "Caption",
     {"&Save to", "&Spara i", "&Opslaan in", "&Simpan ke", "&Gem i", "&Speichern in"}},
    {"TLangEditorForm", "LoadBtn", "Caption",
     {"Load &from", "&Läs in från", "&Laden uit", "&Muat dari", "&Indlæs fra", "&Laden aus"}},
    {"TLangEditorForm", "PropAddBtn", "Caption",
     {"&Browse", "&Bläddra", "&Bladeren", "&Jelajah", "&Gennemse", "&Auswählen"}},
    {"TLangEditorForm", "CopyFromBtn", "Caption",
     {"Co&py from", "&Kopiera från", "&Kopiëren uit", "&Salin dari", "&Kopiér fra", "&Kopieren aus"}},
    {"TLangEditorForm", "ExpandAllBtn", "Caption",
     {"E&xpand All", "&Visa alla", "Alles &uitvouwen", "&Buka semua", "&Fold alle ud", "Alle e&rweitern"}},
    {"TLangEditorForm", "LookupText", "Caption",
     {"Look&up", "&Slå upp", "&Opzoeken", "&Cari", "&Slå op", "Nach&schlagen"}},
    {"TLangEditorForm", "Directional", "Caption",
     {"Right-To-Left", "Höger till vänster", "Rechts naar links", "Kanan ke kiri", "Højre mod venstre", "Von rechts nach links"}},
    {"TLangEditorForm", "FormDeleteBtn", "Caption",
     {"Re&move", "&Avlägsna", "&Weghalen", "&Buang", "&Fjern", "En&tfernen"}},
    {"TLangEditorForm", "LangImageBrowse", "Caption",
     {"&Load", "&Läs in", "&Laden", "&Muat", "&Indlæs", "La&den"}},
    {"TLangEditorForm", "LangImageClear", "Caption",
     {"C&lear", "&Rensa", "&Wissen", "&Kosongkan", "&Ryd", "L&eeren"}},
    {"TLangEditorForm", "LangAddBtn", "Caption",
     {"&Add", "&Lägg till", "&Toevoegen", "&Tambah", "&Tilføj", "&Neu"}},
    {"TLangEditorForm", "LangDeleteBtn", "Caption",
     {"&Delete", "&Ta bort", "&Verwijderen", "&Hapus", "&Slet", "L&öschen"}},
    {"TLangEditorForm", "LangRenameBtn", "Caption",
     {"&Rename", "&Byt namn", "&Hernoemen", "&Ganti nama", "&Omdøb", "&Umbenennen"}},
    {"TLangEditorForm", "LabelProperties", "Caption",
     {"Properties:", "Egenskaper:", "Eigenschappen:", "Properti:", "Egenskaber:", "Eigenschaften:"}},
    {"TLangEditorForm", "LabelNewValue", "Caption",
     {"New Value:", "Nytt värde:", "Nieuwe waarde:", "Nilai baru:", "Ny værdi:", "Neuer Wert:"}},
    {"TLangEditorForm", "LabelValues", "Caption",
     {"Values:", "Värden:", "Waarden:", "Nilai:", "Værdier:", "Werte:"}},
    {"TLangEditorForm", "LabelForm", "Caption",
     {"Form:", "Fönster:", "Venster:", "Jendela:", "Vindue:", "Fenster:"}},
    {"TLangEditorForm", "LabelLanguage", "Caption",
     {"Language:", "Språk:", "Taal:", "Bahasa:", "Sprog:", "Sprache:"}},
    {"TLangEditorForm", "LabelIcon", "Caption",
     {"Icon:", "Ikon:", "Pictogram:", "Ikon:", "Ikon:", "Symbol:"}},
    {"TLangEditorForm", "MButtons1", "Captions",
     {"OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK"}},
    {"TLangEditorForm", "MButtons1", "Captions",
     {"Cancel|&Cancel", "Cancel|&Avbryt", "Cancel|&Annuleren", "Cancel|&Batal", "Cancel|&Annuller", "Cancel|&Abbrechen"}},
    {"TLangEditorForm", "MButtons1", "Captions",
     {"Yes|&Yes", "Yes|&Ja", "Yes|&Ja", "Yes|&Ya", "Yes|&Ja", "Yes|&Ja"}},
    {"TLangEditorForm", "MButtons1", "Captions",
     {"No|&No", "No|&Nej", "No|&Nee", "No|&Tidak", "No|&Nej", "No|&Nein"}},
    {"TLangEditorForm", "Directional", "Hint",
     {"Not used: the texts are always shown left to right", "Används inte: texterna visas alltid från vänster till höger", "Niet gebruikt: de teksten worden altijd van links naar rechts getoond", "Tidak dipakai: teks selalu ditampilkan dari kiri ke kanan", "Bruges ikke: teksterne vises altid fra venstre mod højre", "Ohne Wirkung: die Texte werden immer von links nach rechts angezeigt"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionFileName",
     {"Filename:", "Filnamn:", "Bestandsnaam:", "Nama berkas:", "Filnavn:", "Dateiname:"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionTypeList",
     {"File type:", "Filtyp:", "Bestandstype:", "Jenis berkas:", "Filtype:", "Dateityp:"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionDirectory",
     {"Directory", "Mapp", "Map", "Direktori", "Mappe", "Verzeichnis"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionDrives",
     {"Drives", "Enheter", "Stations", "Drive", "Drev", "Laufwerke"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionOK",
     {"&OK", "&OK", "&OK", "&OK", "&OK", "&OK"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionCancel",
     {"&Cancel", "&Avbryt", "&Annuleren", "&Batal", "&Annuller", "&Abbrechen"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionHelp",
     {"&Help", "&Hjälp", "&Help", "Ban&tuan", "&Hjælp", "&Hilfe"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionReadOnly",
     {"&Read only", "&Skrivskyddad", "&Alleen-lezen", "&Hanya baca", "&Skrivebeskyttet", "&Schreibgeschützt"}},
    {"TLangEditorForm", "MOpenDialog1", "CaptionNetwork",
     {"&Network", "&Nätverk", "&Netwerk", "&Jaringan", "&Netværk", "&Netzwerk"}},
    {"TCopyFromForm", "TCopyFromForm", "Caption",
     {"Copy from dialog", "Kopiera från", "Kopiëren uit", "Salin dari", "Kopiér fra", "Kopieren aus"}},
    {"TCopyFromForm", "Design", "Caption",
     {"Design time language", "Språket vid utformningen", "Taal van het ontwerp", "Bahasa saat perancangan", "Sproget ved design", "Sprache des Entwurfs"}},
    {"TCopyFromForm", "Selected", "Caption",
     {"Language selected above", "Språket som valts ovan", "Hierboven gekozen taal", "Bahasa yang dipilih di atas", "Sproget valgt ovenfor", "Oben gewählte Sprache"}},
    {"TCopyFromForm", "CancelBtn", "Caption",
     {"&Cancel", "&Avbryt", "&Annuleren", "&Batal", "&Annuller", "&Abbrechen"}},
    {"TCopyFromForm", "HelpBtn", "Caption",
     {"&Help", "&Hjälp", "&Help", "Ban&tuan", "&Hjælp", "&Hilfe"}},
    {"TCopyFromForm", "ExternalProp", "Caption",
     {"Other forms properties that has the same object names", "Andra formulärs egenskaper med samma objektnamn",
      "Eigenschappen van andere formulieren met dezelfde objectnamen", "Properti formulir lain dengan nama objek yang sama",
      "Andre formularers egenskaber med samme objektnavne", "Eigenschaften anderer Fenster mit gleichen Objektnamen"}},
    {"TCopyFromForm", nullptr, "Overwrite_Caption",
     {"Overwrite existing properties in %s", "Skriv över befintliga egenskaper på %s",
      "Bestaande eigenschappen in %s overschrijven", "Timpa properti yang ada dalam %s",
      "Overskriv eksisterende egenskaber på %s", "Vorhandene Eigenschaften in %s überschreiben"}},
    {"TCopyFromForm", nullptr, "LanguageList_None",
     {"None (only update values)", "Ingen (uppdatera bara värden)", "Geen (alleen waarden bijwerken)",
      "Tidak ada (hanya perbarui nilai)", "Ingen (opdater kun værdier)", "Keine (nur Werte aktualisieren)"}},
    {"TAddPropertiesForm", "IncludeBtn", "Caption",
     {">> &INSERT >>", ">> &INFOGA >>", ">> &INVOEGEN >>", ">> &SISIPKAN >>", ">> &INDSÆT >>", ">> &EINFÜGEN >>"}},
    {"TAddPropertiesForm", "ExcludeBtn", "Caption",
     {"<< &REMOVE<<", "<< &TA BORT<<", "<< &VERWIJDEREN<<", "<< &HAPUS<<", "<< &FJERN<<", "<< &ENTFERNEN<<"}},
    {"TAddPropertiesForm", "CancelBtn", "Caption",
     {"&Cancel", "&Avbryt", "&Annuleren", "&Batal", "&Annuller", "&Abbrechen"}},
    {"TAddPropertiesForm", "OKBtn", "Caption",
     {"&OK", "&OK", "&OK", "&OK", "&OK", "&OK"}},
    {"TAddPropertiesForm", "HelpBtn", "Caption",
     {"&Help", "&Hjälp", "&Help", "Ban&tuan", "&Hjælp", "&Hilfe"}},
    {"TAddPropertiesForm", "LabelAvailable", "Caption",
     {"Available properties:", "Tillgängliga egenskaper:", "Beschikbare eigenschappen:", "Properti yang tersedia:", "Tilgængelige egenskaber:", "Verfügbare Eigenschaften:"}},
    {"TAddPropertiesForm", "LabelChange", "Caption",
     {"Properties to change:", "Egenskaper att ändra:", "Te wijzigen eigenschappen:", "Properti yang akan diubah:", "Egenskaber, der skal ændres:", "Zu ändernde Eigenschaften:"}},
    {"TAddPropertiesForm", "FilterGroup", "Caption",
     {"Property filter:", "Egenskapsfilter:", "Eigenschappenfilter:", "Saringan properti:", "Egenskabsfilter:", "Eigenschaftsfilter:"}},
    {"TAddPropertiesForm", "AllCheckBox", "Caption",
     {"All", "Alla", "Alle", "Semua", "Alle", "Alle"}},
    {"TAddPropertiesForm", "ExpandBtn", "Caption",
     {"E&xpand All", "&Visa alla", "Alles &uitvouwen", "&Buka semua", "&Fold alle ud", "Alle e&rweitern"}},
    {"TAddPropertiesForm", "NewString", "Caption",
     {"&New string", "&Ny text", "&Nieuwe tekst", "Teks &baru", "&Ny tekst", "&Neuer Text"}},
    {"TAddPropertiesForm", "MButtons1", "Captions",
     {"OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK", "OK|&OK"}},
    {"TAddPropertiesForm", "MButtons1", "Captions",
     {"Cancel|&Cancel", "Cancel|&Avbryt", "Cancel|&Annuleren", "Cancel|&Batal", "Cancel|&Annuller", "Cancel|&Abbrechen"}},
    {"TCopyFromForm", "LabelCopyFrom", "Caption",
     {"Copy properties from language:", "Kopiera egenskaper från språket:", "Eigenschappen kopiëren uit taal:", "Salin properti dari bahasa:", "Kopiér egenskaber fra sproget:", "Eigenschaften aus der Sprache kopieren:"}},
    {"TCopyFromForm", "LanguageList", "Items",
     {"None (only update values)", "Inget (uppdatera bara värdena)", "Geen (alleen waarden bijwerken)", "Tidak ada (hanya perbarui nilai)", "Intet (opdater kun værdierne)", "Keine (nur Werte aktualisieren)"}},
    {"TCopyFromForm", "Overwrite", "Caption",
     {"Overwrite existing properties in %s", "Skriv över befintliga egenskaper i %s", "Bestaande eigenschappen in %s overschrijven", "Timpa properti yang sudah ada di %s", "Overskriv eksisterende egenskaber i %s", "Vorhandene Eigenschaften in %s überschreiben"}},
    {"TCopyFromForm", "SetValues", "Caption",
     {"Set property values based on:", "Sätt egenskapernas värden utifrån:", "Eigenschapswaarden instellen op basis van:", "Tetapkan nilai properti berdasarkan:", "Sæt egenskabernes værdier ud fra:", "Eigenschaftswerte setzen nach:"}},
    {"TCopyFromForm", "ExternalProp", "Caption",
     {"Other forms properties that has the same object names", "Egenskaper i andra fönster med samma objektnamn", "Eigenschappen van andere vensters met dezelfde objectnamen", "Properti jendela lain dengan nama objek yang sama", "Egenskaber i andre vinduer med samme objektnavne", "Eigenschaften anderer Fenster mit gleichen Objektnamen"}},
    {"TCopyFromForm", "OKBtn", "Caption",
     {"&OK", "&OK", "&OK", "&OK", "&OK", "&OK"}},
    {"TCopyFromForm", "HelpBtn", "Caption",
     {"&Help", "&Hjälp", "&Help", "Ban&tuan", "&Hjælp", "&Hilfe"}},
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
  std::vector<int> ids{0};
  for (const char* name : kLanguages) ids.push_back(sw.AddLanguage(name));
  std::vector<int> systemIDs;
  for (const char* name : kSystemLanguages) systemIDs.push_back(sw.AddLanguage(name));
  int valueID = 0;
  std::string lastKey;
  for (const Text& t : kTexts) {
    if (t.form != nullptr && formClass != t.form) continue;
    std::string component = t.component == nullptr ? sw.Name() : t.component;
    if (t.form != nullptr && component == t.form) component = formClass;
    std::string property = t.component == nullptr ? std::string("#") + t.property : t.property;
    // Lines of a string list are numbered in their order.
    std::string key = component + "." + property;
    bool isLine = property == "Captions" || property == "Items";
    valueID = isLine ? (key == lastKey ? valueID + 1 : 0) : -1;
    lastKey = key;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      // Values of properties stay the window's own design texts in the default language.
      if (ids[i] == 0 && t.component != nullptr) continue;
      sw.AddValue(ids[i], component, property, valueID, Utf8ToWin1252(t.texts[i]));
    }
    for (int id : systemIDs) sw.AddValue(id, component, property, valueID, Utf8ToWin1252(t.texts[0]));
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
  // Until the user picks the editor's own language it speaks the program's.
  const std::string programLanguage = UiLanguage() == TUiLanguage::German ? "Deutsch" : "English";
  std::string language = programLanguage;
  try {
    TIniFile ini(EditorSettingsFileName());
    std::string file = ini.ReadString("Default", "LanguageFile", "");
    if (!file.empty()) sw->SetLanguageFile(file);
    language = ini.ReadString("Default", "Language", programLanguage);
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
