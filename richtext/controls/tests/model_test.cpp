// Random editing checked against a plain string: typing, Return, Backspace, Delete, deleting and
// typing over selections, formatting and cursor moves, and a save to RTF and load back now and then.
#include <algorithm>
#include <random>

#include "platform/classes/streams.h"
#include "platform/gfx/graphic.h"
#include "richtext/controls/textfinder.h"
#include "richtext/controls/tests/fixture.h"

namespace tw::richtext::testing {
namespace {

// The document's text with paragraph ends as `end`.
std::string DocText(TRiRTFTextInput& e, char end = '\n') {
  std::string s;
  for (int i = 0; i < e.ParagraphCount(); ++i) {
    if (i > 0) s += end;
    s += e.ParagraphText(i);
  }
  return s;
}

// Broken records: lengths beyond capacities, missing terminators or attribute arrays, bad links.
std::string Structure(TRiRTFTextInput& e) {
  PTParagraph prev = nullptr;
  int n = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; prev = p, p = p->Next, ++n) {
    if (p->Prev != prev) return "paragraph " + std::to_string(n) + " has a wrong back link";
    if (p->FirstLine == nullptr) return "paragraph " + std::to_string(n) + " has no line";
    PTLine lprev = nullptr;
    for (PTLine l = p->FirstLine; l != nullptr; lprev = l, l = l->Next) {
      if (l->Prev != lprev) return "a line of paragraph " + std::to_string(n) + " has a wrong back link";
      if (l->Length >= l->Capacity || l->Buffer.size() < l->Capacity) return "line length beyond its capacity";
      if (l->Buffer[l->Length] != 0) return "line text not terminated";
      if (e.Header().AttributesInUse && l->Attrs.size() < l->Capacity) return "line without its attributes";
    }
  }
  if (n == 0) return "no paragraph";
  return "";
}

// One character's visible attributes.
std::string AttrKey(const TAttr& a) {
  return std::to_string(a.Font) + "/" + std::to_string(a.Colors) + "/" + std::to_string(a.Points()) + "/" +
         std::to_string(a.Style) + "/" + std::to_string(a.Extra);
}

// Text, character attributes and paragraph properties, for comparing a document with its reloaded copy.
std::string Fingerprint(TRiRTFTextInput& e) {
  std::string s;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    // A cell's rows carry its left indent only: its first line starts there.
    s += "[" + std::to_string(p->Alignment) + " " + std::to_string(p->IsCell() ? p->LeftIndent : p->FirstIndent) + " " +
         std::to_string(p->LeftIndent) + " " + std::to_string(p->RightIndent) + " sb" + std::to_string(p->SpaceBefore) +
         " sa" + std::to_string(p->SpaceAfter) + " shade" + std::to_string(p->Shading) + "/" +
         std::to_string(p->Shading == 0 ? 0 : p->ShadingPercent) + " tabs";  // colours 0: no shading
    std::vector<std::pair<int, int>> tabs;  // in the order of their positions, not of their slots
    for (int i = 0; i < MaxTabs; ++i)
      if ((p->Tabs & (TTabSet{1} << i)) && e.Header().TabPos[static_cast<std::size_t>(i)] != 0)
        tabs.emplace_back(e.Header().TabPos[static_cast<std::size_t>(i)],
                          static_cast<int>(e.Header().TabKinds[static_cast<std::size_t>(i)]));
    std::sort(tabs.begin(), tabs.end());
    for (const auto& [at, kind] : tabs) s += " " + std::to_string(at) + "/" + std::to_string(kind);
    s += "]";
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
      for (int i = 0; i < l->Length; ++i) {
        s += static_cast<char>(l->Ch(i));
        if (l->HasAttrs()) s += "{" + AttrKey(l->Attrs[static_cast<std::size_t>(i)]) + "}";
      }
    s += "\n";
  }
  return s;
}

