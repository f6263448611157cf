#include "platform/classes/stringlist.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"

namespace tw {
namespace {

std::vector<std::string> Lines(const TStrings& s) {
  std::vector<std::string> v;
  for (int i = 0; i < s.Count(); ++i) v.push_back(s[i]);
  return v;
}
using V = std::vector<std::string>;

TEST(StringListSorted, KeepsOrderAndHandlesDuplicates) {
  TStringList list;
  list.SetSorted(true);
  list.Add("pear");
  list.Add("Apple");
  list.Add("banana");
  EXPECT_EQ(Lines(list), (V{"Apple", "banana", "pear"}));
  // dupIgnore: the existing index, nothing added; case-insensitive by default.
  EXPECT_EQ(list.Add("APPLE"), 0);
  EXPECT_EQ(list.Count(), 3);
  list.SetDuplicates(dupError);
  try {
    list.Add("Pear");
    FAIL();
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), "Duplicates not allowed");
  }
  list.SetDuplicates(dupAccept);
  list.Add("pear");
  EXPECT_EQ(list.Count(), 4);
  int index = -1;
  EXPECT_TRUE(list.Find("PEAR", index));
  EXPECT_EQ(index, 2);  // the first of equal lines
  EXPECT_FALSE(list.Find("cherry", index));
  EXPECT_EQ(index, 2);  // where it would go
  EXPECT_THROW(list.Insert(0, "x"), EStringListError);
  EXPECT_THROW(list.SetStrings(0, "x"), EStringListError);
  // An ignored duplicate keeps the object of the line that is there.
  TStringList ids;
  ids.SetSorted(true);
  ids.AddObject("text", 1);
  EXPECT_EQ(ids.AddObject("TEXT", 2), 0);
  EXPECT_EQ(ids.Objects(0), 1);
}

TEST(StringListSorted, CaseSensitivityChangesSearchAndOrder) {
  TStringList list;
  list.SetCaseSensitive(true);
  list.SetSorted(true);
  list.Add("a");
  list.Add("A");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.IndexOf("A"), list.IndexOf("a") == 0 ? 1 : 0);
  list.SetCaseSensitive(false);
  EXPECT_GE(list.IndexOf("A"), 0);
  EXPECT_GE(list.IndexOf("a"), 0);
}

TEST(StringListSorted, SortingLaterAndCustomSort) {
  TStringList list;
  list.SetCommaText("c,a,b,a");
  list.Sort();
  EXPECT_EQ(list.CommaText(), "a,a,b,c");
  list.AddObject("z", 1);
  list.CustomSort([](TStringList& l, int a, int b) { return l.StringRef(b).compare(l.StringRef(a)); });
  EXPECT_EQ(list.CommaText(), "z,c,b,a,a");
  EXPECT_EQ(list.Objects(0), 1);  // objects travel with their lines
}

TEST(StringListObjects, HoldIntegersAndObjects) {
  TStringList list;
  list.AddObject("ninety-two", 92);
  TStringList other;
  list.AddObject("object", &other);
  list.AddObject("none", nullptr);
  EXPECT_EQ(list.Objects(0), 92);
  EXPECT_EQ(list.ObjectAt<TStringList>(1), &other);
  EXPECT_EQ(list.IndexOfObject(92), 0);
  EXPECT_EQ(list.IndexOfObject(&other), 1);
  EXPECT_EQ(list.IndexOfObject(7), -1);
  list.Delete(0);
  EXPECT_EQ(list.Objects(0), reinterpret_cast<std::intptr_t>(static_cast<TObject*>(&other)));
  EXPECT_THROW(list.Objects(5), EStringListError);
}

TEST(StringListValues, NamesValuesAndDeletingByEmptyValue) {
  TStringList list;
  list.SetText("Language=Deutsch\r\nnoequals\r\nPeriod=30\r\n");
  EXPECT_EQ(list.Values("language"), "Deutsch");
  EXPECT_EQ(list.Values("missing"), "");
  EXPECT_EQ(list.Names(1), "");
  EXPECT_EQ(list.IndexOfName("PERIOD"), 2);
  list.SetValues("Period", "60=x");
  EXPECT_EQ(list[2], "Period=60=x");
  EXPECT_EQ(list.Values("Period"), "60=x");
  list.SetValues("New", "1");
  EXPECT_EQ(list[3], "New=1");
  list.SetValues("Language", "");
  EXPECT_EQ(list.IndexOfName("Language"), -1);
  EXPECT_EQ(list.Count(), 3);

  TStringList sorted;
  sorted.SetSorted(true);
  sorted.Add("b=2");
  sorted.Add("a=1");
  sorted.SetValues("a", "9");  // a sorted list cannot Put; the line is replaced instead
  EXPECT_EQ(Lines(sorted), (V{"a=9", "b=2"}));
}

