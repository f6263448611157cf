// Measuring characters, breaking paragraphs into lines, and the horizontal geometry of lines
// (indents, line widths, tab positions, x of a character and character at an x).
#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gfx/font.h"
#include "richtext/paint/textpaint.h"

namespace tw::richtext {

namespace {

struct FlagGuard {
  bool& flag;
  explicit FlagGuard(bool& f) : flag(f) { flag = true; }
  ~FlagGuard() { flag = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;
};

bool SameMeasureRun(const TAttr& a, const TAttr& b) {
  return a.Font == b.Font && a.Size == b.Size && a.Style == b.Style && a.Extra == b.Extra &&
         a.Attr10 == b.Attr10 && a.Attr11 == b.Attr11;
}

bool IsObjectChar(unsigned char ch, const TAttr& a) { return (ch == 1 || ch == 2) && (a.Extra & fxObject); }

int BorderDistanceTwips(PTParagraph par) { return (par->BorderColor >> 4) * 567 / 10; }

}  // namespace

// --- measuring -----------------------------------------------------------------------------------

bool TRiRTFTextPaint::Invisible(const TAttr& a, unsigned char ch) const {
  (void)ch;
  if ((a.Extra & fxInsertPoint) && (HideInsertPoints || InsertPointAttr.Hidden())) return true;
  if ((a.Extra & fxAutomatic) && (HideAutomatic || AutomaticAttr.Hidden())) return true;
  if ((a.Style & fsLink) && LinkAttr.Hidden()) return true;
  if ((a.Extra & fxProtected) && ProtectedAttr.Hidden()) return true;
  if ((a.Extra & fxHidden) && !Has(loShowHidden)) return true;
  return false;
}

void TRiRTFTextPaint::MeasureParagraph(PTParagraph par) {
  if (par == nullptr || measuring_ || Locked || Has(loSuspended)) return;
  {
    FlagGuard guard(measuring_);
    const int resX = Header().ResolutionX, resY = Header().ResolutionY;
    for (PTLine line = par->FirstLine; line != nullptr; line = line->Next) {
      line->Height = 0;
      line->Ascent = 0;
      if (!line->HasAttrs()) continue;
      int i = 0;
      while (i < line->Length) {
        const TAttr key = line->Attrs[static_cast<std::size_t>(i)];
        MeasureFont(&key);
        // Visibility follows the style and extra bytes, which the whole run shares.
        const bool invisible = Invisible(key, line->Ch(i));
        for (; i < line->Length && SameMeasureRun(line->Attrs[static_cast<std::size_t>(i)], key); ++i) {
          TAttr& a = line->Attrs[static_cast<std::size_t>(i)];
          const unsigned char ch = line->Ch(i);
          if (a.Size == 0) a.Size = 10;
          if (invisible) {
            a.Width = a.Height = a.Ascent = 0;
            continue;
          }
          int w, h, asc;
          if (IsObjectChar(ch, a)) {
            TRiObject* obj = ObjectOf(ch, a.Tag);
            if (obj != nullptr) {
              obj->InUse = true;
              w = static_cast<int>(static_cast<std::int64_t>(obj->Width) * resX / TwipsPerInch);
              asc = static_cast<int>(static_cast<std::int64_t>(obj->Height) * resY / TwipsPerInch);
              h = fontHeight_ - fontAscent_ + asc;
            } else {
              w = 0;
              h = fontHeight_;
              asc = fontAscent_;
            }
          } else {
            w = std::max(1, WidthTable[ch]);
            h = std::max(1, fontHeight_);
            asc = std::max(1, fontAscent_);
          }
          a.Width = static_cast<std::uint16_t>(std::clamp(w, 0, 65535));
          a.Height = static_cast<std::uint16_t>(std::clamp(h, 0, 65535));
          a.Ascent = static_cast<std::uint16_t>(std::clamp(asc, 0, 65535));
        }
      }
    }
    for (PTLine line = par->FirstLine; line != nullptr; line = line->Next) LineHeight(par, line);
    par->LayoutFlags = static_cast<std::uint8_t>((par->LayoutFlags | lyNeedsBreak) & ~lyNeedsMeasure);
  }
  if (!bulkMeasuring_) {
    PTParagraph next = par->Next;
    if (next != nullptr && next->FirstLine != nullptr && next->FirstLine->Next == nullptr &&
        next->FirstLine->Length == 0)
      MeasureParagraph(next);
  }
}

// --- geometry ---------------------------------------------------------------------------------------

int TRiRTFTextPaint::LeftIndent(PTParagraph par, PTLine line) const {
  return LeftIndentPx(par, line == nullptr || par == nullptr || line == par->FirstLine);
}

int TRiRTFTextPaint::LeftIndentPx(PTParagraph par, bool firstLine) const {
  if (par == nullptr) return 1;
  const int tw = Header().TextWidthTwips;
  const bool bordered = par->BorderFlags & bfBordered;
  if (par->IsCell()) {
    int v = (tw - par->RightIndent - par->LeftIndent) * par->CellStart / 255 + par->LeftIndent;
    if (bordered && (par->BorderColor >> 4) != 0) v += BorderDistanceTwips(par);
    return Px(v) + 1;
  }
  int v = firstLine ? par->FirstIndent : par->LeftIndent;
  if (bordered && par->BorderColor >= 16) v += BorderDistanceTwips(par);
  int px = Px(v);
  if (!(par->Flags & pfLastCell)) px += 1;
  return px;
}

int TRiRTFTextPaint::RightIndent(PTParagraph par) const {
  if (par == nullptr) return 0;
  const int tw = Header().TextWidthTwips;
  int v;
  if (par->IsCell()) {
    v = tw - ((par->CellStart + par->CellWidth) * (tw - par->RightIndent - par->LeftIndent) / 255 + par->LeftIndent);
    v = std::max(v, 0);
  } else {
    v = par->RightIndent;
  }
  if (par->BorderFlags & bfBordered) v += BorderDistanceTwips(par);
  int px = Px(v);
  const int textWidth = Header().TextWidthPixels, printable = Header().Layout.PrintableWidth;
  if (!par->IsCell() && textWidth != printable) px = std::max(0, px + textWidth - printable);
  return px;
}

int TRiRTFTextPaint::CharWidthAt(PTLine line, int i) const {
  if (line->HasAttrs() && !PlainMode) return line->Attrs[static_cast<std::size_t>(i)].Width;
  return plainWidths_[line->Ch(i)];
}

int TRiRTFTextPaint::LineWidth(PTLine line) const {
  if (line == nullptr) return 0;
  int width = 0, pending = 0;
  for (int i = 0; i < line->Length; ++i) {
    const unsigned char ch = line->Ch(i);
    if (ch == 10) {
      width = pending = 0;
      continue;
    }
    const int w = CharWidthAt(line, i);
    if (w == 0) continue;
    if (ch == ' ' || ch == 9) {
      pending += w;
    } else {
      width += pending + w;
      pending = 0;
    }
  }
  return width;
}

int TRiRTFTextPaint::ApplyFreeSpace(PTParagraph par, PTLine line, int x) const {
  if (par->Alignment != 1 && par->Alignment != 2) return x;
  const int free = TextWidth() - LineWidth(line) - RightIndent(par) - LeftIndent(par, line);
  if (par->Alignment == 1 && free > 0) x += free;
  if (par->Alignment == 2 && free > 1) x += free / 2;
  return x;
}

// Width of the text that follows a tab, up to the next tab, the end or (decimal) the decimal
// character.
static int FollowingWidth(const unsigned char* text, const TAttr* attrs, const std::int32_t* plain, int count,
                          bool decimal) {
  int w = 0;
  for (int j = 0; j < count; ++j) {
    const unsigned char ch = text[j];
    if (ch == 9 || ch == 10 || (decimal && (ch == '.' || ch == ','))) break;
    w += attrs != nullptr ? attrs[j].Width : plain[ch];
  }
  return w;
}

static int NextTabIn(const TRiRTFTextPaint& e, PTParagraph par, const unsigned char* follow, const TAttr* attrs,
                     const std::int32_t* plain, int count, int x) {
  const TTextHeader& h = e.Header();
  const int cellLeft = par->IsCell() ? e.LeftIndent(par, par->FirstLine) : 0;
  const int right = e.TextWidth() - e.RightIndent(par);
  for (int k = 0; k < MaxTabs; ++k) {
    const int slot = h.TabOrder[static_cast<std::size_t>(k)];
    if (slot < 0 || slot >= MaxTabs || h.TabPos[static_cast<std::size_t>(slot)] == 0) continue;
    if (!((par->Tabs >> slot) & 1u)) continue;
    const int p = h.TabPixels[static_cast<std::size_t>(slot)] + cellLeft;
    if (p <= x) continue;
    if (p > right) return x;
    const TTabKind kind = h.TabKinds[static_cast<std::size_t>(slot)];
    if (kind == TTabKind::tkLeft || kind == TTabKind::tkAll) return p;
    const int w = FollowingWidth(follow, attrs, plain, count, kind == TTabKind::tkDecimal);
    const int q = kind == TTabKind::tkCenter ? p - w / 2 : p - w;
    return q < x ? x : q;
  }
  const int unit = std::max(1, h.Layout.RulerUnit);
  if (x < 0) return 0;
  return (x + unit) - ((x + unit) % unit);
}

int TRiRTFTextPaint::NextTabPos(PTParagraph par, PTLine line, int x, int index) const {
  if (par == nullptr || line == nullptr) return x;
  const int from = std::clamp(index + 1, 0, static_cast<int>(line->Length));
  const auto* text = reinterpret_cast<const unsigned char*>(line->Text()) + from;
  const TAttr* attrs = line->HasAttrs() && !PlainMode ? line->Attrs.data() + from : nullptr;
  return NextTabIn(*this, par, text, attrs, plainWidths_, line->Length - from, x);
}

int TRiRTFTextPaint::AdvanceAt(PTParagraph par, PTLine line, int i, int x, int& extraLeft) const {
  const unsigned char ch = line->Ch(i);
  const bool rightOrCentre = par->Alignment == 1 || par->Alignment == 2;
  if (ch == 9 && !rightOrCentre) return std::max(0, NextTabPos(par, line, x, i) - x);
  if (ch == ' ' && (line->Flags & lfJustified) && i >= line->WidthOrStretch) {
    int w = line->StretchWidth;
    if (extraLeft > 0) {
      --extraLeft;
      ++w;
    }
    return w;
  }
  return CharWidthAt(line, i);
}

int TRiRTFTextPaint::CharX(PTParagraph par, PTLine line, int index) const {
  if (par == nullptr || line == nullptr) return 0;
  int x = LeftIndent(par, line);
  if ((par->Alignment == 0 || par->Alignment == 3) && x < 1) x = 1;
  x = ApplyFreeSpace(par, line, x);
  int extra = line->ExtraPixels;
  const int n = std::min<int>(index, line->Length);
  for (int j = 0; j < n; ++j) x += AdvanceAt(par, line, j, x, extra);
  return x;
}

int TRiRTFTextPaint::CharAtX(PTParagraph par, PTLine line, int x) const {
  if (par == nullptr || line == nullptr) return 0;
  int cx = LeftIndent(par, line);
  if ((par->Alignment == 0 || par->Alignment == 3) && cx < 1) cx = 1;
  cx = ApplyFreeSpace(par, line, cx);
  int extra = line->ExtraPixels;
  for (int j = 0; j < line->Length; ++j) {
    const int adv = AdvanceAt(par, line, j, cx, extra);
    const bool object = line->HasAttrs() && IsObjectChar(line->Ch(j), line->Attrs[static_cast<std::size_t>(j)]);
    if (object ? cx + adv >= x : cx + adv / 2 >= x) return j;
    cx += adv;
  }
  return line->Length;
}

// A bordered block runs from a bordered paragraph after an unbordered one (or after the last
// paragraph of another block) to the paragraph that carries the block-end flag, or the last
// bordered one.  An unbordered paragraph is a block of its own.
PTParagraph BorderBlockStart(PTParagraph par) {
  if (par == nullptr || !(par->BorderFlags & bfBordered)) return par;
  PTParagraph p = par;
  while (p->Prev != nullptr && (p->Prev->BorderFlags & bfBordered) && !(p->Prev->BorderFlags & bfBlockEnd))
    p = p->Prev;
  return p;
}

bool BorderBlockEndsAt(PTParagraph par) {
  return !(par->BorderFlags & bfBordered) || (par->BorderFlags & bfBlockEnd) || par->Next == nullptr ||
         !(par->Next->BorderFlags & bfBordered);
}

int TRiRTFTextPaint::CellLeft(PTParagraph par) const {
  if (par == nullptr) return 0;
  const int tw = Header().TextWidthTwips;
  int v;
  if (par->IsCell()) {
    v = (tw - par->RightIndent - par->LeftIndent) * par->CellStart / 255 + par->LeftIndent;
  } else {
    // One box for the whole bordered block.
    v = 32000;
    for (PTParagraph q = BorderBlockStart(par); q != nullptr; q = q->Next) {
      v = std::min({v, q->FirstIndent, q->LeftIndent});
      if (BorderBlockEndsAt(q)) break;
    }
  }
  return v < 1 ? v : Px(v);
}

int TRiRTFTextPaint::CellRight(PTParagraph par) const {
  if (par == nullptr) return 0;
  const int tw = Header().TextWidthTwips;
  int v;
  if (par->IsCell()) {
    v = tw - ((par->CellStart + par->CellWidth) * (tw - par->RightIndent - par->LeftIndent) / 255 + par->LeftIndent);
    v = std::max(v, 0);
  } else {
    v = 32000;
    for (PTParagraph q = BorderBlockStart(par); q != nullptr; q = q->Next) {
      v = std::min(v, q->RightIndent);
      if (BorderBlockEndsAt(q)) break;
    }
  }
  return v < 1 ? v : Px(v);
}

// --- line breaking --------------------------------------------------------------------------------------

void TRiRTFTextPaint::FormatParagraph(PTParagraph par, bool compare, int& change) {
  change = 0;
  if (par == nullptr || par->FirstLine == nullptr) return;
  par->LayoutFlags &= static_cast<std::uint8_t>(~lyNeedsBreak);
  if (OnSpellCheckWord) SpellCheckParagraph(par);

  // Gather the paragraph's characters and note where the cursor and the selection ends lie.
  const bool withAttrs = Header().AttributesInUse && !PlainMode;
  std::vector<unsigned char> text;
  std::vector<TAttr> attrs;
  std::vector<PTLine> old;
  bool oldSelected = false;
  int selStart = -1, selEnd = -1, cursor = -1;
  TAttr emptyAttr = CurAttr;
  bool haveEmptyAttr = false;
  int start = 0;
  std::size_t total = 0;
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) total += l->Length;
  text.reserve(total);
  if (withAttrs) attrs.reserve(total);
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    old.push_back(l);
    if (SelStartPar == par && SelStartLine == l) selStart = start + std::clamp(SelStartOffset, 0, static_cast<int>(l->Length));
    if (SelEndPar == par && SelEndLine == l) selEnd = start + std::clamp(SelEndOffset, 0, static_cast<int>(l->Length));
    if (CursorPar == par && CursorLine == l) cursor = start + std::clamp(CursorOffset, 0, static_cast<int>(l->Length));
    if (l->PaintState == psSelected || l->PaintState == psPartly) oldSelected = true;
    if (!haveEmptyAttr && l->HasAttrs()) {
      emptyAttr = l->Attrs[0];
      haveEmptyAttr = true;
    }
    const auto* chars = reinterpret_cast<const unsigned char*>(l->Text());
    text.insert(text.end(), chars, chars + l->Length);
    if (withAttrs) {
      if (l->HasAttrs()) {
        attrs.insert(attrs.end(), l->Attrs.begin(), l->Attrs.begin() + l->Length);
      } else {
        for (int i = 0; i < l->Length; ++i) {
          TAttr a = CurAttr;
          a.Width = static_cast<std::uint16_t>(plainWidths_[l->Ch(i)]);
          a.Height = static_cast<std::uint16_t>(DefaultLineHeight);
          a.Ascent = static_cast<std::uint16_t>(DefaultAscent);
          attrs.push_back(a);
        }
      }
    }
    start += l->Length;
  }
  const int n = static_cast<int>(text.size());
  const bool rightOrCentre = par->Alignment == 1 || par->Alignment == 2;
  const bool showHidden = Has(loShowHidden);
  auto widthOf = [&](int i) {
    if (!withAttrs) return static_cast<int>(plainWidths_[text[static_cast<std::size_t>(i)]]);
    const TAttr& a = attrs[static_cast<std::size_t>(i)];
    if ((a.Extra & fxHidden) && !showHidden) return 0;
    return static_cast<int>(a.Width);
  };

