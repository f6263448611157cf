// Typing, deleting, cursor keys, selection by keys and mouse, and the clipboard.
#include <random>

#include "platform/classes/streams.h"
#include "platform/forms/clipbrd.h"
#include "platform/gfx/metafile.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

using Editing = RichTextTest;

TEST_F(Editing, TypedCharactersReturnAndBackspaceEditTheParagraphs) {
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  Type("Hello world");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Hello world"}));
  EXPECT_EQ(changes, 11);
  EXPECT_TRUE(rt->Modified);
  // Return splits at the cursor; Backspace at a paragraph start joins again.
  for (int i = 0; i < 5; ++i) Key(VK_LEFT);
  Type("\r");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Hello ", "world"}));
  EXPECT_EQ(E().CursorPosition(), 7);
  Type("\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Hello world"}));
  Type("\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Helloworld"}));
  // Delete removes the character after the cursor; at the very end nothing happens.
  Key(VK_DELETE);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Helloorld"}));
  Key(VK_END, false, true);
  Key(VK_DELETE);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Helloorld"}));
  // Backspace at the document start changes nothing.
  Key(VK_HOME, false, true);
  Type("\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Helloorld"}));
  EXPECT_EQ(E().CursorPosition(), 0);
}

TEST_F(Editing, ListNumbersFollowParagraphsMadeAndJoinedByTyping) {
  rt->InputString("one\rtwo\rthree");
  rt->Reformat();
  for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next) p->ListByte = 0x60;  // decimal, level 0
  UpdateListNumbers(E());
  rt->Reformat();
  ASSERT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "2.\ttwo", "3.\tthree"}));
  // Return at the end of the first item makes a new numbered item; the ones below count on.
  rt->SetCursorPosition(0, 0, 6, 0);
  Type("\rnew");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "2.\tnew", "3.\ttwo", "4.\tthree"}));
  EXPECT_EQ(E().CursorPosition(), 13);  // after "new"
  // Joining an item to the one above takes its number away.
  rt->SetCursorPosition(0, 0, 3, 2);  // after the number of "two"
  Type("\b\b\b\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "2.\tnewtwo", "3.\tthree"}));
  // An item turned into text in the middle: the count goes on below it.
  E().ParagraphByIndex(1)->ListByte = 0;
  rt->SetCursorPosition(0, 0, 0, 2);
  Type("\r");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "newtwo", "2.\t", "3.\tthree"}));
  // The cursor goes on after the number of its item; typing there renumbers nothing, and
  // deleting a number's characters is not undone.
  Type("x");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "newtwo", "2.\t", "3.\txthree"}));
  Type("\b\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tone", "newtwo", "2.\t", "3.three"}));
}

// Where generated list-number characters stand after the first character of text in a
// paragraph: "" when none do.
std::string NumbersInsideText(TRiRTFTextInput& e) {
  int index = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next, ++index) {
    bool text = false;
    int at = 0;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
      for (int i = 0; i < l->Length; ++i, ++at) {
        const bool number = l->HasAttrs() && (l->Attrs[static_cast<std::size_t>(i)].Extra & fxListNumber);
        if (number && text) return "paragraph " + std::to_string(index) + " at " + std::to_string(at) + ": " + e.ParagraphText(index);
        text = text || !number;
      }
  }
  return "";
}

TEST_F(Editing, JoinedListItemsKeepNoGeneratedNumberInTheirText) {
  rt->InputString("one\rtwo\rthree");
  rt->Reformat();
  for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next) p->ListByte = 0x60;
  UpdateListNumbers(E());
  rt->Reformat();
  // Delete at the end of an item joins the next one without its number.
  rt->SetCursorPosition(0, 0, 6, 0);
  Key(VK_DELETE);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tonetwo", "2.\tthree"}));
  EXPECT_EQ(E().CursorPosition(), 6);
  // Backspace at the very start of an item (before its number, where Home puts the cursor).
  Key(VK_DOWN);
  Key(VK_HOME);
  Type("\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tonetwothree"}));
  EXPECT_EQ(NumbersInsideText(E()), "");
  // An item joined behind an ordinary paragraph, and text typed into a number.
  Key(VK_END, false, true);
  Type("\rfour");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"1.\tonetwothree", "2.\tfour"}));
  E().FirstPar->ListByte = 0;
  rt->SetCursorPosition(0, 0, 0, 1);
  Type("\b");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"onetwothreefour"}));
  Key(VK_END, false, true);
  Type("\rsix");
  E().LastParagraph()->ListByte = 0x60;
  UpdateListNumbers(E());
  rt->SetCursorPosition(0, 0, 1, 1);  // inside "1."
  Type("x");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"onetwothreefour", "1.\txsix"}));
  // The saved text holds the joined words without a number between them.
  TStringStream plain;
  rt->SetSaveFormat(TRiLoadFormat::FormatANSI);
  rt->SaveToStream(plain);
  EXPECT_EQ(plain.DataString().substr(0, 16), "onetwothreefour\r") << plain.DataString();
}

