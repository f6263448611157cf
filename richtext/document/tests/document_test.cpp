#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "richtext/document/document.h"

namespace tw::richtext {
namespace {

TAttr Bold() {
  TAttr a;
  a.Style = fsBold;
  a.Size = 12;
  return a;
}
TAttr Red() {
  TAttr a;
  a.SetTextColor(1);
  a.Font = 2;
  return a;
}

// Every character's attributes of a paragraph, in order.
std::vector<TAttr> Attrs(PTParagraph p) {
  std::vector<TAttr> out;
  for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
    for (int i = 0; i < l->Length; ++i) out.push_back(l->Attrs[static_cast<std::size_t>(i)]);
  return out;
}

void CheckLinks(const TRiRTFText& e) {
  ASSERT_NE(e.FirstPar, nullptr);
  EXPECT_EQ(e.FirstPar->Prev, nullptr);
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    ASSERT_NE(p->FirstLine, nullptr);
    if (p->Next != nullptr) {
      EXPECT_EQ(p->Next->Prev, p);
    }
    EXPECT_EQ(p->FirstLine->Prev, nullptr);
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      EXPECT_LT(l->Length, l->Capacity);
      EXPECT_EQ(l->Text()[l->Length], '\0');
      if (l->Next != nullptr) {
        EXPECT_EQ(l->Next->Prev, l);
      }
      if (e.Header().AttributesInUse) {
        EXPECT_EQ(l->Attrs.size(), l->Capacity);
      }
    }
  }
}

// A document "Hello" (bold) + " world" (red) in one paragraph.
struct Doc {
  TRiRTFText e;
  Doc() {
    TAttr b = Bold(), r = Red();
    e.AddParagraph(0, "Hello", &b);
    PTParagraph p = e.FirstPar;
    e.ReplaceText(p, p->FirstLine, &r, 6, " world", 0, 5);
  }
};

TEST(DocumentRecords, StartsWithOneEmptyParagraphAndKeepsLimits) {
  TRiRTFText e;
  EXPECT_TRUE(e.IsEmpty());
  EXPECT_EQ(e.ParagraphCount(), 1);
  EXPECT_TRUE(e.Header().AttributesInUse);
  EXPECT_EQ(e.CurAttr.Size, 10);
  PTLine l = nullptr;
  EXPECT_THROW(e.NewLine(l, 10001), Exception);
  try {
    e.NewLine(l, 10001);
  } catch (const Exception& x) {
    EXPECT_EQ(x.Message(), "Line longer then\t10000 character!");
  }
  e.NewLine(l, 9999);
  EXPECT_EQ(l->Capacity, 10000);
  delete l;
  PTLine small = nullptr;
  e.NewLine(small, 3);
  EXPECT_EQ(small->Capacity, 8);
  delete small;
  EXPECT_THROW(TRiRTFText::AttribPtr(nullptr, 0), Exception);
  TParagraph empty;
  EXPECT_THROW(TRiRTFText::Get_LastLine(&empty), Exception);
}

TEST(DocumentRecords, DeletingTheOnlyLineKeepsAnEmptyLine) {
  Doc d;
  d.e.DeleteLine(d.e.FirstPar, d.e.FirstPar->FirstLine);
  EXPECT_TRUE(d.e.IsEmpty());
  CheckLinks(d.e);
}

TEST(DocumentRecords, ClearRestoresTheStartStateWithArial) {
  TRiRTFText e;
  e.Header().SetFontName(0, "");
  e.AddParagraph(0, "x", nullptr);
  e.AddParagraph(1, "y", nullptr);
  e.Header().Title = "t";
  e.CurAttr.Size = 0;
  e.Clear();
  EXPECT_TRUE(e.IsEmpty());
  EXPECT_EQ(e.Header().FontName(0), "Arial");
  EXPECT_EQ(e.CurAttr.Size, 10);
  EXPECT_EQ(e.Header().Title, "");
  CheckLinks(e);
}

