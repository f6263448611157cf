#include <gtest/gtest.h>

#include "platform/classes/streams.h"
#include "platform/rtl/exceptions.h"
#include "richtext/document/progress.h"
#include "richtext/document/setmode.h"
#include "richtext/document/textreader.h"
#include "richtext/document/textwriter.h"

namespace tw::richtext {
namespace {

std::string WritePlain(TRiRTFText& e, PTParagraph start = nullptr, PTParagraph end = nullptr, PTLine endLine = nullptr,
                       int endPos = 0) {
  TStringStream s;
  TRiTextWriter w;
  w.Engine = &e;
  w.StartPar = start != nullptr ? start : e.FirstPar;
  w.EndPar = end;
  w.EndLine = endLine;
  w.EndPos = endPos;
  w.WriteHeader(&s);
  w.WriteBody(&s);
  w.WriteTrailer();
  return s.DataString();
}

void Read(TRiRTFText& e, TStream& s) {
  TRiTextReader r;
  r.Owner = &e.Header();
  r.Engine = &e;
  r.CurPar = e.FirstPar;
  PTParagraph first = nullptr;
  r.ReadDocument(&s, first);
}

TEST(PlainTextWriter, WritesParagraphsWithCrLfAndNothingAfterTheLastCharacter) {
  TRiRTFText e;
  e.AddParagraph(0, "ab", nullptr);
  e.AddParagraph(1, "c", nullptr);
  EXPECT_EQ(WritePlain(e), "ab\r\nc");
  TRiTextWriter w;
  TStringStream s;
  w.Engine = &e;
  EXPECT_EQ(w.WriteBody(&s), riNothing);
}

TEST(PlainTextWriter, HiddenTextIsWrittenAndSpecialTextFollowsTheSwitches) {
  TRiRTFText e;
  PTParagraph p = e.FirstPar;
  TAttr hidden, ip, aut;
  hidden.Extra = fxHidden;
  ip.Extra = fxInsertPoint;
  aut.Extra = fxAutomatic;
  e.ReplaceText(p, p->FirstLine, nullptr, 2, "A ", 0, 0);
  e.ReplaceText(p, p->FirstLine, &hidden, 1, "h", 0, 2);
  e.ReplaceText(p, p->FirstLine, &ip, 1, "i", 0, 3);
  e.ReplaceText(p, p->FirstLine, &aut, 2, "au", 0, 4);
  EXPECT_EQ(WritePlain(e), "A hiau");
  TStringStream s;
  TRiTextWriter w;
  w.Engine = &e;
  w.StartPar = e.FirstPar;
  w.SkipInsertPoints = true;
  w.SkipAutomatic = true;
  w.WriteHeader(&s);
  w.WriteBody(&s);
  EXPECT_EQ(s.DataString(), "A h");
}

TEST(PlainTextWriter, ARangeEndingInsideALineStopsThere) {
  TRiRTFText e;
  e.AddParagraph(0, "first", nullptr);
  e.AddParagraph(1, "second", nullptr);
  PTParagraph last = e.FirstPar->Next;
  EXPECT_EQ(WritePlain(e, nullptr, last, last->FirstLine, 3), "first\r\nsec");
}

// A stream that takes only so many bytes.
class TShortStream : public TStringStream {
 public:
  explicit TShortStream(std::int64_t room) : room_(room) {}
  std::int64_t Write(const void* buffer, std::int64_t count) override {
    const std::int64_t n = std::min(count, room_);
    room_ -= n;
    return TStringStream::Write(buffer, n);
  }

