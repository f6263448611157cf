#include "richtext/rtf/rtfreader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/gfx/graphic.h"
#include "richtext/rtf/rtfpicture.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/win1252.h"
#include "richtext/document/progress.h"

namespace tw::richtext {
namespace {

enum Class { ccChar = 1, ccDest = 2, ccProp = 3, ccSpecial = 4 };

enum Prop {
  pBold, pItalic, pUnderline, pStrike, pUldb, pShad, pHidden, pSuper, pSub, pNoSuperSub, pInspnt, pInaut, pWprtf,
  pFont, pSize, pCf, pCb, pPlain, pFi, pLi, pRi, pSb, pSa, pSl, pAlign, pPard, pPar, pPage, pKeep, pTx, pTabKind,
  pPaperW, pPaperH, pMargL, pMargR, pMargT, pMargB, pFacing, pLandscape, pNone, pRed, pGreen, pBlue, pBorder,
  pBrdrw, pBrsp, pBrdrcf, pShading, pCbpat, pCfpat, pTrowd, pCellx, pCell, pRow, pIntbl, pClmrg, pTrgaph, pTrleft,
  pWbitmap, pDibitmap, pWmetafile, pPicw, pPich, pPicwgoal, pPichgoal, pPicscalex, pPicscaley, pBitspixel, pPlanes,
  pWidthbytes, pObjTag, pObjW, pObjH, pFnNr, pListByte, pListNumber, pUlnone, pUc,
  pFontCharset, pFontFamily
};
enum DestCode { dPict, dFontTable, dColorTable, dTitle, dComment, dSubject, dFootnote, dField, dPicFile, dInfo,
                dSkip };
enum Special { sBin, sHex, sOptional, sUnicode };
constexpr int LineBreakCode = 1010;
constexpr int MaxPointSize = std::numeric_limits<decltype(TAttr::Size)>::max();
constexpr int NothingCode = -1;

struct Row {
  const char* Word;
  int Default;
  bool Fixed;
  Class Cls;
  int Code;
};

const Row kTable[] = {
    {"line", 0, false, ccChar, LineBreakCode}, {"tab", 0, false, ccChar, 9},
    // Typographic marks as their Windows-1252 bytes.
    {"ldblquote", 0, false, ccChar, 0x93}, {"rdblquote", 0, false, ccChar, 0x94},
    {"lquote", 0, false, ccChar, 0x91}, {"rquote", 0, false, ccChar, 0x92},
    {"endash", 0, false, ccChar, 0x96}, {"emdash", 0, false, ccChar, 0x97}, {"bullet", 0, false, ccChar, 0x95},
    {"~", 0, false, ccChar, 0xA0}, {"_", 0, false, ccChar, '-'},
    // An optional hyphen only shows where a line breaks; the layout breaks at blanks only.
    {"-", 0, false, ccChar, NothingCode},
    {"\n", 0, false, ccChar, NothingCode}, {"\r", 0, false, ccChar, NothingCode},
    {"{", 0, false, ccChar, '{'}, {"}", 0, false, ccChar, '}'}, {"\\", 0, false, ccChar, '\\'},
    {"bin", 0, false, ccSpecial, sBin}, {"'", 0, false, ccSpecial, sHex}, {"*", 0, false, ccSpecial, sOptional},
    {"u", 0, false, ccSpecial, sUnicode}, {"uc", 1, false, ccProp, pUc},
    {"pict", 0, false, ccDest, dPict}, {"fonttbl", 0, false, ccDest, dFontTable},
    {"colortbl", 0, false, ccDest, dColorTable}, {"title", 0, false, ccDest, dTitle},
    {"comment", 0, false, ccDest, dComment}, {"subject", 0, false, ccDest, dSubject},
    {"footnote", 0, false, ccDest, dFootnote}, {"field", 0, false, ccDest, dField},
    {"picfile", 0, false, ccDest, dPicFile},
    {"author", 0, false, ccDest, dSkip}, {"buptim", 0, false, ccDest, dSkip}, {"creatim", 0, false, ccDest, dSkip},
    {"doccomm", 0, false, ccDest, dComment}, {"footer", 0, false, ccDest, dSkip}, {"footerf", 0, false, ccDest, dSkip},
    {"footerl", 0, false, ccDest, dSkip}, {"footerr", 0, false, ccDest, dSkip}, {"ftncn", 0, false, ccDest, dSkip},
    {"ftnsep", 0, false, ccDest, dSkip}, {"ftnsepc", 0, false, ccDest, dSkip}, {"header", 0, false, ccDest, dSkip},
    {"headerf", 0, false, ccDest, dSkip}, {"headerl", 0, false, ccDest, dSkip}, {"headerr", 0, false, ccDest, dSkip},
    {"info", 0, false, ccDest, dInfo}, {"keywords", 0, false, ccDest, dSkip}, {"operator", 0, false, ccDest, dSkip},
    {"printim", 0, false, ccDest, dSkip}, {"private1", 0, false, ccDest, dSkip}, {"revtim", 0, false, ccDest, dSkip},
    {"rxe", 0, false, ccDest, dSkip}, {"stylesheet", 0, false, ccDest, dSkip}, {"tc", 0, false, ccDest, dSkip},
    {"generator", 0, false, ccDest, dSkip},
    {"b", 1, false, ccProp, pBold}, {"i", 1, false, ccProp, pItalic}, {"ul", 1, false, ccProp, pUnderline},
    {"ulnone", 0, true, ccProp, pUlnone},
    // The other underline kinds of word processors show as the one underline the engine draws.
    {"ulw", 1, false, ccProp, pUnderline}, {"uld", 1, false, ccProp, pUnderline},
    {"uldash", 1, false, ccProp, pUnderline}, {"uldashd", 1, false, ccProp, pUnderline},
    {"uldashdd", 1, false, ccProp, pUnderline}, {"ulth", 1, false, ccProp, pUnderline},
    {"ulwave", 1, false, ccProp, pUnderline},
    {"strike", 1, false, ccProp, pStrike}, {"uldb", 1, false, ccProp, pUldb}, {"shad", 1, false, ccProp, pShad},
    {"v", 1, false, ccProp, pHidden}, {"super", 1, false, ccProp, pSuper}, {"sub", 1, false, ccProp, pSub},
    {"nosupersub", 1, false, ccProp, pNoSuperSub}, {"inspnt", 0, false, ccProp, pInspnt},
    {"inaut", 1, false, ccProp, pInaut}, {"wprtf", 1, false, ccProp, pWprtf},
    {"f", 0, false, ccProp, pFont}, {"fs", 100, false, ccProp, pSize}, {"cf", 0, false, ccProp, pCf},
    {"cb", 0, false, ccProp, pCb}, {"plain", 0, false, ccProp, pPlain},
    {"fi", 0, false, ccProp, pFi}, {"li", 0, false, ccProp, pLi}, {"ri", 0, false, ccProp, pRi},
    {"sb", 0, false, ccProp, pSb}, {"sa", 0, false, ccProp, pSa}, {"sl", 0, false, ccProp, pSl},
    {"ql", 0, true, ccProp, pAlign}, {"qr", 1, true, ccProp, pAlign}, {"qc", 2, true, ccProp, pAlign},
    {"qj", 3, true, ccProp, pAlign}, {"pard", 0, true, ccProp, pPard}, {"par", 0, false, ccProp, pPar},
    {"page", 0, false, ccProp, pPage}, {"keepn", 1, true, ccProp, pKeep}, {"keep", 1, true, ccProp, pKeep},
    {"tx", 0, false, ccProp, pTx}, {"tqr", 1, false, ccProp, pTabKind}, {"tqc", 2, false, ccProp, pTabKind},
    {"tqdec", 3, false, ccProp, pTabKind},
    {"paperw", 12240, false, ccProp, pPaperW}, {"paperh", 15480, false, ccProp, pPaperH},
    {"margl", 1800, false, ccProp, pMargL}, {"margr", 1800, false, ccProp, pMargR},
    {"margt", 1440, false, ccProp, pMargT}, {"margb", 1440, false, ccProp, pMargB},
    {"facingp", 1, true, ccProp, pFacing}, {"landscape", 1, true, ccProp, pLandscape},
    {"cols", 1, false, ccProp, pNone}, {"pgnx", 0, false, ccProp, pNone}, {"pgny", 0, false, ccProp, pNone},
    {"pgnstart", 1, true, ccProp, pNone}, {"sbknone", 0, true, ccProp, pNone}, {"sbkcol", 1, true, ccProp, pNone},
    {"sbkeven", 2, true, ccProp, pNone}, {"sbkodd", 3, true, ccProp, pNone}, {"sbkpage", 4, true, ccProp, pNone},
    {"pgndec", 1, true, ccProp, pNone}, {"pgnucrm", 2, true, ccProp, pNone}, {"pgnlcrm", 3, true, ccProp, pNone},
    {"pgnucltr", 4, true, ccProp, pNone}, {"pgnlcltr", 5, true, ccProp, pNone},
    {"red", 0, false, ccProp, pRed}, {"green", 0, false, ccProp, pGreen}, {"blue", 0, false, ccProp, pBlue},
    {"box", 0, true, ccProp, pBorder}, {"brdrt", 1, true, ccProp, pBorder}, {"brdrl", 2, true, ccProp, pBorder},
    {"brdrb", 3, true, ccProp, pBorder}, {"brdrr", 4, true, ccProp, pBorder}, {"brdrdb", 5, true, ccProp, pBorder},
    {"brdrdot", 6, true, ccProp, pBorder}, {"brdrtablin", 9, true, ccProp, pBorder},
    {"clbrdrt", 1, true, ccProp, pBorder}, {"clbrdrl", 2, true, ccProp, pBorder},
    {"clbrdrb", 3, true, ccProp, pBorder}, {"clbrdrr", 4, true, ccProp, pBorder},
    {"brdrw", 0, false, ccProp, pBrdrw}, {"brsp", 0, false, ccProp, pBrsp}, {"brdrcf", 0, false, ccProp, pBrdrcf},
    {"shading", 0, false, ccProp, pShading}, {"cbpat", 0, false, ccProp, pCbpat},
    {"clcbpat", 0, false, ccProp, pCbpat}, {"cfpat", 0, false, ccProp, pCfpat},
    {"clcfpat", 0, false, ccProp, pCfpat},
    {"trowd", 0, false, ccProp, pTrowd}, {"cellx", 0, false, ccProp, pCellx}, {"cell", 0, false, ccProp, pCell},
    {"row", 0, false, ccProp, pRow}, {"intbl", 0, false, ccProp, pIntbl}, {"clmrg", 0, false, ccProp, pClmrg},
    {"trgaph", 0, false, ccProp, pTrgaph}, {"trleft", 0, false, ccProp, pTrleft},
    {"wbitmap", 0, false, ccProp, pWbitmap}, {"dibitmap", 0, false, ccProp, pDibitmap},
    {"wmetafile", 0, false, ccProp, pWmetafile},
    {"picw", 0, false, ccProp, pPicw}, {"pich", 0, false, ccProp, pPich}, {"picwgoal", 0, false, ccProp, pPicwgoal},
    {"pichgoal", 0, false, ccProp, pPichgoal}, {"picscalex", 100, false, ccProp, pPicscalex},
    {"picscaley", 100, false, ccProp, pPicscaley}, {"wbmbitspixel", 0, false, ccProp, pBitspixel},
    {"wbmplanes", 1, true, ccProp, pPlanes}, {"wbmwidthbytes", 0, false, ccProp, pWidthbytes},
    {"wpobjtag", 0, false, ccProp, pObjTag}, {"wpobjw", 0, false, ccProp, pObjW}, {"wpobjh", 0, false, ccProp, pObjH},
    {"wpfnnr", 0, false, ccProp, pFnNr},
    // A font table entry's character set and family (the family value of the font table).
    {"fcharset", 0, false, ccProp, pFontCharset},
    {"fnil", 0, true, ccProp, pFontFamily}, {"froman", 1, true, ccProp, pFontFamily},
    {"fswiss", 2, true, ccProp, pFontFamily}, {"fmodern", 3, true, ccProp, pFontFamily},
    {"fscript", 4, true, ccProp, pFontFamily}, {"fdecor", 5, true, ccProp, pFontFamily},
    // The engine's own words for list paragraphs and their generated numbers.
    {"wplist", 0, false, ccProp, pListByte}, {"wplnum", 1, false, ccProp, pListNumber},
};

const Row* Lookup(const char* word) {
  for (const Row& r : kTable)
    if (std::strcmp(r.Word, word) == 0) return &r;
  return nullptr;
}

std::uint8_t Byte(int v) { return static_cast<std::uint8_t>(v); }

// Words that change paragraphs or the table: they act only on the document text.
bool IsParagraphWord(int code) {
  switch (code) {
    case pFi: case pLi: case pRi: case pSb: case pSa: case pSl: case pAlign: case pPard: case pPar: case pPage:
    case pKeep: case pTx: case pBorder: case pBrdrw: case pBrsp: case pBrdrcf: case pShading: case pCbpat:
    case pCfpat: case pTrowd: case pCellx: case pCell: case pRow: case pIntbl: case pClmrg: case pTrgaph:
    case pTrleft: case pListByte:
      return true;
    default:
      return false;
  }
}

}  // namespace

TRiRtfReader::TRiRtfReader() = default;
TRiRtfReader::~TRiRtfReader() = default;

// ---------------------------------------------------------------------------------------------

int TRiRtfReader::ReadDocument(TStream* stream, PTParagraph& first) {
  if (stream_ == nullptr) SetStream(stream);
  if (Owner == nullptr || Engine == nullptr) throw Exception("Wrong Arguments in\tTRiRTFReader");
  Result = riOK;
  const std::int64_t size = stream_ != nullptr ? stream_->Size() : 0;
  TProgressFrame frame(static_cast<int>(std::min<std::int64_t>(size, INT32_MAX)));
  std::int64_t lastReported = stream_ != nullptr ? stream_->Position() : 0;
  paperW_ = Owner->Layout.PageWidth;
  margL_ = Owner->Layout.LeftMargin;
  margR_ = Owner->Layout.RightMargin;
  pendingFi_ = 0;
  restored_ = false;
  closeRun_ = false;
  inserting_ = CurPar == nullptr;
  insertedColors_.clear();
  colorMap_.clear();
  colorTaken_.clear();
  if (CurPar == nullptr) {
    PTParagraph p = nullptr;
    Engine->NewParagraph(p, 60);
    CurPar = p;
    tabsStarted_ = false;
  } else {
    tabsStarted_ = true;
  }
  curLine_ = TRiRTFText::Get_LastLine(CurPar);
  pos_ = curLine_->Length;
  first = CurPar;
  groups_.clear();
  anyGroup_ = false;
  tabKind_ = 0;
  try {
    for (;;) {
      const int ch = ReadChar();
      if (ch < 0) break;
      if (binRemaining_ > 0) {
        // Binary data: picture bytes, or skipped.
        --binRemaining_;
        if (overflow_ == 0 && state_ == dsPicture && picStream_ != nullptr) picStage_ += static_cast<char>(ch);
        continue;
      }
      if (overflow_ > 0) {
        // Inside a group nested too deep: only braces, escapes and binary data are followed,
        // so that reading goes on right after the group's closing brace.
        if (ch == '{') ++overflow_;
        else if (ch == '}') --overflow_;
        else if (ch == '\\') SkipOverflowEscape();
        continue;
      }
      if (state_ == dsPicture && HexDigit(ch) >= 0) {
        // After a picture nested in this one has ended, the rest of this one's data has no
        // stream left and is dropped.
        if (picStream_ == nullptr) continue;
        if (picHalf_ < 0) {
          picHalf_ = ch;
        } else {
          picStage_ += static_cast<char>(HexPair(picHalf_, ch));
          picHalf_ = -1;
          if (picStage_.size() >= 1024) {
            picStream_->WriteBuffer(picStage_);
            picStage_.clear();
          }
        }
        continue;
      }
      if (frame.Step() > 0) {
        const std::int64_t at = bufPos_ + bufIndex_;
        if (at - lastReported > frame.Step()) {
          ProgressReport(static_cast<int>(std::min<std::int64_t>(at, INT32_MAX)));
          lastReported = at;
        }
      }
      // Whatever stands before the document's opening brace is not part of it.
      if (!anyGroup_ && ch != '{') continue;
      const int r = Step(ch);
      if (r != 0 || Stop) break;
      if (anyGroup_ && groups_.empty()) break;
    }
  } catch (...) {
    if (Result == riOK) Result = riWriteError;
    picStream_.reset();
    FinishPass(first);
    SyncStream();
    throw;
  }
  picStream_.reset();
  // A last paragraph that never got text was ended by the closing braces: it has the
  // properties in effect before them, not the ones its enclosing groups restored.
  if (restored_ && closeRun_ && pos_ == 0 && curLine_ == CurPar->FirstLine && !CurPar->IsCell()) {
    const Template restoredTmpl = tmpl_;
    tmpl_ = endTmpl_;
    ApplyTemplateToPar(CurPar, true);
    tmpl_ = restoredTmpl;
  }
  FinishPass(first);
  SyncStream();
  return 0;
}

void TRiRtfReader::FinishPass(PTParagraph first) {
  for (PTParagraph p = first; p != nullptr; p = p->Next) {
    p->Mark();
    p->FirstIndent = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(static_cast<std::int64_t>(p->FirstIndent) + p->LeftIndent, INT32_MIN, INT32_MAX));
  }
}