class EditModel : public RichTextTest {
 protected:
  // Saves the document, loads it back into the emptied editor, lays it out and returns what
  // was saved.
  std::string SaveAndLoad() {
    rt->Reformat();
    TStringStream out("");
    E().SaveToStream(out);
    rt->Clear();
    TStringStream in(out.DataString());
    E().LoadFromStream(in);
    rt->Reformat();
    return out.DataString();
  }
  // Selects a random range, perhaps empty, of a document of `len` characters.
  void SelectRandomRange(std::mt19937& rng, int len) {
    std::uniform_int_distribution<int> place(0, len);
    const int a = place(rng), b = place(rng);
    E().SelectRange(std::min(a, b), std::abs(a - b));
  }
  // Places the cursor at a random position or moves it with a random cursor key (extending a
  // selection now and then, which is kept when `keepSelection`); returns what it did, or ""
  // when a placed cursor did not land where it was sent.
  std::string PlaceOrMove(std::mt19937& rng, bool place, bool keepSelection) {
    static const int moves[] = {cmCharLeft, cmCharRight, cmLineUp,  cmLineDown, cmLineStart,
                                cmLineEnd,  cmWordLeft,  cmWordRight, cmDocStart, cmDocEnd};
    auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    if (place) {
      const int p = pick(static_cast<int>(DocText(E()).size()) + 1);
      rt->SetCursorPos(p);
      return E().CursorPosition() == p ? "place " + std::to_string(p) : "";
    }
    const int m = moves[pick(10)];
    E().MoveCursor(m, pick(4) == 0);
    if (!keepSelection || pick(2) == 0) E().ClearSelection();
    return "move " + std::to_string(m);
  }
};