  struct Piece {
    int from, to, width, stretchStart, stretch, extra;
    bool justified;
  };
  std::vector<Piece> pieces;
  const int textWidth = TextWidth();
  const int right = RightIndent(par);
  int pos = 0;
  while (pos < n) {
    const int L = LeftIndentPx(par, pieces.empty());
    int W = textWidth - right - L;
    if (W < 1) W = 16;
    int x = 0, spaces = 0, spaceWidth = 0, lastSpace = -1, lastTab = -1, xSpace = 0, xTab = 0;
    int i = pos;
    bool ended = false, lineFeed = false;
    for (;;) {
      if (i >= n) {
        ended = true;
        break;
      }
      // Text that takes no room (hidden, say) still ends a line before the line is full.
      if (i - pos >= MaxLineCapacity - 8) break;
      const unsigned char ch = text[static_cast<std::size_t>(i)];
      const int w = widthOf(i);
      const bool tab = ch == 9 && !rightOrCentre;
      const bool space = ch == ' ' || (ch == 9 && rightOrCentre);
      if (!tab && !space && x + w >= W && i > pos) break;
      if (tab) {
        xTab = x;
        const int next = NextTabIn(*this, par, text.data() + i + 1, withAttrs ? attrs.data() + i + 1 : nullptr,
                                   plainWidths_, n - i - 1, L + x) - L;
        x = std::max(x, next);
        spaces = spaceWidth = 0;
        lastTab = i - pos;
      } else if (space) {
        ++spaces;
        xSpace = x;
        x += w;
        spaceWidth += w;
        lastSpace = i - pos;
      } else {
        x += w;
      }
      ++i;
      if (ch == 10) {
        lineFeed = true;
        lastSpace = lastTab = -1;
        break;
      }
      if (x >= W) break;
    }
    int end = i, lineX = x;
    if (!ended && !lineFeed) {
      if (lastSpace >= 2) {
        end = pos + lastSpace + 1;
        lineX = xSpace;
      } else if (lastTab >= 2) {
        end = pos + lastTab + 1;
        lineX = xTab;
      }
    }
    if (end <= pos) {
      end = pos + 1;
      lineX = widthOf(pos);
    }
    Piece piece{pos, end, lineX, 0, 0, 0, false};
    const bool last = end >= n;
    if (par->Alignment == 3 && spaces > 1 && (!last || (par->Flags & pfJustifyLast))) {
      // The space the line breaks after is counted but not stretched: leaving it out of the
      // total makes the last word end 6 pixels short of the edge instead of overshooting it.
      const int trailing = (end > pos && text[static_cast<std::size_t>(end - 1)] == ' ') ? widthOf(end - 1) : 0;
      // A last line without a trailing space stretches all of its spaces.
      const int stretched = trailing > 0 || (end > pos && text[static_cast<std::size_t>(end - 1)] == ' ') ? spaces - 1 : spaces;
      const int total = std::max(0, spaceWidth - trailing + W - lineX - 6);
      piece.justified = true;
      piece.stretchStart = lastTab >= 0 ? lastTab : 0;
      piece.stretch = total / stretched;
      piece.extra = total % stretched;
    }
    pieces.push_back(piece);
    pos = end;
  }
  if (pieces.empty() || text.back() == 10) pieces.push_back(Piece{n, n, 0, 0, 0, 0, false});