int TRiRtfReader::Step(int ch) {
  if (state_ == dsColorTable && ch == ';') {
    if (colorCounter_ < 1000) ++colorCounter_;
    if (inserting_) {
      if (colorCounter_ < 256) insertedColors_.resize(static_cast<std::size_t>(colorCounter_) + 1, 0);
    } else if (colorCounter_ >= 0 && colorCounter_ <= 14) {
      Owner->Colors[static_cast<std::size_t>(colorCounter_)] = 0;
    }
    return 0;
  }
  if (charMode_ == 3) return CharStep(ch);
  if (!raw_ && fallbackLeft_ > 0 && SkipFallback(ch)) return 0;
  if (raw_) {
    static const char kEnd[] = "\\wprtf0";
    if (ch == kEnd[rawMatch_]) {
      if (++rawMatch_ == 7) {
        // The end word ends like any control word: one blank after it belongs to it.
        const int next = ReadChar();
        if (next >= 0 && next != ' ') UnreadChar();
        raw_ = false;
        rawMatch_ = 0;
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxRawRtf);
      }
      return 0;
    }
    for (int i = 0; i < rawMatch_; ++i) CharStep(static_cast<unsigned char>(kEnd[i]));
    rawMatch_ = 0;
    if (ch == kEnd[0]) {
      rawMatch_ = 1;
      return 0;
    }
    return CharStep(ch);
  }
  switch (ch) {
    case '{':
      if (groups_.size() >= static_cast<std::size_t>(MaxRtfGroupDepth)) {
        overflow_ = 1;
        return 0;
      }
      closeRun_ = false;
      OpenGroup();
      return 0;
    case '}':
      if (state_ == dsPicture || state_ == dsPictureFile) {
        EndPicture();
        picStream_.reset();
      }
      return CloseGroup();
    case '\\':
      closeRun_ = false;
      return ControlWord();
    case 0:
      return 1;
    case 9:
    case 10:
    case 13:
      return 0;
    default:
      break;
  }
  closeRun_ = false;
  if (charMode_ == 0) return CharStep(ch);
  if (charMode_ == 2) {
    const int d = HexDigit(ch);
    if (d < 0) return 1;
    hexValue_ = hexValue_ * 16 + d;
    if (++hexDigits_ == 2) {
      charMode_ = 0;
      return CharStep(hexValue_);
    }
    return 0;
  }
  return 1;
}