TEST_F(EditModel, RandomEditsKeepTheTextOfASimpleModelAndSurviveASaveAndLoad) {
  rt->Hide();
  std::mt19937 rng(7117);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char chars[] = {'a', 'b', 'X', ' ', ' ', '\t', '1', '\xe4', '\xc4', '\x80', '\xdf', '.', '\\', '{', '}', '\n'};
  std::string model;
  // Every other document gets few paragraph breaks: long paragraphs over wrapped lines.
  int returnRarity = 1;
  for (int step = 0; step < 6000; ++step) {
    if (step % 1000 == 0) {
      // The last block keeps no attributes (plain memory format, saved as plain text).
      rt->SetMemoryFormat(step == 5000 ? TRiMemoryFormat::fmPlainText : TRiMemoryFormat::fmRichText);
      rt->Clear();
      model.clear();
      returnRarity = step % 2000 == 0 ? 1 : 20;
    }
    const int len = static_cast<int>(model.size());
    int pos = E().CursorPosition();
    ASSERT_GE(pos, 0);
    ASSERT_LE(pos, len) << "step " << step;
    const int kind = pick(100);
    std::string what;
    if (kind < 30) {
      const char c = chars[pick(sizeof chars)];
      // Now and then in overwrite mode: the character under the cursor is replaced, a paragraph
      // end is not.
      const bool overwrite = pick(5) == 0;
      what = overwrite ? "overwrite" : "type";
      E().InsertMode = !overwrite;
      E().InputString(std::string(1, c));
      E().InsertMode = true;
      if (overwrite && pos < len && model[static_cast<std::size_t>(pos)] != '\r')
        model[static_cast<std::size_t>(pos)] = c;
      else
        model.insert(static_cast<std::size_t>(pos), 1, c);
    } else if (kind < 34) {
      // A longer run given at once, laid out by the caller.
      std::string run;
      for (int i = 0, n = 1 + pick(30); i < n; ++i) run += pick(8) == 0 ? '\r' : chars[pick(sizeof chars)];
      what = "run";
      rt->InputString(run);
      rt->Reformat();
      model.insert(static_cast<std::size_t>(pos), run);
    } else if (kind < 42 && pick(returnRarity) == 0) {
      what = "Return";
      E().InputString("\r");
      model.insert(static_cast<std::size_t>(pos), 1, '\r');
    } else if (kind < 52) {
      what = "Backspace";
      E().InputString("\b");
      if (pos > 0) model.erase(static_cast<std::size_t>(pos - 1), 1);
    } else if (kind < 60) {
      what = "Delete";
      E().InputString("\x7f");
      if (pos < len) model.erase(static_cast<std::size_t>(pos), 1);
    } else if (kind < 64) {
      const int n = 1 + pick(4);
      what = "DeleteForward " + std::to_string(n);
      E().DeleteForward(n);
      model.erase(static_cast<std::size_t>(pos), static_cast<std::size_t>(std::min(n, len - pos)));
    } else if (kind < 72 && len > 0) {
      // A selection, deleted or typed over.
      const int a = pick(len + 1), b = pick(len + 1);
      const int from = std::min(a, b), count = std::abs(a - b);
      E().SelectRange(from, count);
      if (count > 0) {
        int s = -1, l = -1;
        ASSERT_TRUE(E().GetSelection(s, l)) << "step " << step;
        ASSERT_EQ(s, from) << "step " << step;
        ASSERT_EQ(l, count) << "step " << step;
      }
      if (pick(2) == 0) {
        what = "delete selection " + std::to_string(from) + "+" + std::to_string(count);
        rt->DeleteSelection();
        model.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
        if (count > 0) {
          ASSERT_EQ(E().CursorPosition(), from) << "step " << step;
        }
      } else {
        what = "type over " + std::to_string(from) + "+" + std::to_string(count);
        E().InputString("Z");
        if (count == 0) {
          model.insert(static_cast<std::size_t>(pos), 1, 'Z');
        } else {
          model.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
          model.insert(static_cast<std::size_t>(from), 1, 'Z');
          ASSERT_EQ(E().CursorPosition(), from + 1) << "step " << step;
        }
      }
    } else if (kind < 78 && len > 0) {
      // Formatting of a selection or the cursor paragraph.
      SelectRandomRange(rng, len);
      what = "format";
      switch (pick(6)) {
        case 0: {
          TAttr attr = E().CurAttr;
          attr.Style = static_cast<std::uint16_t>(pick(2) ? fsBold : fsItalic);
          E().SetAttr(attr, static_cast<std::uint16_t>(pick(2) ? 16 : 128));
          break;
        }
        case 1: E().SetAlignment(pick(4)); break;
        case 2: E().SetIndents(false, 20 * pick(40), 20 * pick(40), 20 * pick(20)); break;
        case 3: {
          TAttr attr = E().CurAttr;
          attr.Size = static_cast<std::uint8_t>(8 + pick(20));
          E().SetAttr(attr, 2);
          break;
        }
        case 4: {
          static const TTabKind kinds[] = {TTabKind::tkLeft, TTabKind::tkRight, TTabKind::tkCenter, TTabKind::tkDecimal};
          E().SetTabs(E().Header().AddTab(360 * (1 + pick(12)), kinds[pick(4)]), pick(3) == 0);
          break;
        }
        default: {
          // Shading as RTF holds it: none, a percentage with both colours, or full with the
          // pattern colour alone.
          const int kind = pick(3);
          E().SetShading(kind == 0 ? 0 : kind == 1 ? 10 * (1 + pick(9)) : 100,
                         kind == 0 ? 0 : kind == 1 ? 1 + pick(255) : 1 + pick(15));
          break;
        }
      }
      E().ClearSelection();
    } else if (kind < 81 && len > 0) {
      // Copy or cut a range and paste it somewhere.
      const int a = pick(len + 1), b = pick(len + 1);
      const int from = std::min(a, b), count = std::abs(a - b);
      if (count == 0) continue;
      E().SelectRange(from, count);
      const std::string piece = model.substr(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
      const bool cut = pick(2) == 0;
      if (cut) {
        rt->CutToClipboard();
        model.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
      } else {
        rt->CopyToClipboard();
        E().ClearSelection();
      }
      const int at = pick(static_cast<int>(model.size()) + 1);
      rt->SetCursorPos(at);
      rt->PasteFromClipboard();
      model.insert(static_cast<std::size_t>(at), piece);
      what = std::string(cut ? "cut " : "copy ") + std::to_string(from) + "+" + std::to_string(count) + " paste at " +
             std::to_string(at);
    } else if (kind < 96) {
      what = PlaceOrMove(rng, kind < 84, false);
      ASSERT_NE(what, "") << "step " << step;
    } else {
      // Save and load back: the same text, attributes and paragraph properties.
      what = "save and load";
      rt->Reformat();
      const std::string before = Fingerprint(E());
      const std::string saved = SaveAndLoad();
      // An empty document is saved as nothing and comes back with default paragraph properties.
      // Plain text keeps only the text.
      if (!model.empty() && rt->MemoryFormat() == TRiMemoryFormat::fmRichText) {
        ASSERT_EQ(Fingerprint(E()), before) << "step " << step << "\n" << saved;
      }
      // In plain text a line break reads back as a paragraph end.
      if (rt->MemoryFormat() == TRiMemoryFormat::fmPlainText) std::replace(model.begin(), model.end(), '\n', '\r');
    }
    ASSERT_EQ(DocText(E(), '\r'), model) << "step " << step << " (" << what << ")";
    ASSERT_EQ(Structure(E()), "") << "step " << step << " (" << what << ")";
  }
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

// Lower case of the Windows ANSI code page.
unsigned char AnsiLower(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<unsigned char>(c + 32);
  if (c == 0x8A || c == 0x8C || c == 0x8E) return static_cast<unsigned char>(c + 16);
  if (c == 0x9F) return 0xFF;
  return c;
}

bool WordChar(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 192 || c == 138 || c == 140 || c == 154 ||
         c == 156 || c == 159;
}

// The first hit at or after from in the text (paragraph ends as "\n"), or -1.
int ModelFind(const std::string& text, const std::string& pattern, int from, bool matchCase, bool wholeWord) {
  const int n = static_cast<int>(text.size()), m = static_cast<int>(pattern.size());
  for (int at = from; at + m <= n; ++at) {
    bool ok = true;
    for (int k = 0; k < m && ok; ++k) {
      const auto t = static_cast<unsigned char>(text[static_cast<std::size_t>(at + k)]);
      const auto p = static_cast<unsigned char>(pattern[static_cast<std::size_t>(k)]);
      ok = t != '\n' && (matchCase ? t == p : AnsiLower(t) == AnsiLower(p));
    }
    if (ok && wholeWord) {
      if (at > 0 && WordChar(static_cast<unsigned char>(text[static_cast<std::size_t>(at - 1)]))) ok = false;
      if (at + m < n && WordChar(static_cast<unsigned char>(text[static_cast<std::size_t>(at + m)]))) ok = false;
    }
    if (ok) return at;
  }
  return -1;
}

using FindModel = RichTextTest;

TEST_F(FindModel, FindNextFindPreviousAndReplaceAllAgreeWithAPlainStringSearch) {
  rt->Hide();
  std::mt19937 rng(4242);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  static const char chars[] = {'a', 'A', 'b', ' ', '\xe4', '\xc4', '\x8a', '\x9a', '1', '\n'};
  auto word = [&](int maxLen) {
    std::string s;
    for (int i = 0, n = 1 + pick(maxLen); i < n; ++i) s += chars[pick(sizeof chars - 1)];
    return s;
  };
  for (int round = 0; round < 400; ++round) {
    // Every other document has long paragraphs over several wrapped lines.
    std::string text;
    const bool longPars = round % 2 == 1;
    for (int i = 0, n = pick(longPars ? 600 : 60); i < n; ++i)
      text += chars[pick(longPars && pick(20) != 0 ? sizeof chars - 1 : sizeof chars)];
    rt->Clear();
    std::string input = text;
    for (char& c : input)
      if (c == '\n') c = '\r';
    rt->InputString(input);
    rt->Reformat();
    ASSERT_EQ(DocText(E()), text);
    TRiTextFinder f;
    f.Bind(&E());
    f.CaseSensitive = pick(2) == 0;
    f.WholeWord = pick(3) == 0;
    const std::string pattern = word(3);
    // Forwards over the whole document.
    std::vector<int> hits;
    for (int at = ModelFind(text, pattern, 0, f.CaseSensitive, f.WholeWord); at >= 0;
         at = ModelFind(text, pattern, at + static_cast<int>(pattern.size()), f.CaseSensitive, f.WholeWord))
      hits.push_back(at);
    for (int h : hits) {
      ASSERT_TRUE(f.FindNext(pattern)) << "round " << round;
      ASSERT_EQ(f.FoundPosition(), h) << "round " << round;
      ASSERT_EQ(f.FoundLength(), static_cast<int>(pattern.size()));
    }
    ASSERT_FALSE(f.FindNext(pattern)) << "round " << round;
    // Backwards from the end: every hit start, the last first.
    std::vector<int> starts;
    for (int at = ModelFind(text, pattern, 0, f.CaseSensitive, f.WholeWord); at >= 0;
         at = ModelFind(text, pattern, at + 1, f.CaseSensitive, f.WholeWord))
      starts.push_back(at);
    f.SetPosition(static_cast<int>(text.size()));
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      ASSERT_TRUE(f.FindPrevious(pattern)) << "round " << round;
      ASSERT_EQ(f.FoundPosition(), *it) << "round " << round;
    }
    ASSERT_FALSE(f.FindPrevious(pattern)) << "round " << round;
    // Replace all, the replacement now and then holding the pattern.
    std::string replacement = pick(3) == 0 ? word(2) + pattern : pick(4) == 0 ? std::string() : word(3);
    replacement.erase(std::remove(replacement.begin(), replacement.end(), '\n'), replacement.end());
    std::string model = text;
    int count = 0;
    for (int at = ModelFind(model, pattern, 0, f.CaseSensitive, f.WholeWord); at >= 0;
         at = ModelFind(model, pattern, at + static_cast<int>(replacement.size()), f.CaseSensitive, f.WholeWord)) {
      model.replace(static_cast<std::size_t>(at), pattern.size(), replacement);
      ++count;
    }
    f.SetPosition(0);
    f.Replacement = replacement;
    ASSERT_EQ(f.ReplaceAll(pattern), count) << "round " << round << " '" << text << "' " << pattern << " -> "
                                            << replacement;
    ASSERT_EQ(DocText(E()), model) << "round " << round;
    ASSERT_EQ(Structure(E()), "");
  }
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

// Characters of the document, paragraph ends counting one.
int CharCount(TRiRTFTextInput& e) { return static_cast<int>(DocText(e).size()); }

int CellCount(TRiRTFTextInput& e) {
  int n = 0;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) n += p->IsCell();
  return n;
}

// Paragraphs with their table flags and the cursor, for failure messages.
std::string Dump(TRiRTFTextInput& e) {
  std::string s;
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next) {
    s += "flags " + std::to_string(p->Flags) + (p == e.CursorPar ? " cursor " + std::to_string(e.CursorOffset) : "") +
         ": ";
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) s += l->Str() + "|";
    s += "\n";
  }
  return s;
}

