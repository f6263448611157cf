// Painting a rectangle fills the background only where the lines do not fill it themselves:
// the pixels must be those of the background filled under the whole rectangle first, then every
// line drawn, as the lines' ink reaching out of their bands, italic ends, shaded paragraphs,
// margins, selections and partial rectangles come and go.
#include <random>

#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

class RectPainting : public EngineTest {
 protected:
  // The rectangle as it was painted before: the background under all of it, then the lines.
  void PaintWholeBackgroundFirst(int x, int y, int h, int w) {
    TCanvas* c = bmp_.Canvas();
    c->IntersectClipRect(TRect{x - 1, y - 1, x + w + 2, y + h + 2});
    c->Brush()->SetColor(e_->BackgroundColor);
    c->FillRect(TRect{x, y, x + w, y + h});
    int bottom = y;
    for (PTParagraph p = e_->FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
        const int lineTop = l->Top - e_->VertOffset();
        if (lineTop + l->Height + 1 < y || lineTop > y + h + 1) continue;
        e_->PaintLine(p, l);
        bottom = lineTop + e_->TopOffset + l->Height;
      }
    if (bottom < e_->WindowHeight() + e_->TopOffset) {
      c->Brush()->SetColor(e_->BackgroundColor);
      c->FillRect(TRect{x, bottom, x + w, e_->WindowHeight() + e_->TopOffset});
    }
    c->ResetClip();
  }
  // Paints with both ways over a canvas of another colour and compares every pixel.
  void ExpectSamePixels(int x, int y, int h, int w) {
    TCanvas* c = bmp_.Canvas();
    c->Brush()->SetColor(clLime);
    c->FillRect(TRect{0, 0, 640, 480});
    PaintWholeBackgroundFirst(x, y, h, w);
    const std::string before = bmp_.SaveToBytes();
    c->Brush()->SetColor(clLime);
    c->FillRect(TRect{0, 0, 640, 480});
    e_->PaintRect(x, y, h, w);
    EXPECT_TRUE(bmp_.SaveToBytes() == before) << x << "," << y << " " << w << "x" << h;
  }
};

TEST_F(RectPainting, TheBackgroundFilledOnlyOutsideFullLinesGivesTheSamePixels) {
  std::mt19937 rnd(32);
  const auto pick = [&](int n) { return static_cast<int>(rnd() % static_cast<unsigned>(n)); };
  const char* words[] = {"Saturn", "gy", "quartz", "W", "jump", "x", "Pluto", "ÅÇg"};
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    std::vector<std::string> pars;
    for (int p = 0, n = 1 + pick(8); p < n; ++p) {
      std::string text;
      for (int k = 0, m = pick(30); k < m; ++k) text += std::string(words[pick(8)]) + " ";
      pars.push_back(text);
    }
    SetTextWidth(200 + pick(400));
    Build(pars);
    e_->LinkAttr.SetItalic(pick(2) == 0 ? TThreeState::tsTRUE : TThreeState::tsIgnore);
    e_->LeftOffset = pick(3) == 0 ? 6 : 0;
    e_->TopOffset = pick(3) == 0 ? 4 : 0;
    // Looks changed after the layout: bigger letters whose ink leaves their line, italic
    // ends, links, coloured backgrounds, shaded paragraphs.
    for (PTParagraph p = e_->FirstPar; p != nullptr; p = p->Next) {
      if (pick(4) == 0) {
        p->ShadingPercent = static_cast<std::uint8_t>(10 + pick(80));
        p->Shading = static_cast<std::uint8_t>(pick(256));
      }
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
        if (!l->HasAttrs()) continue;
        for (int i = 0; i < l->Length; ++i) {
          TAttr& a = l->Attrs[static_cast<std::size_t>(i)];
          switch (pick(40)) {
            case 0: a.Size = static_cast<std::uint8_t>(24 + pick(20)); break;
            case 1: a.Style |= fsItalic; break;
            case 2: a.Style |= fsLink; break;
            case 3: a.Colors = static_cast<std::uint8_t>(pick(256)); break;
            case 4: a.Style |= fsSuper; break;
            default: break;
          }
        }
        if (l->Length > 0 && pick(3) == 0) l->Attrs[static_cast<std::size_t>(l->Length - 1)].Style |= fsItalic;
      }
    }
    if (pick(3) == 0 && e_->FirstPar->FirstLine->Length > 3) {
      e_->SetSelection(e_->FirstPar, e_->FirstPar->FirstLine, false, 1);
      e_->SetSelection(e_->FirstPar, e_->FirstPar->FirstLine, true, 3);
    }
    ExpectSamePixels(0, 0, 480, 640);
    const int x = pick(300), y = pick(200);
    ExpectSamePixels(x, y, 1 + pick(480 - y), 1 + pick(640 - x));
    e_->SetSelection(nullptr, nullptr, false, 0);
  }
}

}  // namespace
}  // namespace tw::richtext::testing