void TRiRtfReader::OpenGroup() {
  groups_.push_back(GroupRec{CurAttr, tmpl_, state_, charMode_, tabsStarted_, table_, uc_});
  charMode_ = 0;
  anyGroup_ = true;
}

int TRiRtfReader::CloseGroup() {
  if (groups_.empty()) return 1;
  if (!closeRun_) endTmpl_ = tmpl_;
  closeRun_ = true;
  const GroupRec g = groups_.back();
  groups_.pop_back();
  if (!(g.Tmpl.Border & bfBordered) && PrevPar() != nullptr && (PrevPar()->BorderFlags & bfBordered))
    PrevPar()->BorderFlags |= bfBlockEnd;
  CurAttr = g.Attr;
  tmpl_ = g.Tmpl;
  state_ = g.State;
  charMode_ = g.CharMode;
  tabsStarted_ = g.TabsStarted;
  table_ = g.Table;
  uc_ = g.Uc;
  if (cellBorderSeen_) cellBorderSeen_ = false;
  if (pos_ == 0 && curLine_ == CurPar->FirstLine) {
    CurPar->Shading = tmpl_.Shading;
    CurPar->ShadingPercent = tmpl_.ShadingPercent;
    // A paragraph without text yet follows the restored properties once its text begins, as
    // it will at its end.
    if (fresh_ && !CurPar->IsCell()) restored_ = true;
  }
  return 0;
}

void TRiRtfReader::ApplyTemplateToPar(PTParagraph p, bool withBorder) {
  p->Alignment = tmpl_.Alignment;
  p->FirstIndent = tmpl_.FirstIndent;
  p->LeftIndent = tmpl_.LeftIndent;
  if (!table_) p->RightIndent = tmpl_.RightIndent;
  p->SpaceBefore = tmpl_.SpaceBefore;
  p->SpaceAfter = tmpl_.SpaceAfter;
  p->LineSpacing = tmpl_.LineSpacing;
  p->Shading = tmpl_.Shading;
  p->ShadingPercent = tmpl_.ShadingPercent;
  p->ListByte = tmpl_.ListByte;
  if (!p->IsCell()) p->Tabs = tmpl_.Tabs;
  if (withBorder) p->SetBorderValue(tmpl_.Border);
}

