// The RTF reader: a character-driven state machine over the buffered reading of TRiTextReader
// that fills the document model with paragraphs, attributed characters, the header's font and
// colour tables, page values and information strings, tab stops, tables, pictures and
// footnotes.  Damaged input ends reading with the paragraphs read so far; nesting, parameters
// and binary data are bounded.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/streams.h"
#include "richtext/document/textreader.h"

namespace tw::richtext {

// Deepest group nesting the reader follows; a group opened deeper is skipped whole and reading
// goes on after it.
constexpr int MaxRtfGroupDepth = 512;

class TRiRtfReader : public TRiTextReader {
  TW_CLASS(TRiRtfReader, TRiTextReader)
 public:
  TRiRtfReader();
  ~TRiRtfReader() override;

  int ReadDocument(TStream* stream, PTParagraph& first) override;

  // Folder tried for picture files that are not found by their name.
  std::string BaseFolder;
  // Pictures named by \picfile are read from disk only when the document's owner allows it;
  // otherwise they stay links without a picture (the object-request event still runs).
  bool LoadPictureFiles = false;

  struct Template {
    std::int32_t FirstIndent = 0, LeftIndent = 0, RightIndent = 0, SpaceBefore = 0, SpaceAfter = 0, LineSpacing = 0;
    std::uint8_t Alignment = 0, Flags = 0;
    std::uint32_t Border = 0;
    std::uint8_t Shading = 0, ShadingPercent = 0;
    TTabSet Tabs = 0;
    std::uint8_t ListByte = 0;
  };

 private:
  enum Dest : std::uint8_t { dsNormal, dsSkip, dsFontTable, dsColorTable, dsPicture, dsPictureFile, dsTitle,
                             dsComment, dsSubject, dsFootnote, dsInfo };
  struct GroupRec {
    TAttr Attr;
    Template Tmpl;
    Dest State;
    std::uint8_t CharMode;
    bool TabsStarted;
    bool Table;
    std::uint8_t Uc;
  };
  struct Cell {
    std::int32_t Boundary = 0;
    int Merge = 0;
    std::uint32_t Border = 0;
    std::uint8_t Shading = 0, ShadingPercent = 0;
  };

  int Step(int ch);
  int CharStep(int ch);
  // A character given by its code point (\u): its Windows-1252 byte, or "?" once.
  int UnicodeChar(int v);
  // Consumes one fallback character after \u; true when `ch` was taken.
  bool SkipFallback(int ch);
  // Reads past the escape after "\\" inside a group nested too deep, noting \bin data.
  void SkipOverflowEscape();
  // Reads the rest of a control word after "\\": its letters and parameter, and the blank
  // that ends it; returns the first character (the word is discarded).
  int SkipControlWord(std::string& word, std::int64_t& param);
  int ControlWord();
  int DestinationStep(int code);
  int PropertyStep(int code, int v);
  int SpecialStep(int code, int v, bool hasParam);
  void Append(int ch);
  void AppendStored(char ch, const TAttr& attr);
  void OpenGroup();
  int CloseGroup();
  void ParagraphEnd(bool cell);
  void RowEnd();
  void BorderWord(int v);
  void TabStop(int v);
  void EndPicture();
  void FinishPass(PTParagraph first);
  PTParagraph PrevPar() const { return CurPar != nullptr ? CurPar->Prev : nullptr; }
  void ApplyTemplateToPar(PTParagraph p, bool withBorder);
  // The document's colour index for colour `v` of the RTF colour table, or -1 when there is
  // none.  Read into a document, the table's own entries are the document's; inserted, each
  // colour takes the document entry of the same colour, a free entry, or the nearest colour.
  int ColorIndex(int v);
  int InsertedColorIndex(int v);

  std::vector<GroupRec> groups_;
  bool anyGroup_ = false;
  Dest state_ = dsNormal;
  std::uint8_t charMode_ = 0;
  int hexValue_ = 0, hexDigits_ = 0;
  bool optional_ = false;
  Template tmpl_;
  std::int32_t pendingFi_ = 0;
  std::int32_t paperW_ = 0, margL_ = 0, margR_ = 0;
  std::array<std::uint8_t, MaxFonts> fontMap_{};
  int fontSlot_ = 0;
  std::string fontName_;
  int fontCharset_ = 0, fontFamily_ = 0;
  int colorCounter_ = 0;
  // table row
  bool table_ = false;
  bool cellBorderSeen_ = false;
  int cellCount_ = 0, fillIndex_ = 0, defineIndex_ = 0, startSoFar_ = 0;
  std::int32_t largest_ = 0;   // the largest boundary (twips from the margin, as \cellx)
  std::int32_t rowLeft_ = 0;  // the row's \trleft
  std::array<Cell, 51> cells_{};
  // pictures
  int picKind_ = -1;  // 0 metafile, 1 device-independent, 2 device-dependent bitmap
  bool metaHeaderReserved_ = false;
  std::int32_t picW_ = 0, picH_ = 0, picWGoal_ = 0, picHGoal_ = 0, picScaleX_ = 100, picScaleY_ = 100;
  std::int32_t bitsPixel_ = 0, planes_ = 1, widthBytes_ = 0;
  std::unique_ptr<TMemoryStream> picStream_;
  std::string picStage_;
  int picHalf_ = -1;
  std::string picFile_;
  bool quote_ = false;
  std::uint16_t objTag_ = 0;
  std::int32_t objW_ = 0, objH_ = 0;
  TRiFootnote* footnote_ = nullptr;
  bool raw_ = false;
  int rawMatch_ = 0;
  int tabKind_ = 0;
  bool tabsStarted_ = false;
  bool tabsFull_ = false;
  bool fresh_ = false;
  // A group closed over a paragraph that holds no text yet: the paragraph takes the restored
  // properties when its text begins (at its end it takes them anyway).  A document's last
  // paragraph that never gets text keeps the properties written for it.
  bool restored_ = false;
  // The paragraph properties in effect before the latest run of closing braces (nothing else
  // read between them): a last paragraph that never gets text and has no \par takes these,
  // the ones in effect where the document's text ended, not the ones its groups restore.
  Template endTmpl_;
  bool closeRun_ = false;
  // Reading into a new chain of paragraphs that goes in at the cursor: the document's page,
  // information and colours stay as they are.
  bool inserting_ = false;
  std::vector<TColor> insertedColors_;  // the colour table read while inserting
  std::vector<int> colorMap_;           // its entries' document indexes (-1: not chosen yet)
  std::vector<bool> colorTaken_;        // document entries in use (filled at the first need)
  std::uint32_t savedBorder_ = 0;
  int binRemaining_ = 0;
  // Unicode: fallback characters per \u (a group property), those still to skip, and where a
  // high surrogate left its "?" so that its low half adds no second one.
  std::uint8_t uc_ = 1;
  int fallbackLeft_ = 0;
  std::int64_t charsSeen_ = 0;
  std::int64_t highSurrogateAt_ = -1;
  // Depth inside a group that opened beyond MaxRtfGroupDepth (0: not inside one).
  int overflow_ = 0;
};

}  // namespace tw::richtext