  // Build the new lines.
  std::vector<PTLine> lines;
  lines.reserve(pieces.size());
  for (const Piece& pc : pieces) {
    const int count = pc.to - pc.from;
    int capacity = std::max(8, count + 4);
    if (capacity & 1) ++capacity;
    if (capacity > MaxLineCapacity) throw Exception("Line longer then\t10000 character!");
    auto* nl = new TLine;
    nl->Capacity = static_cast<std::uint16_t>(capacity);
    nl->Buffer.assign(static_cast<std::size_t>(capacity), 0);
    if (count > 0) std::memcpy(nl->Buffer.data(), text.data() + pc.from, static_cast<std::size_t>(count));
    if (withAttrs) {
      nl->Attrs.assign(static_cast<std::size_t>(capacity), TAttr{});
      if (count > 0)
        std::copy(attrs.begin() + pc.from, attrs.begin() + pc.to, nl->Attrs.begin());
      else
        nl->Attrs[0] = pc.from > 0 ? attrs[static_cast<std::size_t>(pc.from - 1)] : emptyAttr;
    }
    nl->Length = static_cast<std::uint16_t>(count);
    if (pc.justified) {
      nl->Flags |= lfJustified;
      nl->WidthOrStretch = static_cast<std::uint16_t>(pc.stretchStart);
      nl->StretchWidth = static_cast<std::uint16_t>(pc.stretch);
      nl->ExtraPixels = static_cast<std::uint16_t>(pc.extra);
    } else {
      nl->WidthOrStretch = static_cast<std::uint16_t>(std::clamp(pc.width, 0, 65535));
    }
    if (!lines.empty()) {
      nl->Prev = lines.back();
      lines.back()->Next = nl;
    }
    lines.push_back(nl);
  }
  const bool touches = SelStartPar == par || SelEndPar == par;
  if (oldSelected && !touches)
    for (PTLine l : lines) l->PaintState = psPartly;