int TRiRtfReader::ControlWord() {
  int ch = ReadChar();
  if (ch < 0) return riWriteError;
  char word[32] = {};
  bool hasParam = false;
  std::int64_t param = 0;
  if (!(ch >= 'a' && ch <= 'z')) {
    word[0] = static_cast<char>(ch);
  } else {
    int n = 0;
    // Word processors continue words with capitals (\mmathPr, \trftsWidth): a letter never
    // ends a word.
    while ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
      word[n < 29 ? n++ : 29] = static_cast<char>(ch);
      ch = ReadChar();
    }
    bool negative = false;
    if (ch == '-') {
      negative = true;
      ch = ReadChar();
      if (ch < 0) return riWriteError;
    }
    int digits = 0;
    while (ch >= '0' && ch <= '9') {
      hasParam = true;
      if (digits++ < 19 && param < 100000000000LL) param = param * 10 + (ch - '0');
      ch = ReadChar();
    }
    if (negative) param = -param;
    if (ch != ' ' && ch >= 0) UnreadChar();
  }
  // Parameters are 32-bit values; larger ones saturate.
  const int v32 = static_cast<int>(std::clamp<std::int64_t>(param, INT32_MIN, INT32_MAX));
  if (word[0] == '\'' && word[1] == 0) {
    charMode_ = 2;
    hexValue_ = 0;
    hexDigits_ = 0;
    optional_ = false;
    return 0;
  }
  if ((word[0] == '{' || word[0] == '}' || word[0] == '\\') && word[1] == 0) {
    optional_ = false;
    return CharStep(static_cast<unsigned char>(word[0]));
  }
  const Row* row = Lookup(word);
  if (row == nullptr) {
    if (optional_) state_ = dsSkip;
    optional_ = false;
    return 0;
  }
  if (row->Cls != ccSpecial || row->Code != sOptional) optional_ = false;
  switch (row->Cls) {
    case ccChar:
      if (row->Code == NothingCode) return 0;
      return CharStep(row->Code);
    case ccDest:
      return DestinationStep(row->Code);
    case ccProp:
      try {
        return PropertyStep(row->Code, (row->Fixed || !hasParam) ? row->Default : v32);
      } catch (...) {
        Result = riOutOfMemory;
        throw;
      }
    case ccSpecial:
      try {
        return SpecialStep(row->Code, v32, hasParam);
      } catch (...) {
        Result = riStepError;
        throw;
      }
  }
  return 0;
}

int TRiRtfReader::SpecialStep(int code, int v, bool hasParam) {
  if (state_ == dsSkip && code != sBin) return 0;
  if (code == sOptional) optional_ = true;
  if (code == sUnicode && hasParam) {
    const int r = UnicodeChar(v);
    fallbackLeft_ = uc_;
    return r;
  }
  if (code == sBin && hasParam && v > 0) binRemaining_ = v;  // the bytes are skipped or stored as picture data
  return 0;
}

int TRiRtfReader::UnicodeChar(int v) {
  std::int64_t cp = v < 0 ? static_cast<std::int64_t>(v) + 65536 : v;
  if (cp < 0) cp = 0xFFFD;
  if (cp >= 0xDC00 && cp <= 0xDFFF) {
    // The low half of a pair whose "?" already stands for the whole character.
    if (highSurrogateAt_ == charsSeen_) {
      highSurrogateAt_ = -1;
      return 0;
    }
    return CharStep('?');
  }
  highSurrogateAt_ = -1;
  if (cp >= 0xD800 && cp <= 0xDBFF) {
    const int r = CharStep('?');
    highSurrogateAt_ = charsSeen_;
    return r;
  }
  int b = CodePointToWin1252(static_cast<char32_t>(cp));
  // Word writes a symbol font's characters as U+F020..U+F0FF: the low byte is the font's own.
  if (b < 0 && cp >= 0xF020 && cp <= 0xF0FF && CurAttr.Font < MaxFonts &&
      Owner->FontCharsets[CurAttr.Font] == SYMBOL_CHARSET)
    b = static_cast<int>(cp - 0xF000);
  if (b < 0) return CharStep('?');
  // Control codes are no text; 1 and 2 would stand for objects.
  if (b < 32 && b != 9) return 0;
  return CharStep(b);
}

int TRiRtfReader::SkipControlWord(std::string& word, std::int64_t& param) {
  word.clear();
  param = 0;
  const int first = ReadChar();
  if (!(first >= 'a' && first <= 'z')) return first;
  int ch = first;
  while ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z')) {
    if (word.size() < 32) word += static_cast<char>(ch);
    ch = ReadChar();
  }
  bool negative = false;
  if (ch == '-') {
    negative = true;
    ch = ReadChar();
  }
  while (ch >= '0' && ch <= '9') {
    if (param < 100000000000LL) param = param * 10 + (ch - '0');
    ch = ReadChar();
  }
  if (negative) param = -param;
  if (ch != ' ' && ch >= 0) UnreadChar();
  return first;
}

bool TRiRtfReader::SkipFallback(int ch) {
  switch (ch) {
    case '{':
    case '}':
      // A group boundary ends the fallback text.
      fallbackLeft_ = 0;
      return false;
    case 9:
    case 10:
    case 13:
      return true;
    case '\\': {
      std::string word;
      std::int64_t param = 0;
      if (SkipControlWord(word, param) == '\'') {
        for (int i = 0; i < 2; ++i) {
          const int d = ReadChar();
          if (d < 0) break;
          if (HexDigit(d) < 0) {
            UnreadChar();
            break;
          }
        }
      }
      --fallbackLeft_;
      return true;
    }
    default:
      --fallbackLeft_;
      return true;
  }
}

void TRiRtfReader::SkipOverflowEscape() {
  std::string word;
  std::int64_t param = 0;
  SkipControlWord(word, param);
  // Binary data must not be read as braces.
  if (word == "bin" && param > 0) binRemaining_ = static_cast<int>(std::min<std::int64_t>(param, INT32_MAX));
}

int TRiRtfReader::DestinationStep(int code) {
  if (state_ == dsSkip) return 0;
  // The information group holds the document's title, subject and comment; everything else in
  // it (author, dates, statistics) is skipped.
  if (state_ == dsInfo && code != dTitle && code != dComment && code != dSubject) {
    state_ = dsSkip;
    return 0;
  }
  switch (code) {
    case dPict:
      picStream_ = std::make_unique<TMemoryStream>();
      picStage_.clear();
      picHalf_ = -1;
      // The kind is not carried over from an earlier picture: a picture without a kind word
      // is left out rather than read as the wrong kind.
      picKind_ = -1;
      metaHeaderReserved_ = false;
      state_ = dsPicture;
      break;
    case dFontTable:
      state_ = dsFontTable;
      fontSlot_ = 0;
      fontName_.clear();
      break;
    case dColorTable:
      state_ = dsColorTable;
      colorCounter_ = 0;
      if (inserting_) {
        insertedColors_.assign(1, 0);
        colorMap_.clear();
      }
      break;
    // The document information is the document's: text inserted at the cursor brings none.
    case dTitle:
      state_ = Owner->Title.empty() && !inserting_ ? dsTitle : dsSkip;
      break;
    case dComment:
      state_ = Owner->Comment.empty() && !inserting_ ? dsComment : dsSkip;
      break;
    case dSubject:
      state_ = Owner->Subject.empty() && !inserting_ ? dsSubject : dsSkip;
      break;
    case dFootnote: {
      footnote_ = nullptr;
      if (curLine_->HasAttrs()) {
        const char mark = pos_ > 0 ? curLine_->Buffer[static_cast<std::size_t>(pos_ - 1)] : '?';
        footnote_ = Engine->AddFootnote(mark, 0, {});
      }
      if (footnote_ == nullptr) {
        state_ = dsSkip;
        break;
      }
      state_ = dsFootnote;
      if (pos_ > 0) {
        TAttr& a = curLine_->Attrs[static_cast<std::size_t>(pos_ - 1)];
        a.Extra |= fxFootnote;
        a.Tag = footnote_->Id;
        a.Style &= static_cast<std::uint8_t>(~fsSuper);
      }
      break;
    }
    case dField:
      break;
    case dInfo:
      state_ = dsInfo;
      break;
    case dPicFile:
      picStream_ = std::make_unique<TMemoryStream>();
      picFile_.clear();
      quote_ = false;
      state_ = dsPictureFile;
      break;
    default:
      state_ = dsSkip;
      break;
  }
  return 0;
}

