// Reading the text sources: what becomes rows, and which faults in a source are refused with
// the file and line named.
#include <gtest/gtest.h>

#include <string>

#include "tools/tablebuild/textsource.h"

namespace tw::tablebuild {
namespace {

std::string ErrorOf(void (*f)(const std::string&), const std::string& text) {
  try {
    f(text);
  } catch (const SourceError& e) {
    return e.what();
  }
  return "";
}
void Messages(const std::string& t) { ParseMessages(t, "ENG", "m.txt"); }
void Interpretations(const std::string& t) { ParseInterpretations(t, "ENG", "i.txt").Rows(); }

TEST(MessageSource, ReadsNumbersEscapesAndConvertsToWindows1252) {
  const auto rows = ParseMessages("# c\n\n1 Tidewell\r\n66 House system: %s\n99 a\\rb\\\\c \n34 L\xC3\xB6we\n", "DEU", "m");
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0].Nr, 1);
  EXPECT_EQ(rows[0].Text, "Tidewell") << "the CR of a CR LF line end is not part of the text";
  EXPECT_EQ(rows[2].Text, "a\rb\\c");
  EXPECT_EQ(rows[3].Text, "L\xF6we");
  EXPECT_EQ(rows[3].Lang, "DEU");
}

TEST(MessageSource, RefusesBadLinesNamingTheLine) {
  const struct {
    const char* Text;
    const char* Error;
  } cases[] = {
      {"1 a\n1 b\n", "m.txt:2: message 1 defined twice"},
      {"x text\n", "m.txt:1: bad message number"},
      {"40000 text\n", "m.txt:1: bad message number"},
      {"\n5\n", "m.txt:2: message 5 has no text"},
      {"5 a\\q\n", "m.txt:1: unknown escape"},
      {"5 a\\\n", "m.txt:1: escape at the end"},
      {"5 \xE2\x82\xAC ok\n6 \xE4\xB8\xAD\n", "m.txt:2: text is not valid UTF-8"},  // euro fits, CJK does not
      {"5 \xC3\n", "m.txt:1: text is not valid UTF-8"},
  };
  for (const auto& c : cases) EXPECT_EQ(ErrorOf(Messages, c.Text).rfind(c.Error, 0), 0u) << c.Text << " gave " << ErrorOf(Messages, c.Text);
}

const char* kSmall =
    "body 0 Sun | self\n"
    "body 4 Mars | drive\n"
    "pattern 1 {T} with {R}: {t}/{r}.\n"
    "pattern 2 far\\r\n"
    "pattern 3 hard\n"
    "pattern 4 easy\n"
    "ref 5 120\n"
    "text 4 4 1 Mars return.\n"
    "none 0 4\n";

TEST(InterpretationSource, ComposesRowsWithOwnTextsReferencesAndGaps) {
  const auto rows = ParseInterpretations(kSmall, "ENG", "i").Rows();
  ASSERT_EQ(rows.size(), 3u * 5u) << "three pairs of bodies (0/4 is a gap), five aspects each";
  auto find = [&](int t, int r, int a) -> std::string {
    for (const auto& row : rows)
      if (row.TransitBody == t && row.RadixBody == r && row.Aspect == a) return row.Text;
    return "<none>";
  };
  EXPECT_EQ(find(4, 0, 1), "Mars with Sun: drive/self.\r\r");
  EXPECT_EQ(find(4, 4, 1), "Mars return.\r\r");
  EXPECT_EQ(find(0, 0, 2), "far\r") << "a text ending with a paragraph end is kept";
  EXPECT_EQ(find(0, 0, 5), "@120");
  EXPECT_EQ(find(0, 4, 1), "<none>");
}

TEST(InterpretationSource, RefusesIncompleteOrCircularSources) {
  const std::string base = "body 0 Sun | self\npattern 1 a\npattern 2 b\npattern 3 c\n";
  const struct {
    std::string Text;
    const char* Error;
  } cases[] = {
      {base + "pattern 4 d\n", "ENG: aspect 5 has neither"},
      {base + "ref 4 90\nref 5 120\n", "i.txt: aspect 5 refers to an aspect that refers again"},
      {base + "ref 4 120\n", "i.txt:5: reference leads to no other"},
      {base + "ref 4 45\n", "i.txt:5: reference leads to no other"},
      {base + "ref 4 30\n", "i.txt:5: reference leads to no other"},  // 30 degrees is not searched
      {base + "pattern 6 e\n", "i.txt:5: aspect 6 is not searched"},
      {base + "text 0 0 1 @90\n", "i.txt:5: an own text must not begin"},
      {base + "pattern 4 @60\n", "i.txt:5: a pattern must not begin"},
      {base + "text 0 9 1 x\n", "i.txt: text for an undeclared body"},
      {base + "body 0 Moon | x\n", "i.txt:5: body defined twice"},
      {base + "body 1 Moon\n", "i.txt:5: body needs"},
      {base + "planet 1 x\n", "i.txt:5: unknown line kind"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ErrorOf(Interpretations, c.Text).rfind(c.Error, 0), 0u) << c.Text << " gave " << ErrorOf(Interpretations, c.Text);
}

TEST(InterpretationSource, ReferencesMapAnglesToAspects) {
  const struct {
    const char* Text;
    int Aspect;
  } cases[] = {{"@0", 1}, {"@", 1}, {"@180", 2}, {"@90", 3}, {"@120", 4}, {"@60", 5}, {"@30", 6},
               {"@150", 7}, {"@45", 0}, {"@90 degrees", 3}, {"@99999999999", 0}, {"text", 0}, {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(ReferencedAspect(c.Text), c.Aspect) << c.Text;
}

}  // namespace
}  // namespace tw::tablebuild