TEST(DocumentRecords, ClearKeepsThePageSetup) {
  TRiRTFText e;
  e.Header().Layout.PageWidth = 11906;
  e.Header().Layout.LeftMargin = 567;
  e.Header().Layout.BottomMargin = 2000;
  e.Header().FindOrAddFont("Courier New");
  e.Clear();
  EXPECT_EQ(e.Header().Layout.PageWidth, 11906);
  EXPECT_EQ(e.Header().Layout.LeftMargin, 567);
  EXPECT_EQ(e.Header().Layout.BottomMargin, 2000);
  EXPECT_EQ(e.Header().TextWidthTwips, 11906 - 567 - 1880);
  EXPECT_EQ(e.Header().FontName(1), "");
}

TEST(DocumentEdits, ReplaceTextKeepsAttributesOfEachRun) {
  Doc d;
  PTParagraph p = d.e.FirstPar;
  EXPECT_EQ(d.e.ParagraphText(0), "Hello world");
  auto a = Attrs(p);
  EXPECT_EQ(a[4].Style, fsBold);
  EXPECT_EQ(a[5].TextColor(), 1);
  // Replacing without attributes takes those of the first replaced character.
  d.e.ReplaceText(p, p->FirstLine, nullptr, 3, "XYZ", 2, 6);
  EXPECT_EQ(d.e.ParagraphText(0), "Hello XYZrld");
  a = Attrs(p);
  EXPECT_EQ(a[6].TextColor(), 1);
  EXPECT_EQ(a[8].Font, 2);
  // Growth beyond the capacity reallocates and stays terminated.
  const std::string big(500, 'q');
  EXPECT_EQ(d.e.ReplaceText(p, p->FirstLine, nullptr, 500, big.data(), 0, 0), 500);
  EXPECT_EQ(d.e.ParagraphText(0).size(), 512u);
  // Truncating to the end returns 0.
  EXPECT_EQ(d.e.ReplaceText(p, p->FirstLine, nullptr, 0, nullptr, 1000, 5), 0);
  EXPECT_EQ(d.e.ParagraphText(0), "qqqqq");
  CheckLinks(d.e);
}

TEST(DocumentEdits, InsertCharGrowsAndHonoursInsertMode) {
  TRiRTFText e;
  PTParagraph p = e.FirstPar;
  PTLine l = p->FirstLine;
  e.CurAttr = Bold();
  for (int i = 0; i < 60; ++i) ASSERT_TRUE(e.InsertChar(p, l, static_cast<char>('a' + i % 26), i));
  EXPECT_EQ(l->Length, 60);
  EXPECT_GE(l->Capacity - l->Length, 1);
  EXPECT_TRUE(l->Flags & lfChanged);
  e.CurAttr = Red();
  e.InsertChar(p, l, '!', 0);
  EXPECT_EQ(e.ParagraphText(0).substr(0, 3), "!ab");
  EXPECT_EQ(l->Attrs[0].TextColor(), 1);
  EXPECT_EQ(l->Attrs[1].Style, fsBold);
  e.InsertMode = false;
  e.InsertChar(p, l, '?', 1);
  EXPECT_EQ(e.ParagraphText(0).substr(0, 3), "!?b");
  EXPECT_EQ(l->Length, 61);
  CheckLinks(e);
}

TEST(DocumentEdits, SplitAndJoinKeepTextAttributesAndProperties) {
  Doc d;
  PTParagraph p = d.e.FirstPar;
  p->Alignment = 2;
  p->LeftIndent = 720;
  PTParagraph np = d.e.SplitParagraph(p, p->FirstLine, 5);
  ASSERT_NE(np, nullptr);
  EXPECT_EQ(d.e.ParagraphText(0), "Hello");
  EXPECT_EQ(d.e.ParagraphText(1), " world");
  EXPECT_EQ(np->Alignment, 2);
  EXPECT_EQ(np->LeftIndent, 720);
  EXPECT_EQ(Attrs(np)[0].TextColor(), 1);
  // Deleting at the end of the first paragraph joins the second.
  EXPECT_TRUE(d.e.DeleteChar(p, p->FirstLine, 5));
  EXPECT_EQ(d.e.ParagraphCount(), 1);
  EXPECT_EQ(d.e.ParagraphText(0), "Hello world");
  auto a = Attrs(p);
  EXPECT_EQ(a[0].Style, fsBold);
  EXPECT_EQ(a[6].TextColor(), 1);
  CheckLinks(d.e);
}