int TRiRtfReader::CharStep(int ch) {
  ++charsSeen_;
  switch (state_) {
    case dsNormal:
      Append(ch);
      return 0;
    case dsFontTable:
      if (ch == ';') {
        if (fontSlot_ >= 0 && fontSlot_ < MaxFonts) {
          int used = 0;
          while (used < MaxFonts && !Owner->FontNames[static_cast<std::size_t>(used)].empty()) ++used;
          const int f = Owner->FindOrAddFont(fontName_);
          fontMap_[static_cast<std::size_t>(fontSlot_)] = static_cast<std::uint8_t>(f >= MaxFonts ? 0 : f);
          // Inserted text keeps the kind of the document's own fonts of its names.
          if (f < MaxFonts && (!inserting_ || f >= used)) {
            auto& family = Owner->FontFamilies[static_cast<std::size_t>(f)];
            family = (family & ~0xF0) | (fontFamily_ << 4);
            Owner->FontCharsets[static_cast<std::size_t>(f)] = fontCharset_;
          }
          if (fontSlot_ == 0) CurAttr.Font = fontMap_[0];
        }
        fontSlot_ = 0;
        fontName_.clear();
        fontCharset_ = 0;
        fontFamily_ = 0;
      } else if (!(ch == ' ' && fontName_.empty()) && ch != LineBreakCode && fontName_.size() < 255) {
        fontName_ += static_cast<char>(ch);
      }
      return 0;
    case dsPictureFile:
      if (ch == '"') {
        quote_ = !quote_;
        charMode_ = quote_ ? 3 : 0;
      } else if (quote_ && picFile_.size() < 256 && ch > 0 && ch < 256) {
        picFile_ += static_cast<char>(ch);
      }
      return 0;
    case dsTitle:
    case dsComment:
    case dsSubject: {
      std::string& s = state_ == dsTitle ? Owner->Title : state_ == dsComment ? Owner->Comment : Owner->Subject;
      if (s.size() < 65535) s += static_cast<char>(ch == LineBreakCode ? 10 : ch);
      return 0;
    }
    case dsFootnote:
      if (footnote_ != nullptr) {
        if (footnote_->Text.empty() && (ch == ' ' || ch == static_cast<unsigned char>(footnote_->Mark))) return 0;
        if (footnote_->Text.size() < 65535) footnote_->Text += static_cast<char>(ch == LineBreakCode ? 10 : ch);
      }
      return 0;
    default:
      return 0;
  }
}

void TRiRtfReader::AppendStored(char ch, const TAttr& attr) {
  if (restored_) {
    restored_ = false;
    if (pos_ == 0 && curLine_ == CurPar->FirstLine && !CurPar->IsCell()) ApplyTemplateToPar(CurPar, true);
  }
  if (pos_ >= curLine_->Capacity - 4) {
    if (curLine_->Capacity < MaxLineCapacity) {
      Engine->SetLineCapacity(curLine_, std::min(curLine_->Capacity * 2 + 8, MaxLineCapacity));
    } else {
      // A paragraph longer than one line can hold goes on in a further line.
      PTLine l = curLine_;
      Engine->NewLine(l, 200);
      curLine_ = l;
      pos_ = 0;
    }
  }
  curLine_->Buffer[static_cast<std::size_t>(pos_)] = ch;
  if (curLine_->HasAttrs()) curLine_->Attrs[static_cast<std::size_t>(pos_)] = attr;
  ++pos_;
  ++parChars_;
  curLine_->Buffer[static_cast<std::size_t>(pos_)] = 0;
  curLine_->Length = static_cast<std::uint16_t>(pos_);
}

void TRiRtfReader::Append(int ch) {
  if (ch == 10 || ch == 13) return;
  if (ch == LineBreakCode) ch = 10;
  if (ch <= 0 || ch > 255) return;
  TAttr a = CurAttr;
  if (Automatic) a.Extra |= fxAutomatic;
  if (ch == 1) {
    a.Extra |= fxObject;
    TRiObject* o = Engine->AddObject(nullptr, objTag_);
    if (o == nullptr) return;
    o->ByReference = objTag_ != 0;
    o->Width = objW_;
    o->Height = objH_;
    o->Sized = true;
    a.Tag = o->Number;
  }
  AppendStored(static_cast<char>(ch), a);
}

void TRiRtfReader::ParagraphEnd(bool cell) {
  if (cell) {
    Cell& c = cells_[static_cast<std::size_t>(std::min(fillIndex_, 50))];
    if (c.Merge > 0) {
      --c.Merge;
      return;
    }
    // Boundaries count from the row's left edge; the row ends at its largest boundary.
    const std::int64_t boundary = static_cast<std::int64_t>(c.Boundary) - rowLeft_;
    const std::int64_t widest = static_cast<std::int64_t>(largest_) - rowLeft_;
    int width = 10;
    if (fillIndex_ < cellCount_ && boundary > 0 && widest > 0) {
      const std::int64_t end = (255 * boundary * 2 + widest) / (2 * widest);
      width = std::max<int>(1, static_cast<int>(end) - startSoFar_);
    }
    CurPar->SetBorderValue(c.Border | bfBlockEnd);
    CurPar->CellStart = Byte(std::clamp(startSoFar_, 0, 255));
    CurPar->CellWidth = Byte(std::clamp(width, 0, 255));
    startSoFar_ += width;
    CurPar->RightIndent = static_cast<std::int32_t>(
        std::max<std::int64_t>(0, static_cast<std::int64_t>(paperW_) - margL_ - margR_ - std::max(largest_, rowLeft_)));
    CurPar->Flags |= pfTableCell | pfRowGoesOn;
    if (fillIndex_ > 0) CurPar->Flags |= pfLastCell;
    if (fillIndex_ < 50) ++fillIndex_;
  } else if (table_) {
    Append(LineBreakCode);
    return;
  }
  CurPar->Alignment = tmpl_.Alignment;
  CurPar->LeftIndent = tmpl_.LeftIndent;
  CurPar->FirstIndent = tmpl_.FirstIndent;
  if (!table_) CurPar->RightIndent = tmpl_.RightIndent;
  CurPar->SpaceBefore = tmpl_.SpaceBefore;
  CurPar->SpaceAfter = tmpl_.SpaceAfter;
  CurPar->LineSpacing = tmpl_.LineSpacing;
  CurPar->Shading = tmpl_.Shading;
  CurPar->ShadingPercent = tmpl_.ShadingPercent;
  CurPar->ListByte = tmpl_.ListByte;
  if (!CurPar->IsCell()) {
    CurPar->Tabs = tmpl_.Tabs;
    CurPar->SetBorderValue(tmpl_.Border);
  }
  ShrinkLines(CurPar);
  restored_ = false;
  PTParagraph p = CurPar;
  Engine->NewParagraph(p, 60);
  CurPar = p;
  curLine_ = p->FirstLine;
  pos_ = 0;
  parChars_ = 0;
  fresh_ = true;
  p->Flags = 0;
  ApplyTemplateToPar(p, false);
  p->SetBorderValue(cells_[static_cast<std::size_t>(std::min(fillIndex_, 50))].Border);
  if (!table_) p->SetBorderValue(tmpl_.Border);
  tabsStarted_ = false;
}

void TRiRtfReader::RowEnd() {
  if (!table_) return;
  fillIndex_ = 0;
  startSoFar_ = 0;
  if (PrevPar() != nullptr) PrevPar()->Flags &= static_cast<std::uint8_t>(~pfRowGoesOn);
  CurPar->SetBorderValue(0);
  tmpl_.Border = 0;
  CurPar->SpaceBefore = 0;
  CurPar->Shading = 0;
  CurPar->ShadingPercent = 0;
}