TEST_F(Editing, RandomEditsOverListItemsAndTableCellsNeverPutANumberInsideText) {
  rt->Hide();  // laid out, not painted
  // Runs of 500 steps, each from a fresh document, keep the paragraphs short.
  auto fresh = [this] {
    TStringStream rtf("{\\rtf1 intro\\par\\wplist96 one\\par two\\par\\wplist97 sub\\par\\wplist16 dot\\par\\pard "
                      "\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard\\wplist32 letter\\par\\pard end}");
    rt->LoadFromStream(rtf);
    UpdateListNumbers(E());
    rt->Reformat();
  };
  std::mt19937 rng(20240521);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const int moves[] = {cmCharLeft, cmCharRight, cmLineUp, cmLineDown, cmLineStart, cmLineEnd, cmWordLeft,
                              cmDocStart, cmDocEnd};
  for (int step = 0; step < 10000; ++step) {
    if (step % 500 == 0) fresh();
    const int kind = pick(100);
    std::string what;
    if (kind < 30) {
      what = std::string(1, static_cast<char>('a' + pick(26)));
      E().InputString(what);
    } else if (kind < 40) {
      what = "Return";
      E().InputString("\r");
    } else if (kind < 55) {
      what = "Delete";
      E().InputString("\x7f");
    } else if (kind < 70) {
      what = "Backspace";
      E().InputString("\b");
    } else {
      const int m = moves[pick(9)];
      what = "move " + std::to_string(m);
      E().MoveCursor(m, false);
    }
    // Now and then a paragraph becomes a list item or text again, and the numbers follow.
    if (pick(50) == 0) {
      PTParagraph p = E().ParagraphByIndex(pick(E().ParagraphCount()));
      if (!p->IsCell()) p->ListByte = pick(2) ? static_cast<std::uint8_t>(0x10 * (1 + pick(6)) + pick(2)) : 0;
      UpdateListNumbers(E());
    }
    const std::string fault = NumbersInsideText(E());
    ASSERT_EQ(fault, "") << "step " << step << " (" << what << ")";
  }
}

TEST_F(Editing, ACellMarkedFullRefusesTypingWithABeep) {
  TStringStream rtf("{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard end}");
  rt->LoadFromStream(rtf);
  rt->Reformat();
  E().FirstPar->CellFlags = 0xF0;
  rt->SetCursorPosition(0, 0, 1, 0);
  const unsigned beeps = MessageBeepCount();
  Type("x");
  EXPECT_EQ(E().ParagraphText(0), "a");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
  // The cell next to it takes the character, silently.
  rt->SetCursorPosition(0, 0, 1, 1);
  Type("y");
  EXPECT_EQ(E().ParagraphText(1), "by");
  EXPECT_EQ(MessageBeepCount(), beeps + 1);
}

TEST_F(Editing, DeleteAtTheEndOfARowsLastCellLeavesTheRowWholeLikeBackspaceAfterIt) {
  auto load = [this] {
    rt->Clear();
    TStringStream rtf("{\\rtf1 top\\par\\trowd\\cellx2000\\cellx4000\\cellx6000\\intbl a\\cell b\\cell c\\cell\\row"
                      "\\pard after\\par end}");
    rt->LoadFromStream(rtf);
    rt->Reformat();
  };
  auto flags = [this] {
    std::vector<int> out;
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next) out.push_back(p->Flags & (pfTableCell | pfLastCell | pfRowGoesOn));
    return out;
  };
  load();
  const std::vector<std::string> text = Paragraphs();
  const std::vector<int> cells = flags();
  ASSERT_EQ(text, (std::vector<std::string>{"top", "a", "b", "c", "after", "end"}));
  ASSERT_EQ(cells[3], pfTableCell | pfLastCell);
  // Delete, by key and by count, at the end of the last cell.
  rt->SetCursorPosition(0, 0, 1, 3);
  Key(VK_DELETE);
  EXPECT_EQ(Paragraphs(), text);
  EXPECT_EQ(flags(), cells);
  EXPECT_FALSE(E().DeleteForward(3));
  EXPECT_EQ(Paragraphs(), text);
  EXPECT_EQ(flags(), cells);
  // Backspace at the start of the paragraph after the row.
  rt->SetCursorPosition(0, 0, 0, 4);
  Type("\b");
  EXPECT_EQ(Paragraphs(), text);
  EXPECT_EQ(flags(), cells);
  // Saved and read back, the row is still whole.
  TStringStream out("");
  E().SaveToStream(out);
  rt->Clear();
  TStringStream in(out.DataString());
  rt->LoadFromStream(in);
  rt->Reformat();
  EXPECT_EQ(Paragraphs(), text);
  EXPECT_EQ(flags(), cells);
}

TEST_F(Editing, TypingWhereADeletedPictureOrMarkStoodAloneTakesOnlyTheTypingAttributes) {
  // A paragraph holds only a picture, footnote mark, insertion point, automatic text or list
  // number; it is deleted (selected, or by Backspace) and a character typed in its place.
  for (bool backspace : {false, true})
    for (std::uint8_t bit : {fxObject, fxFootnote, fxInsertPoint, fxAutomatic, fxListNumber}) {
      SCOPED_TRACE("extra bit " + std::to_string(bit) + (backspace ? " backspace" : " selection"));
      rt->Clear();
      Type("ab\r");
      TBitmap bmp;
      bmp.SetSize(8, 6);
      if (bit == fxObject) {
        ASSERT_TRUE(rt->InsertPicture(&bmp));
      } else {
        Type("c");
        PTLine l = E().ParagraphByIndex(1)->FirstLine;
        l->Attrs[0].Extra |= bit;
        l->Attrs[0].Tag = 1;
      }
      ASSERT_EQ(E().ParagraphText(1).size(), 1u);
      if (backspace) {
        rt->SetCursorPos(4);
        Type("\b");
      } else {
        E().SelectRange(3, 1);
        rt->DeleteSelection();
      }
      ASSERT_EQ(Paragraphs(), (std::vector<std::string>{"ab", ""}));
      Type("x");
      ASSERT_EQ(Paragraphs(), (std::vector<std::string>{"ab", "x"}));
      const TAttr& x = E().ParagraphByIndex(1)->FirstLine->Attrs[0];
      EXPECT_EQ(x.Extra, E().FirstPar->FirstLine->Attrs[0].Extra);
      EXPECT_EQ(x.Tag, 0);
      // Saved and read back, the typed character is still there, as text.
      TStringStream out("");
      E().SaveToStream(out);
      rt->Clear();
      TStringStream in(out.DataString());
      rt->LoadFromStream(in);
      EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"ab", "x"})) << out.DataString();
    }
}

