// The INI-form source read into a language file: language numbering, keys and value IDs, the
// conversion to the 8-bit code page, and sources that must be refused rather than half-built.
#include <gtest/gtest.h>

#include "tools/langbuild/langsource.h"

namespace tw::langbuild {
namespace {

using multilang::TLanFile;
using multilang::TLanValue;

TLanFile Build(const std::string& text) { return LanFromIniSource(text, "English", "46000"); }

std::vector<TLanValue> Values(const TLanFile& f, const std::string& section) {
  const auto* s = f.Find(section);
  return s == nullptr ? std::vector<TLanValue>{} : multilang::ParseFormBody(s->Body);
}

TEST(LangSourceTest, DefaultLanguageIsZeroAndOthersNumberedInOrderOfAppearance) {
  TLanFile f = Build(
      "[TfrmAFormLS.Deutsch]\nA.Caption=Eins\n"
      "[TfrmAFormLS.English]\nA.Caption=One\n"
      "[TfrmBFormLS.Svenska]\nB.Caption=Ett\n"
      "[TfrmBFormLS.Deutsch]\nB.Caption=Zwei\n");
  ASSERT_TRUE(f.HasLanguages);
  EXPECT_EQ(f.Languages.Stamp, "46000");
  ASSERT_EQ(f.Languages.Languages.size(), 3u);
  EXPECT_EQ(f.Languages.Languages[0].Name, "English");
  EXPECT_EQ(f.Languages.Languages[0].ID, 0);
  EXPECT_EQ(f.Languages.Languages[1].Name, "Deutsch");
  EXPECT_EQ(f.Languages.Languages[1].ID, 1);
  EXPECT_EQ(f.Languages.Languages[2].Name, "Svenska");
  EXPECT_EQ(f.Languages.Languages[2].ID, 2);

  ASSERT_EQ(f.Sections.size(), 2u);
  EXPECT_EQ(f.Sections[0].Name, "TfrmAFormLS");
  EXPECT_EQ(f.Sections[1].Name, "TfrmBFormLS");
  auto b = Values(f, "TfrmBFormLS");
  ASSERT_EQ(b.size(), 2u);
  EXPECT_EQ(b[0].ID, 2);
  EXPECT_EQ(b[0].Text, "Ett");
  EXPECT_EQ(b[1].ID, 1);
  EXPECT_EQ(b[1].Text, "Zwei");
}

TEST(LangSourceTest, KeysSplitIntoComponentPropertyAndValueID) {
  TLanFile f = Build(
      "; comment\n[Form.Deutsch]\n"
      "rbPerson.Items%3=Person 4\n"
      "Form.Caption=Optionen\n"
      "lbl.Caption=\"  Transit  \"\n"
      "LangSwitch1.#Greeting=Guten Tag\n");
  auto v = Values(f, "Form");
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v[0].Component, "rbPerson");
  EXPECT_EQ(v[0].Property, "Items");
  EXPECT_EQ(v[0].ValueID, 3);
  EXPECT_EQ(v[1].Component, "Form");
  EXPECT_EQ(v[1].Property, "Caption");
  EXPECT_EQ(v[1].ValueID, -1);
  EXPECT_EQ(v[2].Text, "  Transit  ") << "quotes keep the blanks at the ends";
  EXPECT_EQ(v[3].Property, "#Greeting");
  for (const auto& x : v) EXPECT_EQ(x.Kind, 1);
}

TEST(LangSourceTest, TextsAreConvertedToTheCodePageAndSurviveTheFile) {
  TLanFile f = Build("\xEF\xBB\xBF[F.Deutsch]\nA.Caption=Welche Person m\xC3\xB6" "chten Sie? \xE2\x82\xAC \xC3\x9C\n");
  auto back = multilang::ParseLanFile(multilang::BuildLanFile(f));
  ASSERT_EQ(back.Sections.size(), 1u);
  EXPECT_EQ(back.Sections[0].Name, "F") << "the byte-order mark is not part of the first line";
  auto v = Values(back, "F");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].Text, "Welche Person m\xF6" "chten Sie? \x80 \xDC");
}

TEST(LangSourceTest, ASectionGivenTwiceCountsOnce) {
  auto v = Values(Build("[F.Deutsch]\nA.Caption=Eins\n[f.deutsch]\nA.Caption=Zwei\n"), "F");
  ASSERT_EQ(v.size(), 1u);
  EXPECT_EQ(v[0].Text, "Eins");
}

TEST(LangSourceTest, RefusesSourcesThatCannotBeBuiltFaithfully) {
  const char* bad[] = {
      "",                                          // no language at all
      "; only a comment\n",                        //
      "[NoLanguage]\nA.Caption=x\n",               // section without "."
      "[Form.]\nA.Caption=x\n",                    // empty language
      "[Form.Deutsch]\nCaption=x\n",               // key without component
      "[Form.Deutsch]\nA.Items%x=x\n",             // value ID not a number
      "[Form.Deutsch]\nA.Items%-2=x\n",            // negative value ID
      "[Form.Deutsch]\nA.%1=x\n",                  // no property
      "[Form.Deutsch]\nA.Caption=\xCE\xA9\n",      // Greek capital omega: not in the code page
      "[Form.Deutsch]\nA.Caption=\xC3\n",          // truncated UTF-8
      "[Form.Deutsch]\nA.Caption=\xFF\xFE\n",      // not UTF-8
      "[Form.Deutsch]\nA.Caption=\xEF\xBF\xBD\n",  // the replacement character itself
  };
  for (const char* text : bad) EXPECT_THROW(Build(text), ELangSourceError) << text;
}

TEST(LangSourceTest, TheErrorNamesTheLine) {
  try {
    Build("[Form.Deutsch]\nA.Caption=ok\nB.Caption=\xCE\xA9\n");
    FAIL() << "no error";
  } catch (const ELangSourceError& e) {
    EXPECT_NE(e.Message().find("line 3"), std::string::npos) << e.Message();
  }
}

}  // namespace
}  // namespace tw::langbuild
