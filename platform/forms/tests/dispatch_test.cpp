// Message dispatch: class handler tables along the class chain, inherited handling, the
// replaceable window procedure, and the published properties by name.
#include <gtest/gtest.h>

#include "platform/classes/typinfo.h"
#include "forms_test_util.h"

namespace tw::test {
namespace {

constexpr UINT WM_PING = WM_USER + 1;
constexpr UINT WM_ONLY_BASE = WM_USER + 2;
constexpr UINT WM_UNHANDLED = WM_USER + 3;

class TBaseProbe : public TGraphicControl {
  TW_CLASS(TBaseProbe, TGraphicControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  using TGraphicControl::TGraphicControl;
  std::vector<std::string> calls;
  void DefaultHandler(TMessage& msg) override {
    calls.push_back("default");
    msg.Result = 99;
  }

 protected:
  void Ping(TMessage& msg) {
    calls.push_back("base-ping");
    msg.Result += 1;
  }
  void OnlyBase(TMessage& msg) {
    calls.push_back("base-only");
    msg.Result = 7;
  }
};
TW_MESSAGE_MAP(TBaseProbe, OnMessage<TBaseProbe, &TBaseProbe::Ping>(WM_PING),
               OnMessage<TBaseProbe, &TBaseProbe::OnlyBase>(WM_ONLY_BASE));

class TDerivedProbe : public TBaseProbe {
  TW_CLASS(TDerivedProbe, TBaseProbe)
  TW_MESSAGE_MAP_DECLARE();

 public:
  using TBaseProbe::TBaseProbe;