TEST(DocumentEdits, JoiningIntoAnEmptyParagraphTakesTheNextOnesProperties) {
  TRiRTFText e;
  e.AddParagraph(0, "x", nullptr);
  e.AddParagraph(1, "second", nullptr);
  e.ReplaceText(e.FirstPar, e.FirstPar->FirstLine, nullptr, 0, nullptr, 1, 0);
  PTParagraph second = e.FirstPar->Next;
  second->Alignment = 3;
  second->RightIndent = 99;
  PTParagraph first = e.FirstPar;
  EXPECT_TRUE(e.DeleteChar(first, first->FirstLine, 0));
  EXPECT_EQ(e.ParagraphCount(), 1);
  EXPECT_EQ(first->Alignment, 3);
  EXPECT_EQ(first->RightIndent, 99);
  // A table cell is never joined.
  e.AddParagraph(1, "cell", nullptr);
  e.FirstPar->Next->Flags = pfTableCell;
  PTLine last = TRiRTFText::Get_LastLine(first);
  EXPECT_FALSE(e.DeleteChar(first, last, last->Length));
  EXPECT_EQ(e.ParagraphCount(), 2);
}

TEST(DocumentEdits, DeleteCharAtLineEndJoinsTheNextLine) {
  TRiRTFText e;
  PTParagraph p = e.FirstPar;
  e.ReplaceText(p, p->FirstLine, nullptr, 3, "abc", 0, 0);
  PTLine second = p->FirstLine;
  e.NewLine(second, 20);
  e.ReplaceText(p, second, nullptr, 3, "def", 0, 0);
  EXPECT_TRUE(e.DeleteChar(p, p->FirstLine, 3));
  EXPECT_EQ(e.ParagraphText(0), "abcef");
  EXPECT_EQ(p->FirstLine->Next, nullptr);
  CheckLinks(e);
}

TEST(DocumentEdits, InsertLineAndDeleteCharsAcrossLines) {
  TRiRTFText e;
  PTParagraph p = e.FirstPar;
  TAttr b = Bold();
  e.ReplaceText(p, p->FirstLine, &b, 6, "abcdef", 0, 0);
  TAttr r = Red();
  e.InsertLine(p, 3, &r, "XYZ");
  EXPECT_EQ(e.ParagraphText(0), "abcXYZdef");
  auto a = Attrs(p);
  EXPECT_EQ(a[2].Style, fsBold);
  EXPECT_EQ(a[3].TextColor(), 1);
  EXPECT_EQ(a[6].Style, fsBold);
  e.InsertLine(p, 0, nullptr, "<");
  EXPECT_EQ(e.ParagraphText(0), "<abcXYZdef");
  e.InsertLine(p, 2, nullptr, "");  // nothing
  // Delete "cXYZd": over three lines.
  e.DeleteChars(p, 3, 5);
  EXPECT_EQ(e.ParagraphText(0), "<abef");
  EXPECT_EQ(e.RememberedAttr.Style, fsBold);  // 'c' was bold
  CheckLinks(e);
}

