// A shown form holding one rich-text component on a fresh offscreen window system.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/win/display.h"
#include "platform/win/winapi.h"
#include "richtext/controls/richtext.h"

namespace tw::richtext::testing {

class RichTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetMessageBoxFunc([this](const std::string& text, const std::string& caption, unsigned) {
      boxes.push_back(caption + "|" + text);
      return mrOk;
    });
    form = new TForm(Application());
    form->SetBounds(50, 50, 500, 400);
    form->SetClientWidth(480);
    form->SetClientHeight(360);
    rt = new TRiRichText(form);
    rt->SetParent(form);
    rt->SetBounds(0, 0, 480, 360);
    form->Show();
    rt->SetFocus();
    Pump();
  }
  void TearDown() override {
    delete form;
    DoneApplication();
    ResetWindowSystem();
    SetMessageBoxFunc(nullptr);
  }
  static void Pump() { Application()->ProcessMessages(); }

  TRiRTFTextInput& E() { return *rt->RtfText(); }
  // Lines enough to scroll the view, laid out.
  void FillLines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "line " + std::to_string(i) + "\r";
    rt->InputString(text);
    rt->Reformat();
  }
  std::vector<std::string> Paragraphs() {
    std::vector<std::string> out;
    for (int i = 0; i < E().ParagraphCount(); ++i) out.push_back(E().ParagraphText(i));
    return out;
  }
  void Type(const std::string& text) {
    InjectText(text);
    Pump();
  }
  void Key(UINT vk, bool shift = false, bool ctrl = false) {
    // The key state is read when the key message is handled: hold the modifiers until then.
    if (shift) InjectKeyDown(VK_SHIFT);
    if (ctrl) InjectKeyDown(VK_CONTROL);
    Pump();
    InjectKey(vk, kNoCharacter);
    Pump();
    if (ctrl) InjectKeyUp(VK_CONTROL);
    if (shift) InjectKeyUp(VK_SHIFT);
    Pump();
  }
  // Window point (client) of a character of the document.
  TPoint PointOf(int par, int line, int index) { return PointIn(E(), par, line, index); }
  static TPoint PointIn(TRiRTFTextInput& e, int par, int line, int index) {
    PTParagraph p = e.ParagraphByIndex(par);
    PTLine l = p->FirstLine;
    for (int i = 0; i < line; ++i) l = l->Next;
    const int x = e.CharX(p, l, index) + e.LeftOffset + e.HorzOffset() + 1;
    const int y = l->Top - e.VertOffset() + e.TopOffset + l->Height / 2;
    return TPoint{x, y};
  }
  static std::string Clip(UINT format) {
    if (!OpenClipboard(0)) return "";
    std::string s = GetClipboardData(format);
    CloseClipboard();
    return s;
  }
  static UINT RtfFormat() { return RegisterClipboardFormat(RtfClipboardFormatName); }

  TForm* form = nullptr;
  TRiRichText* rt = nullptr;
  std::vector<std::string> boxes;
};

}  // namespace tw::richtext::testing
