#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>

#include "platform/classes/filer.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "richtext/rtf/rtfstrings.h"
#include "richtext/rtf/rtfwriter.h"
#include "richtext/rtf/tests/helpers.h"

namespace tw::richtext {
namespace {

using namespace test;

std::string TempName(const std::string& suffix) {
  return "richtext_io_" + std::to_string(getpid()) + suffix;
}

TEST(LoadFormatDetection, LeadingBlanksAndTheRtfMark) {
  TRiRTFTextIo a;
  TStringStream s1(" \r\n\t{\\rtf1 \\b x}");
  EXPECT_EQ(a.LoadFromStream(s1), TRiLoadFormat::FormatRTF);
  EXPECT_EQ(a.ParagraphText(0), "x");
  EXPECT_EQ(Chars(a.FirstPar)[0].A.Style, fsBold);
  TRiRTFTextIo b;
  TStringStream s2("{ \\rtf1 x}");
  EXPECT_EQ(b.LoadFromStream(s2), TRiLoadFormat::FormatANSI);
  EXPECT_EQ(b.ParagraphText(0), "{ \\rtf1 x}");
  TRiRTFTextIo c;
  c.LoadFormat = TRiLoadFormat::FormatANSI;
  TStringStream s3("{\\rtf1 x}");
  c.LoadFromStream(s3);
  EXPECT_EQ(c.ParagraphText(0), "{\\rtf1 x}");
  // Many blanks first, and a mark that straddles two reads of the detection.
  for (std::size_t blanks : {253u, 300u}) {
    TRiRTFTextIo d;
    TStringStream s4(std::string(blanks, ' ') + "{\\rtf1 y}");
    EXPECT_EQ(d.LoadFromStream(s4), TRiLoadFormat::FormatRTF) << blanks;
    EXPECT_EQ(d.ParagraphText(0), "y");
  }
}

TEST(LoadFormatDetection, LargePlainTextSwitchesToPlainMode) {
  TRiRTFTextIo a;
  TStringStream exact(std::string(500000, 'a'));
  a.LoadFromStream(exact);
  EXPECT_FALSE(a.PlainMode);
  TRiRTFTextIo b;
  TStringStream over(std::string(500001, 'a'));
  b.LoadFromStream(over);
  EXPECT_TRUE(b.PlainMode);
  EXPECT_EQ(b.ParagraphText(0).size(), 500001u);
}

TEST(LoadInsertion, ALargePlainTextInsertedIntoAFormattedDocumentKeepsItsAttributes) {
  TRiRTFTextIo e;
  AddRun(e, "Bold head", MakeAttr(0, 12, 0, fsBold));
  e.SetCursor(9, 0, 0, 0);
  std::string text;
  while (text.size() <= 600000) text += "A line of plain text to insert\r\n";
  TStringStream s(text);
  e.LoadFormat = TRiLoadFormat::FormatANSI;
  e.LoadFromStream(s);
  EXPECT_EQ(e.LastResult, riOK);
  EXPECT_FALSE(e.PlainMode);
  EXPECT_TRUE(e.Header().AttributesInUse);
  EXPECT_EQ(e.ParagraphText(0), "Bold headA line of plain text to insert");
  EXPECT_GT(e.ParagraphCount(), 10000);
  const auto head = Chars(e.FirstPar);
  EXPECT_EQ(head[0].A.Style, fsBold);
  EXPECT_EQ(head[0].A.Size, 12);
}

TEST(LoadInsertion, NonEmptyDocumentsInsertAtTheCursorAndKeepTheTitle) {
  TRiRTFTextIo e;
  AddRun(e, "HeadTail", MakeAttr(0, 10, 0));
  e.Header().Title = "kept";
  e.SetCursor(4, 0, 0, 0);
  LoadRtf(e, "{\\rtf1{\\title other}\\b one\\par two}");
  ASSERT_EQ(e.LastResult, riOK);
  ASSERT_EQ(e.ParagraphCount(), 2);
  EXPECT_EQ(e.ParagraphText(0), "Headone");
  EXPECT_EQ(e.ParagraphText(1), "twoTail");
  EXPECT_EQ(e.Header().Title, "kept");
  // Into an empty document the title is replaced.
  TRiRTFTextIo f;
  f.Header().Title = "old";
  LoadRtf(f, "{\\rtf1{\\title new}x}");
  EXPECT_EQ(f.Header().Title, "new");
}

TEST(LoadInsertion, ProtectedCursorOrTheEventDiscardsWhatWasRead) {
  TRiRTFTextIo e;
  AddRun(e, "locked", MakeAttr(0, 10, 0, 0, fxProtected));
  e.Protection = TProtectProps{TProtectProp::ppProtected};
  e.SetCursor(2, 0, 0, 0);
  LoadRtf(e, "{\\rtf1 new}");
  EXPECT_EQ(e.ParagraphText(0), "locked");
  TRiRTFTextIo f;
  AddRun(f, "text", MakeAttr(0, 10, 0));
  bool called = false;
  f.OnParagraphsRead = [&](TRiRTFText*, bool& discard, PTParagraph first) {
    called = true;
    EXPECT_EQ(TRiRTFText::ParagraphLength(first), 3);
    discard = true;
  };
  LoadRtf(f, "{\\rtf1 new}");
  EXPECT_TRUE(called);
  EXPECT_EQ(f.ParagraphText(0), "text");
}

TEST(Saving, EmptyDocumentsAndFormats) {
  TRiRTFTextIo e;
  TStringStream s;
  e.SaveFormat = TRiLoadFormat::FormatRTF;
  e.SaveToStream(s);
  EXPECT_EQ(s.DataString(), "");  // plain text of nothing
  const std::string rtfName = TempName(".rtf");
  e.SaveFormat = TRiLoadFormat::FormatANSI;
  e.SaveToFile(rtfName);
  TMemoryStream in;
  in.LoadFromFile(rtfName);
  EXPECT_EQ(in.Bytes().substr(0, 6), "{\\rtf1");
  EXPECT_EQ(e.SaveFormat, TRiLoadFormat::FormatANSI);  // restored after the save
  std::remove(rtfName.c_str());
}

TEST(Saving, LastLoadedFormatDecidesForLastFormat) {
  const std::string txt = TempName(".txt");
  {
    TFileStream f(txt, fmCreate);
    f.WriteBuffer(std::string_view("{\\rtf1 \\i rich}"));
  }
  TRiRTFTextIo e;
  e.LoadFromFile(txt);
  EXPECT_EQ(static_cast<TRiLoadFormat>(e.Header().LastFormat), TRiLoadFormat::FormatRTF);
  e.SaveFormat = TRiLoadFormat::LastFormat;
  e.SaveToFile(txt);
  TMemoryStream in;
  in.LoadFromFile(txt);
  EXPECT_EQ(in.Bytes().substr(0, 6), "{\\rtf1");
  std::remove(txt.c_str());
  EXPECT_THROW(e.LoadFromFile(TempName(".missing")), Exception);
}

class TCaptureFiler : public TFiler {
 public:
  explicit TCaptureFiler(TStream& s) : TFiler(s, 16) {}
  void DefineProperty(const std::string&, const TReaderProc&, const TWriterProc&, bool) override {}
  void DefineBinaryProperty(const std::string& name, const TStreamProc& r, const TStreamProc& w, bool has) override {
    Name = name;
    Read = r;
    Write = w;
    HasData = has;
  }
  std::string Name;
  TStreamProc Read, Write;
  bool HasData = false;
};

TEST(DataProperty, StoredOnlyWhenNotEmptyAndReadBack) {
  TStringStream dummy;
  TRiRTFTextIo empty;
  TCaptureFiler f1(dummy);
  empty.DefineProperties(&f1);
  EXPECT_EQ(f1.Name, "Data");
  EXPECT_FALSE(f1.HasData);
  TRiRTFTextIo e;
  AddRun(e, "stored", MakeAttr(0, 10, 1, fsBold));
  TCaptureFiler f2(dummy);
  e.DefineProperties(&f2);
  ASSERT_TRUE(f2.HasData);
  TMemoryStream data;
  f2.Write(data);
  const std::string bytes = data.Bytes();
  EXPECT_EQ(bytes.substr(bytes.size() - 4), std::string(4, '\0'));
  EXPECT_EQ(bytes.substr(0, bytes.size() - 4), e.AsRtf());
  TRiRTFTextIo back;
  AddRun(back, "replaced", MakeAttr(0, 10, 0));
  TCaptureFiler f3(dummy);
  back.DefineProperties(&f3);
  data.SetPosition(0);
  f3.Read(data);
  EXPECT_EQ(back.ParagraphText(0), "stored");
  EXPECT_EQ(Chars(back.FirstPar)[0].A.Style, fsBold);
}

TEST(AssignDocuments, CopiesTextAttributesHeaderAndObjects) {
  TRiRTFTextIo a;
  a.Header().FindOrAddFont("Courier New");
  a.Header().Layout.LeftMargin = 777;
  AddRun(a, "copy", MakeAttr(1, 14, 2, fsItalic));
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(2, 2);
  TRiObject* o = a.AddObject(std::move(bmp), 0);
  TAttr obj = MakeAttr(0, 10, 0, 0, fxObject);
  obj.Tag = o->Number;
  AddRun(a, "\x01", obj);
  TRiFootnote* note = a.AddFootnote('#', 4, "note");
  TAttr mark = MakeAttr(0, 10, 0, 0, fxFootnote);
  mark.Tag = note->Id;
  AddRun(a, "#", mark);
  NewPar(a);
  a.LastParagraph()->Alignment = 1;
  AddRun(a, "auto", MakeAttr(0, 10, 0, 0, fxAutomatic));
  TRiRTFTextIo b;
  b.SkipAutomaticText = true;  // copying a whole document leaves nothing out
  b.Assign(&a);
  ExpectSameDocument(a, b);
  EXPECT_EQ(b.Header().FontName(1), "Courier New");
  EXPECT_EQ(b.Header().Layout.LeftMargin, 777);
  const auto c = Chars(b.FirstPar);
  TRiObject* copy = b.FindObject(0, c[4].A.Tag);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->Graphic, nullptr);
  EXPECT_EQ(copy->Graphic->Width(), 2);
  const TRiFootnote* copied = b.FindFootnote(c[5].A.Tag);
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(copied->Text, "note");
  EXPECT_EQ(copied->Number, 4);
  TStringList other;
  EXPECT_THROW(b.Assign(&other), EConvertError);
}

TEST(CursorPositions, CountAndLocateAgree) {
  TRiRTFTextIo e;
  AddRun(e, "abc", MakeAttr(0, 10, 0));
  PTLine second = e.FirstPar->FirstLine;
  e.NewLine(second, 20);
  e.ReplaceText(e.FirstPar, second, nullptr, 2, "de", 0, 0);
  NewPar(e);
  AddRun(e, "fgh", MakeAttr(0, 10, 0));
  PTParagraph par;
  PTLine line;
  int off;
  e.LocatePosition(0, 0, 0, 0, par, line, off);
  EXPECT_EQ(line, e.FirstPar->FirstLine);
  EXPECT_EQ(off, 0);
  e.LocatePosition(1, 0, 0, 0, par, line, off);
  EXPECT_EQ(off, 1);
  e.LocatePosition(4, 0, 0, 0, par, line, off);  // "abc|de": second line, offset 1
  EXPECT_EQ(line, second);
  EXPECT_EQ(off, 1);
  e.LocatePosition(0, 2, 0, 0, par, line, off);  // third line
  EXPECT_EQ(par, e.FirstPar->Next);
  e.LocatePosition(0, 0, 4, 0, par, line, off);  // paragraph 0, offset 4
  EXPECT_EQ(line, second);
  EXPECT_EQ(off, 1);
  e.LocatePosition(1000, 0, 0, 0, par, line, off);  // beyond the end
  EXPECT_EQ(par, e.LastParagraph());
  EXPECT_EQ(off, 3);
  e.SetCursor(7, 0, 0, 0);  // "abcde" + end + "f|gh"
  int abs, lineNo, parOff, parNo;
  e.GetCursor(abs, lineNo, parOff, parNo);
  EXPECT_EQ(abs, 7);
  EXPECT_EQ(lineNo, 2);
  EXPECT_EQ(parOff, 1);
  EXPECT_EQ(parNo, 1);
}

TEST(LineHeights, TallestVisibleCharacterAndSpacing) {
  TRiRTFTextIo e;
  PTParagraph p = e.FirstPar;
  PTLine l = p->FirstLine;
  TAttr a = MakeAttr(0, 10, 0);
  e.ReplaceText(p, l, &a, 3, "a b", 0, 0);
  l->Attrs[0].Height = 13;
  l->Attrs[0].Ascent = 10;
  l->Attrs[1].Height = 40;  // a space does not count
  l->Attrs[2].Height = 12;
  l->Attrs[2].Ascent = 9;
  e.LineHeight(p, l);
  EXPECT_EQ(l->Height, 13);
  EXPECT_EQ(l->Ascent, 10);
  p->LineSpacing = 240;
  e.LineHeight(p, l);
  EXPECT_EQ(l->Height, 16);
  EXPECT_EQ(l->Ascent, 11);
  p->LineSpacing = -240;
  l->Attrs[0].Height = 20;
  l->Attrs[0].Ascent = 15;
  e.LineHeight(p, l);
  EXPECT_EQ(l->Height, 16);
  EXPECT_EQ(l->Ascent, 13);
  p->LineSpacing = 0;
  p->SpaceBefore = 150;  // 10 pixels
  p->SpaceAfter = 75;    // 5 pixels
  EXPECT_TRUE(e.LineHeight(p, l));
  EXPECT_EQ(l->Height, 35);
  EXPECT_EQ(l->Ascent, 25);
  // Hidden text only: the defaults.
  TRiRTFTextIo h;
  TAttr hidden = MakeAttr(0, 10, 0, 0, fxHidden);
  h.ReplaceText(h.FirstPar, h.FirstPar->FirstLine, &hidden, 2, "hh", 0, 0);
  h.FirstPar->FirstLine->Attrs[0].Height = 50;
  h.LineHeight(h.FirstPar, h.FirstPar->FirstLine);
  EXPECT_EQ(h.FirstPar->FirstLine->Height, h.DefaultLineHeight);
}

TEST(PagePass, TopsPageStartsAndTableRows) {
  TRiRTFTextIo e;
  e.Header().Layout.PageHeight = 1440 + 2880;  // 96 pixels of body at 96 dpi
  for (int i = 0; i < 10; ++i) {
    if (i > 0) NewPar(e);
    AddRun(e, "line", MakeAttr(0, 10, 0));
  }
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) p->FirstLine->Height = 20;
  EXPECT_EQ(e.PagePass(), 200);
  int starts = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next)
    if (p->FirstLine->Flags & lfPageStart) ++starts;
  // A line whose bottom would pass the body (line 4 ends at 100 > 96) opens the next page.
  EXPECT_EQ(starts, 2);
  EXPECT_NE(e.ParagraphByIndex(4)->FirstLine->Flags & lfPageStart, 0);
  EXPECT_NE(e.ParagraphByIndex(8)->FirstLine->Flags & lfPageStart, 0);
  EXPECT_EQ(e.ParagraphByIndex(3)->FirstLine->Top, 60);
  // A line taller than the whole body gets a page of its own, and the line after it the next.
  e.ParagraphByIndex(6)->FirstLine->Height = 300;
  EXPECT_EQ(e.PagePass(), 480);
  std::vector<int> tallStarts;
  for (int i = 0; i < 10; ++i)
    if (e.ParagraphByIndex(i)->FirstLine->Flags & lfPageStart) tallStarts.push_back(i);
  EXPECT_EQ(tallStarts, (std::vector<int>{4, 6, 7}));
  e.ParagraphByIndex(6)->FirstLine->Height = 20;
  // A lone table cell becomes an ordinary paragraph.
  e.ParagraphByIndex(2)->Flags = pfTableCell;
  e.PagePass();
  EXPECT_EQ(e.ParagraphByIndex(2)->Flags, 0);
  // A row of cells with one and three lines: the shorter cell gets the difference.
  TRiRTFTextIo t;
  LoadRtf(t, "{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl A\\cell B\\cell\\row}");
  PTParagraph c1 = t.FirstPar, c2 = c1->Next;
  PTLine extra = c2->FirstLine;
  t.NewLine(extra, 10);
  t.NewLine(extra, 10);
  for (PTParagraph p : {c1, c2})
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      l->Height = 16;
      if (l->HasAttrs())
        for (int i = 0; i < l->Length; ++i) l->Attrs[static_cast<std::size_t>(i)].Height = 16;
    }
  t.PagePass();
  EXPECT_EQ(c1->SpaceAfter, 32 * 1440 / 96);
  EXPECT_EQ(c2->SpaceAfter, 0);
}