TEST(DocumentEdits, InsertParagraphsSplicesAChainAtThePosition) {
  Doc d;
  PTParagraph chain = nullptr;
  d.e.NewParagraph(chain, 20);
  TAttr r = Red();
  d.e.ReplaceText(chain, chain->FirstLine, &r, 2, "AB", 0, 0);
  PTParagraph second = chain;
  d.e.NewParagraph(second, 20);
  second->Alignment = 1;
  d.e.ReplaceText(second, second->FirstLine, &r, 2, "CD", 0, 0);
  PTParagraph par = d.e.FirstPar;
  PTLine line = par->FirstLine;
  int pos = 2;
  ASSERT_TRUE(d.e.InsertParagraphs(par, line, chain, pos));
  EXPECT_EQ(d.e.ParagraphCount(), 2);
  EXPECT_EQ(d.e.ParagraphText(0), "HeAB");
  EXPECT_EQ(d.e.ParagraphText(1), "CDllo world");
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(par, d.e.FirstPar->Next);
  EXPECT_EQ(line->Str(), "llo world");
  auto a = Attrs(d.e.FirstPar->Next);
  EXPECT_EQ(a[2].Style, fsBold);
  EXPECT_EQ(a[0].TextColor(), 1);
  CheckLinks(d.e);
  // Inside a table cell nothing is inserted.
  PTParagraph other = nullptr;
  d.e.NewParagraph(other, 10);
  d.e.FirstPar->Flags = pfTableCell;
  PTParagraph cell = d.e.FirstPar;
  PTLine cl = cell->FirstLine;
  int cp = 0;
  EXPECT_FALSE(d.e.InsertParagraphs(cell, cl, other, cp));
}

TEST(DocumentEdits, AddReplaceAndDeleteParagraphs) {
  TRiRTFText e;
  e.AddParagraph(0, "one", nullptr);  // fills the empty document
  EXPECT_EQ(e.ParagraphCount(), 1);
  e.AddParagraph(5, "three", nullptr);  // after the last
  e.AddParagraph(1, "two", nullptr);
  e.AddParagraph(0, "zero", nullptr);
  ASSERT_EQ(e.ParagraphCount(), 4);
  EXPECT_EQ(e.ParagraphText(0), "zero");
  EXPECT_EQ(e.ParagraphText(2), "two");
  e.ReplaceParagraphText(2, "TWO", nullptr);
  EXPECT_EQ(e.ParagraphText(2), "TWO");
  e.DeleteParagraphLines(0);
  EXPECT_EQ(e.ParagraphText(0), "one");
  EXPECT_EQ(e.ParagraphNumber(e.FirstPar->Next), 2);
  while (e.ParagraphCount() > 1) e.DeleteParagraphLines(0);
  e.DeleteParagraphLines(0);
  EXPECT_TRUE(e.IsEmpty());
  CheckLinks(e);
}

TEST(DocumentEdits, ParagraphsLongerThanOneLineHoldsAreKeptWhole) {
  TRiRTFText e;
  std::string longText;
  for (int i = 0; longText.size() < 25000; ++i) longText += "word" + std::to_string(i) + ' ';
  const TAttr bold = Bold();
  e.AddParagraph(0, longText, &bold);
  e.AddParagraph(1, std::string(10000, 'x'), nullptr);
  ASSERT_EQ(e.ParagraphCount(), 2);
  EXPECT_EQ(e.ParagraphText(0), longText);
  EXPECT_EQ(e.ParagraphText(1), std::string(10000, 'x'));
  for (const TAttr& a : Attrs(e.FirstPar)) EXPECT_EQ(a.Style, fsBold);
  e.AddParagraph(0, std::string(12000, 'f'), nullptr);  // a new first paragraph
  EXPECT_EQ(e.ParagraphText(0), std::string(12000, 'f'));
  const std::string other(15001, 'r');
  e.ReplaceParagraphText(1, other, nullptr);
  EXPECT_EQ(e.ParagraphText(1), other);
  e.ReplaceParagraphText(1, "short again", nullptr);
  EXPECT_EQ(e.ParagraphText(1), "short again");
  EXPECT_EQ(e.ParagraphText(2), std::string(10000, 'x'));
  CheckLinks(e);
}

