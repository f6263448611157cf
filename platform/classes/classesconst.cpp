#include "platform/classes/classesconst.h"

#include "platform/rtl/uilanguage.h"

namespace tw {
namespace {

constexpr TUiTextPair kGerman[] = {
    {classesconst::SRegSetDataFailed, "Fehler beim Setzen der Daten f\xFCr '%s'"},
    {classesconst::SRegCreateFailed, "Fehler beim Erstellen des Schl\xFCssels %s"},
    {classesconst::SInvalidRegType, "Ung\xFCltiger Datentyp f\xFCr '%s'"},
    {classesconst::SIniFileWriteError, "Die Einstellungsdatei %s kann nicht geschrieben werden: %s"},
    {classesconst::SFCreateError, "Die Datei %s kann nicht erstellt werden"},
    {classesconst::SFOpenError, "Die Datei %s kann nicht ge\xF6" "ffnet werden"},
};

}  // namespace

std::string ClassesText(std::string_view english) { return UiText(english, kGerman); }

}  // namespace tw