TEST(PagePass, KeepTogetherMovesTheWholeParagraph) {
  TRiRTFTextIo e;
  e.Header().Layout.PageHeight = 1440 + 2880;  // 96 pixels
  AddRun(e, "x", MakeAttr(0, 10, 0));
  e.FirstPar->FirstLine->Height = 90;
  NewPar(e);
  PTParagraph keep = e.LastParagraph();
  keep->Flags = pfKeep;
  PTLine l = keep->FirstLine;
  l->Height = 5;
  e.NewLine(l, 10);
  l->Height = 5;
  e.NewLine(l, 10);
  l->Height = 5;
  e.PagePass();
  EXPECT_TRUE(keep->FirstLine->Flags & lfPageStart);
}

TEST(StringList, ParagraphsAreStrings) {
  TRiRTFTextIo e;
  TRiRtfStrings list(&e);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Get(0), "");
  list.Clear();
  list.Add("one");
  list.Add("two");
  list.Insert(0, "zero");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), "zero");
  EXPECT_EQ(list.Get(2), "two");
  // Replacing the text of the cursor's paragraph keeps the cursor on a line of it.
  PTParagraph one = e.ParagraphByIndex(1);
  PTLine extraLine = one->FirstLine;
  e.NewLine(extraLine, 10);
  e.CursorPar = one;
  e.CursorLine = extraLine;
  e.CursorOffset = 0;
  list.Put(1, "ONE");
  EXPECT_EQ(list.Get(1), "ONE");
  EXPECT_EQ(e.CursorLine, one->FirstLine);
  list.Delete(0);
  EXPECT_EQ(list.Get(0), "ONE");
  EXPECT_THROW(list.Get(7), EListError);
  // A paragraph of several lines is one string.
  PTLine l = e.FirstPar->FirstLine;
  e.NewLine(l, 10);
  e.ReplaceText(e.FirstPar, l, nullptr, 4, "more", 0, 0);
  EXPECT_EQ(list.Get(0), "ONEmore");
}