TEST(DocumentModes, SwitchingToPlainAndBackRebuildsAttributeArrays) {
  Doc d;
  d.e.SetMemoryFormat(TRiMemoryFormat::fmPlainText);
  EXPECT_TRUE(d.e.PlainMode);
  EXPECT_FALSE(d.e.FirstPar->FirstLine->HasAttrs());
  d.e.InsertChar(d.e.FirstPar, d.e.FirstPar->FirstLine, '+', 0);
  EXPECT_EQ(d.e.ParagraphText(0), "+Hello world");
  d.e.CurAttr = Red();
  d.e.SetMemoryFormat(TRiMemoryFormat::fmRichText);
  EXPECT_FALSE(d.e.PlainMode);
  auto a = Attrs(d.e.FirstPar);
  EXPECT_EQ(a[0].TextColor(), 1);
  CheckLinks(d.e);
}

TEST(DocumentProtection, ProtectedTextRefusesEditsAndReportsTheRun) {
  TRiRTFText e;
  PTParagraph p = e.FirstPar;
  TAttr prot;
  prot.Extra = fxProtected;
  e.ReplaceText(p, p->FirstLine, &prot, 4, "lock", 0, 0);
  TAttr ip;
  ip.Extra = fxInsertPoint;
  ip.Tag = 7;
  e.ReplaceText(p, p->FirstLine, &ip, 3, "ins", 0, 4);
  std::string seen;
  int tag = -1;
  e.OnSpecialRun = [&](TRiRTFText*, const std::string& text, int t) {
    seen = text;
    tag = t;
  };
  EXPECT_TRUE(e.InsertChar(p, p->FirstLine, 'x', 0));  // protection not switched on
  e.DeleteChar(p, p->FirstLine, 0);
  e.Protection = TProtectProps{TProtectProp::ppProtected, TProtectProp::ppIsInsertpoint};
  EXPECT_FALSE(e.InsertChar(p, p->FirstLine, 'x', 1));
  EXPECT_EQ(seen, "lock");
  EXPECT_TRUE(e.InsertChar(p, p->FirstLine, 'x', 5));  // insertion points only refuse overwriting
  e.DeleteChar(p, p->FirstLine, 5);
  EXPECT_FALSE(e.DeleteChar(p, p->FirstLine, 5));
  EXPECT_EQ(seen, "ins");
  EXPECT_EQ(tag, 7);
  e.ProtectionSuspended = true;
  EXPECT_TRUE(e.DeleteChar(p, p->FirstLine, 0));
  EXPECT_EQ(e.ParagraphText(0), "ockins");
}

TEST(DocumentObjects, ObjectCharactersFindTheirObjectByTagOrNumber) {
  TRiRTFText e;
  TRiObject* ref = e.AddObject(nullptr, 2);    // number 1, tag 2
  TRiObject* pic = e.AddObject(nullptr, 0);    // number 2, no tag
  TRiObject* gen = e.AddObject(nullptr, 65535);  // number 3, tag 2000
  // Character 2 names numbers only.
  EXPECT_EQ(e.ObjectOf(2, 2), pic);
  EXPECT_EQ(e.ObjectOf(2, 2000), nullptr);
  // Character 1: a tag, or the number of an object without a tag (as the reader writes it).
  EXPECT_EQ(e.ObjectOf(1, 2), pic);
  EXPECT_EQ(e.ObjectOf(1, 2000), gen);
  EXPECT_EQ(e.ObjectOf(1, 1), ref);
  EXPECT_EQ(e.ObjectOf(1, 7), nullptr);
  // Only bitmaps and metafiles are copied as object pictures.
  TBitmap bmp;
  bmp.SetSize(3, 2);
  auto copy = TRiRTFText::CopyObjectGraphic(&bmp);
  ASSERT_NE(dynamic_cast<TBitmap*>(copy.get()), nullptr);
  EXPECT_EQ(copy->Width(), 3);
  TIcon icon;
  EXPECT_EQ(TRiRTFText::CopyObjectGraphic(&icon), nullptr);
  EXPECT_EQ(TRiRTFText::CopyObjectGraphic(nullptr), nullptr);
}

