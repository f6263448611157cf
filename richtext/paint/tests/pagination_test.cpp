// The page pass after an edit of one paragraph starts at that paragraph; what it gives must be
// what a pass over the whole document gives.
#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <tuple>

#include "richtext/paint/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using Snapshot = std::vector<std::tuple<int, int, bool>>;  // top, height, page start per line

class IncrementalPages : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    // A 3-inch page with 1-inch margins: about six lines a page.
    e_->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
    std::vector<std::string> pars;
    for (int i = 0; i < 40; ++i)
      pars.push_back(i % 3 == 0 ? std::string(400, 'a') + " tail of a long paragraph" : "A short one");
    Build(pars);
    Par(10)->Flags |= pfPageBreak;
    Par(20)->Flags |= pfKeep;
    e_->ReformatAll();
  }
  Snapshot Take() const {
    Snapshot s;
    for (PTParagraph p = e_->FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
        s.emplace_back(l->Top, l->Height, (l->Flags & lfPageStart) != 0);
    return s;
  }
  int Pages() const {
    int n = 1;
    for (const auto& t : Take()) n += std::get<2>(t);
    return n;
  }
  // The state the incremental passes left must be the state a whole pass gives.
  void ExpectSameAsWholePass() {
    e_->CompletePages();
    const Snapshot after = Take();
    const int height = e_->DocumentHeight;
    const int pages = Pages();
    e_->Paginate();
    EXPECT_EQ(after, Take());
    EXPECT_EQ(height, e_->DocumentHeight);
    EXPECT_EQ(pages, Pages());
  }
  void Type(int par, const std::string& text) {
    PTParagraph p = Par(par);
    for (char c : text) {
      PTLine last = TRiRTFText::Get_LastLine(p);
      ASSERT_TRUE(e_->InsertChar(p, last, c, last->Length));
      e_->ParagraphChanged(p);
    }
  }
};

TEST_F(IncrementalPages, TypingAtTheEndKeepsEveryPageAsAWholePassGivesIt) {
  const int before = Pages();
  Type(39, std::string(900, 'x'));
  EXPECT_GT(Pages(), before);
  ExpectSameAsWholePass();
}

TEST_F(IncrementalPages, EditsInTheMiddleMoveThePagesBelow) {
  Type(5, std::string(600, 'y'));  // several more lines push every page below down
  ExpectSameAsWholePass();
  // A new paragraph in front of the hard break and the keep-together paragraph.
  PTParagraph p = Par(8);
  PTParagraph np = e_->SplitParagraph(p, p->FirstLine, 3);
  ASSERT_NE(np, nullptr);
  e_->ParagraphChanged(p);
  e_->ParagraphChanged(np);
  ExpectSameAsWholePass();
  // Deleting text pulls the pages back up.
  PTParagraph q = Par(3);
  e_->DeleteChars(q, 0, 300);
  e_->ParagraphChanged(q);
  ExpectSameAsWholePass();
}

