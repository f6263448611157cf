#include "app/lib/appsupport.h"

#include <stdexcept>

#include "app/lib/orvform.h"
#include "app/lib/tests/applib_test_util.h"
#include "platform/gfx/font.h"
#include "platform/gfx/printer.h"
#include "platform/gfx/font.h"

namespace tw::app::test {
namespace {

// A message table in memory limited to the rows of one language.
class TFakeMessages : public TMessageRecords {
 public:
  struct Row {
    std::string lang, text;
    int nr;
  };
  std::vector<Row> rows;
  bool active = true;
  std::string language;
  std::size_t pos = 0;

  bool Active() const override { return active; }
  void SelectLanguage(const std::string& code) override { language = code; }
  void First() override { pos = Skip(0); }
  bool Eof() const override { return pos >= rows.size(); }
  void Next() override { pos = Skip(pos + 1); }
  int Nr() override { return rows[pos].nr; }
  std::string Text() override {
    if (rows[pos].text == "broken") throw std::runtime_error("damaged record");
    return rows[pos].text;
  }
  std::size_t Skip(std::size_t i) const {
    while (i < rows.size() && language != rows[i].lang) ++i;
    return i;
  }
};

TEST(LanguageMessagesTest, LoadsTheTextsOfOneLanguage) {
  TFakeMessages table;
  table.rows = {{"ENG", "Tidewell", 1}, {"DEU", "Gezeiten", 1}, {"ENG", "", 2},
                {"ENG", "broken", 3},   {"ENG", std::string(2000, 'x'), 4}, {"ENG", "Gr\xFC\xDF" "e", 5}};
  std::unique_ptr<TStringList> list = LoadLanguageMessages(table, "ENG");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Count(), 3);  // the empty and the damaged record are left out
  EXPECT_EQ(list->Objects(0), 1);
  EXPECT_EQ(list->Strings(1).size(), kMaxMessageText);
  EXPECT_EQ(list->Strings(2), "Gr\xFC\xDF" "e");  // kept in the program's character set
  EXPECT_EQ(LoadLanguageMessages(table, "DEU")->Strings(0), "Gezeiten");
  EXPECT_EQ(table.language, "DEU");
  table.active = false;
  EXPECT_EQ(LoadLanguageMessages(table, "ENG"), nullptr);
}

TEST(ColourIndexTest, NamedColoursMapOntoTheViewsTable) {
  EXPECT_EQ(ColorNameToIndex(clRed), 1);
  EXPECT_EQ(ColorNameToIndex(clNavy), 11);
  EXPECT_EQ(ColorNameToIndex(clWhite), 0);
  // The table holds no olive: its nearest colour, green, rather than purple.
  EXPECT_EQ(ColorNameToIndex(clOlive), 2);
  EXPECT_EQ(ColorNameToIndex(clWindowText), 0);  // a system colour
  EXPECT_EQ(ColorNameToIndex(0x123456), 0);      // a colour given as a number
  TFont font;
  font.SetColor(clBlue);
  font.SetSize(14);
  font.SetStyle(TFontStyles{TFontStyle::fsBold, TFontStyle::fsUnderline});
  // The record keeps the editor's other fields and loses the further attribute bytes.
  struct TTestAttr {
    std::uint8_t Font = 0, Colors = 0x55, Style = 0, Extra = 1, Attr10 = 0, Attr11 = 0, Size = 0;
    std::uint16_t Tag = 9;
  };
  struct TEditor {
    TTestAttr GetCurrentAttr() {
      TTestAttr current;
      current.Size = 11;
      return current;
    }
    int GetFontIndex(const std::string& name) { return name == font.Name() ? 2 : 0; }
    TFont& font;
  } editor{font};
  TTestAttr attr;
  FontToAttr(editor, attr, &font);
  EXPECT_EQ(attr.Font, 2);
  EXPECT_EQ(attr.Size, 14);
  EXPECT_EQ(attr.Style, 1 | 4);
  EXPECT_EQ(attr.Extra, 0);
  EXPECT_EQ(attr.Colors, 3);
  EXPECT_EQ(attr.Tag, 9);
  font.SetSize(300);  // too large for the record's size byte: not cut to 44 points nor 0
  FontToAttr(editor, attr, &font);
  EXPECT_EQ(attr.Size, 11);
}

using PageSetupStoreTest = AppLibTest;

TEST_F(PageSetupStoreTest, StoredUnderTheFormAndDefaultedWhenMissingOrDamaged) {
  auto* form = Application()->CreateForm<TOrvForm>();
  form->SetName("frmMain");
  // A first start: the sheet that will be printed, the locale's (A4 in the C locale).
  const TPageSetup first = DefaultPageSetup();
  EXPECT_EQ(LoadPageSetup(form), first);
  EXPECT_EQ(first.LeftMargin, 1880);
  EXPECT_EQ(first.TopMargin, 1440);
  EXPECT_EQ(first.PageWidth, MulDiv(LocalePaperSize().Width, 1440, 254));
  EXPECT_EQ(first.PageHeight, MulDiv(LocalePaperSize().Height, 1440, 254));
  if (LocalePaperSize().Name == "A4") {
    EXPECT_EQ(first, (TPageSetup{1880, 1880, 1440, 1440, 11906, 16838}));
  }
  TPageSetup a4{1440, 1440, 720, 720, 11906, 16838};
  SavePageSetup(form, a4);
  EXPECT_EQ(form->ReadString("PageSetup", ""), "1440,1440,720,720,11906,16838");
  EXPECT_EQ(LoadPageSetup(form), a4);
  // Missing numbers give 0 ("x" and "," each count as one); a page without room is damage.
  EXPECT_EQ(ValueToPageSetup("10,x,30"), (TPageSetup{10, 0, 0, 30, 0, 0}));
  for (const char* damaged : {"0,0,0,0,0,0", "-1,0,0,0,12240,15840", "6000,6240,0,0,12240,15840", "10,x,30"}) {
    form->WriteString("PageSetup", damaged);
    EXPECT_EQ(LoadPageSetup(form), first) << damaged;
  }
  form->WriteString("PageSetup", "");
  EXPECT_EQ(LoadPageSetup(form), std::nullopt);  // the view keeps its own
}

}  // namespace
}  // namespace tw::app::test