TEST_F(Editing, ASelectionDrawnBackIntoTheCellBeforeDeletesOnlyTheCellsOfItsRow) {
  const std::vector<std::string> text{"top", "a1", "b1", "a2", "b2", "end"};
  for (bool backwards : {true, false}) {
    SCOPED_TRACE(backwards ? "Shift+Left" : "Shift+Right");
    rt->Clear();
    TStringStream rtf("{\\rtf1 top\\par\\trowd\\cellx2000\\cellx4000\\intbl a1\\cell b1\\cell\\row"
                      "\\trowd\\cellx2000\\cellx4000\\intbl a2\\cell b2\\cell\\row\\pard end}");
    rt->LoadFromStream(rtf);
    rt->Reformat();
    ASSERT_EQ(Paragraphs(), text);
    // From the start of b1 one step back into a1, or from the end of a1 one step on into b1.
    rt->SetCursorPosition(0, 0, backwards ? 0 : 2, backwards ? 2 : 1);
    Key(backwards ? VK_LEFT : VK_RIGHT, true);
    int start = 0, length = 0;
    ASSERT_TRUE(E().GetSelection(start, length));
    EXPECT_EQ(start, 4);
    EXPECT_EQ(length, 5);
    // Bold and an alignment go to the selected cells only.
    TAttr bold = E().CurAttr;
    bold.Style = fsBold;
    E().SetAttr(bold, amAddStyle);
    E().SetAlignment(2);
    std::string looks;
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
      looks += std::to_string(p->Alignment) + ((p->FirstLine->Attrs[0].Style & fsBold) ? "b " : "- ");
    EXPECT_EQ(looks, "0- 2b 2b 0- 0- 0- ");
    Key(VK_DELETE);
    EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"top", "", "", "a2", "b2", "end"}));
  }
}

TEST_F(Editing, AListNumberBeforeAPictureOrMarkIsPlainNumberText) {
  // The first character of a list item is a picture, a footnote mark, an insertion point or
  // automatic text; the item's number takes its look, not what makes it a picture or mark.
  for (std::uint8_t bit : {fxObject, fxFootnote, fxInsertPoint, fxAutomatic}) {
    SCOPED_TRACE("extra bit " + std::to_string(bit));
    rt->Clear();
    if (bit == fxObject) {
      TBitmap bmp;
      bmp.SetSize(40, 6);
      ASSERT_TRUE(rt->InsertPicture(&bmp));
    } else {
      Type("c");
      E().FirstPar->FirstLine->Attrs[0].Extra |= bit;
      E().FirstPar->FirstLine->Attrs[0].Tag = 1;
      if (bit == fxFootnote) E().FirstPar->FirstLine->Attrs[0].Tag = E().AddFootnote('c', 1, "note")->Id;
    }
    Type("x");
    E().FirstPar->ListByte = 0x60;
    UpdateListNumbers(E());
    rt->Reformat();
    PTLine l = E().FirstPar->FirstLine;
    ASSERT_EQ(l->Str().substr(0, 3), "1.\t");
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(l->Attrs[static_cast<std::size_t>(i)].Extra & ~(fxListNumber | fxHidden | fxProtected), 0) << i;
      EXPECT_EQ(l->Attrs[static_cast<std::size_t>(i)].Tag, 0) << i;
    }
    EXPECT_LT(l->Attrs[0].Width, 20);  // the digit's width, not the picture's
    // Saved and read back: the number, the picture or mark and the text are all there.
    TStringStream out("");
    E().SaveToStream(out);
    rt->Clear();
    TStringStream in(out.DataString());
    rt->LoadFromStream(in);
    EXPECT_EQ(E().ParagraphText(0).substr(0, 3), "1.\t") << out.DataString();
    EXPECT_EQ(E().ParagraphText(0).size(), 5u) << out.DataString();
  }
}

TEST_F(Editing, ReturnAtTheDocumentStartKeepsTheCursorBeforeTheText) {
  Type("abc");
  Key(VK_HOME, false, true);
  Type("\r");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"", "abc"}));
  EXPECT_EQ(E().CursorPar, E().ParagraphByIndex(1));
  EXPECT_EQ(E().CursorOffset, 0);
}

TEST_F(Editing, AProtectedParagraphIsNeitherSplitNorJoined) {
  Type("top\rabc\rnext");
  rt->SetProtectedProp(TProtectProps{TProtectProp::ppParProtected});
  E().ParagraphByIndex(1)->Flags |= pfProtected;
  int touched = 0;
  rt->OnProtectedChange = [&](TObject*, const std::string&, int) { ++touched; };
  for (int at : {7, 5, 4}) {  // Return at its end, inside it, at its start
    rt->SetCursorPosition(at, 0, 0, 0);
    Type("\r");
  }
  rt->SetCursorPosition(7, 0, 0, 0);
  Key(VK_RETURN, false, true);
  rt->SetCursorPosition(4, 0, 0, 0);
  Type("\b");  // Backspace at its start
  rt->SetCursorPosition(3, 0, 0, 0);
  Key(VK_DELETE);  // Delete at the end of the paragraph before it
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"top", "abc", "next"}));
  EXPECT_EQ(touched, 6);
}

TEST_F(Editing, ReturnBeforeAFirstTableRowPutsAPlainParagraphBeforeTheRow) {
  TStringStream rtf("{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard end}");
  rt->LoadFromStream(rtf);
  rt->Reformat();
  const std::string saved = E().AsRtf();
  rt->SetCursorPosition(0, 0, 0, 0);
  Type("\r");
  ASSERT_EQ(Paragraphs(), (std::vector<std::string>{"", "a", "b", "end"}));
  EXPECT_FALSE(E().FirstPar->IsCell());
  EXPECT_EQ(E().CursorPar, E().ParagraphByIndex(1));
  const std::string after = E().AsRtf();  // the row as it was
  EXPECT_EQ(saved.substr(saved.find("\\trowd")), after.substr(after.find("\\trowd")));
}