 private:
  std::int64_t room_;
};

TEST(PlainTextWriter, AShortWriteGivesTheWriteError) {
  TRiRTFText e;
  e.AddParagraph(0, "abcdef", nullptr);
  TShortStream s(3);
  TRiTextWriter w;
  w.Engine = &e;
  w.StartPar = e.FirstPar;
  w.WriteHeader(&s);
  EXPECT_EQ(w.WriteBody(&s), riWriteError);
}

TEST(PlainTextReader, CarriageReturnsMakeParagraphsAndZeroEndsReading) {
  TRiRTFText e;
  TStringStream s(std::string("ab\r\nc\0tail", 10));
  e.CurAttr.Style = fsItalic;
  TRiTextReader r;
  r.Owner = &e.Header();
  r.Engine = &e;
  r.CurPar = e.FirstPar;
  r.CurAttr = e.CurAttr;
  PTParagraph first = nullptr;
  r.ReadDocument(&s, first);
  EXPECT_EQ(first, e.FirstPar);
  ASSERT_EQ(e.ParagraphCount(), 2);
  EXPECT_EQ(e.ParagraphText(0), "ab");
  EXPECT_EQ(e.ParagraphText(1), "c");
  EXPECT_EQ(e.FirstPar->FirstLine->Attrs[0].Style, fsItalic);
  EXPECT_EQ(s.Position(), 6);  // right after the zero byte, not at the end of the buffer fill
}

std::vector<std::string> ReadParagraphs(const std::string& text) {
  TRiRTFText e;
  TStringStream s(text);
  Read(e, s);
  std::vector<std::string> out;
  for (int i = 0; i < e.ParagraphCount(); ++i) out.push_back(e.ParagraphText(i));
  return out;
}

TEST(PlainTextReader, CrLfCrAndLfEachEndOneParagraph) {
  using V = std::vector<std::string>;
  EXPECT_EQ(ReadParagraphs("linux\nfile\n"), (V{"linux", "file", ""}));
  EXPECT_EQ(ReadParagraphs("dos\r\nfile"), (V{"dos", "file"}));
  EXPECT_EQ(ReadParagraphs("old\rmac\r\rend"), (V{"old", "mac", "", "end"}));
  EXPECT_EQ(ReadParagraphs("mixed\r\n\nlf\n\rcr"), (V{"mixed", "", "lf", "", "cr"}));
  // A CR LF split across two buffer fills is still one paragraph end.
  EXPECT_EQ(ReadParagraphs(std::string(1023, 'x') + "\r\ny"), (V{std::string(1023, 'x'), "y"}));
}

TEST(PlainTextReader, LongLinesContinueInFurtherLinesOfTheParagraph) {
  TRiRTFText e;
  TStringStream s(std::string(300, 'x'));
  Read(e, s);
  ASSERT_EQ(e.ParagraphCount(), 1);
  PTLine l = e.FirstPar->FirstLine;
  EXPECT_EQ(l->Length, l->Capacity - 4);
  ASSERT_NE(l->Next, nullptr);
  EXPECT_EQ(l->Next->Capacity, 200);
  EXPECT_EQ(e.ParagraphText(0), std::string(300, 'x'));
}

TEST(PlainTextReader, WrongArgumentsAndAutomaticText) {
  TRiTextReader r;
  TStringStream s("x");
  PTParagraph first = nullptr;
  EXPECT_THROW(r.ReadDocument(&s, first), Exception);
  TRiRTFText e;
  TRiTextReader a;
  a.Owner = &e.Header();
  a.Engine = &e;
  a.Automatic = true;
  a.ReadDocument(&s, first);  // a new chain
  ASSERT_NE(first, nullptr);
  EXPECT_NE(first, e.FirstPar);
  EXPECT_TRUE(first->FirstLine->Attrs[0].Extra & fxAutomatic);
  e.FreeChain(first);
}

TEST(PlainTextReader, HexPairsAndUnread) {
  EXPECT_EQ(TRiTextReader::HexPair('4', 'F'), 79);
  EXPECT_EQ(TRiTextReader::HexPair('4', 'f'), 79);
  EXPECT_EQ(TRiTextReader::HexPair('4', 'G'), 64);
  TRiTextReader r;
  TStringStream s("xyz");
  r.SetStream(&s);
  EXPECT_EQ(r.ReadChar(), 'x');
  r.UnreadChar();
  EXPECT_EQ(r.ReadChar(), 'x');
  EXPECT_EQ(r.ReadChar(), 'y');
  r.SyncStream();
  EXPECT_EQ(s.Position(), 2);
  EXPECT_EQ(r.ReadChar(), 'z');
  EXPECT_EQ(r.ReadChar(), -1);
}

TEST(PlainTextRoundTrip, DocumentToTextAndBack) {
  // Nothing after the last paragraph: the text ends with its last character.
  TRiRTFText e;
  e.AddParagraph(0, "one\ttab", nullptr);
  e.AddParagraph(1, "", nullptr);
  e.AddParagraph(2, "\xe4\xf6\xfc {}\\", nullptr);
  const std::string text = WritePlain(e);
  TRiRTFText back;
  TStringStream s(text);
  Read(back, s);
  ASSERT_EQ(back.ParagraphCount(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(back.ParagraphText(i), e.ParagraphText(i));
}

TEST(Progress, FramesMapUnitsOntoTheParentsShare) {
  std::vector<int> seen;
  SetProgressEvent([&](int p) { seen.push_back(p); });
  {
    TProgressFrame outer(100);
    ProgressSetShare(50);
    {
      TProgressFrame inner(10);
      EXPECT_GE(inner.Step(), 1);
      ProgressReport(10);
    }
    ProgressReport(100);
  }
  SetProgressEvent(nullptr);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 0);
  EXPECT_NE(std::find(seen.begin(), seen.end(), 50), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), 100), seen.end());
  {
    TProgressSuppressor quiet;
    TProgressFrame f(5);
    EXPECT_EQ(f.Step(), -1);
  }
}

TEST(SetModeControl, QueriesWithAndWithoutAParagraph) {
  TRiRTFText e;
  TRiSetModeControl c;
  EXPECT_EQ(c.FirstIndent(), 0);
  EXPECT_EQ(c.TabSet(), 0u);
  EXPECT_EQ(c.FontName(), "");
  c.Engine = &e;
  c.CurrentParagraph = [&] { return e.FirstPar; };
  e.FirstPar->LeftIndent = 300;
  e.FirstPar->Shading = 0x50;
  e.FirstPar->Tabs = 6;
  e.CurAttr.Style = fsBold;
  e.CurAttr.Extra = fxHidden;
  EXPECT_EQ(c.LeftIndent(), 300);
  EXPECT_EQ(c.ShadingColor(), 5);
  EXPECT_EQ(c.TabSet(), 6u);
  EXPECT_EQ(c.Style(), 0x0101u);
  EXPECT_EQ(c.FontName(), "Arial");
  e.CurAttr.Font = 99;
  EXPECT_EQ(c.FontName(), "");
}

}  // namespace
}  // namespace tw::richtext
