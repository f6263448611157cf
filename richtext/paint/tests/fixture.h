// A laid-out engine on a 96 pixels-per-inch bitmap, and helpers to build and read documents.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/font.h"
#include "platform/gfx/graphic.h"
#include "richtext/paint/textpaint.h"

namespace tw::richtext::testing {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bmp_.SetSize(640, 480);
    e_ = std::make_unique<TRiRTFTextPaint>();
    e_->Clear();
    e_->SetReferenceCanvas(bmp_.Canvas());
    e_->SetWindowWidth(640);
    e_->SetWindowHeight(480);
  }

  // Replaces the document by the paragraphs and lays it out.
  void Build(const std::vector<std::string>& paragraphs) {
    e_->Clear();
    e_->LayoutSuppressed = true;
    for (std::size_t i = 0; i < paragraphs.size(); ++i)
      e_->AddParagraph(static_cast<int>(i), paragraphs[i], nullptr);
    e_->LayoutSuppressed = false;
    e_->ReformatAll();
  }

  // Sets the text width in pixels (at 96 pixels per inch one pixel is 15 twips).
  void SetTextWidth(int pixels) {
    e_->SetPageSize(0, 0, riKeep, riKeep, pixels * 15, riKeep);
    e_->ReformatAll();
  }

  PTParagraph Par(int index) const { return e_->ParagraphByIndex(index); }
  PTLine LineOf(int par, int line) const {
    PTLine l = Par(par)->FirstLine;
    for (int i = 0; i < line && l != nullptr; ++i) l = l->Next;
    return l;
  }
  std::vector<std::string> Lines(int par) const {
    std::vector<std::string> out;
    for (PTLine l = Par(par)->FirstLine; l != nullptr; l = l->Next) out.push_back(l->Str());
    return out;
  }
  // Width of a text in the default font (Arial, 10 points, 96 pixels per inch).
  static int W(const std::string& text) {
    TFont f;
    f.SetName("Arial");
    f.SetPixelsPerInch(96);
    f.SetSize(10);
    int w = 0;
    for (unsigned char ch : text) w += f.CharWidths()[ch];
    return w;
  }

  // Pixels of a colour inside a rectangle of the canvas.
  static int CountColour(TCanvas* c, const TRect& r, TColor colour) {
    int n = 0;
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) n += c->Pixel(x, y) == colour;
    return n;
  }

  TBitmap bmp_;
  std::unique_ptr<TRiRTFTextPaint> e_;
};

}  // namespace tw::richtext::testing