TEST(DocumentObjects, TagsNumbersAndFootnotes) {
  TRiRTFText e;
  int requested = 0;
  e.OnObjectRequest = [&](int, TRiObject*) { ++requested; };
  TRiObject* a = e.AddObject(nullptr, 65535);
  TRiObject* b = e.AddObject(nullptr, 65535);
  TRiObject* c = e.AddObject(nullptr, 0);
  TRiObject* d = e.AddObject(nullptr, 42);
  EXPECT_EQ(a->Tag, 2000);
  EXPECT_EQ(b->Tag, 2001);
  EXPECT_GE(c->Number, 1);
  EXPECT_EQ(requested, 2);  // generated tags ask for nothing
  EXPECT_EQ(e.FindObject(42, 0), d);
  EXPECT_EQ(e.FindObject(0, c->Number), c);
  d->Name = "Logo";
  EXPECT_EQ(e.FindObjectByName("LOGO"), d);
  e.DefaultObjectSize(*a);
  EXPECT_EQ(a->Width, 32);
  e.ClearObjectMarks();
  d->InUse = true;
  e.FreeUnmarkedObjects();
  EXPECT_EQ(e.Objects().size(), 1u);
  TRiFootnote* f1 = e.AddFootnote('*', 1, "one");
  TRiFootnote* f2 = e.AddFootnote('+', 2, "two");
  EXPECT_EQ(f1->Id, 1);
  EXPECT_EQ(f2->Id, 2);
  EXPECT_EQ(e.FindFootnote(2), f2);
  e.FreeFootnotes();
  EXPECT_EQ(e.FindFootnote(1), nullptr);
}

TEST(DocumentTabs, FullTableFreesTabsNoParagraphUses) {
  TRiRTFText e;
  TTextHeader& h = e.Header();
  for (int i = 0; i < MaxTabs; ++i) h.AddTab(144 * (i + 1), TTabKind::tkLeft);
  e.FirstPar->Tabs = TTabSet{1} << 3;
  EXPECT_NE(h.AddTab(144 * 200, TTabKind::tkLeft), 0u);
  EXPECT_NE(h.TabPos[3], 0);
  // All used: the notification reports code 2.
  e.FirstPar->Tabs = ~TTabSet{0};
  for (int i = 0; i < MaxTabs; ++i)
    if (h.TabPos[static_cast<std::size_t>(i)] == 0) h.AddTab(144 * (300 + i), TTabKind::tkLeft);
  int code = 0;
  e.OnNotify = [&](TRiRTFText*, int c) { code = c; };
  EXPECT_EQ(h.AddTab(144 * 500, TTabKind::tkLeft), 0u);
  EXPECT_EQ(code, 2);
}

TEST(ListNumberTexts, LettersRomanAndDecimal) {
  EXPECT_EQ(ListNumberText(1, 5), "l");
  EXPECT_EQ(ListNumberText(3, 1), "a)");
  EXPECT_EQ(ListNumberText(3, 26), "z)");
  EXPECT_EQ(ListNumberText(3, 27), "aa)");
  EXPECT_EQ(ListNumberText(3, 52), "az)");
  EXPECT_EQ(ListNumberText(3, 53), "ba)");
  EXPECT_EQ(ListNumberText(3, 702), "zz)");
  EXPECT_EQ(ListNumberText(3, 703), "a)");
  EXPECT_EQ(ListNumberText(2, 28), "AB)");
  EXPECT_EQ(ListNumberText(5, 4), "iv.");
  EXPECT_EQ(ListNumberText(5, 49), "xxxxix.");
  EXPECT_EQ(ListNumberText(5, 90), "lxxxx.");
  EXPECT_EQ(ListNumberText(4, 100), ".");
  EXPECT_EQ(ListNumberText(4, 14), "XIV.");
  EXPECT_EQ(ListNumberText(6, 12), "12.");
  EXPECT_EQ(ListNumberText(7, 1), "");
}

}  // namespace
}  // namespace tw::richtext
