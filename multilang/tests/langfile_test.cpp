// The binary language forms: round trips, the long string form, damaged and truncated input,
// the reporter's texts, file-name expansion and the sound-alike code.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "multilang/langfile.h"
#include "platform/rtl/files.h"

namespace tw::multilang {
namespace {

TLanFile SampleFile() {
  TLanFile f;
  f.HasLanguages = true;
  f.Languages.Stamp = "46000";
  f.Languages.Languages = {{0, 0, "English", ""}, {0, 1, "Deutsch", std::string(40, '\x11')}};
  f.Sections.push_back({"TfrmMainLangSwitch1", BuildFormBody({{1, 1, "&Datei", "File1", "Caption", -1},
                                                              {1, 1, "Zwei", "ComboBox1", "Items", 1}})});
  f.Sections.push_back({"TfrmOptionsLangSwitch1", BuildFormBody({{1, 1, "Optionen", "TfrmOptions", "Caption", -1}})});
  return f;
}

TEST(LanFileFormat, RoundTripKeepsLanguagesIconsAndSections) {
  TLanFile f = SampleFile();
  std::string bytes = BuildLanFile(f);
  ASSERT_TRUE(HasLanHeader(bytes));
  TLanFile back = ParseLanFile(bytes);
  ASSERT_TRUE(back.HasLanguages);
  EXPECT_EQ(back.Languages.Stamp, "46000");
  ASSERT_EQ(back.Languages.Languages.size(), 2u);
  EXPECT_EQ(back.Languages.Languages[1].Name, "Deutsch");
  ASSERT_EQ(back.Languages.Languages[1].Icon.size(), kIconSlotSize) << "the icon fills its slot";
  EXPECT_EQ(back.Languages.Languages[1].Icon.substr(0, 40), std::string(40, '\x11'));
  ASSERT_EQ(back.Sections.size(), 2u);
  EXPECT_EQ(back.Sections[1].Body, f.Sections[1].Body) << "sections are kept byte for byte";
  auto values = ParseFormBody(back.Find("TfrmMainLangSwitch1")->Body);
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[1].ValueID, 1);
  EXPECT_EQ(values[0].ValueID, -1);
  EXPECT_EQ(values[0].Text, "&Datei");
  EXPECT_EQ(BuildLanFile(back).size(), bytes.size());
}

TEST(LanFileFormat, StringsOf255AndMoreUseTheLongForm) {
  std::string t254(254, 'a'), t255(255, 'b'), t300(300, 'c');
  std::string body = BuildFormBody({{1, 1, t254, "A", "Caption", -1}, {1, 1, t255, "B", "Caption", -1},
                                    {1, 1, t300, "C", "Caption", -1}});
  // record: marker, kind, id (6 bytes), then the text's length
  EXPECT_EQ(static_cast<unsigned char>(body[6]), 254);
  std::size_t second = 6 + 1 + 254 + 2 + 8 + 2;
  EXPECT_EQ(static_cast<unsigned char>(body[second + 6]), 255);
  EXPECT_EQ(body.substr(second + 7, 4), std::string("\xFF\x00\x00\x00", 4)) << "32-bit length 255";
  auto back = ParseFormBody(body);
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[1].Text, t255);
  EXPECT_EQ(back[2].Text, t300);
}

TEST(LanFileFormat, LanguagesDataRoundTripAndOversizedIconIsNotWritten) {
  TLanguagesData d;
  d.Languages.Stamp = "1";
  d.Languages.Languages = {{0, 0, "English", ""}, {0, 2, "Svenska", std::string(kIconSlotSize + 1, 'x')}};
  d.Values = {{1, 2, "Avbryt", "CancelBtn", "Caption", -1}};
  TLanguagesData back = ParseLanguagesData(BuildLanguagesData(d));
  ASSERT_EQ(back.Languages.Languages.size(), 2u);
  EXPECT_TRUE(back.Languages.Languages[1].Icon.empty()) << "an icon larger than its slot is left out";
  ASSERT_EQ(back.Values.size(), 1u);
  EXPECT_EQ(back.Values[0].Text, "Avbryt");
}