// Random edits anywhere, the first paragraph included: the pass after each one may end where it
// meets the page starts of the last pass, and must still leave what a whole pass gives.
TEST_F(IncrementalPages, EditsAnywhereLeaveThePagesAWholePassGives) {
  unsigned seed = 12345;
  auto next = [&seed](unsigned n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  for (int step = 0; step < 80; ++step) {
    const int par = step % 4 == 0 ? 0 : static_cast<int>(next(40));
    PTParagraph p = Par(par);
    if (next(3) == 0 && p->FirstLine->Length > 5) {
      e_->DeleteChars(p, 0, static_cast<int>(1 + next(static_cast<unsigned>(p->FirstLine->Length - 1))));
      e_->ParagraphChanged(p);
    } else {
      Type(par, std::string(1 + next(step % 5 == 0 ? 120 : 3), static_cast<char>('a' + next(26))));
    }
    ExpectSameAsWholePass();
    if (::testing::Test::HasFailure()) break;
  }
}

TEST_F(IncrementalPages, ATableRowBelowTheEditIsLaidOutAsAWhole) {
  // Paragraphs 30 and 31 form a table row of two cells.
  Par(30)->Flags |= pfTableCell | pfRowGoesOn;
  Par(30)->CellStart = 0;
  Par(30)->CellWidth = 127;
  Par(31)->Flags |= pfTableCell | pfLastCell;
  Par(31)->CellStart = 128;
  Par(31)->CellWidth = 127;
  e_->ReformatAll();
  Type(31, std::string(300, 'z'));
  ExpectSameAsWholePass();
  Type(29, " more");
  ExpectSameAsWholePass();
}

TEST_F(IncrementalPages, TextPutInWithoutLayoutIsPaginatedWholeAfterwards) {
  // Paragraphs added at the front without the layout hook shift everything below: the next
  // edit further down may not trust the old positions.
  e_->AddParagraph(0, std::string(800, 'n'), nullptr);
  e_->MeasureAll();
  {
    int change = 0;
    e_->FormatParagraph(e_->FirstPar, false, change);
  }
  Type(39, "end");
  ExpectSameAsWholePass();
}

// A document of many pages edited at random places: the pass after an edit lays out only what
// the view may need and some pages more, and leaves the rest pending.  A second engine holds the
// same document and runs a whole pass after every step; what the first one shows (its document
// height at every moment, the lines before its pending part, the lines a reader brings on, the
// painted window, the page count) must be what the second one has.
class LazyPages : public ::testing::Test {
 protected:
  struct TSide {
    TBitmap bmp;
    std::unique_ptr<TRiRTFTextPaint> e;
  };
  void SetUp() override {
    for (TSide* s : {&lazy_, &whole_}) {
      s->bmp.SetSize(640, 480);
      s->e = std::make_unique<TRiRTFTextPaint>();
      s->e->Clear();
      s->e->SetReferenceCanvas(s->bmp.Canvas());
      s->e->SetWindowWidth(640);
      s->e->SetWindowHeight(480);
      // A 3-inch page with 1-inch margins: about six lines a page; soft page starts shown.
      s->e->SetPageSize(1440, 1440, 1440, 1440, 12240, 1440 * 3);
      s->e->SetShowPageBreak(true);
      s->e->LayoutSuppressed = true;
      for (int i = 0; i < 1200; ++i)
        s->e->AddParagraph(i, i % 4 == 0 ? std::string(300 + 7 * (i % 13), 'a') + " end" : "A short one", nullptr);
      s->e->LayoutSuppressed = false;
      PTParagraph p = s->e->ParagraphByIndex(40);
      p->Flags |= pfPageBreak;
      s->e->ParagraphByIndex(90)->Flags |= pfKeep;
      // Paragraphs 300 and 301 form a table row of two cells.
      s->e->ParagraphByIndex(300)->Flags |= pfTableCell | pfRowGoesOn;
      s->e->ParagraphByIndex(300)->CellWidth = 127;
      s->e->ParagraphByIndex(301)->Flags |= pfTableCell | pfLastCell;
      s->e->ParagraphByIndex(301)->CellStart = 128;
      s->e->ParagraphByIndex(301)->CellWidth = 127;
      s->e->ReformatAll();
    }
  }
  // Runs the same edit on both engines; the whole side then runs a whole pass.
  template <typename Fn>
  void Both(Fn edit) {
    edit(*lazy_.e);
    edit(*whole_.e);
    whole_.e->Paginate();
  }
  static int Count(TRiRTFTextPaint& e) {
    int n = 0;
    for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) ++n;
    return n;
  }
  // The lines of the lazy side before its pending part against the whole side's.
  void ExpectCurrentPartSame(const char* what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(lazy_.e->DocumentHeight, whole_.e->DocumentHeight);
    PTParagraph q = whole_.e->FirstPar;
    int n = 0;
    const PTParagraph pending = lazy_.e->PendingParagraph();
    for (PTParagraph p = lazy_.e->FirstPar; p != nullptr && p != pending; p = p->Next, q = q->Next, ++n) {
      ASSERT_NE(q, nullptr);
      ASSERT_EQ(p->Flags, q->Flags) << "paragraph " << n;
      PTLine m = q->FirstLine;
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next, m = m->Next) {
        ASSERT_NE(m, nullptr);
        ASSERT_EQ(l->Height, m->Height) << "paragraph " << n;
        ASSERT_EQ(l->Top, m->Top) << "paragraph " << n;
        ASSERT_EQ(l->Flags & lfPageStart, m->Flags & lfPageStart) << "paragraph " << n;
      }
    }
  }
  static int Pages(TRiRTFTextPaint& e) {
    int n = 1;
    for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) n += (l->Flags & lfPageStart) != 0;
    return n;
  }
  // Both windows painted at the same offset hold the same pixels.
  void ExpectSamePicture(int offset) {
    for (TSide* s : {&lazy_, &whole_}) {
      s->e->SetScrollOffsets(offset, 0);
      s->e->Redraw();
      cairo_surface_flush(s->bmp.Surface());
    }
    cairo_surface_t* a = lazy_.bmp.Surface();
    cairo_surface_t* b = whole_.bmp.Surface();
    const int stride = cairo_image_surface_get_stride(a);
    ASSERT_EQ(stride, cairo_image_surface_get_stride(b));
    EXPECT_EQ(0, std::memcmp(cairo_image_surface_get_data(a), cairo_image_surface_get_data(b),
                             static_cast<std::size_t>(stride) * 480))
        << "window at " << offset;
  }
  unsigned Next(unsigned n) {
    seed_ = seed_ * 1103515245u + 12345u;
    return (seed_ >> 16) % n;
  }

  TSide lazy_, whole_;
  unsigned seed_ = 4242;
};