void TRiRtfReader::BorderWord(int v) {
  Cell& cell = cells_[static_cast<std::size_t>(std::min(defineIndex_, 50))];
  std::uint32_t b = table_ ? cell.Border : CurPar->BorderValue();
  if (table_) cellBorderSeen_ = true;
  if (fresh_) {
    b &= 0xFFFF0000u;
    fresh_ = false;
  }
  auto spacing = [&b] {
    if (((b >> 28) & 15) == 0) b |= 1u << 28;
  };
  switch (v) {
    case 0: b |= bfBox; spacing(); break;
    case 1: b |= bfTop; break;
    case 2: b |= bfLeft; spacing(); break;
    case 3: b |= bfBottom; break;
    case 4: b |= bfRight; spacing(); break;
    case 5: b |= bfDouble; break;
    case 6: b |= 1u << 8; break;
    case 9: b |= 64u << 8; break;
    default: break;
  }
  b |= bfBordered;
  if (!table_) {
    CurPar->SetBorderValue(b);
    tmpl_.Border = b;
    savedBorder_ = b;
  } else {
    if ((b & (bfTop | bfBottom | bfLeft | bfRight)) == (bfTop | bfBottom | bfLeft | bfRight)) b |= bfBox;
    b |= bfBlockEnd;
    cell.Border = b;
  }
}

void TRiRtfReader::TabStop(int v) {
  if (!tabsStarted_) {
    tmpl_.Tabs = 0;
    CurPar->Tabs = 0;
    tabsStarted_ = true;
  }
  // Once the tab table is full and nothing could be freed, new positions are not offered again:
  // each offer would search the whole document.
  if (tabsFull_ && Owner->FindTab(v, static_cast<TTabKind>(tabKind_)) < 0) {
    tabKind_ = 0;
    return;
  }
  const TTabSet set = Owner->AddTab(v, static_cast<TTabKind>(tabKind_));
  if (set == 0 && v >= 1) tabsFull_ = true;
  tmpl_.Tabs |= set;
  CurPar->Tabs = tmpl_.Tabs;
  tabKind_ = 0;
}

int TRiRtfReader::ColorIndex(int v) {
  // Without a colour table of its own, text names the document's colours.
  if (!inserting_ || insertedColors_.empty()) return v >= 0 && v <= 15 ? v : -1;
  return InsertedColorIndex(v);
}

int TRiRtfReader::InsertedColorIndex(int v) {
  // A colour the table does not hold is the default colour, as word processors read it.
  if (v < 0 || static_cast<std::size_t>(v) >= insertedColors_.size()) return 0;
  if (colorMap_.size() < insertedColors_.size()) colorMap_.resize(insertedColors_.size(), -1);
  int& mapped = colorMap_[static_cast<std::size_t>(v)];
  if (mapped >= 0) return mapped;
  const TColor want = insertedColors_[static_cast<std::size_t>(v)];
  auto& colors = Owner->Colors;
  // The entries that no text, shading or border of the document uses are free.
  if (colorTaken_.empty()) {
    colorTaken_.assign(16, false);
    colorTaken_[0] = true;
    auto take = [this](int index) { colorTaken_[static_cast<std::size_t>(index & 15)] = true; };
    take(Engine->CurAttr.TextColor());
    take(Engine->CurAttr.BackColor());
    for (PTParagraph p = Engine->FirstPar; p != nullptr; p = p->Next) {
      if (p->Shading != 0) {
        take(p->Shading & 15);
        take(p->Shading >> 4);
      }
      if (p->BorderFlags & bfBordered) take(p->BorderColor & 15);
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
        if (!l->HasAttrs()) continue;
        for (int i = 0; i < l->Length; ++i) {
          take(l->Attrs[static_cast<std::size_t>(i)].TextColor());
          take(l->Attrs[static_cast<std::size_t>(i)].BackColor());
        }
      }
    }
  }
  // The document's entry of that colour (the writer writes entries 0 to 14), else a free one.
  for (int i = 0; i < 15; ++i) {
    if (colors[static_cast<std::size_t>(i)] != want) continue;
    colorTaken_[static_cast<std::size_t>(i)] = true;
    return mapped = i;
  }
  for (int i = 1; i < 15; ++i) {
    if (colorTaken_[static_cast<std::size_t>(i)]) continue;
    colorTaken_[static_cast<std::size_t>(i)] = true;
    colors[static_cast<std::size_t>(i)] = want;
    return mapped = i;
  }
  // Every entry is in use: the nearest colour.
  auto distance = [](TColor a, TColor b) {
    const int dr = GetRValue(a) - GetRValue(b), dg = GetGValue(a) - GetGValue(b), db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
  };
  int best = 0;
  for (int i = 1; i < 15; ++i)
    if (distance(colors[static_cast<std::size_t>(i)], want) < distance(colors[static_cast<std::size_t>(best)], want)) best = i;
  return mapped = best;
}