TEST(StringList, LoadDetectsRtfAndSaveWritesPlainText) {
  TRiRTFTextIo e;
  e.LoadFormat = TRiLoadFormat::FormatANSI;
  TRiRtfStrings list(&e);
  TStringStream in("{\\rtf1 \\b bold\\par next}");
  list.LoadFromStream(in);
  EXPECT_EQ(e.LoadFormat, TRiLoadFormat::FormatANSI);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(Chars(e.FirstPar)[0].A.Style, fsBold);
  TStringStream out;
  list.SaveToStream(out);
  EXPECT_EQ(out.DataString(), "bold\r\nnext");
}

// Numbers of the list paragraphs, generated characters only.
std::vector<std::string> Numbers(TRiRTFTextIo& e) {
  std::vector<std::string> out;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    std::string s;
    for (const Char& c : Chars(p))
      if (c.A.Extra & fxListNumber) s += c.Ch;
    out.push_back(s);
  }
  return out;
}

void AddItem(TRiRTFTextIo& e, std::uint8_t listByte, const std::string& text) {
  if (!(e.IsEmpty())) NewPar(e);
  e.LastParagraph()->ListByte = listByte;
  AddRun(e, text, MakeAttr(0, 10, 0));
}

TEST(ListNumbers, LevelsCountersAndRestarts) {
  TRiRTFTextIo e;
  AddItem(e, 0x60, "a");
  AddItem(e, 0x60, "b");
  AddItem(e, 0x00, "plain");
  AddItem(e, 0x60, "c");
  UpdateListNumbers(e);
  EXPECT_EQ(Numbers(e), (std::vector<std::string>{"1.\t", "2.\t", "", "3.\t"}));
  EXPECT_EQ(e.ParagraphText(3), "3.\tc");
  UpdateListNumbers(e);  // stable
  EXPECT_EQ(e.ParagraphText(3), "3.\tc");
  TRiRTFTextIo f;
  for (std::uint8_t level : {0, 1, 1, 0, 1}) AddItem(f, static_cast<std::uint8_t>(0x60 | level), "x");
  UpdateListNumbers(f);
  EXPECT_EQ(Numbers(f), (std::vector<std::string>{"1.\t", "1.\t", "2.\t", "2.\t", "1.\t"}));
  TRiRTFTextIo g;
  AddItem(g, 0x61, "deep");
  AddItem(g, 0x00, "plain");
  AddItem(g, 0x60, "top");
  UpdateListNumbers(g);
  EXPECT_EQ(Numbers(g)[2], "1.\t");  // an ordinary paragraph after a level-1 item restarts
}