 protected:
  void Ping(TMessage& msg) {
    calls.push_back("derived-ping");
    msg.Result = 10;
    InheritedMessage(TDerivedProbe::StaticClass(), msg);
  }
};
TW_MESSAGE_MAP(TDerivedProbe, OnMessage<TDerivedProbe, &TDerivedProbe::Ping>(WM_PING));

TEST(MessageDispatch, HandlersAreFoundAlongTheClassChainAndFallBackToDefault) {
  TDerivedProbe probe(nullptr);
  EXPECT_EQ(probe.Perform(WM_PING, 0, 0), 11) << "derived handler, then the inherited one";
  EXPECT_EQ(probe.Perform(WM_ONLY_BASE, 0, 0), 7) << "a handler only the base class has";
  EXPECT_EQ(probe.Perform(WM_UNHANDLED, 0, 0), 99) << "no handler anywhere: DefaultHandler";
  EXPECT_EQ(probe.calls, (std::vector<std::string>{"derived-ping", "base-ping", "base-only", "default"}));

  TBaseProbe base(nullptr);
  EXPECT_EQ(base.Perform(WM_PING, 0, 0), 1) << "the derived table must not leak into the base class";
  EXPECT_TRUE(HasOwnMessageHandler(TDerivedProbe::StaticClass(), WM_PING));
  EXPECT_FALSE(HasOwnMessageHandler(TDerivedProbe::StaticClass(), WM_ONLY_BASE));
}

TEST(MessageDispatch, InheritedWithoutAncestorHandlerReachesDefaultHandler) {
  TBaseProbe probe(nullptr);
  probe.calls.clear();
  TMessage m{WM_UNHANDLED, 0, 0, 0};
  probe.Dispatch(m);
  EXPECT_EQ(m.Result, 99);
}

TEST(MessageDispatch, WindowProcCanBeHookedAndChained) {
  TDerivedProbe probe(nullptr);
  auto previous = probe.WindowProc;
  int seen = 0;
  probe.WindowProc = [&](TMessage& msg) {
    if (msg.Msg == WM_PING) ++seen;
    if (msg.Msg == WM_ONLY_BASE) {
      msg.Result = 1234;  // swallowed by the hook
      return;
    }
    previous(msg);
  };
  EXPECT_EQ(probe.Perform(WM_PING, 0, 0), 11);
  EXPECT_EQ(probe.Perform(WM_ONLY_BASE, 0, 0), 1234);
  EXPECT_EQ(seen, 1);
}

class ControlPropertiesTest : public FormsTest {};

TEST_F(ControlPropertiesTest, PublishedPropertiesWorkByName) {
  TForm* form = NewForm();
  auto* panel = new TTestPanel(form);
  panel->SetParent(form);
  SetStrProp(panel, "Caption", "Hello");
  SetOrdProp(panel, "Left", 12);
  SetOrdProp(panel, "Width", 55);
  SetEnumProp(panel, "Align", "alBottom");
  SetOrdProp(panel, "TabOrder", 0);
  SetPropValue(panel, "TabStop", TValue(std::int64_t{1}));
  EXPECT_EQ(panel->Caption(), "Hello");
  EXPECT_EQ(panel->Text(), "Hello");
  EXPECT_EQ(panel->Align(), TAlign::alBottom);
  EXPECT_EQ(GetEnumProp(panel, "Align"), "alBottom");
  EXPECT_EQ(panel->Width(), form->ClientWidth()) << "bottom alignment spans the client width";
  EXPECT_TRUE(panel->TabStop());
  EXPECT_EQ(GetObjectProp(panel, "Font"), panel->Font());
  SetEnumProp(form, "BorderStyle", "bsDialog");
  EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsDialog);
  SetEnumProp(form, "Position", "poScreenCenter");
  EXPECT_EQ(form->Position(), TPosition::poScreenCenter);
  EXPECT_THROW(SetEnumProp(panel, "Align", "alSideways"), EPropertyError);
  EXPECT_TRUE(IsPublishedProp(form, "OnCloseQuery"));
  EXPECT_TRUE(IsPublishedProp(panel, "OnKeyPress"));
}

TEST_F(ControlPropertiesTest, FontAndColourFollowTheParentUntilSetOwnValues) {
  TForm* form = NewForm();
  auto* outer = new TTestPanel(form);
  outer->SetParent(form);
  auto* inner = new TTestShape(form);
  inner->SetParent(outer);
  EXPECT_EQ(outer->Color(), clBtnFace) << "ParentColor takes the form's colour on insertion";
  form->Font()->SetSize(14);
  EXPECT_EQ(outer->Font()->Size(), 14);
  EXPECT_EQ(inner->Font()->Size(), 14) << "font changes travel down the whole tree";
  EXPECT_TRUE(inner->ParentFont());

  inner->Font()->SetSize(9);
  EXPECT_FALSE(inner->ParentFont()) << "an own font ends the inheritance";
  form->Font()->SetSize(20);
  EXPECT_EQ(inner->Font()->Size(), 9);
  inner->SetParentFont(true);
  EXPECT_EQ(inner->Font()->Size(), 20);

  outer->SetColor(clYellow);
  EXPECT_FALSE(outer->ParentColor());
  EXPECT_EQ(inner->Color(), clYellow);
  form->SetColor(clGreen);
  EXPECT_EQ(outer->Color(), clYellow);
}

TEST_F(ControlPropertiesTest, TextMessagesReadAndWriteTheCaption) {
  TForm* form = NewForm();
  form->SetCaption("Title");
  form->Show();
  char buffer[16];
  EXPECT_EQ(GetWindowText(form->Handle(), buffer, sizeof buffer), 5);
  EXPECT_STREQ(buffer, "Title");
  EXPECT_EQ(GetWindowText(form->Handle(), buffer, 3), 2) << "truncated to the buffer";
  SetWindowText(form->Handle(), "Changed");
  EXPECT_EQ(form->Caption(), "Changed");
  form->SetCaption("Third");
  EXPECT_EQ(GetWindowTextString(form->Handle()), "Third");
}

TEST_F(ControlPropertiesTest, ReparentingIsCheckedAndMovesTheWindow) {
  TForm* form = NewForm();
  auto* a = new TTestPanel(form);
  auto* b = new TTestPanel(form);
  a->SetParent(form);
  b->SetParent(a);
  EXPECT_THROW(a->SetParent(b), EInvalidOperation) << "a control cannot sit inside its own child";
  EXPECT_THROW(a->SetParent(a), EInvalidOperation);
  form->Show();
  HWND old = b->Handle();
  b->SetParent(form);
  EXPECT_EQ(a->ControlCount(), 0);
  EXPECT_EQ(form->ControlCount(), 2);
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(GetParent(b->Handle()), form->Handle());
  delete a;
  EXPECT_EQ(form->ControlCount(), 1);
  EXPECT_EQ(form->Controls(0), b);
  EXPECT_THROW(form->Controls(1), EListError);
}

TEST_F(ControlPropertiesTest, DestroyingAParentFreesItsChildControls) {
  TForm* form = NewForm();
  auto* panel = new TTestPanel(nullptr);
  panel->SetParent(form);
  auto* child = new TTestShape(nullptr);
  child->SetParent(panel);
  form->Show();
  HWND panelWindow = panel->Handle();
  delete form;  // frees panel (not owned by it) and, through panel, child
  EXPECT_FALSE(IsWindow(panelWindow));
  EXPECT_EQ(Screen()->FormCount(), 0);
}

}  // namespace
}  // namespace tw::test
