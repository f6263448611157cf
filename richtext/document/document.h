// The document model of the rich-text engine: a doubly linked list of paragraphs, each a doubly
// linked list of lines, each line a text buffer with one TAttr per character; the header, the
// current attributes, the special-text attribute sets, embedded objects and footnotes; and the
// primitive edits every higher layer of the engine uses.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/gfx/graphic.h"
#include "platform/rtl/set.h"
#include "richtext/document/attr.h"
#include "richtext/document/textheader.h"

namespace tw::richtext {

constexpr int MaxLineCapacity = 10000;
// Paragraph text given as a whole goes into lines of at most this many characters.
constexpr int ParagraphChunk = 4000;
constexpr std::size_t MaxObjects = 65535;

// Result codes of the writers and readers.
constexpr std::uint8_t riOK = 0;
constexpr std::uint8_t riOutOfMemory = 2;
constexpr std::uint8_t riStepError = 5;
constexpr std::uint8_t riWriteError = 7;
constexpr std::uint8_t riNothing = 8;


// Line flags.
constexpr std::uint32_t lfChanged = 1;    // contents changed (typing, layout)
constexpr std::uint32_t lfPageStart = 2;  // the line starts a page

struct TParagraph;

struct TLine {
  std::uint16_t Height = 0;
  std::uint16_t Ascent = 0;
  std::int32_t Top = 0;  // y of the line top in document pixels
  std::uint32_t Flags = 0;
  std::uint8_t PaintState = 0;
  std::vector<char> Buffer;    // Capacity bytes; text followed by a zero byte
  std::vector<TAttr> Attrs;    // Capacity entries, or empty when the document has no attributes
  std::uint16_t Capacity = 0;  // even, 8..10000
  std::uint16_t Length = 0;
  std::uint16_t WidthOrStretch = 0;
  std::uint16_t StretchWidth = 0;
  std::uint16_t ExtraPixels = 0;
  TLine* Next = nullptr;
  TLine* Prev = nullptr;

  char* Text() { return Buffer.data(); }
  const char* Text() const { return Buffer.data(); }
  bool HasAttrs() const { return !Attrs.empty(); }
  std::string Str() const { return std::string(Buffer.data(), Length); }
  unsigned char Ch(int i) const { return static_cast<unsigned char>(Buffer[static_cast<std::size_t>(i)]); }
};
using PTLine = TLine*;

// Paragraph flags.
constexpr std::uint8_t pfPageBreak = 1;
constexpr std::uint8_t pfLastCell = 2;
constexpr std::uint8_t pfRowGoesOn = 4;
constexpr std::uint8_t pfTableCell = 8;
constexpr std::uint8_t pfProtected = 16;
constexpr std::uint8_t pfJustifyLast = 64;
constexpr std::uint8_t pfKeep = 128;
// Layout flags: every edit sets both.
constexpr std::uint8_t lyNeedsBreak = 1;
constexpr std::uint8_t lyNeedsMeasure = 2;
constexpr std::uint8_t lyNeedsLayout = 3;
// Border flags.
constexpr std::uint8_t bfBordered = 1;
constexpr std::uint8_t bfBlockEnd = 2;
constexpr std::uint8_t bfTop = 4;
constexpr std::uint8_t bfBottom = 8;
constexpr std::uint8_t bfLeft = 16;
constexpr std::uint8_t bfRight = 32;
constexpr std::uint8_t bfBox = 64;
constexpr std::uint8_t bfDouble = 128;

struct TParagraph {
  std::int32_t FirstIndent = 0;  // absolute, twips
  std::int32_t LeftIndent = 0;
  std::int32_t RightIndent = 0;
  std::int32_t SpaceBefore = 0;
  std::int32_t SpaceAfter = 0;
  std::int32_t LineSpacing = 0;
  std::uint8_t Alignment = 0;  // 0 left, 1 right, 2 centred, 3 justified
  std::uint8_t Flags = 0;
  std::uint8_t LayoutFlags = 0;
  std::uint8_t BorderFlags = 0;
  std::uint8_t BorderStyle = 0;  // 1 dotted, 2 hairline, 4 bar, 64 table lines
  std::uint8_t BorderWidth = 0;  // units of 20 twips
  std::uint8_t BorderColor = 0;  // low nibble colour, high nibble spacing / cell gap in mm
  std::uint8_t ListByte = 0;     // high nibble style, low three bits level
  std::uint8_t Shading = 0;      // low nibble pattern colour, high nibble background colour
  std::uint8_t ShadingPercent = 0;
  TLine* FirstLine = nullptr;
  TParagraph* Next = nullptr;
  TParagraph* Prev = nullptr;
  TTabSet Tabs = 0;
  std::uint8_t CellStart = 0;  // 255ths of the table width
  std::uint8_t CellWidth = 0;
  std::uint8_t CellFlags = 0;  // high nibble 15: the cell takes no more characters
  // Given as a string through the text list: a document whose one empty paragraph is such a
  // string is a list of one empty string, and the next string adds a paragraph.
  bool ListString = false;