  // Map the cursor and the selection ends onto the new lines.
  auto locate = [&](int offset, bool cursorRule, int& index, int& inLine) {
    int s = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
      const int len = lines[k]->Length;
      if (offset <= s + len || k + 1 == lines.size()) {
        inLine = std::clamp(offset - s, 0, len);
        index = static_cast<int>(k);
        if (cursorRule && inLine == len && k + 1 < lines.size() && len > 0) {
          index = static_cast<int>(k) + 1;
          inLine = 0;
        }
        return;
      }
      s += len;
    }
  };
  int startIdx = -1, endIdx = -1;
  if (selStart >= 0) {
    int off = 0;
    locate(selStart, false, startIdx, off);
    SelStartLine = lines[static_cast<std::size_t>(startIdx)];
    SelStartOffset = off;
  }
  if (selEnd >= 0) {
    int off = 0;
    locate(selEnd, false, endIdx, off);
    SelEndLine = lines[static_cast<std::size_t>(endIdx)];
    SelEndOffset = off;
  }
  if (cursor >= 0) {
    int idx = 0, off = 0;
    locate(cursor, true, idx, off);
    CursorLine = lines[static_cast<std::size_t>(idx)];
    CursorOffset = off;
  }
  if (HasSelection() && (startIdx >= 0 || endIdx >= 0)) {
    const int last = static_cast<int>(lines.size()) - 1;
    int a, b;
    if (startIdx >= 0 && endIdx >= 0) {
      a = std::min(startIdx, endIdx);
      b = std::max(startIdx, endIdx);
    } else {
      const int idx = startIdx >= 0 ? startIdx : endIdx;
      const bool isEarlier = (startIdx >= 0) != SelReversed;
      a = isEarlier ? idx : 0;
      b = isEarlier ? last : idx;
    }
    for (int k = a; k <= b; ++k) lines[static_cast<std::size_t>(k)]->PaintState = psPartly;
  }

  // Link the new lines in, set their metrics and tops.
  const int top = par->FirstLine->Top;
  par->FirstLine = lines.front();
  int y = top;
  for (PTLine l : lines) {
    l->Top = y;
    if (l->Length == 0 && withAttrs) {
      l->Height = static_cast<std::uint16_t>(DefaultLineHeight);
      l->Ascent = static_cast<std::uint16_t>(DefaultAscent);
    }
    LineHeight(par, l);
    y += l->Height;
  }

  if (compare) {
    if (par->IsCell()) Paginate();
    int oldHeight = 0, newHeight = 0;
    for (PTLine l : old) oldHeight += l->Height;
    for (PTLine l : lines) newHeight += l->Height;
    if (oldHeight != newHeight || old.size() != lines.size()) {
      change = 3;
    } else {
      for (std::size_t k = 0; k < lines.size(); ++k) {
        PTLine o = old[k], nl = lines[k];
        if (o->Height != nl->Height) {
          change = 2;
          break;
        }
        bool differs = o->Length != nl->Length || o->StretchWidth != nl->StretchWidth;
        for (int i = 0; !differs && i < nl->Length; ++i)
          differs = o->Ch(i) != nl->Ch(i) || (o->HasAttrs() && nl->HasAttrs() &&
                                              o->Attrs[static_cast<std::size_t>(i)].Width != nl->Attrs[static_cast<std::size_t>(i)].Width);
        if (differs) {
          nl->Flags |= lfChanged;
          change = std::max(change, 1);
        }
      }
    }
  }
  for (PTLine l : old) delete l;
}

