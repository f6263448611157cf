// The editing layer of the rich-text engine: input of characters and strings at the cursor
// (typing, Return, Backspace, Delete, page breaks), embedded objects, cursor movements with
// selection extension, and the typing attributes that follow the cursor.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/gfx/graphic.h"
#include "richtext/document/setmode.h"
#include "richtext/paint/textpaint.h"

namespace tw::richtext {

// Cursor move kinds.
enum TCursorMove {
  cmLineStart = 0, cmLineEnd, cmPageUp, cmPageDown, cmDocStart, cmDocEnd,
  cmCharLeft, cmCharRight, cmLineUp, cmLineDown, cmWordLeft, cmWordRight
};

// Repaint scopes of one input run.
constexpr int rsNothing = 0;
constexpr int rsChangedLines = 1;
constexpr int rsParagraph = 2;
constexpr int rsView = 3;

class TRiRTFTextInput : public TRiRTFTextPaint {
  TW_CLASS(TRiRTFTextInput, TRiRTFTextPaint)
 public:
  TRiRTFTextInput();

  void Clear() override;
  TRiLoadFormat LoadFromStream(TStream& stream) override;
  void SetCursor(int absolute, int lineNumber, int offset, int parNumber) override;
  void MouseToCursor(int x, int y, bool makeVisible, bool extend) override;

  // Inserts the text at the cursor with the current attributes; a single character is laid out
  // and shown at once, longer texts wait for the caller's Reformat.
  void InputString(const std::string& text);
  // Whether input beginning with `ch` changes the document at the cursor: protected text, a
  // full table cell, hidden typing attributes and a read-only or busy engine take nothing.
  // Asks silently, so that a drop can be refused before anything happens.
  bool TakesInput(char ch);
  // The same for input at another place (the start of a selection that the input replaces).
  bool TakesInputAt(char ch, PTParagraph par, PTLine line, int offset);
  // The character loop; returns the repaint scope (rs...).
  int InputRun(const std::string& text);
  // Inserts an embedded object as one placeholder character; raises "No object was defined"
  // without a graphic.  A tag of 65535 takes the next free tag.  A place that refuses the
  // character changes nothing and answers nullptr (no object is kept).
  TRiObject* InsertObject(std::uint16_t& tag, std::unique_ptr<TGraphic> graphic, int width, int height);
  // Deletes count characters at the cursor, joining paragraphs at a paragraph end.
  bool DeleteForward(int count);

  void MoveCursor(int kind, bool extend);
  void CharLeft(int count, bool extend, bool quiet);
  void CharRight(int count, bool extend, bool quiet);
  void LineUp(int count, bool extend, bool quiet);
  void LineDown(int count, bool extend, bool quiet);
  void WordLeft(int count, bool extend, bool quiet);
  void WordRight(int count, bool extend, bool quiet);
  // Takes the current attributes from the text before the cursor.
  void TakeTypingAttributes();

  // Absolute character position of the cursor (paragraph ends count one).
  int CursorPosition() const;

  bool ReadOnly = false;
  bool EditAllowed = true;  // the document's edit flag
  bool ProgramInput = false;
  bool KeepAttributes = false;
  bool NoCursorDisplay = false;
  bool FullReformatNeeded = false;
  // Bulk input puts runs of ordinary characters in at once; false puts them in one by one (the
  // reference the runs are tested against).
  bool InsertRuns = true;
  bool InInput() const { return inInput_; }

  TRiSetModeControl* SetMode = nullptr;  // not owned
  std::function<void()> BeforeInput;
  std::function<void()> AfterInput;
  std::function<void()> CursorMoved;
  std::function<void()> SaveForUNDO;
  // Return made a new paragraph.
  std::function<void(PTParagraph)> NewParagraphCreated;

 protected:
  int ParPos(PTParagraph par, PTLine line, int offset) const;
  void Locate(PTParagraph par, int pos, PTLine& line, int& offset) const;
  void PlaceCursor(PTParagraph par, int pos);
  void UndoHook();
  bool DeleteBefore();
  bool DeleteAtCursor();
  bool InsertOne(char ch, int& scope);
  // Inserts the characters of a bulk input that follow one given to InsertOne as one run: the
  // same result as InsertOne for each of them while layout waits, without finding the cursor's
  // place again for every character, and with the font measured once for the run.  Returns how
  // many characters it took (0 when the cursor's place needs them one by one).
  int InsertRun(const char* text, int count, int& scope);
  // Whether the protection settings can refuse an insertion at all.
  bool CanRefuse() const;
  // Grows the line at once to what appending count characters one by one would make of it.
  void GrowForAppend(PTLine line, int count);
  void BeginMove(bool extend, PTParagraph& par, PTLine& line, int& offset);
  void EndMove(bool extend, PTParagraph par, PTLine line, int offset, bool quiet);
  int DesiredX();
  // Brings the list numbers up to date after paragraphs came or went among list items, and lays
  // the renumbered items out unless the caller lays out later.
  void RenumberLists(bool withoutLayout);
  // A character refused by a full table cell: the speaker beeps.
  void FullCellRefused() override;

 private:
  // Runs one cursor step count times between BeginMove and EndMove; a step
  // returns false when it cannot go further. Vertical moves keep the column.
  void RepeatMove(int count, bool extend, bool quiet, bool keepColumn, const std::function<bool()>& step);
  // Moves the cursor to the previous or next display line; false at the edge.
  bool StepLine(bool up);
  bool inInput_ = false;
  int desiredX_ = -1;  // -1 none; 9999 line end
  PTParagraph lastUndoPar_ = nullptr;
};

}  // namespace tw::richtext