  // The four border fields as one 32-bit value (flags lowest).
  std::uint32_t BorderValue() const {
    return BorderFlags | (BorderStyle << 8) | (BorderWidth << 16) | (static_cast<std::uint32_t>(BorderColor) << 24);
  }
  void SetBorderValue(std::uint32_t v) {
    BorderFlags = static_cast<std::uint8_t>(v);
    BorderStyle = static_cast<std::uint8_t>(v >> 8);
    BorderWidth = static_cast<std::uint8_t>(v >> 16);
    BorderColor = static_cast<std::uint8_t>(v >> 24);
  }
  bool IsCell() const { return (Flags & pfTableCell) != 0; }
  void Mark() { LayoutFlags |= lyNeedsLayout; }
};
using PTParagraph = TParagraph*;

// An embedded object (picture) the characters 1 and 2 with the object bit stand for.
struct TRiObject {
  std::unique_ptr<TGraphic> Graphic;
  std::uint16_t Tag = 0;     // 2000 and above for generated tags
  std::uint16_t Number = 0;  // 1 and above
  bool InUse = false;
  std::int32_t Width = 0;   // twips
  std::int32_t Height = 0;  // twips
  bool Sized = false;
  bool Linked = false;       // the picture comes from FileName
  bool ByReference = false;  // written as a reference only
  std::string FileName;
  std::string Name;
};

struct TRiFootnote {
  char Mark = '?';
  std::int32_t Number = 0;
  std::uint16_t Id = 0;  // 1 and above
  std::string Text;
  std::string RtfText;  // when not empty, written in place of Text
  bool SuppressNumber = false;
};

enum class TProtectProp {
  ppProtected, ppHidden, ppIsInsertpoint, ppAutomatic, ppIsInvisible, ppParProtected,
  ppProtectSelectedTextToo, ppDontCopyProtectedAttribute, ppDontUseAttrOfProtected
};
TW_ENUM_NAMES(TProtectProp, "ppProtected", "ppHidden", "ppIsInsertpoint", "ppAutomatic", "ppIsInvisible",
              "ppParProtected", "ppProtectSelectedTextToo", "ppDontCopyProtectedAttribute", "ppDontUseAttrOfProtected");
using TProtectProps = Set<TProtectProp>;

enum class TRiMemoryFormat { fmRichText, fmPlainText };
TW_ENUM_NAMES(TRiMemoryFormat, "fmRichText", "fmPlainText");

class TRiRTFText;
using TSpecialRunEvent = std::function<void(TRiRTFText* engine, const std::string& text, int tag)>;
using TObjectRequestEvent = std::function<void(int tag, TRiObject* object)>;
using TNotificationEvent = std::function<void(TRiRTFText* engine, int code)>;

// The text of a list number: style 1 bullet "l", 2/3 letters, 4/5 roman, 6 decimal.
std::string ListNumberText(int style, int value);

class TRiRTFText : public TPersistent {
  TW_CLASS(TRiRTFText, TPersistent)
 public:
  TRiRTFText();
  ~TRiRTFText() override;

