#include "richtext/rtf/rtfwriter.h"

#include <cstdio>

#include "platform/gfx/graphic.h"
#include "platform/gfx/font.h"
#include "platform/gfx/metafile.h"
#include "platform/rtl/win1252.h"
#include "richtext/rtf/rtfpicture.h"

namespace tw::richtext {
namespace {

std::string Num(std::int64_t v) { return std::to_string(v); }

// a / b rounded to the nearest whole number, halves away from zero (b > 0).
std::int64_t RoundedDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (2 * a + b) / (2 * b) : -((-2 * a + b) / (2 * b)); }

}  // namespace

void TRiRTFWriter::AppendEscaped(std::string& out, const char* text, std::size_t count) {
  static const char digits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '{' || c == '}' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == 9) {
      out += "\\tab ";
    } else if (c == 10) {
      out += "\\line ";
    } else if (c >= 32 && c <= 126) {
      out += static_cast<char>(c);
    } else if (c <= 3) {
      // object placeholders are written by the picture operation
    } else {
      out += "\\'";
      out += digits[c >> 4];
      out += digits[c & 15];
    }
  }
}

void TRiRTFWriter::AppendRunText(std::string& out, const char* text, std::size_t count) const {
  const TTextHeader& h = Engine->Header();
  const int font = attrPtr_ != nullptr ? attrPtr_->Font : 0;
  if (font >= MaxFonts || h.FontCharsets[static_cast<std::size_t>(font)] != SYMBOL_CHARSET) {
    AppendEscaped(out, text, count);
    return;
  }
  // The document's bytes are Windows-1252 characters, but for the Symbol font's own bullet,
  // which is drawn as a bullet and which other readers read as one too.
  const bool symbolFace = AnsiSameText(h.FontNames[static_cast<std::size_t>(font)], "Symbol");
  for (std::size_t i = 0; i < count; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || (symbolFace && c == 0xB7)) {
      AppendEscaped(out, text + i, 1);
      continue;
    }
    out += "\\u" + Num(static_cast<std::int64_t>(Win1252ToCodePoint(static_cast<char>(c))));
    AppendEscaped(out, text + i, 1);
  }
}

std::uint8_t TRiRTFWriter::WriteHeader(TStream* stream) {
  stream_ = stream;
  rawOpen_ = hiddenOpen_ = scriptOpen_ = false;
  groups_.clear();
  cells_.clear();
  const TTextHeader& h = Engine->Header();
  std::string s = "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl";
  auto font = [&](int number, int index) {
    static const char* const family[16] = {"\\fnil", "\\fnil", "\\fswiss", "\\fmodern", "\\fscript", "\\fdecor",
                                           "\\fnil", "\\fnil", "\\fnil", "\\fnil", "\\fnil", "\\fnil",
                                           "\\fnil", "\\fnil", "\\fnil", "\\fnil"};
    s += "{\\f" + Num(number) + family[(h.FontFamilies[index] >> 4) & 15] + "\\fcharset" +
         Num(h.FontCharsets[index]) + " ";
    AppendEscaped(s, h.FontNames[index].data(), h.FontNames[index].size());
    s += ";}";
  };
  if (Engine->PlainMode) {
    font(0, Engine->CurAttr.Font < MaxFonts ? Engine->CurAttr.Font : 0);
  } else {
    for (int i = 0; i < MaxFonts && !h.FontNames[i].empty(); ++i) font(i, i);
  }
  s += "}{\\colortbl";
  for (int i = 0; i < 15; ++i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "\\red%d\\green%d\\blue%d;", GetRValue(h.Colors[i]), GetGValue(h.Colors[i]),
                  GetBValue(h.Colors[i]));
    s += buf;
  }
  s += "}";
  s += "\\paperw" + Num(h.Layout.PageWidth) + "\\paperh" + Num(h.Layout.PageHeight) + "\\margl" +
       Num(h.Layout.LeftMargin) + "\\margr" + Num(h.Layout.RightMargin) + "\\margt" + Num(h.Layout.TopMargin) +
       "\\margb" + Num(h.Layout.BottomMargin);
  // The document information belongs in the information group.
  if (!h.Title.empty() || !h.Subject.empty() || !h.Comment.empty()) {
    s += "{\\info";
    if (!h.Title.empty()) {
      s += "{\\title ";
      AppendEscaped(s, h.Title.data(), h.Title.size());
      s += "}";
    }
    if (!h.Subject.empty()) {
      s += "{\\subject\t";
      AppendEscaped(s, h.Subject.data(), h.Subject.size());
      s += "}";
    }
    if (!h.Comment.empty()) {
      s += "{\\comment\t";
      AppendEscaped(s, h.Comment.data(), h.Comment.size());
      s += "}";
    }
    s += "}";
  }
  return Error = Put(s);
}