TEST(LanFileFormat, EveryTruncationIsAnErrorOrAWholePrefix) {
  std::string bytes = BuildLanFile(SampleFile());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    std::string cut = bytes.substr(0, n);
    try {
      TLanFile f = ParseLanFile(cut);
      // Only a cut at a section boundary may read, and then what it holds is whole.
      for (const auto& s : f.Sections) EXPECT_NO_THROW(ParseFormBody(s.Body)) << n;
    } catch (const ELangFileError&) {
    }
  }
  std::string data = BuildLanguagesData({SampleFile().Languages, {{1, 1, "x", "A", "B", -1}}});
  for (std::size_t n = 0; n < data.size(); ++n) EXPECT_THROW(ParseLanguagesData(data.substr(0, n)), ELangFileError) << n;
}

TEST(LanFileFormat, DamagedLengthsAndOffsetsAreCaught) {
  std::string bytes = BuildLanFile(SampleFile());
  std::size_t first = LanHeader().size();
  // An offset that points back into the section ends the reading without reading past it.
  std::string back = bytes;
  back[first + 2] = 1;
  back[first + 3] = back[first + 4] = back[first + 5] = 0;
  TLanFile f = ParseLanFile(back);
  EXPECT_FALSE(f.HasLanguages);
  // An offset beyond the end of the file.
  std::string far = bytes;
  far[first + 5] = 0x7F;
  EXPECT_THROW(ParseLanFile(far), ELangFileError);
  // A long string whose length runs past the end.
  std::string body = BuildFormBody({{1, 1, "abc", "A", "Caption", -1}});
  body[6] = static_cast<char>(255);
  EXPECT_THROW(ParseFormBody(body), ELangFileError);
  // A value record of an unknown kind cannot be skipped.
  std::string kind = BuildFormBody({{1, 1, "abc", "A", "Caption", -1}});
  kind[2] = 7;
  EXPECT_THROW(ParseFormBody(kind), ELangFileError);
  EXPECT_THROW(ParseLanFile("not a language file"), ELangFileError);
}

TEST(LanFileFormat, SeedFilesOfTheReaderTargetsRead) {
  const char* root = std::getenv("TIDEWELL_SOURCE_DIR");
  std::string dir = root != nullptr ? std::string(root) + "/multilang/fuzz/corpus/"
                                    : std::filesystem::path(__FILE__).parent_path().parent_path().string() + "/fuzz/corpus/";
  TLanFile f = ParseLanFile(ReadFileBytes(dir + "fuzz_lan_file/sample.lan"));
  ASSERT_EQ(f.Sections.size(), 2u);
  auto values = ParseFormBody(f.Find("TfrmMainLangSwitch1")->Body);
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values[2].Text, std::string(300, 'x'));
  TLanguagesData d = ParseLanguagesData(ReadFileBytes(dir + "fuzz_languages_data/sample.bin"));
  EXPECT_EQ(d.Values.size(), 2u);
}

TEST(LanFileErrors, ReporterTexts) {
  EXPECT_EQ(LangFileErrorText("X.LAN", 2), "TLangSwitch File error (X.LAN): File not found");
  EXPECT_EQ(DosErrorText(35), "File control block unabailable");
  EXPECT_EQ(DosErrorText(88), "Net write fault");
  EXPECT_EQ(DosErrorText(14), "Error code not recognized (14)");
  EXPECT_EQ(DosErrorText(0), "Error code not recognized (0)");
  EXPECT_EQ(DosErrorText(89), "Error code not recognized (89)");
}

TEST(LanFileNames, ExpandProgramFolderInAnyCase) {
  EXPECT_EQ(ExpandFileName("%EXEPath%TWLang.LAN", "/opt/tw/"), "/opt/tw/TWLang.LAN");
  EXPECT_EQ(ExpandFileName("%exepath%sub/a.lan", "/p/"), "/p/sub/a.lan");
  EXPECT_EQ(ExpandFileName("/abs/a.LAN", "/p/"), "/abs/a.LAN");
  EXPECT_EQ(ExpandFileName("%EXEPATH%" + std::string(300, 'a'), "/p/").size(), 3u + 255u);
}

TEST(LanFileNames, SoundexMatchesSoundAlikes) {
  EXPECT_EQ(Soundex("Robert"), Soundex("Rupert"));
  EXPECT_EQ(Soundex("&Cancel"), Soundex("Cancel"));
  EXPECT_EQ(Soundex("Tymczak"), "T52") << "codes made adjacent by dropped letters count once";
  EXPECT_NE(Soundex("Open"), Soundex("Close"));
}

}  // namespace
}  // namespace tw::multilang
