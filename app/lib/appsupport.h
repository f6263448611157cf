// Support routines of the main window: the message texts of the current language, the colour
// index and style bits of a font for the rich-text view, and the page setup of the view kept as
// "PageSetup" ("left,right,top,bottom,width,height" in twips) under the form's section.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/classes/stringlist.h"
#include "platform/gfx/color.h"
#include "platform/gfx/font.h"

namespace tw::app {

class TOrvForm;

// The records of the message table as the loader reads them (a data set over "Messages.QND").
class TMessageRecords {
 public:
  virtual ~TMessageRecords() = default;
  virtual bool Active() const = 0;
  // Limits the records to those of one language (its first key field), so that the walk reads
  // the texts of that language and no others.
  virtual void SelectLanguage(const std::string& languageCode) = 0;
  virtual void First() = 0;
  virtual bool Eof() const = 0;
  virtual void Next() = 0;
  // The fields of the current record; may raise for a damaged record.
  virtual int Nr() = 0;
  virtual std::string Text() = 0;
};

// Longest message text kept.
constexpr std::size_t kMaxMessageText = 1024;

// The message texts of `languageCode` (each with its number in the object slot); nullptr when
// the table is not open, so that the caller keeps the list it has.  Empty texts are left out; a
// record that cannot be read is skipped, and the first such failure is put into `failure` (when
// given; empty when every record read).  The table stays limited to that language.
std::unique_ptr<TStringList> LoadLanguageMessages(TMessageRecords& table, const std::string& languageCode,
                                                  std::string* failure = nullptr);

// Index (0..15) of a font colour in the rich-text colour table; 0 for colours it does not name.
// White gives 0 (black), so that text stays readable on the white view; olive, which the table
// does not hold, gives its nearest colour, green.
int ColorNameToIndex(TColor color);

// The parts of a character attribute record that a font gives.
struct TFontAttrParts {
  std::uint8_t Style = 0;   // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::uint8_t Colors = 0;  // text colour index, background index 0
  std::uint8_t Size = 0;    // points (0 when the font's size does not fit in 1..255)
};
TFontAttrParts FontAttrParts(const TFont* font);

// Fills a character attribute record of the rich-text view from a font: the editor's current
// attributes, with the font's number in the editor, its size, style bits (the further attribute
// bytes cleared) and text colour (background 0).  A font larger than 255 points keeps the
// editor's current size.  `Editor` offers GetCurrentAttr() and
// GetFontIndex(name); `Attr` is the view's attribute record.
template <typename Editor, typename Attr>
void FontToAttr(Editor& editor, Attr& attr, const TFont* font) {
  attr = editor.GetCurrentAttr();
  attr.Font = static_cast<decltype(attr.Font)>(editor.GetFontIndex(font->Name()));
  const TFontAttrParts parts = FontAttrParts(font);
  if (parts.Size != 0) attr.Size = parts.Size;  // a size the record cannot hold keeps the editor's
  attr.Style = parts.Style;
  attr.Extra = 0;
  attr.Attr10 = 0;
  attr.Attr11 = 0;
  attr.Colors = parts.Colors;
}

struct TPageSetup {
  int LeftMargin = 1880;
  int RightMargin = 1880;
  int TopMargin = 1440;
  int BottomMargin = 1440;
  int PageWidth = 12240;
  int PageHeight = 15840;
  bool operator==(const TPageSetup&) const = default;
};

// The page setup of a first start: margins of 1880 and 1440 twips on the sheet that will be
// printed (the locale's paper, as the printer has it).
TPageSetup DefaultPageSetup();

std::string PageSetupToValue(const TPageSetup& setup);
// Reads a stored value: missing numbers and numbers that do not convert give 0.  nullopt for an
// empty value.
std::optional<TPageSetup> ValueToPageSetup(const std::string& value);
// Whether a page setup leaves a printable area (positive page, margins not negative and
// smaller than the page).
bool UsablePageSetup(const TPageSetup& setup);

// Stores the page setup under the form's section.
void SavePageSetup(TOrvForm* form, const TPageSetup& setup);
// The stored page setup (DefaultPageSetup when none is stored); nullopt when the stored value
// is empty, so that the view keeps its own.  A damaged value gives the default page setup.
std::optional<TPageSetup> LoadPageSetup(TOrvForm* form);

}  // namespace tw::app