void TRiRTFWriter::OpenGroup(GroupKind kind) {
  Group g;
  if (!groups_.empty()) g.Props = groups_.back().Props;
  g.Kind = kind;
  g.Table = !groups_.empty() && groups_.back().Table && kind != gkTable ? groups_.back().Table : false;
  groups_.push_back(g);
  pending_ += '{';
}

void TRiRTFWriter::CloseDownTo(GroupKind kind) {
  bool any = false;
  for (const auto& g : groups_)
    if (g.Kind == kind && &g != &groups_.front()) any = true;
  while (groups_.size() > 1) {
    const GroupKind k = groups_.back().Kind;
    groups_.pop_back();
    pending_ += '}';
    if (any && k == kind) break;
  }
}

std::uint8_t TRiRTFWriter::Flush() {
  const std::uint8_t r = Put(pending_);
  pending_.clear();
  return r;
}

void TRiRTFWriter::AppendTabs(const TParagraph& p) {
  const TTextHeader& h = Engine->Header();
  for (int i = 0; i < MaxTabs; ++i) {
    if (!(p.Tabs & (TTabSet{1} << i)) || h.TabPos[i] == 0) continue;
    switch (h.TabKinds[i]) {
      case TTabKind::tkRight: pending_ += "\\tqr"; break;
      case TTabKind::tkCenter: pending_ += "\\tqc"; break;
      case TTabKind::tkDecimal: pending_ += "\\tqdec"; break;
      default: break;
    }
    pending_ += "\\tx" + Num(h.TabPos[i]);
  }
}

void TRiRTFWriter::ParagraphDefaults(TParagraph& props) {
  // What a reader holds after "\pard" for the words written with a row's cells.
  props.Alignment = 0;
  props.ListByte = 0;
  props.Tabs = 0;
  props.Flags = 0;
  props.SpaceBefore = props.SpaceAfter = props.LineSpacing = 0;
}

bool TRiRTFWriter::StartsRow(const TParagraph* p) const {
  return p->IsCell() && (p->Prev == nullptr || !p->Prev->IsCell() || IsRowEnd(p->Prev));
}

std::vector<TRiRTFWriter::CellDef> TRiRTFWriter::RowDefinition(PTParagraph first) const {
  std::vector<CellDef> row;
  for (PTParagraph c = first; c != nullptr && c->IsCell() && row.size() < 50; c = c->Next) {
    row.push_back(CellDef{c->BorderFlags, c->BorderWidth, c->BorderColor,
                          static_cast<std::uint8_t>(c->CellStart + c->CellWidth), c->Shading, c->ShadingPercent,
                          c->SpaceBefore, c->LineSpacing, c->LeftIndent, c->RightIndent});
    if (EndsWrittenRow(c)) break;
  }
  return row;
}

std::int64_t TRiRTFWriter::CellEdge(const TParagraph& c, int byte) const {
  // Where the layout shows it: the row spans the table width less its left edge and the room
  // right of it.  Rounded, not cut: the reader rounds the boundary back to the same 255ths, so
  // the boundary written again after reading is the same.
  const std::int64_t row = static_cast<std::int64_t>(tableWidth_) - c.RightIndent - c.LeftIndent;
  return RoundedDiv(row * byte, 255) + c.LeftIndent;
}

