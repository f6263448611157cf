// The load-and-save layer of the rich-text engine: reading RTF or plain text from streams and
// files (replacing an empty document or inserting at the cursor), writing the document or the
// selection, the form-resource property "Data", copying documents, the cursor as paragraph,
// line and offset, line heights and the page pass.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/classes/filer.h"
#include "richtext/document/document.h"
#include "richtext/document/textreader.h"
#include "richtext/document/textwriter.h"

namespace tw::richtext {

enum class TRiLoadFormat : std::uint8_t { AutomaticFormat, LastFormat, FormatRTF, FormatANSI };
TW_ENUM_NAMES(TRiLoadFormat, "AutomaticFormat", "LastFormat", "FormatRTF", "FormatANSI");

using TParagraphsReadEvent = std::function<void(TRiRTFText* engine, bool& discard, PTParagraph first)>;
using TEngineNotifyEvent = std::function<void(TRiRTFText* engine)>;

// Plain-text streams above this size are kept without attributes.
constexpr std::int64_t PlainTextModeLimit = 500000;
// Streams up to this size that are not memory streams are read through a memory copy.
constexpr std::int64_t MemoryCopyLimit = 600000;

class TRiRTFTextIo : public TRiRTFText {
  TW_CLASS(TRiRTFTextIo, TRiRTFText)
 public:
  TRiRTFTextIo();

  void Clear() override;
  void ReplaceParagraphText(int number, const std::string& text, const TAttr* attr) override;
  void Assign(const TPersistent* source) override;
  void DefineProperties(TFiler* filer) override;

  virtual void ReadData(TStream& stream);
  virtual void WriteData(TStream& stream);
  virtual std::uint8_t WriteDocument(TStream& stream, TRiTextWriter* writer);
  virtual std::uint8_t WriteSelection(TStream& stream, TRiTextWriter* writer);
  virtual void ReadWithReader(TStream& stream, TRiTextReader* reader);
  // Whether text read at a place (as ReadWithReader reads it at the cursor) goes in: a document
  // of one empty paragraph takes any; a table cell takes no paragraphs, a protected place
  // nothing.  Asks silently, so that a drop or a paste can ask before it deletes anything.
  bool TakesTextAt(PTParagraph par, PTLine line, int pos);
  virtual TRiLoadFormat LoadFromStream(TStream& stream);
  virtual void SaveToStream(TStream& stream);
  virtual void SaveSelectionToStream(TStream& stream);
  virtual void SaveToFile(const std::string& fileName);
  virtual void LoadFromFile(const std::string& fileName);
  virtual void GetCursor(int& absolute, int& lineNumber, int& offset, int& parNumber) const;
  // Called when a read has replaced the document, with the header holding the page it brought
  // and before the document is laid out; the layout takes the page's text width here.
  virtual void PageLoaded() {}
  virtual void SetCursor(int absolute, int lineNumber, int offset, int parNumber);
  // Sets every line's top and page-start flag; returns the document height in pixels.
  virtual int PagePass();
  // The page pass again from the paragraph on (tops, page starts and the document height come
  // out as a whole pass gives them); the lines above it keep the tops of the last pass, so
  // nothing above may have changed its height since.  Once the pass is past the paragraph and
  // below `stopBelow` (document pixels), it may stop at a paragraph boundary: the paragraphs
  // from there on are then pending (see PagesPending); the document height is exact all the
  // same.
  int PagePassFrom(PTParagraph from, std::int64_t stopBelow = INT64_MAX);

  // The page pass may leave the end of the document pending: the tops and page starts of the
  // pending paragraphs are out of date until a reader brings the pass on to them; their heights
  // are current, and so is DocumentHeight.  Every reader of tops or page starts calls one of
  // the Complete... operations first.
  bool PagesPending() const { return pendingPar_ != nullptr; }
  // The first pending paragraph (nullptr: none).
  PTParagraph PendingParagraph() const { return pendingPar_; }
  // Whether the paragraph's tops and page starts are known to be current, looking a bounded
  // number of paragraphs around it for the pending ones.
  bool PagesCurrentAt(PTParagraph par) const;
  // The pass carried on to the end of the document.
  void CompletePages();
  // The pass carried on until every line that starts at or above y (document pixels) is current.
  void CompletePagesToY(std::int64_t y);
  // The pass carried on until the paragraph is current.
  void CompletePagesThrough(PTParagraph par);