void TRiRTFTextPaint::SpellCheckParagraph(PTParagraph par) {
  if (!OnSpellCheckWord || par == nullptr || !Header().AttributesInUse || PlainMode) return;
  // Words are runs of characters of code 65 and above; they may not cross lines here because
  // the paragraph is broken again right after.
  struct Ref {
    PTLine line;
    int index;
  };
  std::vector<Ref> word;
  auto finish = [&]() {
    if (word.empty()) return;
    bool unexamined = false;
    for (const Ref& r : word) unexamined |= !(r.line->Attrs[static_cast<std::size_t>(r.index)].Attr10 & smExamined);
    if (unexamined) {
      if (word.size() > 100) word.resize(100);
      std::string text;
      for (const Ref& r : word) text += static_cast<char>(r.line->Ch(r.index));
      int result = 0;
      std::uint8_t hyphens[9] = {};
      OnSpellCheckWord(text, result, hyphens);
      if (!(result & 1)) {
        for (std::size_t k = 0; k < word.size(); ++k) {
          TAttr& a = word[k].line->Attrs[static_cast<std::size_t>(word[k].index)];
          a.Attr10 = static_cast<std::uint8_t>((a.Attr10 | smExamined) & ~smHyphen);
          if (result & 2)
            a.Attr10 |= smMisspelled;
          else
            a.Attr10 &= static_cast<std::uint8_t>(~smMisspelled);
        }
        if (result & 4)
          for (int s = 1; s <= 8; ++s)
            if (hyphens[s] > 0 && hyphens[s] < word.size())
              word[hyphens[s]].line->Attrs[static_cast<std::size_t>(word[hyphens[s]].index)].Attr10 |= smHyphen;
      }
    }
    word.clear();
  };
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    if (!l->HasAttrs()) continue;
    for (int i = 0; i < l->Length; ++i) {
      if (l->Ch(i) >= 65)
        word.push_back(Ref{l, i});
      else
        finish();
    }
  }
  finish();
}

}  // namespace tw::richtext