std::uint8_t TRiRTFWriter::WriteParagraphProps() {
  PTParagraph p = curPar_;
  if (p == nullptr) return riOK;
  TParagraph text;
  if (CellAsText(p)) {
    // Text of one cell: a paragraph with the cell's alignment, spacing and tab stops.
    text = *p;
    text.Flags = static_cast<std::uint8_t>(text.Flags & ~(pfTableCell | pfLastCell | pfRowGoesOn));
    text.FirstIndent = text.LeftIndent = text.RightIndent = 0;
    text.SetBorderValue(0);
    text.Shading = text.ShadingPercent = 0;
    p = &text;
  }
  const TParagraph* prev = prevPar_;
  pending_.clear();
  if (groups_.empty()) OpenGroup(gkBase);
  const std::size_t depth = groups_.size();
  // 2. The end of a bordered block, or a table after other text, closes the border group.
  {
    const Group& top = groups_.back();
    const bool topBorder = (top.Props.BorderFlags & bfBordered) != 0;
    if ((topBorder && (!(p->BorderFlags & bfBordered) || (prev != nullptr && (prev->BorderFlags & bfBlockEnd)))) ||
        (!top.Table && p->IsCell() && groups_.size() > 1))
      CloseDownTo(gkBorder);
  }
  // 3. Leaving a table, or a row of another shape, closes the table group.
  if (groups_.back().Table) {
    bool close = !p->IsCell();
    if (!close && StartsRow(p)) close = RowDefinition(p) != cells_;
    if (close) {
      CloseDownTo(gkTable);
      cells_.clear();
    }
  }
  // 4. Outside a table, the tab group holds the paragraph's tab stops and its keep-together
  // mark: a different tab set, or keep-together that ends, closes it.  A table row's cells
  // reset their tab stops inside the row (below): closing down here would end the row.
  // Keep-together may have been written in an enclosing tab group: close until none holds it.
  while (!groups_.back().Table && groups_.size() > 1) {
    const TParagraph& top = groups_.back().Props;
    if (!(top.Tabs != 0 && top.Tabs != p->Tabs) && !((top.Flags & pfKeep) && !(p->Flags & pfKeep))) break;
    CloseDownTo(gkTab);
  }
  // A last paragraph without text is ended by the closing braces alone: a reader gives it the
  // properties in effect before them, so after a group closed for it its own are written out
  // even where they equal the ones the closing brought back.
  const bool writeAll = groups_.size() < depth && !p->IsCell() && (p->Next == nullptr || p == EndPar) &&
                        TRiRTFText::ParagraphLength(p) == 0;
  if (Flush() != riOK) return Error = riWriteError;
  if (p->Flags & pfPageBreak) pending_ += "\\page";
  const TTextHeader& h = Engine->Header();
  if (p->IsCell()) {
    if (groups_.back().Table) {
      // Tab stops stay with a row's paragraphs until they are reset: a cell with another tab set
      // starts from the defaults, and what the group remembers starts again with it.
      if (p->Tabs != groups_.back().Props.Tabs) {
        pending_ += "\\pard";
        ParagraphDefaults(groups_.back().Props);
      }
      pending_ += "\\intbl";
    } else {
      OpenGroup(gkTable);
      ParagraphDefaults(groups_.back().Props);
      tableWidth_ = h.Layout.PageWidth - h.Layout.LeftMargin - h.Layout.RightMargin;
      // A copy that begins inside a row starts its row at the first cell copied.
      const std::int64_t left = StartsRow(p) || p != StartPar ? p->LeftIndent : CellEdge(*p, p->CellStart);
      pending_ += "\\pard\\trowd\\trgaph" + Num(RiMulDiv((p->BorderColor >> 4) * 16, 567, 160)) + "\\trleft" +
                  Num(left);
      cells_ = RowDefinition(p);
      int n = 0;
      for (PTParagraph c = p; c != nullptr && c->IsCell() && n < 50; c = c->Next, ++n) {
        if (c->BorderFlags & bfBordered) {
          const char* sw = (c->BorderFlags & bfDouble) ? "\\brdrdb" : "\\brdrs";
          const bool box = (c->BorderFlags & bfBox) != 0;
          if (box || (c->BorderFlags & bfTop)) pending_ += std::string("\\clbrdrt") + sw;
          if (box || (c->BorderFlags & bfBottom)) pending_ += std::string("\\clbrdrb") + sw;
          if (box || (c->BorderFlags & bfLeft)) pending_ += std::string("\\clbrdrl") + sw;
          if (box || (c->BorderFlags & bfRight)) pending_ += std::string("\\clbrdrr") + sw;
          pending_ += "\\brdrw" + Num(c->BorderWidth * 20);
          if (c->BorderColor != 0) pending_ += "\\brdrcf" + Num(c->BorderColor & 15);
          if (c->BorderStyle & 1) pending_ += "\\brdrdot";
          if (c->BorderStyle & 2) pending_ += "\\brdrhair";
        }
        if (c->Shading != 0) {
          pending_ += "\\clshdng\\clcfpat" + Num(c->Shading & 15);
          if (c->ShadingPercent != 100) pending_ += "\\clcbpat" + Num(c->Shading >> 4);
        }
        pending_ += "\\cellx" + Num(CellEdge(*c, c->CellStart + c->CellWidth));
        if (pending_.size() > 512 && Flush() != riOK) return Error = riWriteError;
        if (EndsWrittenRow(c)) break;
      }
      pending_ += "\\intbl";
      groups_.back().Table = true;
    }
    AppendTabs(*p);
    groups_.back().Props.Tabs = p->Tabs;
  } else {
    if ((p->BorderFlags & bfBordered) && (prev == nullptr || !(prev->BorderFlags & bfBordered) ||
                                          (prev->BorderFlags & bfBlockEnd) ||
                                          !(groups_.back().Props.BorderFlags & bfBordered))) {
      OpenGroup(gkBorder);
      const char* sw = (p->BorderFlags & bfDouble) ? "\\brdrdb" : "\\brdrs";
      if (p->BorderFlags & bfBox) pending_ += std::string("\\box") + sw;
      if (p->BorderFlags & bfTop) pending_ += std::string("\\brdrt") + sw;
      if (p->BorderFlags & bfBottom) pending_ += std::string("\\brdrb") + sw;
      if (p->BorderFlags & bfLeft) pending_ += std::string("\\brdrl") + sw;
      if (p->BorderFlags & bfRight) pending_ += std::string("\\brdrr") + sw;
      if (p->BorderStyle & 4) pending_ += "\\brdrbar";
      if (p->BorderStyle & 64) pending_ += "\\brdrtablin";
      pending_ += "\\brdrw" + Num(p->BorderWidth * 20);
      if (p->BorderColor != 0) {
        pending_ += "\\brsp" + Num(RiMulDiv((p->BorderColor >> 4) * 16, 567, 160));
        pending_ += "\\brdrcf" + Num(p->BorderColor & 15);
      }
      if (p->BorderStyle & 1) pending_ += "\\brdrdot";
      if (p->BorderStyle & 2) pending_ += "\\brdrhair";
      groups_.back().Props.SetBorderValue(p->BorderValue() & ~static_cast<std::uint32_t>(bfBlockEnd));
    }
    // Shading is remembered like the other properties, so that it survives group ends.
    Group& top = groups_.back();
    if (p->Shading != top.Props.Shading || p->ShadingPercent != top.Props.ShadingPercent) {
      if (p->Shading == 0) {
        pending_ += "\\shading0";
      } else {
        if (p->ShadingPercent == 0)
          pending_ += (p->Shading & 15) == 0 ? "\\shading1" : "\\shading10000";
        else
          pending_ += "\\shading" + Num(p->ShadingPercent * 100);
        pending_ += "\\cfpat" + Num(p->Shading & 15);
        if (p->ShadingPercent != 100) pending_ += "\\cbpat" + Num(p->Shading >> 4);
      }
      top.Props.Shading = p->Shading;
      top.Props.ShadingPercent = p->ShadingPercent;
    }
    if (!pending_.empty()) pending_ += ' ';
    if (Flush() != riOK) return Error = riWriteError;
    // Keep-together lasts in RTF until the paragraph defaults return: it is written inside the
    // tab group, whose end switches it off again for the paragraphs that lack it.
    // Each paragraph that keeps together says so (a reader may end it with the paragraph).
    const bool keep = (p->Flags & pfKeep) != 0;
    if (p->Tabs != groups_.back().Props.Tabs || (keep && !(groups_.back().Props.Flags & pfKeep))) {
      OpenGroup(gkTab);
      AppendTabs(*p);
      groups_.back().Props.Tabs = p->Tabs;
      if (keep) groups_.back().Props.Flags |= pfKeep;
    }
    if (keep) pending_ += "\\keep";
  }
  if (!pending_.empty()) pending_ += ' ';
  if (Flush() != riOK) return Error = riWriteError;
  Group& top = groups_.back();
  if (writeAll || p->Alignment != top.Props.Alignment) {
    static const char* const align[4] = {"\\ql", "\\qr", "\\qc", "\\qj"};
    pending_ += align[p->Alignment & 3];
    top.Props.Alignment = p->Alignment;
  }
  if (!p->IsCell() && (writeAll || p->LeftIndent != top.Props.LeftIndent || p->FirstIndent != top.Props.FirstIndent ||
                       p->RightIndent != top.Props.RightIndent)) {
    pending_ += "\\li" + Num(p->LeftIndent) + "\\fi" + Num(static_cast<std::int64_t>(p->FirstIndent) - p->LeftIndent) +
                "\\ri" + Num(p->RightIndent);
    top.Props.LeftIndent = p->LeftIndent;
    top.Props.FirstIndent = p->FirstIndent;
    top.Props.RightIndent = p->RightIndent;
  }
  if (writeAll || p->IsCell() || p->SpaceBefore != top.Props.SpaceBefore || p->SpaceAfter != top.Props.SpaceAfter ||
      p->LineSpacing != top.Props.LineSpacing) {
    pending_ += "\\sb" + Num(p->SpaceBefore);
    if (p->LineSpacing != 0 || top.Props.LineSpacing != 0) pending_ += "\\sl" + Num(p->LineSpacing);
    pending_ += "\\sa" + Num(p->SpaceAfter);
    top.Props.SpaceBefore = p->SpaceBefore;
    top.Props.SpaceAfter = p->SpaceAfter;
    top.Props.LineSpacing = p->LineSpacing;
  }
  if (writeAll || p->ListByte != top.Props.ListByte) {
    pending_ += "\\wplist" + Num(p->ListByte);
    top.Props.ListByte = p->ListByte;
  }
  if (!pending_.empty()) pending_ += ' ';
  return Error = Flush();
}