// Rows of cells end with a last cell; "" when they do.
std::string Rows(TRiRTFTextInput& e) {
  for (PTParagraph p = e.FirstPar; p != nullptr; p = p->Next)
    if (p->IsCell() && (p->Next == nullptr || !p->Next->IsCell()) && !(p->Flags & pfLastCell))
      return "a row ends without its last cell: " + p->FirstLine->Str();
  return "";
}

TEST_F(EditModel, RandomEditsOverTablesListsAndLinksKeepTheCellsAndSaveTheSameTwice) {
  rt->Hide();
  std::mt19937 rng(99);
  auto pick = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
  auto fresh = [this] {
    rt->Clear();
    TStringStream rtf(
        "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1 Times New Roman;}}{\\colortbl;\\red255\\green0\\blue0;}"
        "intro {\\b bold} {\\cf1 red \\u8364? euro} \\'e4\\par\\wplist96 one\\par two\\par\\pard "
        "\\trowd\\cellx2000\\cellx4000\\intbl a1\\cell b1\\cell\\row"
        "\\trowd\\cellx3000\\cellx4000\\cellx6000\\intbl a2\\cell\\cell c2\\cell\\row\\pard "
        "\\tx1000\\tqr\\tx3000 tab\\tone\\ttwo\\par\\pard\\qc\\li400 end}");
    E().LoadFromStream(rtf);
    UpdateListNumbers(E());
    rt->Reformat();
  };
  static const char chars[] = {'a', 'b', ' ', '\t', '\xe4', '\x80'};
  int cells = 0;
  for (int step = 0; step < 4000; ++step) {
    if (step % 400 == 0) {
      fresh();
      cells = CellCount(E());
      ASSERT_EQ(cells, 5);
    }
    const int len = CharCount(E());
    const int kind = pick(100);
    std::string what;
    // A selection left by Shift and a cursor key is deleted by the next edit.
    bool cellsMayGo = E().HasSelection();
    const std::string was = Dump(E());
    if (kind < 25) {
      what = "type";
      E().InputString(std::string(1, chars[pick(sizeof chars)]));
    } else if (kind < 33) {
      what = "Return";
      E().InputString("\r");
    } else if (kind < 43) {
      what = "Backspace";
      E().InputString("\b");
    } else if (kind < 53) {
      what = "Delete";
      E().InputString("\x7f");
    } else if (kind < 60) {
      const int a = pick(len + 1), b = pick(len + 1);
      what = "delete selection " + std::to_string(std::min(a, b)) + "+" + std::to_string(std::abs(a - b));
      E().SelectRange(std::min(a, b), std::abs(a - b));
      cellsMayGo = true;
      if (pick(2) == 0) {
        rt->DeleteSelection();
      } else {
        E().InputString("Z");
      }
    } else if (kind < 66) {
      SelectRandomRange(rng, len);
      what = "format";
      switch (pick(4)) {
        case 0: {
          TAttr attr = E().CurAttr;
          static const std::uint8_t styles[] = {fsBold, fsUnderline, fsLink, fsStrikeOut, fsSuper, fsItalic};
          attr.Style = styles[pick(6)];
          E().SetAttr(attr, static_cast<std::uint16_t>(pick(2) ? 16 : 128));
          break;
        }
        case 1: E().SetAlignment(pick(4)); break;
        case 2: E().SetIndents(false, 20 * pick(40), 20 * pick(40), 20 * pick(20)); break;
        default: {
          TAttr attr = E().CurAttr;
          attr.Font = static_cast<std::uint8_t>(pick(2));
          attr.SetTextColor(pick(3));
          E().SetAttr(attr, 1 | 4);
          break;
        }
      }
      E().ClearSelection();
    } else if (kind < 92) {
      what = PlaceOrMove(rng, kind < 75, true);
      ASSERT_NE(what, "") << "step " << step;
    } else if (kind < 93) {
      // A range copied and pasted somewhere: rows come as rows, never into a cell.
      const int a = pick(len + 1), b = pick(len + 1);
      E().SelectRange(std::min(a, b), std::abs(a - b));
      rt->CopyToClipboard();
      rt->SetCursorPos(pick(len + 1));
      rt->PasteFromClipboard();
      what = "copy and paste";
      cellsMayGo = true;
    } else if (kind < 95) {
      what = "picture";
      TBitmap bmp;
      bmp.SetSize(8 + pick(8), 6);
      rt->InsertPicture(&bmp);
    } else {
      what = "save and load";
      rt->Reformat();
      const std::string before = Fingerprint(E());
      const std::string saved = SaveAndLoad();
      if (len > 0) {
        ASSERT_EQ(Fingerprint(E()), before) << "step " << step << "\n" << saved;
      }
      TStringStream again("");
      E().SaveToStream(again);
      ASSERT_EQ(again.DataString(), saved) << "step " << step;
    }
    ASSERT_EQ(Structure(E()), "") << "step " << step << " (" << what << ")";
    ASSERT_EQ(Rows(E()), "") << "step " << step << " (" << what << ")\n" << was << "\n" << Dump(E());
    ASSERT_EQ(E().CurAttr.Extra & fxObject, 0) << "step " << step << " (" << what << ")";
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
        for (int i = 0; i < l->Length; ++i)
          ASSERT_TRUE(l->Ch(i) <= 2 || !(l->Attrs[static_cast<std::size_t>(i)].Extra & fxObject))
              << "step " << step << " (" << what << ") " << l->Str() << " at " << i << "\n" << was;
    const int now = CellCount(E());
    if (!cellsMayGo) {
      ASSERT_EQ(now, cells) << "step " << step << " (" << what << ")\n" << was << "\n" << Dump(E());
    }
    cells = now;
    const int pos = E().CursorPosition();
    ASSERT_GE(pos, 0);
    ASSERT_LE(pos, CharCount(E())) << "step " << step << " (" << what << ")";
  }
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

using CaretModel = RichTextTest;

// Absolute position of a place (paragraph ends count one).
int AbsoluteOf(TRiRTFTextInput& e, PTParagraph par, PTLine line, int offset) {
  int pos = 0;
  for (PTParagraph p = e.FirstPar; p != par; p = p->Next) pos += TRiRTFText::ParagraphLength(p) + 1;
  for (PTLine l = par->FirstLine; l != line; l = l->Next) pos += l->Length;
  return pos + offset;
}

TEST_F(CaretModel, ClicksAndCursorKeysReachEveryPlaceOfWrappedEmptyAndLastLines) {
  std::string long1;
  for (int i = 0; i < 40; ++i) long1 += "word" + std::to_string(i) + (i % 7 == 6 ? "\t" : " ");
  rt->InputString("short\r\r" + long1 + "\r\tx\ty\r" + long1 + "end\r");
  rt->Reformat();
  // Pictures in a short and in a wrapped paragraph.
  for (int at : {2, 40}) {
    TBitmap bmp;
    bmp.SetSize(24, 30);
    rt->SetCursorPos(at);
    ASSERT_TRUE(rt->InsertPicture(&bmp));
  }
  rt->Reformat();
  ASSERT_NE(E().ParagraphByIndex(2)->FirstLine->Next, nullptr) << "the long paragraph wraps";
  const int total = static_cast<int>(DocText(E()).size());
  // A click on every character and line end puts the cursor there, in every alignment.
  for (int align : {1, 2, 3, 0}) {
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next) {
      p->Alignment = static_cast<std::uint8_t>(align);
      p->Mark();
    }
    rt->Reformat();
    for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
      for (PTLine l = p->FirstLine; l != nullptr; l = l->Next)
        for (int i = 0; i <= l->Length; ++i) {
          const int want = AbsoluteOf(E(), p, l, i);
          E().SetCursor(want == 0 ? total : 0, 0, 0, 0);  // somewhere else
          // Just right of the place's left edge (a picture is entered by a click on it).
          const int x = E().CharX(p, l, i) + E().LeftOffset + E().HorzOffset() + 1;
          const int y = l->Top - E().VertOffset() + E().TopOffset + l->Height / 2;
          E().MouseToCursor(x, y, false, false);
          ASSERT_EQ(E().CursorPosition(), want) << "line of paragraph " << E().ParagraphNumber(p) << " index " << i
                                                << " alignment " << align;
        }
  }
  // Character steps visit every position once, forwards and backwards, and stop at both ends.
  E().MoveCursor(cmDocStart, false);
  for (int pos = 0; pos < total; ++pos) {
    ASSERT_EQ(E().CursorPosition(), pos);
    E().MoveCursor(cmCharRight, false);
  }
  ASSERT_EQ(E().CursorPosition(), total);
  E().MoveCursor(cmCharRight, false);
  ASSERT_EQ(E().CursorPosition(), total);
  for (int pos = total; pos > 0; --pos) {
    ASSERT_EQ(E().CursorPosition(), pos);
    E().MoveCursor(cmCharLeft, false);
  }
  E().MoveCursor(cmCharLeft, false);
  ASSERT_EQ(E().CursorPosition(), 0);
  // Line steps go through every display line once and keep the column where the line has it.
  int lines = 0;
  for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) ++lines;
  for (int column : {0, 3}) {
    E().SetCursor(column, 0, 0, 0);
    const int column0 = E().CharX(E().CursorPar, E().CursorLine, E().CursorOffset);
    PTLine seen = E().CursorLine;
    for (int i = 1; i < lines; ++i) {
      E().MoveCursor(cmLineDown, false);
      ASSERT_NE(E().CursorLine, seen) << "line " << i;
      seen = E().CursorLine;
      ASSERT_LE(E().CursorOffset, E().CursorLine->Length);
      // The column stays where the line reaches it: the cursor stands at the character nearest
      // to it (within one character's width; lines with pictures are left out).
      const std::string text = E().CursorLine->Str();
      const bool picture = text.find('\x01') != std::string::npos;
      const int x = E().CharX(E().CursorPar, E().CursorLine, E().CursorOffset);
      if (!picture && E().CharX(E().CursorPar, E().CursorLine, E().CursorLine->Length) > column0 + 16) {
        ASSERT_LE(std::abs(x - column0), 12) << "line " << i << ": " << text;
      }
    }
    ASSERT_EQ(E().CursorPar, E().LastParagraph());
    E().MoveCursor(cmLineDown, false);
    ASSERT_EQ(E().CursorPar, E().LastParagraph());
    for (int i = 1; i < lines; ++i) E().MoveCursor(cmLineUp, false);
    ASSERT_EQ(E().CursorLine, E().FirstPar->FirstLine);
  }
  // Line end and line start of each display line.
  for (PTParagraph p = E().FirstPar; p != nullptr; p = p->Next)
    for (PTLine l = p->FirstLine; l != nullptr; l = l->Next) {
      E().SetCursor(AbsoluteOf(E(), p, l, 0), 0, 0, 0);
      if (E().CursorLine != l) continue;  // a wrapped line's start is the line before's end
      E().MoveCursor(cmLineEnd, false);
      // A wrapped line ends before the blank it was broken at.
      const bool blank = l->Next != nullptr && l->Length > 0 && l->Ch(l->Length - 1) == ' ';
      ASSERT_EQ(E().CursorPosition(), AbsoluteOf(E(), p, l, l->Length - (blank ? 1 : 0)));
      E().MoveCursor(cmLineStart, false);
      ASSERT_EQ(E().CursorPosition(), AbsoluteOf(E(), p, l, 0));
    }
  E().MoveCursor(cmDocEnd, false);
  ASSERT_EQ(E().CursorPosition(), total);
}

}  // namespace
}  // namespace tw::richtext::testing