TEST_F(Editing, EditsNearTheLineLengthLimitGoOnInAFurtherLine) {
  // Program input without layout leaves a line close to the limit of 10000 characters.
  const std::string x(9980, 'x');
  rt->InputString(x);
  rt->SetCursorPosition(5, 0, 0, 0);
  rt->InputString("\r");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{x.substr(0, 5), x.substr(5)}));
  rt->InputString("\b");  // joins 5 and 9975 characters
  rt->SetCursorPosition(5, 0, 0, 0);
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, "one\r\ntwo");
  CloseClipboard();
  rt->PasteFromClipboard();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"xxxxxone", "two" + x.substr(5)}));
}

TEST_F(Editing, PageBreakKeyTogglesTheMarkAtAParagraphStartAndSplitsElsewhere) {
  Type("one two");
  Key(VK_HOME);
  Key(VK_RETURN, false, true);
  EXPECT_TRUE(E().FirstPar->Flags & pfPageBreak);
  Key(VK_RETURN, false, true);
  EXPECT_FALSE(E().FirstPar->Flags & pfPageBreak);
  Key(VK_END);
  for (int i = 0; i < 3; ++i) Key(VK_LEFT);
  InjectKeyDown(VK_CONTROL);
  Pump();
  InjectKey(VK_RETURN, '\n');  // the line feed that follows is ignored
  Pump();
  InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"one ", "two"}));
  EXPECT_TRUE(E().ParagraphByIndex(1)->Flags & pfPageBreak);
}

// A page break typed into a long document lays out the paragraphs it touches and the pages
// below, not every paragraph again: a paragraph far below keeps its lines (breaking a paragraph
// again makes new ones).  The pages are those a whole pass gives, mark set and removed.
TEST_F(Editing, APageBreakInALongDocumentBreaksNoParagraphFarBelowAgain) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "A paragraph of the long document, number " + std::to_string(i) + "\r";
  rt->InputString(text);
  rt->Reformat();
  PTParagraph far = E().ParagraphByIndex(250);
  const PTLine farLine = far->FirstLine;
  auto pages = [this] {
    E().CompletePages();
    std::vector<int> starts;
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
        if (l->Flags & lfPageStart) starts.push_back(l->Top);
    return starts;
  };
  Key(VK_HOME, false, true);
  for (int i = 0; i < 5; ++i) Key(VK_DOWN);
  Key(VK_RETURN, false, true);  // at a paragraph's start: the mark
  EXPECT_TRUE(E().ParagraphByIndex(5)->Flags & pfPageBreak);
  const std::vector<int> marked = pages();
  E().Paginate();
  EXPECT_EQ(marked, pages());
  Key(VK_RETURN, false, true);  // and off again
  EXPECT_FALSE(E().ParagraphByIndex(5)->Flags & pfPageBreak);
  for (int i = 0; i < 4; ++i) Key(VK_RIGHT);
  Key(VK_RETURN, false, true);  // inside a paragraph: a new paragraph with the mark
  EXPECT_TRUE(E().ParagraphByIndex(6)->Flags & pfPageBreak);
  EXPECT_EQ(E().ParagraphText(6).substr(0, 10), "ragraph of");
  const std::vector<int> split = pages();
  const int height = E().DocumentHeight;
  E().Paginate();
  EXPECT_EQ(split, pages());
  EXPECT_EQ(height, E().DocumentHeight);
  EXPECT_EQ(E().ParagraphByIndex(251)->FirstLine, farLine);
}

TEST_F(Editing, WrappedLinesKeepEveryCharacterAndTheCursorFollowsTheText) {
  rt->SetWordWrap(true);
  const std::string words = "lorem ipsum dolor sit amet ";
  std::string all;
  for (int i = 0; i < 12; ++i) all += words;
  Type(all);
  int lines = 0;
  for (PTLine l = E().FirstPar->FirstLine; l != nullptr; l = l->Next) ++lines;
  EXPECT_GT(lines, 2);
  EXPECT_EQ(E().ParagraphText(0), all);
  EXPECT_EQ(E().CursorPosition(), static_cast<int>(all.size()));
  // Backspace across a soft line start removes the character before it.
  PTLine second = E().FirstPar->FirstLine->Next;
  const int before = E().FirstPar->FirstLine->Length;
  E().CursorLine = second;
  E().CursorOffset = 0;
  Type("\b");
  EXPECT_EQ(E().ParagraphText(0), all.substr(0, before - 1) + all.substr(before));
}

TEST_F(Editing, CursorKeysMoveByCharacterWordLineAndDocument) {
  Type("alpha beta, gamma\rsecond line");
  Key(VK_HOME, false, true);
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(E().CursorPosition(), 5);
  Key(VK_RIGHT, false, true);
  EXPECT_EQ(E().CursorPosition(), 10);
  Key(VK_LEFT, false, true);
  EXPECT_EQ(E().CursorPosition(), 6);
  Key(VK_DOWN);
  EXPECT_EQ(E().CursorPar, E().ParagraphByIndex(1));
  Key(VK_UP);
  EXPECT_EQ(E().CursorPar, E().FirstPar);
  EXPECT_EQ(E().CursorPosition(), 6);
  Key(VK_END);
  EXPECT_EQ(E().CursorPosition(), 17);
  Key(VK_RIGHT);
  EXPECT_EQ(E().CursorPar, E().ParagraphByIndex(1));
  Key(VK_LEFT);
  EXPECT_EQ(E().CursorPosition(), 17);
  Key(VK_END, false, true);
  EXPECT_EQ(E().CursorPosition(), 29);
}