void TRiRTFWriter::CloseRun(std::string& s) {
  // Inside raw RTF a brace would be text: the raw section ends first.
  if (rawOpen_) {
    s += "\\wprtf0";
    rawOpen_ = false;
  }
  if (scriptOpen_) {
    s += '}';
    scriptOpen_ = false;
  }
}

std::uint8_t TRiRTFWriter::WriteCharAttr() {
  const TAttr& a = *attrPtr_;
  std::string s;
  if (rawOpen_ && (a.Extra & fxRawRtf)) return riOK;
  CloseRun(s);
  // A superscript or subscript run stands in a group of its own: after an ungrouped one other
  // word processors (LibreOffice) lose the text before it when a table follows the paragraph.
  const bool script = (a.Style & (fsSuper | fsSub)) != 0;
  if (script) {
    s += '{';
    scriptOpen_ = true;
  }
  s += "\\plain\\f" + Num(a.Font) + "\\fs" + Num(a.Points() * 2) + "\\cf" + Num(a.TextColor());
  if (a.BackColor() != 0) s += "\\cb" + Num(a.BackColor());
  if (a.Style & fsBold) s += "\\b";
  if (a.Style & fsUnderline) s += "\\ul";
  if (a.Style & fsLink) s += "\\uldb";
  if (a.Style & fsSuper) s += "\\super";
  if (a.Style & fsSub) s += "\\sub";
  if (a.Style & fsItalic) s += "\\i";
  if (a.Style & fsStrikeOut) s += "\\strike";
  if ((a.Extra & fxProtected) && !NoProtectionMarks) s += "\\shad";
  const bool hidden = (a.Extra & fxHidden) != 0;
  if (!script) hiddenOpen_ = hidden;  // a group's attributes end with the group
  if (hidden) s += "\\v";
  if ((a.Extra & fxInsertPoint) && !SkipInsertPoints) s += "\\inspnt" + Num(a.Tag);
  if ((a.Extra & fxAutomatic) && !SkipAutomatic) s += "\\inaut";
  if (a.Extra & fxListNumber) s += "\\wplnum";
  // Last: after this word everything up to "\wprtf0" is stored as it stands.
  if (a.Extra & fxRawRtf) {
    s += "\\wprtf1";
    rawOpen_ = true;
  }
  s += ' ';
  return Put(s);
}