namespace tw::richtext::testing {
namespace {

TEST_F(EditModel, DeletingAnyRangeOverTablesAndListsKeepsTheTextAroundItAndWholeRows) {
  rt->Hide();
  const char* source =
      "{\\rtf1 ab\\par\\wplist96 one\\par two\\par\\pard \\trowd\\cellx2000\\cellx4000\\intbl c1\\cell d1\\cell\\row"
      "\\trowd\\cellx2000\\cellx4000\\intbl c2\\cell d2\\cell\\row\\pard ef\\par gh}";
  auto load = [&] {
    rt->Clear();
    TStringStream rtf(source);
    E().LoadFromStream(rtf);
    UpdateListNumbers(E());
    rt->Reformat();
  };
  load();
  const std::string whole = DocText(E());
  const int len = static_cast<int>(whole.size());
  const int cells = CellCount(E());
  // Places inside a generated list number ("1.\t"): ranges beginning or ending there are left out.
  std::vector<bool> inNumber(static_cast<std::size_t>(len) + 1, false);
  for (int i = 0; i + 2 < len; ++i)
    if ((i == 0 || whole[static_cast<std::size_t>(i) - 1] == '\n') && whole[static_cast<std::size_t>(i) + 1] == '.' &&
        whole[static_cast<std::size_t>(i) + 2] == '\t')
      inNumber[static_cast<std::size_t>(i) + 1] = inNumber[static_cast<std::size_t>(i) + 2] = true;
  for (int from = 0; from <= len; ++from)
    for (int to = from + 1; to <= len; ++to) {
      if (inNumber[static_cast<std::size_t>(from)] || inNumber[static_cast<std::size_t>(to)]) continue;
      load();
      // Forwards by position and deleted, or backwards by Shift+Left and deleted by the Delete key.
      const bool backwards = (from + to) % 2 == 1;
      if (backwards) {
        rt->SetCursorPos(to);
        for (int i = from; i < to; ++i) E().MoveCursor(cmCharLeft, true);
      } else {
        E().SelectRange(from, to - from);
      }
      // An end inside a cell takes in the whole cell: the range is what was selected.
      int start = 0, length = 0;
      if (!E().GetSelection(start, length)) continue;  // a step left out of a cell selects nothing new
      if (backwards) {
        E().InputString("\x7f");
      } else {
        rt->DeleteSelection();
      }
      const std::string what = "deleting " + std::to_string(from) + ".." + std::to_string(to) + " selected " +
                               std::to_string(start) + "+" + std::to_string(length);
      if (!backwards) {
        ASSERT_LE(start, from) << what;
        ASSERT_GE(start + length, to) << what;
      }
      ASSERT_EQ(Structure(E()), "") << what;
      ASSERT_EQ(Rows(E()), "") << what << "\n" << Dump(E());
      // What stood before and after the range is still there; in between at most paragraph
      // ends of emptied cells (and list numbers given anew).
      const std::string now = DocText(E());
      const std::string head = whole.substr(0, static_cast<std::size_t>(start));
      const std::string tail = whole.substr(static_cast<std::size_t>(start + length));
      ASSERT_GE(now.size(), std::min(head.size() + tail.size(), now.size())) << what;
      std::string rest = now;
      auto strip = [](std::string s) {
        // List numbers ("1.\t") may be given anew; compare without them.
        std::string out;
        for (std::size_t i = 0; i < s.size(); ++i) {
          if ((i == 0 || s[i - 1] == '\n') && i + 2 < s.size() && s[i] >= '1' && s[i] <= '9' && s[i + 1] == '.' &&
              s[i + 2] == '\t') {
            i += 2;
            continue;
          }
          out += s[i];
        }
        return out;
      };
      const std::string plainNow = strip(now), plainHead = strip(head), plainTail = strip(tail);
      ASSERT_EQ(plainNow.substr(0, std::min(plainNow.size(), plainHead.size())), plainHead.substr(0, std::min(plainNow.size(), plainHead.size()))) << what << "\n" << Dump(E());
      ASSERT_GE(plainNow.size(), plainTail.size()) << what << "\n" << Dump(E());
      ASSERT_EQ(plainNow.substr(plainNow.size() - plainTail.size()), plainTail) << what << "\n" << Dump(E());
      ASSERT_LE(CellCount(E()), cells) << what;
    }
}

}  // namespace
}  // namespace tw::richtext::testing