  // Positions.
  void CountPosition(PTParagraph par, PTLine line, int offset, int& absolute, int& lineNumber, int& parOffset,
                     int& parNumber) const;
  void LocatePosition(int absolute, int lineNumber, int parOffset, int parNumber, PTParagraph& par, PTLine& line,
                      int& offset) const;
  // Sets the line's height and ascent from its characters and its paragraph's spacing; true when
  // the height changed.
  bool LineHeight(PTParagraph par, PTLine line);
  // Puts the cursor back on a line of the document when an edit removed its line, and forgets a
  // selection whose ends are gone.
  void ValidateCursor();
  // Writes a whole document as a string through the writer kind given (plain text when nullptr).
  std::string AsText();
  std::string AsRtf();

  std::uint8_t LastResult = 0;
  TRiLoadFormat SaveFormat = TRiLoadFormat::AutomaticFormat;
  TRiLoadFormat LoadFormat = TRiLoadFormat::AutomaticFormat;
  TRiTextWriter* UserWriter = nullptr;  // not owned
  TRiTextReader* UserReader = nullptr;  // not owned
  bool OwnFormats = false;
  bool Assigning = false;
  bool SavingToFile = false;
  bool FixedLayoutWidthOn = false;
  std::int32_t FixedLayoutWidth = 0;
  bool HelpBitmapRefs = false;
  bool NoProtectionMarks = false;
  std::string BaseFolder;  // for picture files
  // Off: pictures that a document names by file (\picfile) are not read from disk; the
  // document keeps them as links.  The document's owner turns it on for files it trusts.
  bool LoadPictureFiles = false;

  PTParagraph SelStartPar = nullptr, SelEndPar = nullptr;
  PTLine SelStartLine = nullptr, SelEndLine = nullptr;
  int SelStartOffset = 0, SelEndOffset = 0;
  bool SelReversed = false;
  PTParagraph CursorPar = nullptr;
  PTLine CursorLine = nullptr;
  int CursorOffset = 0;

  bool PageHeightFactorOn = false;
  float PageHeightFactor = 1.0f;
  bool PagePassOff = false;
  int EmptyCellLineHeight = -1;
  int DocumentHeight = 0;
  bool NumberingBusy = false;
  bool SecondListFlag = false;

  TParagraphsReadEvent OnParagraphsRead;
  TEngineNotifyEvent OnLoaded;

 protected:
  // Lays out the pages from start on.  Changed (when given) is the only paragraph whose lines
  // changed since the last pass: past it, the pass ends where it meets a page start the last
  // pass made at the same place, as everything below then stands as it was.
  int RunPagePass(PTParagraph start, std::int64_t y, std::int64_t pageTop, PTParagraph changed = nullptr,
                  std::int64_t stopBelow = INT64_MAX, PTParagraph through = nullptr);
  // The pending part of the pass carried on from where it stopped.
  void ContinuePages(std::int64_t stopBelow, PTParagraph through);
  // 1: the paragraph lies before the pending part (or nothing is pending); 0: in it; -1: too far
  // from where it begins to tell.
  int PendingSide(PTParagraph par) const;
  void LinesMoved() override { ForgetPendingPages(); }
  // The pending part is given up: the tops below what was laid out stay as they are until the
  // next whole pass (which the caller makes sure of).
  void ForgetPendingPages() {
    pendingPar_ = nullptr;
    knownCurrent_ = nullptr;
  }
  void AppendParagraphs(const TRiRTFTextIo& source, PTParagraph srcPar, PTLine srcLine);
  void ResetCursor();
  TRiLoadFormat DetectFormat(TStream& stream);

 private:
  // Where the page pass stopped: the first paragraph it did not lay out, the pass's position
  // and the current page's top there, and the height of the paragraphs from there to the end.
  PTParagraph pendingPar_ = nullptr;
  std::int64_t pendingY_ = 0;
  std::int64_t pendingPageTop_ = 0;
  std::int64_t pendingTail_ = 0;
  // A paragraph last found before the pending part (it stays there until the pass stops
  // elsewhere or paragraphs come or go).
  mutable PTParagraph knownCurrent_ = nullptr;
};

// Updates the generated list numbers of every list paragraph, keeping the cursor on the same
// character.
void UpdateListNumbers(TRiRTFTextIo& engine);

}  // namespace tw::richtext