TEST(ListNumbers, BulletsUseWingDingsAndTheCursorStaysPut) {
  TRiRTFTextIo e;
  AddItem(e, 0x10, "bullet");
  UpdateListNumbers(e);
  const auto c = Chars(e.FirstPar);
  EXPECT_EQ(c[0].Ch, 'l');
  EXPECT_EQ(e.Header().FontName(c[0].A.Font), "WingDings");
  EXPECT_EQ(c[1].Ch, '\t');
  EXPECT_EQ(c[2].A.Font, 0);
  TRiRTFTextIo f;
  for (int i = 0; i < 9; ++i) AddItem(f, 0x60, "x");
  AddItem(f, 0x60, "item");
  UpdateListNumbers(f);
  PTParagraph last = f.LastParagraph();
  f.CursorPar = last;
  f.CursorLine = last->FirstLine;
  f.CursorOffset = 5;  // "10.\ti|tem"
  AddItem(f, 0x60, "eleventh");
  f.ParagraphByIndex(0)->ListByte = 0x60;
  // Insert a new first item: the numbers grow from one digit to two for the cursor's item.
  f.AddParagraph(0, "new", nullptr);
  f.FirstPar->ListByte = 0x60;
  UpdateListNumbers(f);
  EXPECT_EQ(f.CursorPar->FirstLine->Str().substr(0, 4), "11.\t");
  EXPECT_EQ(f.CursorPar->FirstLine->Str()[static_cast<std::size_t>(f.CursorOffset)], 't');
}

TEST(ListNumbers, RtfKeepsListParagraphs) {
  TRiRTFTextIo e;
  AddItem(e, 0x61, "one");
  AddItem(e, 0x61, "two");
  UpdateListNumbers(e);
  TRiRTFTextIo b;
  LoadRtf(b, e.AsRtf());
  ExpectSameDocument(e, b);
  UpdateListNumbers(b);
  EXPECT_EQ(b.ParagraphText(1), "2.\ttwo");
}

}  // namespace
}  // namespace tw::richtext