  // --- state -------------------------------------------------------------------------------
  bool PlainMode = false;
  bool Ready = false;
  bool Busy = false;
  PTParagraph FirstPar = nullptr;
  TTextHeader& Header() { return *header_; }
  const TTextHeader& Header() const { return *header_; }
  TCharacterAttr InsertPointAttr{0x1000};
  TCharacterAttr AutomaticAttr{0x2000};
  TCharacterAttr LinkAttr{0x0010};
  TCharacterAttr ProtectedAttr{0};
  TAttr CurAttr;
  TAttr RememberedAttr;
  int NewLineHeight = 16;
  std::int32_t WidthTable[257];
  int DefaultLineHeight = 16;
  int DefaultAscent = 14;
  bool InsertMode = true;
  TProtectProps Protection;
  bool ProtectionSuspended = false, ProtectionSilent = false, ProtectionOff = false;
  // Switches of the writers and of copying.
  bool SkipInsertPoints = false;
  bool SkipAutomaticText = false;
  bool WriteBitmapAsDib = false;  // kept for stored forms: bitmaps are always written device-independent
  TSpecialRunEvent OnSpecialRun;
  TObjectRequestEvent OnObjectRequest;
  TNotificationEvent OnNotify;

  // --- virtual operations of this level -----------------------------------------------------
  // Copies `attr` into character `index` of the line and refills its caches.
  virtual void SetCharAttr(PTLine line, int index, std::uint16_t mask, const TAttr& attr);
  // Calls the special-run event for the run at the position (or the whole paragraph).
  virtual void SpecialRun(PTParagraph par, PTLine line, bool wholePar, int pos);
  // Makes the record the current attributes (the paint layer applies it to the selection).
  virtual void SetAttr(const TAttr& attr, std::uint16_t mask);
  // Called after every structural edit of the paragraph (nullptr: the whole document).
  virtual bool ParagraphChanged(PTParagraph par);
  virtual void Clear();
  virtual void ReplaceParagraphText(int number, const std::string& text, const TAttr* attr);
  virtual int InsertString(PTParagraph par, PTLine line, const std::string& text, int replaceLength, int pos);

  // --- records --------------------------------------------------------------------------------
  // Allocates a paragraph linked after `par` (a new chain when nullptr) that inherits the
  // paragraph properties; `par` then points to it.
  void NewParagraph(PTParagraph& par, int capacity);
  // Allocates a line linked after `line`; `line` then points to it.
  void NewLine(PTLine& line, int capacity);
  // Raises "Line longer then\t10000 character!" above 10000; false for no line.
  bool SetLineCapacity(PTLine line, int capacity);
  void DeleteLine(PTParagraph par, PTLine line);
  // Frees the paragraph (unlinked from the document when it is in it); `par` moves to the next.
  void DeleteParagraph(PTParagraph& par);
  // Frees one line record (lines are allocated by NewLine and owned by their paragraph).
  static void FreeLine(PTLine line) { delete line; }
  // Frees a chain of paragraphs that is not part of the document.
  void FreeChain(PTParagraph first);
  static TAttr* AttribPtr(PTLine line, int index);
  static PTLine Get_LastLine(PTParagraph par);
  PTParagraph LastParagraph() const;
  int ParagraphNumber(PTParagraph par) const;  // 1-based; 0 when not found
  PTParagraph ParagraphByIndex(int index) const;  // 0-based; nullptr outside
  int ParagraphCount() const;
  std::string ParagraphText(int index) const;     // all lines joined
  static int ParagraphLength(PTParagraph par);
  bool IsEmpty() const;  // one paragraph with one empty line