TEST_F(Editing, ShiftMovesSelectAndTypingReplacesTheSelection) {
  Type("Hello world");
  Key(VK_LEFT, true);
  Key(VK_LEFT, true, true);
  EXPECT_EQ(rt->SelectedText(), "world");
  Type("there");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"Hello there"}));
  EXPECT_FALSE(E().HasSelection());
  // Esc removes a selection; a plain move does too.
  Key(VK_HOME, true);
  EXPECT_EQ(rt->SelectedText(), "Hello there");
  Type("\x1b");
  EXPECT_FALSE(E().HasSelection());
}

TEST_F(Editing, MouseDragSelectsAndAClickPlacesTheCursor) {
  Type("Drag over these words");
  const TPoint a = PointOf(0, 0, 5), b = PointOf(0, 0, 9);
  InjectClick(rt->Handle(), a.X, a.Y);
  Pump();
  EXPECT_EQ(E().CursorPosition(), 5);
  const TPoint origin = rt->ClientOrigin();
  InjectMouseDown(origin.X + a.X, origin.Y + a.Y);
  InjectMouseMove(origin.X + b.X, origin.Y + b.Y);
  InjectMouseUp(origin.X + b.X, origin.Y + b.Y);
  Pump();
  EXPECT_EQ(rt->SelectedText(), "over");
}

TEST_F(Editing, CopyPutsRtfAndTextOnTheClipboardAndPasteKeepsTheAttributes) {
  TAttr bold = E().CurAttr;
  bold.Style |= fsBold;
  rt->SetCurrentAttr(bold);
  Type("Bold");
  TAttr plain = bold;
  plain.Style = 0;
  rt->SetCurrentAttr(plain);
  Type(" plain");
  rt->SelectAll();
  Type("\x03");  // Ctrl+C
  EXPECT_EQ(Clip(CF_TEXT).substr(0, 10), "Bold plain");
  const std::string rtf = Clip(RtfFormat());
  EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u);
  EXPECT_NE(rtf.find("\\b"), std::string::npos);
  // Paste at the end: the bold run comes back bold.
  Key(VK_END, false, true);
  Type("\x16");  // Ctrl+V
  EXPECT_EQ(E().ParagraphText(0).substr(0, 20), "Bold plainBold plain");
  PTLine l = E().FirstPar->FirstLine;
  EXPECT_TRUE(l->Attrs[10].Style & fsBold);
  EXPECT_FALSE(l->Attrs[15].Style & fsBold);
}

TEST_F(Editing, PlainTextFromTheClipboardIsPastedAtTheCursorAndCutRemovesTheSelection) {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, std::string("pasted\r\nlines\0garbage", 21));
  CloseClipboard();
  Type("[]");
  Key(VK_LEFT);
  Key(VK_INSERT, true);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"[pasted", "lines]"}));
  // Cut with no selection leaves the clipboard alone; with one it moves the text there.
  Key(VK_DELETE, true);
  EXPECT_EQ(Clip(CF_TEXT), std::string("pasted\r\nlines\0garbage", 21));
  Key(VK_HOME, true);
  Type("\x18");  // Ctrl+X
  EXPECT_EQ(Clip(CF_TEXT).substr(0, 5), "lines");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"[pasted", "]"}));
}

TEST_F(Editing, APasteThatATableCellRefusesLeavesTheSelectionInTheCell) {
  TStringStream rtf("{\\rtf1\\trowd\\cellx2000\\cellx4000\\intbl alpha beta\\cell gamma\\cell\\row\\pard end}");
  rt->LoadFromStream(rtf);
  rt->Reformat();
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, "pasted");
  CloseClipboard();
  E().SelectRange(6, 4);  // "beta"
  Type("\x16");           // Ctrl+V
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"alpha beta", "gamma", "end"}));
  EXPECT_TRUE(E().HasSelection());
}

TEST_F(Editing, AVetoedCopyLeavesTheClipboardAndACutKeepsTheText) {
  Type("keep me");
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_TEXT, "before");
  CloseClipboard();
  int asked = 0;
  rt->OnBeforeCopyEvent = [&](TObject*, bool& doIt) {
    ++asked;
    doIt = false;
  };
  Key(VK_HOME, true);
  Type("\x03");
  Type("\x18");
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(Clip(CF_TEXT), "before");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"keep me"}));
}

TEST_F(Editing, ShiftDeleteAndTheCutMessageReportTheTextThatWent) {
  Type("cut this");
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  Key(VK_LEFT, true, true);  // selects "this"
  Key(VK_DELETE, true);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"cut "}));
  EXPECT_EQ(Clip(CF_TEXT), "this");
  EXPECT_EQ(changes, 1);
  // Nothing selected, or the copy vetoed: nothing goes and nothing is reported.
  Key(VK_DELETE, true);
  SendMessage(rt->Handle(), WM_CUT, 0, 0);
  rt->OnBeforeCopyEvent = [](TObject*, bool& doIt) { doIt = false; };
  Key(VK_HOME, true);
  SendMessage(rt->Handle(), WM_CUT, 0, 0);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"cut "}));
  EXPECT_EQ(changes, 1);
  rt->OnBeforeCopyEvent = nullptr;
  SendMessage(rt->Handle(), WM_CUT, 0, 0);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{""}));
  EXPECT_EQ(changes, 2);
}

TEST_F(Editing, LongProgramInputIsKeptWhole) {
  std::string big;
  for (int i = 0; i < 2500; ++i) big += "word " + std::to_string(i % 10) + " ";
  rt->InputString(big);
  rt->Reformat();
  EXPECT_EQ(E().ParagraphText(0), big);
  EXPECT_EQ(E().CursorPosition(), static_cast<int>(big.size()));
}