TEST(StringListCommaText, QuotingRoundTrip) {
  TStringList list;
  list.Add("plain");
  list.Add("with space");
  list.Add("comma,inside");
  list.Add("say \"hi\"");
  list.Add("");
  EXPECT_EQ(list.CommaText(), "plain,\"with space\",\"comma,inside\",\"say \"\"hi\"\"\",");
  TStringList back;
  back.SetCommaText(list.CommaText() + ",last");
  EXPECT_EQ(Lines(back), (V{"plain", "with space", "comma,inside", "say \"hi\"", "", "last"}));

  TStringList one;
  one.Add("");
  EXPECT_EQ(one.CommaText(), "\"\"");
  back.SetCommaText("  a , b\tc,,\"unterminated");
  EXPECT_EQ(Lines(back), (V{"a", "b", "c", "", "unterminated"}));
  back.SetCommaText("a,");
  EXPECT_EQ(Lines(back), (V{"a"}));
  back.SetCommaText("");
  EXPECT_EQ(back.Count(), 0);
}

TEST(StringListText, LineBreaksOfEveryKind) {
  TStringList list;
  list.SetText("a\rb\nc\r\n\r\nd");
  EXPECT_EQ(Lines(list), (V{"a", "b", "c", "", "d"}));
  EXPECT_EQ(list.Text(), "a\r\nb\r\nc\r\n\r\nd\r\n");
  list.SetText("one\n");
  EXPECT_EQ(Lines(list), (V{"one"}));
  list.SetText("\n");
  EXPECT_EQ(Lines(list), (V{""}));
}

TEST(StringListFiles, StreamAndFileRoundTrip) {
  TStringList list;
  list.Add("Gr\xFC\xDF");  // Windows-1252 bytes stay as they are
  list.Add("zwei");
  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(stream.Bytes(), "Gr\xFC\xDF\r\nzwei\r\n");
  stream.SetPosition(0);
  TStringList back;
  back.LoadFromStream(stream);
  EXPECT_TRUE(back.Equals(list));

  auto dir = std::filesystem::temp_directory_path() / "tw_classes_sl";
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "lines.txt").string();
  list.SaveToFile(file);
  TStringList fromFile;
  fromFile.LoadFromFile(file);
  EXPECT_TRUE(fromFile.Equals(list));
  EXPECT_THROW(fromFile.LoadFromFile((dir / "missing.txt").string()), EFOpenError);
  EXPECT_THROW(list.SaveToFile((dir / "no" / "folder.txt").string()), EFCreateError);
  std::filesystem::remove_all(dir);
}

TEST(StringListEvents, BatchedChangesNotifyOnce) {
  TStringList list;
  int changes = 0;
  int changing = 0;
  list.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &list);
    ++changes;
  };
  list.OnChanging = [&](TObject*) { ++changing; };
  list.Add("a");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(changing, 1);
  list.BeginUpdate();
  list.Add("b");
  list.Add("c");
  list.Delete(0);
  list.EndUpdate();
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(changing, 2);
  list.SetText("x\ny");  // one batch
  EXPECT_EQ(changes, 3);
}

TEST(StringListAssign, CopiesLinesAndObjects) {
  TStringList a;
  a.AddObject("one", 1);
  a.AddObject("two", 2);
  TStringList b;
  b.Add("old");
  b.Assign(&a);
  EXPECT_EQ(Lines(b), (V{"one", "two"}));
  EXPECT_EQ(b.Objects(1), 2);
  TComponent c(nullptr);
  EXPECT_THROW(b.Assign(&c), EConvertError);
  b.Move(0, 1);
  EXPECT_EQ(Lines(b), (V{"two", "one"}));
  EXPECT_EQ(b.Objects(0), 2);
}

// A descendant that provides only what it must, as a document shown as lines does.
class LinesOnly : public TStrings {
  TW_CLASS(LinesOnly, TStrings)
 public:
  int GetCount() const override { return static_cast<int>(lines.size()); }
  std::string Get(int index) const override { return lines.at(static_cast<std::size_t>(index)); }
  void Clear() override { lines.clear(); }
  void Delete(int index) override { lines.erase(lines.begin() + index); }
  void Insert(int index, const std::string& s) override { lines.insert(lines.begin() + index, s); }
  std::vector<std::string> lines;
  int updates = 0;

 protected:
  void SetUpdateState(bool updating) override {
    if (!updating) ++updates;
  }
};

TEST(StringsBase, DefaultsWorkOverTheFiveOperations) {
  LinesOnly l;
  l.SetText("b=2\r\na=1");
  EXPECT_EQ(l.updates, 1);
  EXPECT_EQ(l.Values("A"), "1");
  l.SetValues("b", "3");  // Put by Delete + Insert
  EXPECT_EQ(l.lines, (V{"b=3", "a=1"}));
  l.AddObject("c", 5);  // no object slots: the line is added, the object dropped
  EXPECT_EQ(l.Objects(2), 0);
  l.Exchange(0, 2);
  EXPECT_EQ(l.CommaText(), "c,a=1,b=3");
  EXPECT_EQ(l.IndexOf("A=1"), 1);
  TStringList copy;
  copy.Assign(&l);
  EXPECT_EQ(copy.Text(), "c\r\na=1\r\nb=3\r\n");
}

}  // namespace
}  // namespace tw