int TRiRtfReader::PropertyStep(int code, int v) {
  if (state_ == dsSkip) return 0;
  if (state_ != dsNormal && IsParagraphWord(code)) return 0;
  // Colours of shading and borders name entries of the colour table like text colours do.
  if (inserting_ && !insertedColors_.empty() && (code == pCbpat || code == pCfpat || code == pBrdrcf))
    v = std::max(0, InsertedColorIndex(v));
  auto bit = [&](std::uint8_t& field, std::uint8_t mask) {
    if (v != 0)
      field |= mask;
    else
      field &= static_cast<std::uint8_t>(~mask);
  };
  Cell& def = cells_[static_cast<std::size_t>(std::min(defineIndex_, 50))];
  switch (code) {
    case pBold: bit(CurAttr.Style, fsBold); break;
    case pItalic: bit(CurAttr.Style, fsItalic); break;
    case pUnderline: bit(CurAttr.Style, fsUnderline); break;
    case pUlnone: CurAttr.Style &= static_cast<std::uint8_t>(~(fsUnderline | fsLink)); break;
    case pUc: uc_ = Byte(std::clamp(v, 0, 255)); break;
    case pStrike: bit(CurAttr.Style, fsStrikeOut); break;
    case pUldb: bit(CurAttr.Style, fsLink); break;
    case pHidden: bit(CurAttr.Extra, fxHidden); break;
    case pShad: bit(CurAttr.Extra, fxProtected); break;
    case pSuper:
      if (state_ == dsNormal) bit(CurAttr.Style, fsSuper);
      break;
    case pSub: bit(CurAttr.Style, fsSub); break;
    case pNoSuperSub: CurAttr.Style &= static_cast<std::uint8_t>(~(fsSuper | fsSub)); break;
    case pInspnt:
      if (v != 0) {
        CurAttr.Extra |= fxInsertPoint;
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxAutomatic);
        CurAttr.Tag = static_cast<std::uint16_t>(v);
      } else {
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxInsertPoint);
        CurAttr.Tag = 0;
      }
      break;
    case pInaut:
      if (v != 0) {
        CurAttr.Extra |= fxAutomatic;
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxInsertPoint);
      } else {
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxAutomatic);
      }
      break;
    case pWprtf:
      if (v != 0) {
        CurAttr.Extra |= fxRawRtf;
        raw_ = true;
        rawMatch_ = 0;
      } else {
        CurAttr.Extra &= static_cast<std::uint8_t>(~fxRawRtf);
        raw_ = false;
      }
      break;
    case pFont:
      if (state_ == dsFontTable)
        fontSlot_ = v;
      else if (v >= 0 && v < MaxFonts)
        CurAttr.Font = fontMap_[static_cast<std::size_t>(v)];
      break;
    case pSize: {
      // Half points; sizes beyond what an attribute holds become the largest it holds.
      const int s = std::clamp(v / 2, 0, static_cast<int>(MaxPointSize));
      CurAttr.Size = Byte(s == 0 ? 10 : s);
      break;
    }
    case pCf:
      if (const int c = ColorIndex(v); c >= 0) CurAttr.SetTextColor(c);
      break;
    case pCb:
      if (const int c = ColorIndex(v); c >= 0) CurAttr.SetBackColor(c);
      break;
    case pPlain: CurAttr = TAttr{}; break;
    case pFi:
      if (!table_) {
        CurPar->FirstIndent = tmpl_.FirstIndent = v;
        pendingFi_ = v;
      }
      break;
    case pLi:
      if (!table_) {
        CurPar->LeftIndent = tmpl_.LeftIndent = std::max(0, v);
        CurPar->FirstIndent = tmpl_.FirstIndent = pendingFi_;
        pendingFi_ = 0;
      }
      break;
    case pRi:
      if (!table_) CurPar->RightIndent = tmpl_.RightIndent = v;
      break;
    case pSb: CurPar->SpaceBefore = tmpl_.SpaceBefore = v; break;
    case pSa: CurPar->SpaceAfter = tmpl_.SpaceAfter = v; break;
    case pSl: CurPar->LineSpacing = tmpl_.LineSpacing = v; break;
    case pAlign: CurPar->Alignment = tmpl_.Alignment = Byte(v); break;
    case pPard: {
      if (PrevPar() != nullptr && (PrevPar()->BorderFlags & bfBordered)) PrevPar()->BorderFlags |= bfBlockEnd;
      savedBorder_ = tmpl_.Border;
      tmpl_.Border &= 0xFFFF0000u;
      tmpl_.Shading = tmpl_.ShadingPercent = 0;
      CurPar->Shading = CurPar->ShadingPercent = 0;
      tmpl_.Alignment = 0;
      CurPar->Alignment = 0;
      // Every paragraph property goes back to its default, for the paragraph being read as for
      // the ones after it: tab stops, keep-together and spacing included (another word
      // processor's heading does not lend its spacing to the paragraphs after it).
      tmpl_.Tabs = 0;
      CurPar->Tabs = 0;
      CurPar->Flags &= static_cast<std::uint8_t>(~pfKeep);
      CurPar->ListByte = tmpl_.ListByte = 0;
      table_ = false;
      CurPar->SetBorderValue(tmpl_.Border);
      CurPar->FirstIndent = tmpl_.FirstIndent = 0;
      CurPar->LeftIndent = tmpl_.LeftIndent = 0;
      CurPar->RightIndent = tmpl_.RightIndent = 0;
      CurPar->SpaceBefore = tmpl_.SpaceBefore = 0;
      CurPar->SpaceAfter = tmpl_.SpaceAfter = 0;
      CurPar->LineSpacing = tmpl_.LineSpacing = 0;
      break;
    }
    case pPar: ParagraphEnd(false); break;
    case pCell: ParagraphEnd(true); break;
    case pRow: RowEnd(); break;
    case pPage: CurPar->Flags |= pfPageBreak; break;
    case pKeep:
      if (!table_) CurPar->Flags |= pfKeep;
      break;
    case pTx: TabStop(v); break;
    case pTabKind: tabKind_ = (v >= 1 && v <= 3) ? v : 0; break;
    // The page is the document's: text inserted at the cursor does not change it (its tables
    // stand where their boundaries say on the document's page).
    case pPaperW: if (!inserting_) Owner->Layout.PageWidth = paperW_ = v; break;
    case pPaperH: if (!inserting_) Owner->Layout.PageHeight = v; break;
    case pMargL: if (!inserting_) Owner->Layout.LeftMargin = margL_ = v; break;
    case pMargR: if (!inserting_) Owner->Layout.RightMargin = margR_ = v; break;
    case pMargT: if (!inserting_) Owner->Layout.TopMargin = v; break;
    case pMargB: if (!inserting_) Owner->Layout.BottomMargin = v; break;
    case pFacing: if (!inserting_) Owner->Layout.FacingPages = v != 0; break;
    case pLandscape: if (!inserting_) Owner->Layout.Landscape = v != 0; break;
    case pRed:
    case pGreen:
    case pBlue:
      if (state_ == dsColorTable && inserting_ && colorCounter_ >= 0 &&
          static_cast<std::size_t>(colorCounter_) < insertedColors_.size()) {
        TColor& c = insertedColors_[static_cast<std::size_t>(colorCounter_)];
        const int shift = code == pRed ? 0 : code == pGreen ? 8 : 16;
        c = static_cast<TColor>((static_cast<std::uint32_t>(c) & ~(0xFFu << shift)) |
                                (static_cast<std::uint32_t>(v & 0xFF) << shift));
      } else if (state_ == dsColorTable && !inserting_ && colorCounter_ >= 0 && colorCounter_ <= 14) {
        TColor& c = Owner->Colors[static_cast<std::size_t>(colorCounter_)];
        const int shift = code == pRed ? 0 : code == pGreen ? 8 : 16;
        c = static_cast<TColor>((static_cast<std::uint32_t>(c) & ~(0xFFu << shift)) |
                                (static_cast<std::uint32_t>(v & 0xFF) << shift));
      }
      break;
    case pBorder: BorderWord(v); break;
    case pBrdrw:
      if (table_) {
        def.Border = (def.Border & 0xFF00FFFFu) | (static_cast<std::uint32_t>(Byte(v / 20)) << 16);
      } else {
        CurPar->BorderWidth = Byte(v / 20);
        tmpl_.Border = (tmpl_.Border & 0xFF00FFFFu) | (static_cast<std::uint32_t>(Byte(v / 20)) << 16);
      }
      break;
    case pBrsp:
    case pBrdrcf: {
      auto apply = [&](std::uint8_t color) -> std::uint8_t {
        if (code == pBrsp) return static_cast<std::uint8_t>((color & 0x0F) | ((std::clamp(v / 56, 0, 15)) << 4));
        return static_cast<std::uint8_t>((color & 0xF0) | (v & 0x0F));
      };
      if (table_) {
        def.Border = (def.Border & 0x00FFFFFFu) | (static_cast<std::uint32_t>(apply(Byte(def.Border >> 24))) << 24);
      } else {
        CurPar->BorderColor = apply(CurPar->BorderColor);
        tmpl_.Border = (tmpl_.Border & 0x00FFFFFFu) | (static_cast<std::uint32_t>(apply(Byte(tmpl_.Border >> 24))) << 24);
      }
      break;
    }
    case pShading:
      if (table_) {
        def.ShadingPercent = Byte(std::clamp(v / 100, 0, 100));
        def.Shading = 0;
      } else {
        CurPar->ShadingPercent = tmpl_.ShadingPercent = Byte(std::clamp(v / 100, 0, 100));
        CurPar->Shading = tmpl_.Shading = 0;
      }
      break;
    case pCbpat:
      if (table_) {
        def.Shading = Byte((v & 15) * 16);
        def.ShadingPercent = 1;
      } else {
        tmpl_.Shading = static_cast<std::uint8_t>((tmpl_.Shading & 0x0F) | ((v & 15) << 4));
        CurPar->Shading = tmpl_.Shading;
      }
      break;
    case pCfpat:
      if (table_) {
        def.Shading = Byte(v & 15);
        def.ShadingPercent = 100;
      } else {
        tmpl_.Shading = static_cast<std::uint8_t>((tmpl_.Shading & 0xF0) | (v & 15));
        CurPar->Shading = tmpl_.Shading;
      }
      break;
    case pTrowd:
      rowLeft_ = 0;
      cells_.fill(Cell{});
      cellCount_ = fillIndex_ = defineIndex_ = startSoFar_ = 0;
      largest_ = 0;
      cellBorderSeen_ = false;
      table_ = true;
      break;
    case pCellx:
      if (table_ && cellCount_ < 50) {
        // Boundaries are kept as written and measured from the row's own left edge when the
        // cells are read, whatever the indent of the paragraph that was current when the row
        // definition began and wherever the definition names its left edge.
        const std::int32_t b = std::max(0, v);
        cells_[static_cast<std::size_t>(cellCount_)].Boundary = b;
        largest_ = std::max(largest_, b);
        ++cellCount_;
        defineIndex_ = cellCount_;
      }
      break;
    case pClmrg:
      // The merged cell takes the later boundary; its own \cell is consumed.
      if (table_ && cellCount_ >= 2 && cellCount_ <= 49) {
        Cell& last = cells_[static_cast<std::size_t>(cellCount_ - 1)];
        Cell& before = cells_[static_cast<std::size_t>(cellCount_ - 2)];
        before.Boundary = std::max(before.Boundary, last.Boundary);
        ++before.Merge;
        last = Cell{};
        --cellCount_;
        defineIndex_ = cellCount_;
      }
      break;
    case pIntbl: {
      const Cell& c = cells_[static_cast<std::size_t>(std::min(fillIndex_, 50))];
      tmpl_.Border = c.Border;
      tmpl_.Shading = c.Shading;
      tmpl_.ShadingPercent = c.ShadingPercent;
      table_ = true;
      // Word processors write \pard between the row definition and the cells; the cells still
      // stand where the row's \trleft put them.
      CurPar->LeftIndent = tmpl_.LeftIndent = rowLeft_;
      CurPar->SetBorderValue(tmpl_.Border);
      // The cell's spacing is its paragraph's own (\sb, before or after this word), not its
      // border spacing.
      CurPar->Shading = tmpl_.Shading;
      CurPar->ShadingPercent = tmpl_.ShadingPercent;
      break;
    }
    case pTrgaph:
      if (table_) {
        const int g = v < 1 ? 0 : v <= 55 ? 56 : v;
        const std::uint32_t nib = static_cast<std::uint32_t>(std::clamp(g / 56, 0, 15));
        for (Cell& c : cells_) c.Border = (c.Border & 0x0FFFFFFFu) | (nib << 28);
      }
      break;
    case pTrleft:
      if (table_) CurPar->LeftIndent = tmpl_.LeftIndent = rowLeft_ = std::max(0, v);
      break;
    case pWbitmap: picKind_ = 2; break;
    case pDibitmap: picKind_ = 1; break;
    case pWmetafile:
      picKind_ = 0;
      if (picStream_ != nullptr && picStream_->Size() == 0 && picStage_.empty()) {
        picStage_.assign(22, '\0');
        metaHeaderReserved_ = true;
      }
      break;
    case pPicw: picW_ = v; break;
    case pPich: picH_ = v; break;
    case pPicwgoal: picWGoal_ = v; break;
    case pPichgoal: picHGoal_ = v; break;
    case pPicscalex: picScaleX_ = v; break;
    case pPicscaley: picScaleY_ = v; break;
    case pBitspixel: bitsPixel_ = v; break;
    case pPlanes: planes_ = v; break;
    case pWidthbytes: widthBytes_ = v; break;
    case pObjTag: objTag_ = static_cast<std::uint16_t>(v); break;
    case pObjW: objW_ = v; break;
    case pObjH: objH_ = v; break;
    case pFnNr:
      if (footnote_ != nullptr) footnote_->Number = v;
      break;
    case pListByte: CurPar->ListByte = tmpl_.ListByte = Byte(v); break;
    case pFontCharset:
      if (state_ == dsFontTable) fontCharset_ = std::clamp(v, 0, 255);
      break;
    case pFontFamily:
      if (state_ == dsFontTable) fontFamily_ = v;
      break;
    case pListNumber: bit(CurAttr.Extra, fxListNumber); break;
    default:
      break;
  }
  return 0;
}

