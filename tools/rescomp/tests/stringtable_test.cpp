#include "tools/rescomp/stringtable.h"

#include <gtest/gtest.h>

#include <string>

namespace rescomp {
namespace {

using namespace std::string_literals;

std::string Record(unsigned id, const std::string& text) {
  return std::string{static_cast<char>(id & 0xFF), static_cast<char>(id >> 8)} + text + '\0';
}

std::string ErrorOf(const std::string& source) {
  try {
    CompileStringTable(source, "t.txt");
  } catch (const CompileError& e) {
    return e.what();
  }
  return "no error";
}

TEST(StringTableFormat, RecordsAreIdLittleEndianThenZeroTerminatedText) {
  EXPECT_EQ(CompileStringTable("1 String not found: %d\n23794 \\\\Software\\\\\n", "t.txt"),
            Record(1, "String not found: %d") + Record(23794, "\\Software\\"));
  // Byte for byte: id 300 is 2C 01.
  EXPECT_EQ(CompileStringTable("300 A", "t.txt"), "\x2C\x01" "A\0"s);
}

TEST(StringTableFormat, TextIsTheRestOfTheLineExactly) {
  EXPECT_EQ(CompileStringTable("5  two spaces kept  \n", "t.txt"), Record(5, " two spaces kept  "));
  EXPECT_EQ(CompileStringTable("6\ttab\tinside\r\n", "t.txt"), Record(6, "tab\tinside"));
  EXPECT_EQ(CompileStringTable("7 seven\n8\n", "t.txt"), Record(7, "seven") + Record(8, ""));
  EXPECT_EQ(CompileStringTable("9 # not a comment", "t.txt"), Record(9, "# not a comment"));
}

TEST(StringTableFormat, BlankAndCommentLinesAndBomAreSkipped) {
  EXPECT_EQ(CompileStringTable("\xEF\xBB\xBF# head\n\n   \n\t\n1 a\n#2 b\n", "t.txt"), Record(1, "a"));
  EXPECT_EQ(CompileStringTable("", "t.txt"), "");
}

TEST(StringTableFormat, EscapesAndWindows1252Conversion) {
  EXPECT_EQ(CompileStringTable("1 a\\nb\\rc\\td\\\\e\\x7F\\xff", "t.txt"), Record(1, "a\nb\rc\td\\e\x7F\xFF"));
  EXPECT_EQ(CompileStringTable("2 \xC3\xA4\xC3\x9F \xE2\x82\xAC \xE2\x80\x9E\xE2\x80\x9C", "t.txt"),
            Record(2, "\xE4\xDF \x80 \x84\x93"));
}

TEST(StringTableErrors, NameFileLineAndReason) {
  EXPECT_EQ(ErrorOf("1 ok\n2 \xE2\x86\x92 arrow\n"), "t.txt:2: character U+2192 at column 3 has no Windows-1252 code");
  EXPECT_EQ(ErrorOf("1 ok\n\nx no id\n"), "t.txt:3: a line must start with a decimal string id");
  EXPECT_EQ(ErrorOf("12,text"), "t.txt:1: the string id must be followed by one space or tab");
  EXPECT_EQ(ErrorOf("65536 big"), "t.txt:1: string id above 65535");
  EXPECT_EQ(ErrorOf("1 a\n1 b"), "t.txt:2: string id 1 already used on line 1");
  EXPECT_EQ(ErrorOf("1 bad \\q"), "t.txt:1: unknown escape \\q");
  EXPECT_EQ(ErrorOf("1 bad \\x4"), "t.txt:1: \\x needs two hexadecimal digits");
  EXPECT_EQ(ErrorOf("1 bad \\x00"), "t.txt:1: \\x00 would end the text early");
  EXPECT_EQ(ErrorOf("1 end \\"), "t.txt:1: a backslash at the end of the line");
  EXPECT_EQ(ErrorOf("1 \xC3"), "t.txt:1: malformed UTF-8 at column 3");
  // An empty text ends the table: nothing may follow it (comments and blank lines may).
  EXPECT_EQ(ErrorOf("1 a\n2\n# tail\n\n3 c\n"), "t.txt:5: string id 3 would never be found: the empty text on line 2 ends the table");
  EXPECT_EQ(ErrorOf("1 \n2 b"), "t.txt:2: string id 2 would never be found: the empty text on line 1 ends the table");
  EXPECT_EQ(CompileStringTable("1 a\n2 \n# tail\n", "t.txt"), Record(1, "a") + Record(2, ""));
  EXPECT_EQ(ErrorOf("1 \xC0\x80"), "t.txt:1: malformed UTF-8 at column 3");      // overlong NUL
  EXPECT_EQ(ErrorOf("1 \xED\xA0\x80"), "t.txt:1: malformed UTF-8 at column 3");  // surrogate
  EXPECT_EQ(ErrorOf("1 a\0b"s), "t.txt:1: a zero byte cannot be part of a text");
}

TEST(Windows1252, CodePoints) {
  EXPECT_EQ(CodePointToWin1252(U'A'), 'A');
  EXPECT_EQ(CodePointToWin1252(U'\u00FF'), 0xFF);
  EXPECT_EQ(CodePointToWin1252(U'\u20AC'), 0x80);
  EXPECT_EQ(CodePointToWin1252(U'\u0178'), 0x9F);
  EXPECT_EQ(CodePointToWin1252(U'\u0081'), 0x81);  // unassigned byte keeps its control code
  EXPECT_EQ(CodePointToWin1252(U'\u0080'), -1);    // 0x80 is the euro sign, not U+0080
  EXPECT_EQ(CodePointToWin1252(U'\u0100'), -1);
}

TEST(ResourceFiles, NamesKindsAndUniqueness) {
  EXPECT_EQ(ResourceName("/x/resources/strings/CLIENT_STRINGS_ENGLISH.txt"), "CLIENT_STRINGS_ENGLISH");
  EXPECT_EQ(ResourceName("forms/TfrmMain.dfm.txt"), "TfrmMain.dfm");
  EXPECT_EQ(ResourceName("icons/MAINICON"), "MAINICON");
  EXPECT_TRUE(IsStringTableSource("strings/SRSRES_STRINGS.txt"));
  EXPECT_TRUE(IsStringTableSource("strings/A.TXT"));
  EXPECT_FALSE(IsStringTableSource("strings/sub/A.txt"));
  EXPECT_FALSE(IsStringTableSource("forms/A.txt"));
  EXPECT_FALSE(IsStringTableSource("strings/A.bin"));
  std::vector<Resource> dup{{"Main", "a/Main.bmp", ""}, {"MAIN", "b/MAIN.ico", ""}};
  EXPECT_THROW(CheckUniqueNames(dup), CompileError);
  EXPECT_NO_THROW(CheckUniqueNames({{"A", "A.txt", ""}, {"B", "B.txt", ""}}));
}

TEST(ResourceFiles, GeneratedSourceHoldsEveryByte) {
  std::string src = GenerateSource({{"ONE", "ONE.bin", "\x01\xFF"s}, {"EMPTY", "EMPTY.bin", ""}, {"q\"x", "q", "z"}});
  EXPECT_NE(src.find("0x01,0xFF,"), std::string::npos);
  EXPECT_NE(src.find("{\"ONE\", kData0, 2}"), std::string::npos);
  EXPECT_NE(src.find("{\"EMPTY\", kData1, 0}"), std::string::npos);
  EXPECT_NE(src.find("{\"q\\042x\", kData2, 1}"), std::string::npos);
  EXPECT_NE(src.find("kResourceCount = 3;"), std::string::npos);
  EXPECT_NE(GenerateSource({}).find("kResourceCount = 0;"), std::string::npos);
}

}  // namespace
}  // namespace rescomp