// Everything the engine keeps of its text: lines with their whole buffers and attribute
// records (the places past the text included), flags and the cursor.
std::string EngineState(TRiRTFTextInput& e) {
  std::string out;
  int cursorPar = -1, cursorLine = -1, pi = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next, ++pi) {
    out += "P" + std::to_string(p->LayoutFlags) + "," + std::to_string(p->Flags) + "\n";
    int li = 0;
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next, ++li) {
      if (l == e.CursorLine) cursorPar = pi, cursorLine = li;
      out += " L" + std::to_string(l->Length) + "/" + std::to_string(l->Capacity) + " f" + std::to_string(l->Flags) +
             " h" + std::to_string(l->Height) + " a" + std::to_string(l->Ascent) + " ";
      out.append(l->Buffer.data(), l->Buffer.size());
      for (const TAttr& a : l->Attrs) out.append(reinterpret_cast<const char*>(&a), sizeof a);
      out += "\n";
    }
  }
  return out + "cursor " + std::to_string(cursorPar) + "/" + std::to_string(cursorLine) + "/" +
         std::to_string(e.CursorOffset) + " attr " + std::string(reinterpret_cast<const char*>(&e.CurAttr), sizeof(TAttr));
}

TEST_F(Editing, ProgramInputGoesInAsRunsExactlyAsCharacterByCharacter) {
  // Two editors take the same random steps; one puts bulk input in character by character.
  auto* other = new TRiRichText(form);
  other->SetParent(form);
  other->SetBounds(0, 0, 480, 360);
  TRiRichText* views[2] = {rt, other};
  int refusals[2] = {0, 0};
  for (int v = 0; v < 2; ++v) {
    views[v]->Hide();
    views[v]->RtfText()->InsertRuns = v == 0;
    views[v]->RtfText()->OnSpecialRun = [&refusals, v](TRiRTFText*, const std::string&, int) { ++refusals[v]; };
  }
  std::mt19937 rng(20250317);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto text = [&](int length) {
    static const char letters[] = "abcdefgh ijk\t\n.,\x01";
    std::string t;
    for (int i = 0; i < length; ++i) {
      const int k = pick(40);
      t += k == 0 ? '\r' : k == 1 ? '\b' : k == 2 ? '\x7f' : letters[pick(sizeof letters - 1)];
    }
    return t;
  };
  for (int step = 0; step < 1200; ++step) {
    if (step % 100 == 0) {
      TStringStream rtf("{\\rtf1 first {\\b bold} {\\v hidden} text\\par\\wplist96 item\\par second\\par\\pard "
                        "\\trowd\\cellx2000\\cellx4000\\intbl a\\cell b\\cell\\row\\pard end}");
      for (TRiRichText* view : views) {
        view->LoadFromStream(rtf);
        rtf.SetPosition(0);
        view->Reformat();
      }
    }
    // The same step for both.
    const int kind = pick(100);
    TAttr attr = rt->RtfText()->CurAttr;
    if (kind < 15) {
      attr.Font = static_cast<std::uint8_t>(pick(2));
      attr.Size = static_cast<std::uint8_t>(8 + pick(10));
      attr.Style = static_cast<std::uint8_t>(pick(256) & ~fsSelected);
      attr.Extra = static_cast<std::uint8_t>(pick(4) == 0 ? pick(256) & ~fxObject : 0);
      attr.Attr10 = static_cast<std::uint8_t>(pick(3) == 0 ? pick(256) : 0);
      attr.Tag = static_cast<std::uint16_t>(pick(3));
    }
    TProtectProps protection;
    for (int k = 0; k < 9; ++k)
      if (pick(4) == 0) protection.Include(static_cast<TProtectProp>(k));
    const bool overwrite = pick(15) == 0, keyboard = pick(6) == 0, reformat = pick(8) == 0, extend = pick(10) == 0;
    const int move = pick(12), count = pick(60) == 0 ? 9000 + pick(2000) : 2 + pick(30);
    const std::string input = text(count);
    std::string states[2];
    unsigned beeps[2] = {0, 0};
    for (int v = 0; v < 2; ++v) {
      TRiRTFTextInput& e = *views[v]->RtfText();
      if (kind < 15) e.CurAttr = attr;
      if (kind < 30) e.Protection = protection;
      e.InsertMode = !overwrite;
      if (kind >= 30 && kind < 60) e.MoveCursor(move, extend);
      if (reformat) views[v]->Reformat();
      const unsigned before = MessageBeepCount();
      if (keyboard) e.InputString(input);
      else views[v]->InputString(input);
      beeps[v] = MessageBeepCount() - before;
      states[v] = EngineState(e);
    }
    ASSERT_EQ(states[0], states[1]) << "step " << step;
    ASSERT_EQ(refusals[0], refusals[1]) << "step " << step;
    ASSERT_EQ(beeps[0], beeps[1]) << "step " << step;
  }
}

TEST_F(Editing, ReadOnlyRefusesEveryEditButCopiesAndMoves) {
  Type("fixed text");
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  rt->SetReadOnly(true);
  rt->Modified = false;
  Type("x\r\b\t");
  Key(VK_DELETE);
  Key(VK_RETURN, false, true);
  rt->InputString("more");
  rt->SetPageSize(0, 0, 0, 0, 5000, 5000);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"fixed text"}));
  EXPECT_EQ(changes, 0);
  EXPECT_FALSE(rt->Modified);
  EXPECT_EQ(E().Header().Layout.PageWidth, 12240);
  Key(VK_LEFT, true, true);
  Key(VK_INSERT, false, true);
  EXPECT_EQ(Clip(CF_TEXT).substr(0, 4), "text");
  Type("\x18");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"fixed text"}));
}

