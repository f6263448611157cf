// The rich-text component with its tool panel on top, a ruler under it and a status bar at the
// bottom, on a shown form of the offscreen window system.
#pragma once

#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {

class ToolsTest : public RichTextTest {
 protected:
  void SetUp() override {
    RichTextTest::SetUp();
    // Wide enough for the whole text width of the default page on the ruler.
    form->SetClientWidth(700);
    panel = new TRiToolPanel(form);
    panel->SetParent(form);
    panel->SetBounds(0, 0, 700, 30);
    ruler = new TRiRuler(form);
    ruler->SetParent(form);
    ruler->SetBounds(0, 30, 700, 20);
    bar = new TRiStatusBarBasic(form);
    bar->SetParent(form);
    bar->SetAlign(TAlign::alNone);
    bar->SetBounds(0, 338, 700, 22);
    rt->SetBounds(0, 50, 700, 288);
    bar->Items()->SetText("stStatus\n60stLine\n60stPage\n80stXPos\n80stYPos\nstTxtFmt\n100stFileName");
    rt->SetRiToolBar(panel);
    rt->SetRiRuler(ruler);
    rt->SetStatusBar(bar);
    rt->SetFocus();
    Pump();
  }
  void TearDown() override {
    SetRichTextLanguage(TRiToolLanguage::twpEnglish);
    RichTextTest::TearDown();
  }
  // Clicks a button of the panel.
  void ClickButton(int group, int number) {
    TSpeedButton* b = panel->Button(group, number);
    ASSERT_NE(b, nullptr);
    InjectClick(panel->Handle(), b->Left() + b->Width() / 2, b->Top() + b->Height() / 2);
    Pump();
  }
  bool Down(int group, int number) { return panel->Button(group, number)->Down(); }
  // Drags with the left button from one ruler point to another.
  void DragRuler(TPoint from, TPoint to, bool viaMiddle = true) {
    const TPoint a = ruler->ClientToScreen(from), b = ruler->ClientToScreen(to);
    InjectMouseMove(a.X, a.Y);
    Pump();
    InjectMouseDown(a.X, a.Y);
    Pump();
    if (viaMiddle) {
      InjectMouseMove((a.X + b.X) / 2, b.Y);
      Pump();
    }
    InjectMouseMove(b.X, b.Y);
    Pump();
    InjectMouseUp(b.X, b.Y);
    Pump();
  }
  void ClickRuler(int x) {
    InjectClick(ruler->Handle(), x, ruler->Height() / 2);
    Pump();
  }
  TPoint Center(const TRect& r) { return TPoint{(r.Left + r.Right - 1) / 2, (r.Top + r.Bottom - 1) / 2}; }
  // Whether every character of the range of the first paragraph has the style bits.
  bool Styled(int from, int to, std::uint8_t bits) {
    PTLine l = E().FirstPar->FirstLine;
    for (int i = from; i < to; ++i)
      if ((l->Attrs[static_cast<std::size_t>(i)].Style & bits) != bits) return false;
    return true;
  }

  TRiToolPanel* panel = nullptr;
  TRiRuler* ruler = nullptr;
  TRiStatusBarBasic* bar = nullptr;
};

}  // namespace tw::richtext::testing
