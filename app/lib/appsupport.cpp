#include "app/lib/appsupport.h"

#include <array>

#include "app/lib/orvform.h"
#include "app/lib/placement.h"
#include "platform/gfx/font.h"
#include "platform/gfx/printer.h"
#include "platform/rtl/sysutils.h"

namespace tw::app {

std::unique_ptr<TStringList> LoadLanguageMessages(TMessageRecords& table, const std::string& languageCode,
                                                  std::string* failure) {
  if (failure != nullptr) failure->clear();
  if (!table.Active()) return nullptr;
  table.SelectLanguage(languageCode);
  auto list = std::make_unique<TStringList>();
  table.First();
  while (!table.Eof()) {
    try {
      std::string text = table.Text();
      if (!text.empty()) {
        // The texts stay in the program's own character set: the view and the message boxes
        // show them as they are stored.
        if (text.size() > kMaxMessageText) text.resize(kMaxMessageText);
        const int nr = table.Nr();
        list->AddObject(text, static_cast<std::intptr_t>(nr));
      }
    } catch (const std::exception& e) {
      // A record that cannot be read is skipped; the caller learns why.
      if (failure != nullptr && failure->empty()) {
        *failure = ExceptionMessage(e);
        if (failure->empty()) *failure = "?";
      }
    }
    table.Next();
  }
  return list;
}

int ColorNameToIndex(TColor color) {
  struct Entry {
    const char* name;
    int index;
  };
  static constexpr std::array<Entry, 16> kTable{{{"clBlack", 0},
                                                 {"clMaroon", 7},
                                                 {"clGreen", 2},
                                                 {"clOlive", 2},
                                                 {"clNavy", 11},
                                                 {"clPurple", 6},
                                                 {"clTeal", 10},
                                                 {"clGray", 14},
                                                 {"clSilver", 13},
                                                 {"clRed", 1},
                                                 {"clLime", 8},
                                                 {"clBlue", 3},
                                                 {"clYellow", 4},
                                                 {"clFuchsia", 5},
                                                 {"clAqua", 9},
                                                 {"clWhite", 0}}};
  const std::string name = ColorToString(color);
  for (const Entry& e : kTable)
    if (name == e.name) return e.index;
  return 0;
}

TFontAttrParts FontAttrParts(const TFont* font) {
  TFontAttrParts parts;
  const TFontStyles style = font->Style();
  if (style.Contains(TFontStyle::fsBold)) parts.Style |= 1;
  if (style.Contains(TFontStyle::fsItalic)) parts.Style |= 2;
  if (style.Contains(TFontStyle::fsUnderline)) parts.Style |= 4;
  if (style.Contains(TFontStyle::fsStrikeOut)) parts.Style |= 8;
  parts.Colors = static_cast<std::uint8_t>(ColorNameToIndex(font->Color()) & 0x0F);
  const int size = font->Size();
  parts.Size = (size > 0 && size <= 255) ? static_cast<std::uint8_t>(size) : 0;
  return parts;
}

std::string PageSetupToValue(const TPageSetup& s) {
  return Format("%d,%d,%d,%d,%d,%d",
                {s.LeftMargin, s.RightMargin, s.TopMargin, s.BottomMargin, s.PageWidth, s.PageHeight});
}

std::optional<TPageSetup> ValueToPageSetup(const std::string& value) {
  if (value.empty()) return std::nullopt;
  std::string s = value;
  TPageSetup setup;
  setup.LeftMargin = NextListInt(s);
  setup.RightMargin = NextListInt(s);
  setup.TopMargin = NextListInt(s);
  setup.BottomMargin = NextListInt(s);
  setup.PageWidth = NextListInt(s);
  setup.PageHeight = NextListInt(s);
  return setup;
}

bool UsablePageSetup(const TPageSetup& s) {
  // About 5 metres: beyond any paper; larger values are damage.
  constexpr long kLargest = 288000;
  if (s.PageWidth <= 0 || s.PageHeight <= 0 || s.PageWidth > kLargest || s.PageHeight > kLargest) return false;
  if (s.LeftMargin < 0 || s.RightMargin < 0 || s.TopMargin < 0 || s.BottomMargin < 0) return false;
  return static_cast<long>(s.LeftMargin) + s.RightMargin < s.PageWidth &&
         static_cast<long>(s.TopMargin) + s.BottomMargin < s.PageHeight;
}

void SavePageSetup(TOrvForm* form, const TPageSetup& setup) { form->WriteString("PageSetup", PageSetupToValue(setup)); }

TPageSetup DefaultPageSetup() {
  const TPaperSize paper = LocalePaperSize();
  TPageSetup setup;
  setup.PageWidth = MulDiv(paper.Width, 1440, 254);  // tenths of a millimetre to twips
  setup.PageHeight = MulDiv(paper.Height, 1440, 254);
  return setup;
}

std::optional<TPageSetup> LoadPageSetup(TOrvForm* form) {
  // A value that is not stored reads as this text, which no stored value can be.
  static const std::string Absent("\x01" "absent" "\x01");
  const std::string value = form->ReadString("PageSetup", Absent);
  if (value == Absent) return DefaultPageSetup();
  std::optional<TPageSetup> setup = ValueToPageSetup(value);
  if (setup && !UsablePageSetup(*setup)) setup = DefaultPageSetup();
  return setup;
}

}  // namespace tw::app