void TRiRtfReader::EndPicture() {
  auto scaled = [](std::int32_t goal, std::int32_t scale) {
    return scale != 0 ? static_cast<std::int32_t>(static_cast<std::int64_t>(goal) * scale / 100) : goal;
  };
  TAttr a = CurAttr;
  a.Extra |= fxObject;
  if (state_ == dsPicture) {
    if (picStream_ == nullptr) return;
    if (!picStage_.empty()) picStream_->WriteBuffer(picStage_);
    picStage_.clear();
    // A picture whose data does not make a picture of its kind is left out.
    std::unique_ptr<TGraphic> graphic;
    if (picKind_ == 0) {
      std::string data = picStream_->Bytes();
      // A kind word after the first data bytes left no room for the placeable header.
      if (!metaHeaderReserved_) data.insert(0, 22, '\0');
      graphic = MetafileFromRtf(std::move(data), picW_, picH_);
    } else if (picKind_ == 1) {
      graphic = BitmapFromDib(picStream_->Bytes());
    } else if (picKind_ == 2) {
      graphic = BitmapFromBits(picStream_->Bytes(), picW_, picH_, bitsPixel_, planes_, widthBytes_);
    }
    if (graphic == nullptr) return;
    TRiObject* o = Engine->AddObject(std::move(graphic), 0);
    if (o == nullptr) return;
    o->Width = scaled(picWGoal_, picScaleX_);
    o->Height = scaled(picHGoal_, picScaleY_);
    // Without a goal size the picture keeps its own size.
    if (o->Width <= 0 || o->Height <= 0) {
      o->Width = std::max(0, o->Width);
      o->Height = std::max(0, o->Height);
      Engine->DefaultObjectSize(*o);
    }
    o->Sized = true;
    a.Tag = o->Number;
    AppendStored(1, a);
  } else if (state_ == dsPictureFile) {
    TRiObject* o = picFile_.empty() ? nullptr : Engine->FindObjectByName(picFile_);
    if (o == nullptr) o = Engine->AddObject(nullptr, 0);
    if (o == nullptr) return;
    o->FileName = picFile_;
    o->Name = picFile_;
    o->Linked = true;
    o->Width = scaled(picWGoal_, picScaleX_);
    o->Height = scaled(picHGoal_, picScaleY_);
    a.Tag = o->Number;
    AppendStored(1, a);
    if (o->Graphic == nullptr && !picFile_.empty()) {
      if (Engine->OnObjectRequest) {
        auto handler = Engine->OnObjectRequest;
        handler(o->Number, o);
      } else if (LoadPictureFiles) {
        // A bitmap file, or a metafile file read as a metafile; the base folder is tried
        // for bitmaps only.
        std::string name = picFile_;
        const std::string lower = AnsiLowerCase(name);
        const bool metafile = lower.find(".wmf") != std::string::npos;
        bool ok = FileExists(name) && (lower.find(".bmp") != std::string::npos || metafile);
        if (!ok && !BaseFolder.empty()) {
          name = IncludeTrailingPathDelimiter(BaseFolder) + picFile_;
          ok = FileExists(name) && lower.find(".bmp") != std::string::npos;
        }
        if (ok) {
          std::unique_ptr<TGraphic> g;
          if (metafile && lower.find(".bmp") == std::string::npos) g = std::make_unique<TMetafile>();
          else g = std::make_unique<TBitmap>();
          try {
            g->LoadFromFile(name);
            o->Graphic = std::move(g);
          } catch (const Exception&) {
          }
        }
      }
    }
  }
}

}  // namespace tw::richtext
