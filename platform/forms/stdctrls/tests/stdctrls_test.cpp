// The standard controls as the windows use them: typing, selecting and the clipboard in edits,
// default and cancel buttons ending a modal form, check boxes and radio buttons by key and
// mouse, label accelerators, painting, and forms described in text.
#include <gtest/gtest.h>

#include "platform/forms/formres/formres.h"
#include "platform/forms/stdctrls/stdctrls.h"
#include "stdctrls_fixture.h"

namespace tw::test {
namespace {

class StdCtrlsTest : public StdControlsTest {
 protected:
  void Focus(TWinControl* c) {
    form->Show();
    Pump();
    c->SetFocus();
    Pump();
  }
};

TEST_F(StdCtrlsTest, EditTypingSelectionAndDeletion) {
  auto* edit = Add<TEdit>(10, 10);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  Focus(edit);
  InjectText("hello world");
  Pump();
  EXPECT_EQ(edit->Text(), "hello world");
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(changes, 11);
  InjectKeyDown(VK_SHIFT);
  InjectKey(VK_HOME);
  Pump();
  InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(edit->SelText(), "hello world");
  InjectKey(VK_END);
  Pump();
  InjectKeyDown(VK_CONTROL);
  InjectKeyDown(VK_SHIFT);
  InjectKey(VK_LEFT);  // the last word
  Pump();
  InjectKeyUp(VK_SHIFT);
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(edit->SelText(), "world");
  InjectKey(VK_BACK);
  Pump();
  EXPECT_EQ(edit->Text(), "hello ");
  InjectKey(VK_HOME);
  InjectKey(VK_DELETE);
  Pump();
  EXPECT_EQ(edit->Text(), "ello ");
  edit->Perform(EM_UNDO, 0, 0);
  EXPECT_EQ(edit->Text(), "hello ");
}

TEST_F(StdCtrlsTest, EditMessagesAndLimits) {
  auto* edit = Add<TEdit>(10, 10);
  edit->Perform(WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abcdef"));
  EXPECT_EQ(edit->Text(), "abcdef");
  EXPECT_EQ(edit->Perform(EM_GETMODIFY, 0, 0), 0);
  char buffer[16];
  EXPECT_EQ(edit->Perform(WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer)), 6);
  EXPECT_STREQ(buffer, "abcdef");
  edit->Perform(EM_SETSEL, 1, 3);
  DWORD s = 0, e = 0;
  edit->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  EXPECT_EQ(s, 1u);
  EXPECT_EQ(e, 3u);
  EXPECT_EQ(edit->SelText(), "bc");
  edit->Perform(EM_REPLACESEL, 1, reinterpret_cast<LPARAM>("XYZ"));
  EXPECT_EQ(edit->Text(), "aXYZdef");
  EXPECT_EQ(edit->Perform(EM_GETMODIFY, 0, 0), 1);
  edit->Perform(EM_SETMODIFY, 0, 0);
  EXPECT_FALSE(edit->Modified());
  edit->Perform(EM_SETSEL, 0, -1);
  EXPECT_EQ(edit->SelLength(), 7);

  // Typing stops at MaxLength; a line break ends pasted text in a one-line edit.
  edit->Perform(EM_LIMITTEXT, 8, 0);
  Focus(edit);
  edit->SetSelStart(7);
  InjectText("123");
  Pump();
  EXPECT_EQ(edit->Text(), "aXYZdef1");
  edit->SetMaxLength(0);
  edit->SelectAll();
  edit->SetSelText("one\r\ntwo");
  EXPECT_EQ(edit->Text(), "one");
  edit->SetReadOnly(true);
  InjectText("x");
  Pump();
  EXPECT_EQ(edit->Text(), "one");
  edit->SetCharCase(TEditCharCase::ecUpperCase);
  EXPECT_EQ(edit->Text(), "ONE");
}

TEST_F(StdCtrlsTest, EditClipboardCutCopyPasteClear) {
  auto* a = Add<TEdit>(10, 10);
  auto* b = Add<TEdit>(10, 40);
  a->SetText("copy me");
  a->SetSelStart(0);
  a->SetSelLength(4);
  a->Perform(WM_COPY, 0, 0);
  b->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(b->Text(), "copy");
  a->Perform(WM_CUT, 0, 0);
  EXPECT_EQ(a->Text(), " me");
  b->SelectAll();
  b->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(b->Text(), "copy");
  b->SelectAll();
  b->Perform(WM_CLEAR, 0, 0);
  EXPECT_EQ(b->Text(), "");
  // A password never leaves the edit.
  a->SetPasswordChar('*');
  a->SetText("secret");
  a->SelectAll();
  a->Perform(WM_COPY, 0, 0);
  b->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(b->Text(), "copy");
  // Keys: Ctrl+C and Ctrl+V.
  a->SetPasswordChar(0);
  a->SetText("keys");
  Focus(a);
  a->SelectAll();
  InjectKeyDown(VK_CONTROL);
  InjectKey('C');
  Pump();
  InjectKeyUp(VK_CONTROL);
  Pump();
  b->SetText("");
  b->Perform(WM_PASTE, 0, 0);
  EXPECT_EQ(b->Text(), "keys");
}

TEST_F(StdCtrlsTest, EditMouseSelectionAndDoubleClickWord) {
  auto* edit = Add<TEdit>(10, 10);
  edit->SetWidth(200);
  edit->SetText("alpha beta gamma");
  form->Show();
  Pump();
  const int x = 4 + edit->Canvas()->TextWidth("alpha be");
  InjectDoubleClick(edit->Handle(), x, 8);
  Pump();
  EXPECT_EQ(edit->SelText(), "beta");
  InjectClick(edit->Handle(), 3, 8);
  Pump();
  EXPECT_EQ(edit->SelLength(), 0);
  EXPECT_EQ(edit->SelStart(), 0);
  EXPECT_TRUE(edit->Focused());
}

TEST_F(StdCtrlsTest, MemoLinesAndReturns) {
  auto* memo = Add<TMemo>(10, 10);
  memo->Lines()->Add("first");
  memo->Lines()->Add("second");
  EXPECT_EQ(memo->Text(), "first\r\nsecond");
  EXPECT_EQ(memo->Lines()->Count(), 2);
  Focus(memo);
  memo->SetSelStart(5);
  InjectKey(VK_RETURN);
  InjectText("x");
  InjectKey(VK_DOWN);
  InjectKey(VK_END);
  InjectText("!");
  Pump();
  EXPECT_EQ(memo->Lines()->Count(), 3);
  EXPECT_EQ(memo->Lines()->Strings(1), "x");
  EXPECT_EQ(memo->Lines()->Strings(2), "second!");
  InjectKey(VK_BACK);
  Pump();
  InjectKeyDown(VK_CONTROL);
  InjectKey(VK_HOME);
  Pump();
  InjectKeyUp(VK_CONTROL);
  InjectKey(VK_DELETE);
  Pump();
  EXPECT_EQ(memo->Text(), "irst\r\nx\r\nsecond");
  EXPECT_EQ(memo->Perform(EM_GETLINECOUNT, 0, 0), 3);
}

TEST_F(StdCtrlsTest, MemoWrapsWordsAndScrolls) {
  auto* memo = Add<TMemo>(10, 10);
  memo->SetBounds(10, 10, 120, 60);
  memo->SetScrollBars(TScrollStyle::ssVertical);
  memo->SetReadOnly(true);
  memo->SetText("the quick brown fox jumps over the lazy dog and keeps running far away");
  Focus(memo);
  EXPECT_EQ(memo->Lines()->Count(), 1);
  const auto shown = memo->Perform(EM_GETLINECOUNT, 0, 0);
  EXPECT_GT(shown, 2);
  // Every shown line fits and breaks after a space.
  for (int line = 0; line + 1 < shown; ++line) {
    const auto start = memo->Perform(EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    const auto next = memo->Perform(EM_LINEINDEX, static_cast<WPARAM>(line + 1), 0);
    const std::string shownLine = memo->Text().substr(static_cast<std::size_t>(start), static_cast<std::size_t>(next - start));
    EXPECT_EQ(shownLine.back(), ' ') << shownLine;
    EXPECT_LE(memo->Canvas()->TextWidth(shownLine.substr(0, shownLine.size() - 1)), memo->ClientWidth()) << shownLine;
  }
  // End stays on the shown line; Down moves to the next one.
  memo->SetSelStart(0);
  InjectKey(VK_END);
  Pump();
  EXPECT_EQ(memo->Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(memo->SelStart()), 0), 0);
  InjectKey(VK_DOWN);
  Pump();
  EXPECT_EQ(memo->Perform(EM_LINEFROMCHAR, static_cast<WPARAM>(memo->SelStart()), 0), 1);
  // Read-only: typing changes nothing, copying works.
  InjectText("zzz");
  Pump();
  EXPECT_EQ(memo->Text().find("zzz"), std::string::npos);

  // Many lines scroll by the bar and by the wheel.
  memo->SetReadOnly(false);
  memo->Lines()->Clear();
  for (int i = 0; i < 20; ++i) memo->Lines()->Add("line " + std::to_string(i));
  EXPECT_EQ(memo->TopLine(), 0);
  memo->Perform(WM_VSCROLL, SB_PAGEDOWN, 0);
  const int top = memo->TopLine();
  EXPECT_GT(top, 0);
  SCROLLINFO info;
  info.fMask = SIF_POS;
  GetScrollInfo(memo->Handle(), SB_VERT, &info);
  EXPECT_EQ(info.nPos, top);
  memo->Perform(WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_LT(memo->TopLine(), 20);
  EXPECT_GT(memo->TopLine(), top);
  const int bottom = memo->TopLine();
  memo->Perform(WM_MOUSEWHEEL, static_cast<WPARAM>(120) << 16, 0);
  EXPECT_EQ(memo->TopLine(), bottom - 3);
  memo->Perform(WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(memo->TopLine(), 0);
  // The caret brought into view scrolls the memo.
  memo->SetSelStart(static_cast<int>(memo->Text().size()));
  EXPECT_GT(memo->TopLine(), 0);
}

TEST_F(StdCtrlsTest, TabbingIntoAnEditSelectsItsText) {
  auto* first = Add<TEdit>(10, 10);
  auto* second = Add<TEdit>(10, 40);
  second->SetText("chosen");
  Focus(first);
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(second->Focused());
  EXPECT_EQ(second->SelText(), "chosen");
  second->SetAutoSelect(false);
  InjectKeyDown(VK_SHIFT);
  InjectKey(VK_TAB);
  Pump();
  InjectKeyUp(VK_SHIFT);
  second->SetSelStart(2);
  InjectKey(VK_TAB);
  Pump();
  EXPECT_TRUE(second->Focused());
  EXPECT_EQ(second->SelLength(), 0);
}

TEST_F(StdCtrlsTest, DefaultAndCancelButtonsEndAModalForm) {
  auto* edit = Add<TEdit>(10, 10);
  auto* ok = Add<TButton>(10, 50);
  ok->SetCaption("OK");
  ok->SetDefault(true);
  ok->SetModalResult(mrOk);
  auto* cancel = Add<TButton>(100, 50);
  cancel->SetCaption("Cancel");
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  form->SetActiveControl(edit);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };

  DriveIdle({[] { InjectText("abc"); }, [] { InjectKey(VK_RETURN); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(clicks, 1);

  DriveIdle({[] { InjectKey(VK_ESCAPE); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrCancel);

  // A focused button takes Enter itself.
  DriveIdle({[&] { cancel->SetFocus(); }, [] { InjectKey(VK_RETURN); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrCancel);

  // A click by the mouse sets the modal result too.
  DriveIdle({[&] { InjectClick(ok->Handle(), 5, 5); }}, [&] { form->SetModalResult(mrAbort); });
  EXPECT_EQ(form->ShowModal(), mrOk);
}

TEST_F(StdCtrlsTest, CheckBoxTogglesBySpaceAndClick) {
  auto* check = Add<TCheckBox>(10, 10);
  check->SetCaption("&Look up");
  int clicks = 0;
  check->OnClick = [&](TObject*) { ++clicks; };
  Focus(check);
  InjectKey(VK_SPACE);
  Pump();
  EXPECT_TRUE(check->Checked());
  InjectClick(check->Handle(), 5, 5);
  Pump();
  EXPECT_FALSE(check->Checked());
  EXPECT_EQ(clicks, 2);
  check->SetAllowGrayed(true);
  check->Click();
  EXPECT_EQ(check->State(), TCheckBoxState::cbGrayed);
  check->Click();
  EXPECT_EQ(check->State(), TCheckBoxState::cbChecked);
  check->SetChecked(false);
  EXPECT_EQ(clicks, 5);  // setting the state by program runs OnClick as well
}

TEST_F(StdCtrlsTest, RadioButtonsAreExclusiveWithinTheirParent) {
  auto* group = Add<TGroupBox>(10, 10);
  auto* a = new TRadioButton(form);
  a->SetParent(group);
  auto* b = new TRadioButton(form);
  b->SetParent(group);
  b->SetTop(20);
  auto* outside = Add<TRadioButton>(10, 150);
  outside->SetChecked(true);
  a->SetChecked(true);
  EXPECT_TRUE(a->Checked());
  form->Show();
  Pump();
  InjectClick(b->Handle(), 5, 5);
  Pump();
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(outside->Checked());
  // A second click leaves it checked.
  InjectClick(b->Handle(), 5, 5);
  Pump();
  EXPECT_TRUE(b->Checked());
}

TEST_F(StdCtrlsTest, ArrowKeysMoveTheChoiceAmongRadioButtons) {
  auto* group = Add<TGroupBox>(10, 10);
  auto* a = new TRadioButton(form);
  a->SetParent(group);
  a->SetTop(20);
  auto* b = new TRadioButton(form);
  b->SetParent(group);
  b->SetTop(40);
  EXPECT_FALSE(b->TabStop()) << "one Tab stop per group, the first while none is checked";
  a->SetChecked(true);
  EXPECT_TRUE(a->TabStop());
  Focus(a);
  InjectKeyDown(VK_DOWN);
  Pump();
  InjectKeyUp(VK_DOWN);
  EXPECT_TRUE(b->Focused());
  EXPECT_TRUE(b->Checked());
  EXPECT_FALSE(a->Checked());
  EXPECT_FALSE(a->TabStop());  // the button no longer chosen is passed over by Tab
}

TEST_F(StdCtrlsTest, TheCaretFollowsTyping) {
  auto* edit = Add<TEdit>(10, 10);
  Focus(edit);
  POINT start{};
  ASSERT_TRUE(GetCaretPos(&start));
  InjectText("wide");
  Pump();
  POINT after{};
  GetCaretPos(&after);
  EXPECT_EQ(after.X - start.X, edit->Canvas()->TextWidth("wide"));
  edit->SetSelStart(0);
  GetCaretPos(&after);
  EXPECT_EQ(after.X, start.X);
}

TEST_F(StdCtrlsTest, AcceleratorsFocusAndClick) {
  auto* label = Add<TLabel>(10, 10);
  label->SetCaption("&Name:");
  auto* edit = Add<TEdit>(60, 10);
  label->SetFocusControl(edit);
  auto* button = Add<TButton>(10, 50);
  button->SetCaption("&Save");
  int clicks = 0;
  button->OnClick = [&](TObject*) { ++clicks; };
  Focus(button);
  EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'n', 0), 1);
  Pump();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'S', 0), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form->Perform(CM_DIALOGCHAR, 'q', 0), 0);
  EXPECT_TRUE(IsAccel('a', "Save &as"));
  EXPECT_FALSE(IsAccel('a', "Fish && chips"));
  delete edit;  // the label forgets it
  EXPECT_EQ(label->FocusControl(), nullptr);
}

TEST_F(StdCtrlsTest, ControlsPaintInTheSystemColours) {
  auto* button = Add<TButton>(10, 10);
  auto* edit = Add<TEdit>(10, 50);
  auto* label = Add<TLabel>(10, 90);
  label->SetCaption("Label");
  form->Show();
  Pump();
  EXPECT_EQ(PixelRGB(button->Handle(), 5, button->Height() - 4), ToRGB(clBtnFace));
  EXPECT_NE(PixelRGB(button->Handle(), button->Width() - 1, button->Height() - 1), ToRGB(clBtnFace));  // raised edge
  EXPECT_EQ(PixelRGB(edit->Handle(), 0, 0), ToRGB(clBtnShadow));       // sunken edge
  EXPECT_EQ(PixelRGB(edit->Handle(), edit->Width() - 5, 10), ToRGB(clWindow));
  EXPECT_GT(label->Width(), 10);  // sized to its caption
  bool dark = false;
  for (int x = 10; x < 10 + label->Width(); ++x)
    for (int y = 90; y < 90 + label->Height(); ++y)
      if (PixelRGB(form->Handle(), x, y) != PixelRGB(form->Handle(), 5, 190)) dark = true;
  EXPECT_TRUE(dark);
}

TEST_F(StdCtrlsTest, RadioButtonsAreRoundAndCheckBoxesSquare) {
  auto* check = Add<TCheckBox>(10, 10);
  auto* radio = Add<TRadioButton>(10, 40);
  radio->SetChecked(true);
  form->Show();
  Pump();
  // The 13-pixel box sits at the left, vertically centred.
  const int top = (radio->Height() - 13) / 2;
  const std::uint32_t back = PixelRGB(radio->Handle(), 30, 1);
  EXPECT_EQ(PixelRGB(check->Handle(), 0, top), ToRGB(clBtnShadow)) << "a check box's corner is its sunken edge";
  EXPECT_EQ(PixelRGB(radio->Handle(), 0, top), back) << "a radio button's corner lies outside its circle";
  EXPECT_EQ(PixelRGB(radio->Handle(), 12, top + 12), back);
  EXPECT_NE(PixelRGB(radio->Handle(), 0, top + 6), back) << "the ring crosses the box's left edge halfway down";
  EXPECT_EQ(PixelRGB(radio->Handle(), 6, top + 6), ToRGB(clWindowText)) << "the chosen button's dot";
  EXPECT_EQ(PixelRGB(radio->Handle(), 3, top + 6), ToRGB(clWindow));
}

TEST_F(StdCtrlsTest, LabelsSizeThemselvesAndDisabledTextIsEmbossed) {
  auto* label = new TLabel(form);  // no parent yet: measuring needs no window
  label->SetCaption("A longer caption");
  const int width = label->Width();
  EXPECT_GT(width, 40);
  label->SetCaption("&Short");
  EXPECT_LT(label->Width(), width);
  EXPECT_FALSE(form->HandleAllocated());
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetAutoSize(true);
  label->SetParent(form);
  label->SetBounds(10, 10, 30, 13);
  label->SetCaption("two words");
  EXPECT_EQ(label->Width(), 30);
  EXPECT_GT(label->Height(), 13);  // wrapped onto a second line

  auto* disabled = Add<TLabel>(10, 100);
  disabled->SetCaption("Disabled");
  disabled->SetEnabled(false);
  form->Show();
  Pump();
  bool raised = false;
  for (int x = 10; x < 10 + disabled->Width() + 1; ++x)
    for (int y = 100; y < 100 + disabled->Height() + 1; ++y)
      if ((PixelRGB(form->Handle(), x, y) & 0xFF) > (ToRGB(clBtnFace) & 0xFF)) raised = true;  // lighter than the face
  EXPECT_TRUE(raised);
}

TEST_F(StdCtrlsTest, AFormDescribedInTextEqualsTheFormBuiltInCode) {
  const char* text =
      "object Dialog: TForm\n"
      "  object Label1: TLabel\n"
      "    Left = 8\n"
      "    Caption = '&Name:'\n"
      "    FocusControl = Edit1\n"
      "  end\n"
      "  object Edit1: TEdit\n"
      "    Left = 60\n"
      "    MaxLength = 20\n"
      "    Text = 'Smith'\n"
      "  end\n"
      "  object OKBtn: TButton\n"
      "    Top = 40\n"
      "    Caption = 'OK'\n"
      "    Default = True\n"
      "    ModalResult = 1\n"
      "  end\n"
      "  object Check: TCheckBox\n"
      "    Top = 70\n"
      "    Checked = True\n"
      "  end\n"
      "end\n";
  auto* read = new TForm(Application());
  ReadComponentDescription(text, read);
  auto* label = dynamic_cast<TLabel*>(read->FindComponent("Label1"));
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->FocusControl(), read->FindComponent("Edit1"));

  auto* built = new TForm(nullptr);
  std::unique_ptr<TForm> keep(built);
  built->SetName("Dialog");
  auto* l = new TLabel(built);
  l->SetName("Label1");
  l->SetParent(built);
  l->SetLeft(8);
  l->SetCaption("&Name:");
  auto* e = new TEdit(built);
  e->SetName("Edit1");
  e->SetParent(built);
  e->SetLeft(60);
  e->SetMaxLength(20);
  e->SetText("Smith");
  l->SetFocusControl(e);
  auto* b = new TButton(built);
  b->SetName("OKBtn");
  b->SetParent(built);
  b->SetTop(40);
  b->SetCaption("OK");
  b->SetDefault(true);
  b->SetModalResult(mrOk);
  auto* c = new TCheckBox(built);
  c->SetName("Check");
  c->SetParent(built);
  c->SetTop(70);
  c->SetChecked(true);
  EXPECT_EQ(ComponentToText(read), ComponentToText(built));
}

}  // namespace
}  // namespace tw::test
