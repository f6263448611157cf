// The editor's view properties: top offset, transparency, select-on-entry and the font that
// follows the current attributes.
#include "richtext/controls/tests/fixture.h"

#include "platform/forms/stdctrls/stdctrls.h"
#include "richtext/document/progress.h"

namespace tw::richtext::testing {
namespace {

class EditorProperties : public RichTextTest {};

TEST_F(EditorProperties, TopOffsetScrollsTheViewAndKeepsWhatTheEngineReached) {
  FillLines(80);
  rt->SetCursorPos(0);
  rt->SetTopOffset(100);
  EXPECT_EQ(E().VertOffset(), 100);
  EXPECT_EQ(rt->TopOffset(), 100);
  rt->SetTopOffset(40);
  EXPECT_EQ(E().VertOffset(), 40);
  EXPECT_EQ(rt->TopOffset(), 40);
  rt->SetTopOffset(-25);
  EXPECT_EQ(E().VertOffset(), 0);
  EXPECT_EQ(rt->TopOffset(), 0);
}

TEST_F(EditorProperties, TopOffsetBeyondTheDocumentStopsWhereTheEngineStops) {
  FillLines(3);
  rt->SetCursorPos(0);
  rt->SetTopOffset(1000000);
  EXPECT_EQ(rt->TopOffset(), E().VertOffset());
  EXPECT_LT(rt->TopOffset(), 1000000);
}

TEST_F(EditorProperties, TransparentSetsTheExtendedStyleAndRestoresBackgroundScrolling) {
  ASSERT_TRUE(rt->BackgroundScrolling());
  EXPECT_EQ(GetWindowLong(rt->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  rt->SetTransparent(true);
  EXPECT_TRUE(rt->Transparent());
  EXPECT_NE(GetWindowLong(rt->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  rt->SetBackgroundScrolling(false);
  E().BackgroundScrolling = true;  // changed behind the control's back while transparent
  rt->SetTransparent(false);
  EXPECT_FALSE(E().BackgroundScrolling);
  EXPECT_EQ(GetWindowLong(rt->Handle(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  // The control still edits after its window was made again.
  rt->InputString("ok");
  EXPECT_EQ(rt->Text().substr(0, 2), "ok");
}

class SelectOnEntry : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    other = new TEdit(form);
    other->SetParent(form);
    other->SetBounds(0, 0, 50, 20);
    rt->InputString("some text");
    rt->SetCursorPos(2);
    other->SetFocus();
    Pump();
    ASSERT_FALSE(E().HasSelection());
  }
  TEdit* other = nullptr;
};

TEST_F(SelectOnEntry, IsOffAfterConstructionAndEntryKeepsTheCursor) {
  EXPECT_FALSE(rt->SelectOnEntry);
  rt->SetFocus();
  Pump();
  EXPECT_FALSE(E().HasSelection());
}

TEST_F(SelectOnEntry, KeyboardEntrySelectsTheWholeText) {
  rt->SelectOnEntry = true;
  rt->SetFocus();
  Pump();
  EXPECT_EQ(rt->SelectedText(), "some text");
}

TEST_F(SelectOnEntry, EntryByAMousePressSelectsNothing) {
  rt->SelectOnEntry = true;
  const TPoint p = rt->ClientToScreen(TPoint{200, 200});
  InjectMouseDown(p.X, p.Y);
  Pump();
  EXPECT_TRUE(rt->Focused());
  EXPECT_NE(rt->SelectedText(), "some text");
  InjectMouseUp(p.X, p.Y);
  Pump();
}

TEST_F(EditorProperties, FontReadsBackTheCurrentAttributes) {
  TAttr a;
  rt->GetCurrentAttr(a);
  a.Font = static_cast<std::uint8_t>(rt->GetFontIndex("Courier New"));
  a.Size = 14;
  a.SetTextColor(4);
  a.Style = fsBold | fsStrikeOut;
  rt->SetCurrentAttr(a);
  TFont* f = rt->Font();
  EXPECT_EQ(f->Name(), "Courier New");
  EXPECT_EQ(f->Size(), 14);
  EXPECT_EQ(f->Color(), rt->GetHeader().Colors[4]);
  EXPECT_TRUE(f->Style().Contains(TFontStyle::fsBold));
  EXPECT_TRUE(f->Style().Contains(TFontStyle::fsStrikeOut));
  EXPECT_FALSE(f->Style().Contains(TFontStyle::fsItalic));
  // Reading did not change the attributes.
  TAttr after;
  rt->GetCurrentAttr(after);
  EXPECT_EQ(after.Font, a.Font);
  EXPECT_EQ(after.Size, 14);
  EXPECT_EQ(after.Style & (fsBold | fsStrikeOut | fsItalic), fsBold | fsStrikeOut);
}

TEST_F(EditorProperties, AFontChangeStillReachesTheAttributes) {
  rt->Font()->SetSize(20);
  rt->Font()->SetStyle(TFontStyles{TFontStyle::fsItalic});
  TAttr a;
  rt->GetCurrentAttr(a);
  EXPECT_EQ(a.Size, 20);
  EXPECT_EQ(a.Style & (fsItalic | fsBold), fsItalic);
  EXPECT_EQ(rt->Font()->Size(), 20);
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

using EditorMembers = RichTextTest;

TEST_F(EditorMembers, TheLinesViewShowsAndChangesTheParagraphs) {
  rt->InputString("first\rsecond");
  rt->Reformat();
  TRiRtfStrings* lines = rt->Lines();
  ASSERT_NE(lines, nullptr);
  EXPECT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Strings(1), "second");
  lines->SetStrings(0, "replaced");
  lines->Add("third");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"replaced", "second", "third"}));
}

TEST_F(EditorMembers, EveryStringGivenToTheLinesViewIsALine) {
  rt->Lines()->SetText("\r\n\r\nthird\r\n");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"", "", "third"}));
  rt->Lines()->Clear();
  for (const char* line : {"", "", "x"}) rt->Lines()->Add(line);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"", "", "x"}));
}