std::uint8_t TRiRTFWriter::WriteChars(int count) {
  if (count <= 0) return riOK;
  std::string s;
  if (attrPtr_ != nullptr && (attrPtr_->Extra & fxRawRtf)) {
    s.assign(textPtr_, static_cast<std::size_t>(count));
    // A raw run must not end the raw section early: its own "\wprtf0" would close it.
  } else {
    AppendRunText(s, textPtr_, static_cast<std::size_t>(count));
  }
  return Put(s);
}

std::uint8_t TRiRTFWriter::ParagraphEnd() {
  std::string s;
  CloseRun(s);
  PTParagraph p = curPar_;
  if (CellAsText(p)) {
    // the last paragraph written: nothing
  } else if (p->IsCell()) {
    s += "\\cell";
    s += EndsWrittenRow(p) ? "\\row\n\r" : "\n\r";
  } else if (p->Next != nullptr) {
    if (hiddenOpen_) {
      s += "\\plain\\par\n\r";
      hiddenOpen_ = false;
    } else {
      s += "\\par\n\r";
    }
  }
  return Put(s);
}

std::uint8_t TRiRTFWriter::WritePicture(int tag, int number) {
  TRiObject* o = tag != 0 ? Engine->ObjectOf(1, static_cast<std::uint16_t>(tag))
                          : Engine->ObjectOf(2, static_cast<std::uint16_t>(number));
  if (o == nullptr) return riOK;
  std::string s;
  if (o->Linked) {
    if (HelpBitmapRefs) {
      s = "\\{bmc ";
      AppendEscaped(s, o->FileName.data(), o->FileName.size());
      s += "\\}";
    } else {
      s = "{\\*\\picfile";
      if (o->Graphic != nullptr) s += "\\picw" + Num(o->Graphic->Width()) + "\\pich" + Num(o->Graphic->Height());
      s += "\\picwgoal" + Num(o->Width) + "\\pichgoal" + Num(o->Height) + " \"";
      for (char c : o->FileName)
        if (c != '"') s += c;
      s += "\"}";
    }
    return Put(s);
  }
  if (o->ByReference && o->Tag != 0) {
    s = "\\wpobjtag" + Num(o->Tag) + "\\wpobjw" + Num(o->Width) + "\\wpobjh" + Num(o->Height) + " \\'01";
    return Put(s);
  }
  const std::string goal = "\\picwgoal" + Num(o->Width) + "\\pichgoal" + Num(o->Height) + "\r\n";
  if (auto* mf = dynamic_cast<const TMetafile*>(o->Graphic.get())) {
    // The placeable form without its header; the reader rebuilds the header from \picw and
    // \pich in hundredths of a millimetre, so they are written in that unit.
    const std::string bytes = mf->SaveToBytes();
    if (bytes.size() <= 22) return riOK;
    s = "{\\pict\\wmetafile8\\picw" + Num(mf->MMWidth()) + "\\pich" + Num(mf->MMHeight()) + goal;
    if (Put(s) != riOK || PutHex(bytes.data() + 22, bytes.size() - 22) != riOK) return riWriteError;
    return Put("}", 1);
  }
  auto* bmp = dynamic_cast<const TBitmap*>(o->Graphic.get());
  if (bmp == nullptr || bmp->Empty()) return riOK;
  // Bitmaps are written device-independent: the common word processors read that form and
  // refuse the device-dependent one (which the reader still takes).
  const std::string dib = bmp->SaveToDib();
  if (dib.size() < 40) return riOK;
  const int bits = static_cast<unsigned char>(dib[14]) | (static_cast<unsigned char>(dib[15]) << 8);
  s = "{\\pict\\dibitmap0\\wbmbitspixel" + Num(bits) + "\\wbmplanes1\\wbmwidthbytes" +
      Num((bmp->Width() * bits + 7) / 8) + "\\picw" + Num(bmp->Width()) + "\\pich" + Num(bmp->Height()) + goal;
  if (Put(s) != riOK || PutHex(dib.data(), dib.size()) != riOK) return riWriteError;
  return Put("}", 1);
}

std::uint8_t TRiRTFWriter::WriteFootnote(int id) {
  TRiFootnote* f = Engine->FindFootnote(id);
  if (f == nullptr) return riOK;
  std::string mark;
  AppendEscaped(mark, &f->Mark, 1);
  std::string s = "{\\cs16\\super " + mark;
  if (f->Number != 0 && !f->SuppressNumber)
    s += "{\\*\\footnote \\wpfnnr" + Num(f->Number) + " \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super\t" +
         mark + "} ";
  else
    s += "{\\*\\footnote \\pard\\plain \\s15\\widctlpar \\f4\\fs20\\lang1031 {\\cs16\\super " + mark + "} ";
  if (!f->RtfText.empty())
    s += f->RtfText;
  else
    AppendEscaped(s, f->Text.data(), f->Text.size());
  s += "}}";
  return Put(s);
}

std::uint8_t TRiRTFWriter::WriteTrailer() {
  std::string s;
  CloseRun(s);
  for (std::size_t i = 0; i < groups_.size(); ++i) s += '}';
  groups_.clear();
  s += "\r\n}";
  return Error = Put(s);
}

}  // namespace tw::richtext