TEST_F(Editing, OverwriteModeReplacesTheCharacterUnderTheCursor) {
  Type("abcd");
  Key(VK_HOME);
  Key(VK_INSERT);
  EXPECT_FALSE(rt->Inserting());
  Type("XY");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"XYcd"}));
  // After a line break and at the end of a wrapped line the character under the cursor is the
  // next line's first one.
  rt->Clear();
  rt->InputString("ab\ncd");
  rt->Reformat();
  rt->SetCursorPos(3);
  Type("X");
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"ab\nXd"}));
  rt->Clear();
  std::string words;
  for (int i = 0; i < 30; ++i) words += "word" + std::to_string(i % 10) + " ";
  rt->InputString(words);
  rt->Reformat();
  PTLine first = E().FirstPar->FirstLine;
  ASSERT_NE(first->Next, nullptr);
  const int wrap = first->Length;
  E().CursorLine = first;  // the end of the first line, not the start of the second
  E().CursorOffset = wrap;
  Type("X");
  std::string expected = words;
  expected[static_cast<std::size_t>(wrap)] = 'X';
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{expected}));
}

TEST_F(Editing, TabsInsertATabUnlessTheEventsTakeThem) {
  int ctrlTabs = 0;
  rt->CtrlTabPressed = [&](TObject*) { ++ctrlTabs; };
  Key(VK_TAB);
  Key(VK_TAB, false, true);
  EXPECT_EQ(Paragraphs(), (std::vector<std::string>{"\t"}));
  EXPECT_EQ(ctrlTabs, 1);
}

TEST_F(Editing, SaveForUndoFiresOncePerParagraphAndForSelections) {
  int saves = 0;
  E().SaveForUNDO = [&] { ++saves; };
  Type("abc");
  EXPECT_EQ(saves, 1);
  Type("\r");
  EXPECT_EQ(saves, 1);
  Type("d");
  EXPECT_EQ(saves, 2);
  Key(VK_HOME, true);
  Type("e");
  EXPECT_EQ(saves, 3);
}

TEST_F(Editing, EmbeddedObjectsNeedAGraphic) {
  std::uint16_t tag = 65535;
  EXPECT_THROW(E().InsertObject(tag, nullptr, 100, 100), Exception);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetSize(4, 4);
  TRiObject* object = E().InsertObject(tag, std::move(bmp), 1440, 720);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(tag, object->Tag);
  EXPECT_EQ(E().ParagraphText(0), "\x01");
  EXPECT_TRUE(E().FirstPar->FirstLine->Attrs[0].Extra & fxObject);
  EXPECT_FALSE(E().CurAttr.Extra & fxObject);
}


using PicturePaste = RichTextTest;

TEST_F(PicturePaste, ABitmapOnTheClipboardGoesInAtTheCursorAsAPicture) {
  TBitmap bmp;
  bmp.SetSize(8, 6);
  bmp.Canvas()->SetPixel(2, 3, clRed);
  ASSERT_TRUE(CopyPictureToClipboard(bmp));
  Type("ab");
  Key(VK_LEFT);
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  Type("\x16");  // Ctrl+V
  ASSERT_EQ(E().ParagraphText(0), "a\x01" "b");
  const TAttr a = E().FirstPar->FirstLine->Attrs[1];
  TRiObject* o = E().ObjectOf(1, a.Tag);
  ASSERT_NE(o, nullptr);
  auto* pasted = dynamic_cast<TBitmap*>(o->Graphic.get());
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(pasted->PixelColor(2, 3), clRed);
  // 8 x 6 screen pixels in twips, and laid out at that size.
  EXPECT_EQ(o->Width, 120);
  EXPECT_EQ(o->Height, 90);
  EXPECT_EQ(a.Width, 8);
  EXPECT_EQ(E().CursorPosition(), 2);
  EXPECT_GE(changes, 1);
  // It survives a save and a load.
  TStringStream s(E().AsRtf());
  TRiRTFTextIo copy;
  copy.LoadFormat = TRiLoadFormat::FormatRTF;
  copy.LoadFromStream(s);
  const TAttr b = copy.FirstPar->FirstLine->Attrs[1];
  TRiObject* back = copy.ObjectOf(1, b.Tag);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(dynamic_cast<TBitmap*>(back->Graphic.get())->PixelColor(2, 3), clRed);
}

TEST_F(PicturePaste, AMetafileIsPastedAndTextStillWinsOverPictures) {
  TMetafile m;
  {
    TMetafileCanvas mc(&m, 16, 16);
    mc.Rectangle(0, 0, 16, 16);
  }
  ASSERT_TRUE(CopyPictureToClipboard(m));
  Type("\x16");
  ASSERT_EQ(E().ParagraphText(0), "\x01");
  TRiObject* o = E().ObjectOf(1, E().FirstPar->FirstLine->Attrs[0].Tag);
  ASSERT_NE(o, nullptr);
  EXPECT_NE(dynamic_cast<TMetafile*>(o->Graphic.get()), nullptr);
  // With text beside the picture the text is pasted.
  ASSERT_TRUE(OpenClipboard(0));
  SetClipboardData(CF_TEXT, "t");
  CloseClipboard();
  Type("\x16");
  EXPECT_EQ(E().ParagraphText(0), "\x01t");
}

TEST_F(PicturePaste, AReadOnlyViewOrDamagedPictureDataPastesNothing) {
  TBitmap bmp;
  bmp.SetSize(2, 2);
  ASSERT_TRUE(CopyPictureToClipboard(bmp));
  rt->SetReadOnly(true);
  Type("\x16");
  EXPECT_EQ(E().ParagraphText(0), "");
  rt->SetReadOnly(false);
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  SetClipboardData(CF_DIB, std::string("\x28\0\0\0garbage", 11));
  CloseClipboard();
  Type("\x16");
  EXPECT_EQ(E().ParagraphText(0), "");
  EXPECT_TRUE(E().Objects().empty());
  // An icon is no picture the document keeps.
  TIcon icon;
  EXPECT_FALSE(rt->InsertPicture(&icon));
}