TEST_F(EditorMembers, LayingTheDocumentOutReportsItsProgress) {
  FillLines(300);  // more than 100 paragraphs: measuring and breaking count them
  std::vector<int> percents;
  SetProgressEvent([&](int percent) { percents.push_back(percent); });
  rt->Reformat();
  SetProgressEvent(nullptr);
  ASSERT_GT(percents.size(), 20u);
  EXPECT_EQ(percents.front(), 50);
  EXPECT_EQ(percents.back(), 0);
}

TEST_F(EditorMembers, AFontNumberBeyondTheTableIsRefusedBeforeItIsStored) {
  Type("abc");
  E().SelectRange(0, 2);
  TAttr bad = E().CurAttr;
  bad.Font = 150;
  EXPECT_THROW(rt->SetCurrentAttr(bad), Exception);
  EXPECT_EQ(E().CurAttr.Font, 0);
  EXPECT_EQ(E().FirstPar->FirstLine->Attrs[0].Font, 0);
  rt->Reformat();  // laid out and painted as before
}

TEST_F(EditorMembers, EventsReportPositionsNewParagraphsAndProtectedText) {
  std::vector<int> xs, ys, pars;
  rt->OnXPosChanged = [&](TObject* s, int x) {
    EXPECT_EQ(s, rt);
    xs.push_back(x);
  };
  rt->OnYPosChanged = [&](TObject*, int y) { ys.push_back(y); };
  rt->OnNewParCreatedEvent = [&](TObject*, int par) { pars.push_back(par); };
  Type("ab");
  EXPECT_FALSE(xs.empty());
  const std::size_t xCount = xs.size(), yCount = ys.size();
  Type("\r");
  EXPECT_EQ(pars, (std::vector<int>{1}));
  EXPECT_GT(ys.size(), yCount);
  EXPECT_GT(xs.size(), xCount);  // back to the line start
  EXPECT_LT(xs.back(), xs[xCount - 1]);
  // Touching protected text reports its run.
  std::string touched;
  int touchedTag = -1;
  rt->OnProtectedChange = [&](TObject*, const std::string& text, int tag) {
    touched = text;
    touchedTag = tag;
  };
  rt->InputString("locked");
  rt->Reformat();
  for (PTLine l = E().ParagraphByIndex(1)->FirstLine; l != nullptr; l = l->Next)
    for (int i = 0; i < l->Length; ++i) l->Attrs[static_cast<std::size_t>(i)].Extra |= fxProtected;
  rt->SetProtectedProp(TProtectProps{TProtectProp::ppProtected});
  rt->SetCursorPosition(0, 0, 2, 1);
  Type("x");
  EXPECT_EQ(Paragraphs()[1], "locked");
  EXPECT_EQ(touched, "locked");
  EXPECT_EQ(touchedTag, 0);
}

TEST_F(EditorMembers, TypedTextPassesThroughGetTextToInsert) {
  rt->GetTextToInsert = [](TObject*, std::string& text) {
    if (text == "a") text = "A!";
    if (text == "z") text.clear();
  };
  Type("bazc");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"bA!c"}));
  EXPECT_EQ(E().CursorPosition(), 4);
}

TEST_F(EditorMembers, AReflectedChangeNotificationFiresOnChangeAndCtl3DRepaints) {
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  SendMessage(rt->Handle(), CN_COMMAND, MAKEWPARAM(0, EN_CHANGE), 0);
  EXPECT_EQ(changes, 1);
  SendMessage(rt->Handle(), CN_COMMAND, MAKEWPARAM(0, 0x0100), 0);  // another notification
  EXPECT_EQ(changes, 1);
  E().UpdateLocked = true;  // the engine's own update
  SendMessage(rt->Handle(), CN_COMMAND, MAKEWPARAM(0, EN_CHANGE), 0);
  E().UpdateLocked = false;
  EXPECT_EQ(changes, 1);
  // A changed 3-D look paints the view again.
  rt->InputString("shown");
  rt->Reformat();
  rt->Picture().Canvas()->Brush()->SetColor(clRed);
  rt->Picture().Canvas()->FillRect(TRect{0, 0, 480, 360});
  SendMessage(rt->Handle(), CM_CTL3DCHANGED, 0, 0);
  EXPECT_NE(rt->Picture().Canvas()->Pixel(400, 300), clRed);
}

}  // namespace
}  // namespace tw::richtext::testing