TEST_F(LazyPages, EditsAnywhereShowWhatAWholePassGives) {
  ASSERT_GT(lazy_.e->DocumentHeight, 30000);  // far more than the pass lays out after an edit
  bool sawPending = false;
  for (int step = 0; step < 160; ++step) {
    const int count = Count(*lazy_.e);
    // Mostly near the window, also far below it (in the pending part) and above it.
    const int window = static_cast<int>(Next(3));
    int par = window == 0 ? static_cast<int>(Next(40)) : static_cast<int>(Next(static_cast<unsigned>(count)));
    if (par == 300 || par == 301) par = 299;  // the row's cells are edited as ordinary paragraphs elsewhere
    const unsigned kind = Next(11);
    const unsigned amount = Next(80);
    const std::string kindName = std::to_string(step) + ": kind " + std::to_string(kind) + " at " + std::to_string(par);
    Both([&](TRiRTFTextPaint& e) {
      PTParagraph p = e.ParagraphByIndex(par);
      if (kind <= 3) {  // typing, a line's worth now and then
        PTLine last = TRiRTFText::Get_LastLine(p);
        for (unsigned i = 0; i < (kind == 0 ? 60 + amount : 1 + amount % 5); ++i) {
          ASSERT_TRUE(e.InsertChar(p, last, static_cast<char>('b' + i % 20), last->Length));
          e.ParagraphChanged(p);
          last = TRiRTFText::Get_LastLine(p);
        }
      } else if (kind <= 5) {  // deleting
        if (p->FirstLine->Length > 0) {
          e.DeleteChars(p, 0, 1 + static_cast<int>(amount % p->FirstLine->Length));
          e.ParagraphChanged(p);
        }
      } else if (kind <= 7) {  // Return, with a page break now and then
        if (!p->IsCell()) {
          PTParagraph np = e.SplitParagraph(p, p->FirstLine, static_cast<int>(amount % (p->FirstLine->Length + 1)));
          ASSERT_NE(np, nullptr);
          if (kind == 7) np->Flags |= pfPageBreak;
          e.ParagraphChanged(p);
          e.ParagraphChanged(np);
        }
      } else if (kind == 8) {  // Backspace at a paragraph's start joins it to the one before
        if (p->Prev != nullptr && !p->IsCell() && !p->Prev->IsCell()) {
          PTParagraph prev = p->Prev;
          PTLine last = TRiRTFText::Get_LastLine(prev);
          ASSERT_TRUE(e.DeleteChar(prev, last, last->Length));
          e.ParagraphChanged(prev);
        }
      } else if (kind == 10) {  // the page-break mark set or taken away
        p->Flags ^= pfPageBreak;
        p->Mark();
        e.ParagraphChanged(p);
      } else {  // a whole new paragraph of several lines
        PTParagraph np = e.SplitParagraph(p, TRiRTFText::Get_LastLine(p), TRiRTFText::Get_LastLine(p)->Length);
        ASSERT_NE(np, nullptr);
        e.ParagraphChanged(p);
        PTLine l = np->FirstLine;
        for (unsigned i = 0; i < 150 + amount; ++i) ASSERT_TRUE(e.InsertChar(np, l, 'n', l->Length));
        e.ParagraphChanged(np);
      }
    });
    if (HasFailure()) break;
    sawPending = sawPending || lazy_.e->PagesPending();
    ExpectCurrentPartSame(kindName.c_str());
    // The readers: painting at the cursor's place or anywhere, the caret, the whole pass.
    const int reader = static_cast<int>(Next(7));
    if (reader == 0) {
      ExpectSamePicture(static_cast<int>(Next(static_cast<unsigned>(whole_.e->DocumentHeight))));
    } else if (reader == 1) {
      const int y = whole_.e->ParagraphByIndex(par)->FirstLine->Top;
      ExpectSamePicture(std::max(0, y - 200));
    } else if (reader == 2) {
      const int target = static_cast<int>(Next(static_cast<unsigned>(Count(*lazy_.e))));
      for (TSide* s : {&lazy_, &whole_}) {
        PTParagraph p = s->e->ParagraphByIndex(target);
        s->e->CursorPar = p;
        s->e->CursorLine = p->FirstLine;
        s->e->CursorOffset = 0;
        s->e->UpdateCaret();
      }
      EXPECT_EQ(lazy_.e->CaretY(), whole_.e->CaretY());
    } else if (reader == 4) {
      // Line numbers and pages as the status bar reads them, here and a little above and below.
      const int target = static_cast<int>(Next(static_cast<unsigned>(Count(*lazy_.e))));
      for (int near : {0, -3, 5, 40}) {
        const int index = std::clamp(target + near, 0, Count(*lazy_.e) - 1);
        int got[2][3] = {};
        for (int side = 0; side < 2; ++side) {
          TRiRTFTextPaint& e = side == 0 ? *lazy_.e : *whole_.e;
          PTParagraph p = e.ParagraphByIndex(index);
          ASSERT_TRUE(e.LinePlace(p, TRiRTFText::Get_LastLine(p), got[side][0], got[side][1], got[side][2]));
        }
        EXPECT_EQ(std::vector<int>(got[0], got[0] + 3), std::vector<int>(got[1], got[1] + 3)) << "paragraph " << index;
      }
    } else if (reader == 3) {
      lazy_.e->CompletePages();
      EXPECT_FALSE(lazy_.e->PagesPending());
      EXPECT_EQ(Pages(*lazy_.e), Pages(*whole_.e));
    }
    ExpectCurrentPartSame((kindName + " after reading").c_str());
    if (HasFailure()) break;
  }
  EXPECT_TRUE(sawPending);
  lazy_.e->CompletePages();
  ExpectCurrentPartSame("at the end");
  EXPECT_EQ(Pages(*lazy_.e), Pages(*whole_.e));
}

}  // namespace
}  // namespace tw::richtext::testing