TEST_F(PicturePaste, APictureTheTextRefusesChangesNothing) {
  TBitmap first, second;
  first.SetSize(8, 6);
  second.SetSize(30, 40);
  Type("a");
  ASSERT_TRUE(rt->InsertPicture(&first));
  const std::string before = E().AsRtf();
  rt->SetProtectedProp(TProtectProps{TProtectProp::ppParProtected});
  E().FirstPar->Flags |= pfProtected;
  EXPECT_FALSE(rt->InsertPicture(&second));
  ASSERT_TRUE(CopyPictureToClipboard(second));
  Type("\x16");
  E().FirstPar->Flags = pfTableCell;  // a cell that takes no more characters
  E().FirstPar->CellFlags = 0xF0;
  EXPECT_FALSE(rt->InsertPicture(&second));
  E().FirstPar->Flags = 0;
  EXPECT_EQ(E().AsRtf(), before);  // the earlier picture as it was
  EXPECT_EQ(E().Objects().size(), 1u);
}

TEST_F(PicturePaste, OnlyABitmapBecomesTheBackgroundAndItIsPaintedBehindTheText) {
  TBitmap bmp;
  bmp.SetSize(8, 8);
  bmp.Canvas()->Brush()->SetColor(clYellow);
  bmp.Canvas()->FillRect(TRect{0, 0, 8, 8});
  TPicture picture;
  picture.SetGraphic(&bmp);
  rt->InputString("text\rover\ra\rpicture");
  rt->Reformat();
  auto yellowPixels = [this] {
    int n = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 100; x < 400; x += 4) n += rt->Picture().PixelColor(x, y) == clYellow ? 1 : 0;
    return n;
  };
  EXPECT_EQ(yellowPixels(), 0);
  rt->SetBackgroundImage(&picture);
  ASSERT_NE(dynamic_cast<TBitmap*>(rt->BackgroundImage().Graphic()), nullptr);
  EXPECT_EQ(E().BackgroundImage, rt->BackgroundImage().Graphic());
  EXPECT_GT(yellowPixels(), 100);
  // A metafile is refused with a message and the bitmap stays.
  TMetafile m;
  {
    TMetafileCanvas mc(&m, 16, 16);
    mc.Rectangle(0, 0, 16, 16);
  }
  picture.SetGraphic(&m);
  rt->SetBackgroundImage(&picture);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes.back().find("Please use Bitmap."), std::string::npos);
  EXPECT_NE(dynamic_cast<TBitmap*>(rt->BackgroundImage().Graphic()), nullptr);
  rt->SetBackgroundImage(nullptr);
  EXPECT_EQ(E().BackgroundImage, nullptr);
  EXPECT_EQ(yellowPixels(), 0);
}

TEST_F(PicturePaste, TheCornerOfASelectedPictureDragsItToANewSize) {
  TBitmap bmp;
  bmp.SetSize(20, 20);
  Type("ab");
  ASSERT_TRUE(rt->InsertPicture(&bmp));
  Type("cd");
  const int resX = E().Header().ResolutionX, resY = E().Header().ResolutionY;
  E().SelectRange(2, 1);
  E().Redraw();
  PTLine line = E().FirstPar->FirstLine;
  const TAttr& a = line->Attrs[2];
  ASSERT_TRUE(a.Extra & fxObject);
  const int cornerX = E().CharX(E().FirstPar, line, 2) + a.Width + E().LeftOffset + E().HorzOffset();
  const int cornerY = line->Top + line->Ascent - E().VertOffset() + E().TopOffset;
  auto move = [&](int x, int y) {
    TPoint p{x, y};
    ClientToScreen(rt->Handle(), &p);
    InjectMouseMove(p.X, p.Y);
    Pump();
  };
  // A read-only view offers no sizing.
  rt->SetReadOnly(true);
  move(cornerX - 3, cornerY - 3);
  EXPECT_NE(rt->Cursor(), crSizeNWSE);
  rt->SetReadOnly(false);
  move(cornerX - 40, cornerY - 40);
  move(cornerX - 3, cornerY - 3);
  EXPECT_EQ(rt->Cursor(), crSizeNWSE);
  int changes = 0;
  rt->OnChange = [&](TObject*) { ++changes; };
  TPoint p{cornerX - 3, cornerY - 3};
  ClientToScreen(rt->Handle(), &p);
  InjectMouseDown(p.X, p.Y);
  Pump();
  InjectMouseMove(p.X + 30, p.Y + 10);
  Pump();
  InjectMouseUp(p.X + 30, p.Y + 10);
  Pump();
  TRiObject* object = E().ObjectOf(1, E().FirstPar->FirstLine->Attrs[2].Tag);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(object->Width, MulDiv(50, TwipsPerInch, resX));
  EXPECT_EQ(object->Height, MulDiv(30, TwipsPerInch, resY));
  EXPECT_EQ(E().FirstPar->FirstLine->Attrs[2].Width, 50);
  EXPECT_GE(E().FirstPar->FirstLine->Height, 30);
  EXPECT_EQ(E().ParagraphText(0), "ab\x01" "cd");
  EXPECT_EQ(changes, 1);
  // Dragged past the corner the other way it keeps at least two pixels.
  move(cornerX + 30 - 3, cornerY + 10 - 3);
  EXPECT_EQ(rt->Cursor(), crSizeNWSE);
  TPoint q{cornerX + 27, cornerY + 7};
  ClientToScreen(rt->Handle(), &q);
  InjectMouseDown(q.X, q.Y);
  Pump();
  InjectMouseUp(q.X - 200, q.Y - 200);
  Pump();
  EXPECT_EQ(object->Width, MulDiv(2, TwipsPerInch, resX));
  EXPECT_EQ(object->Height, MulDiv(2, TwipsPerInch, resY));
}

}  // namespace
}  // namespace tw::richtext::testing