  // --- primitive edits -------------------------------------------------------------------
  int ReplaceText(PTParagraph par, PTLine line, const TAttr* attr, int newLength, const char* newText,
                  int oldLength, int pos);
  bool InsertChar(PTParagraph par, PTLine line, char ch, int pos);
  bool DeleteChar(PTParagraph par, PTLine line, int pos);
  PTParagraph SplitParagraph(PTParagraph par, PTLine line, int pos);
  void InsertLine(PTParagraph par, int pos, const TAttr* attr, const std::string& text);
  void DeleteChars(PTParagraph par, int pos, int count);
  // The generated list-number characters at the start of the paragraph: their count, and their
  // removal.
  static int LeadingListNumbers(PTParagraph par);
  void DropListNumbers(PTParagraph par);
  bool InsertParagraphs(PTParagraph& par, PTLine& line, PTParagraph chain, int& pos);
  // Adds a paragraph (see the text list) and answers it; `fillEmpty` false adds one even to a
  // document that is a single empty paragraph.
  PTParagraph AddParagraph(int number, const std::string& text, const TAttr* attr, bool fillEmpty = true);
  void DeleteParagraphLines(int number);
  bool MarkParagraphs(std::uint16_t styleWord);
  void MarkAll();
  void SetMemoryFormat(TRiMemoryFormat format);
  TRiMemoryFormat MemoryFormat() const { return PlainMode ? TRiMemoryFormat::fmPlainText : TRiMemoryFormat::fmRichText; }
  // Whether an edit at the position is refused.
  bool IsProtected(PTParagraph par, PTLine line, int pos, bool overwrite);
  // Whether the paragraph's protection mark is in force.
  bool ParagraphProtected(PTParagraph par) const;
  // Whether splitting the paragraph at the position is refused (the protection test).
  bool SplitRefused(PTParagraph par, PTLine line, int pos);

  // --- objects and footnotes ----------------------------------------------------------------
  // Appends an object record; nullptr when the document already holds MaxObjects objects.
  TRiObject* AddObject(std::unique_ptr<TGraphic> graphic, int tag);
  // Frees one object record (one the document's text no longer names).
  void RemoveObject(TRiObject* object);
  TRiObject* FindObject(int tag, int number) const;
  // The object an object character stands for: character 2 names the object's number;
  // character 1 names its tag, but the reader and the copy tag character 1 with the object's
  // number, so an object without a tag is found by its number, and a tag that names no object
  // is looked up as a number.
  TRiObject* ObjectOf(unsigned char ch, std::uint16_t tag) const;
  TRiObject* FindObjectByName(const std::string& name) const;
  void ClearObjectMarks();
  void FreeUnmarkedObjects();
  void DefaultObjectSize(TRiObject& object) const;
  // A copy of a picture an object can hold (a bitmap or a metafile); nullptr for any other graphic.
  static std::unique_ptr<TGraphic> CopyObjectGraphic(const TGraphic* graphic);
  const std::vector<std::unique_ptr<TRiObject>>& Objects() const { return objects_; }
  // nullptr when all 65535 footnote identifiers are taken.
  TRiFootnote* AddFootnote(char mark, int number, const std::string& text);
  TRiFootnote* FindFootnote(int id) const;
  void FreeFootnotes();
  const std::vector<std::unique_ptr<TRiFootnote>>& Footnotes() const { return footnotes_; }

 protected:
  // Lines or paragraphs came or went without the layout hook running for them; the layers above
  // learn that the positions of the lines below are no longer sure.
  virtual void LinesMoved() {}
  // A character was refused because its table cell is marked full (the editing layer sounds it).
  virtual void FullCellRefused() {}
  // The paragraph's text becomes `text` with the attributes, over as many lines as it needs.
  void SetParagraphText(PTParagraph p, const std::string& text, const TAttr& a);
  void FreeParagraphRecord(PTParagraph par);
  // Whether `count` more characters joined to the line keep it within the length limit.
  static bool FitsJoined(PTLine line, int count);
  void FillCaches(TAttr& a, unsigned char ch) const;
  void OnTabTableFull();

 private:
  std::unique_ptr<TTextHeader> header_;
  std::vector<std::unique_ptr<TRiObject>> objects_;
  std::vector<std::unique_ptr<TRiFootnote>> footnotes_;
  // Lookups by tag, number and identifier, and the highest values given so far.
  std::unordered_map<std::uint16_t, TRiObject*> byTag_, byNumber_;
  std::unordered_map<std::uint16_t, TRiFootnote*> byFootnoteId_;
  int highestTag_ = 1999, highestNumber_ = 0, highestFootnote_ = 0;
  void IndexObjects();
};

}  // namespace tw::richtext
