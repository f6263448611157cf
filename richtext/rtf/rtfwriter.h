// The RTF writer: the document walk of TRiTextWriter with operations that produce Rich Text
// Format and the engine's own control words.  Paragraph properties are written incrementally:
// a stack of open groups remembers what was written inside each.
#pragma once

#include <array>
#include <vector>

#include "richtext/document/textwriter.h"

namespace tw::richtext {

class TRiRTFWriter : public TRiTextWriter {
  TW_CLASS(TRiRTFWriter, TRiTextWriter)
 public:
  TRiRTFWriter() = default;

  std::uint8_t WriteCharAttr() override;
  std::uint8_t WriteChars(int count) override;
  std::uint8_t ParagraphEnd() override;
  std::uint8_t WriteParagraphProps() override;
  std::uint8_t WritePicture(int tag, int number) override;
  std::uint8_t WriteFootnote(int id) override;
  std::uint8_t WriteHeader(TStream* stream) override;
  std::uint8_t WriteTrailer() override;

  bool HelpBitmapRefs = false;
  bool NoProtectionMarks = false;

  // Escapes text for RTF: braces and backslashes, tabs, line breaks and bytes outside 32..126.
  static void AppendEscaped(std::string& out, const char* text, std::size_t count);

 private:
  enum GroupKind { gkBase, gkTab, gkTable, gkBorder };
  struct CellDef {
    std::uint8_t BorderFlags, BorderWidth, BorderColor, CellEnd, Shading, ShadingPercent;
    std::int32_t SpaceBefore, LineSpacing;
    std::int32_t Left, Right;  // the row's left edge and the room right of its last cell
    bool operator==(const CellDef&) const = default;
  };
  struct Group {
    GroupKind Kind = gkBase;
    TParagraph Props;  // what has been written inside this group (links unused)
    bool Table = false;
  };

  void OpenGroup(GroupKind kind);
  // Pops groups down to and including the innermost of `kind`, or down to the base group.
  void CloseDownTo(GroupKind kind);
  std::uint8_t Flush();
  void AppendTabs(const TParagraph& p);
  std::vector<CellDef> RowDefinition(PTParagraph first) const;
  static bool IsRowEnd(const TParagraph* p) { return p->IsCell() && !(p->Flags & pfRowGoesOn); }
  // The last cell written of its row: the row's last cell, or the last paragraph of a range
  // that ends inside the row (a copy of part of a row is a whole row of the cells copied).
  bool EndsWrittenRow(const TParagraph* p) const { return IsRowEnd(p) || (p->IsCell() && p == EndPar); }
  // A range inside one table cell is written as text, not as a table of one cell: copied text
  // pasted elsewhere stays text.
  bool CellAsText(const TParagraph* p) const { return p->IsCell() && EndPar != nullptr && p == StartPar && p == EndPar; }
  // A cell's edge in twips from the margin: at `byte` 255ths of its row's width.
  std::int64_t CellEdge(const TParagraph& c, int byte) const;
  // Writes a run's characters; in a symbol font a byte above 127 goes as its Unicode character
  // (with the byte as the fallback), as other readers take such a byte for a symbol.
  void AppendRunText(std::string& out, const char* text, std::size_t count) const;
  bool StartsRow(const TParagraph* p) const;
  // Forgets what "\pard" resets: alignment, list byte, tab stops, keep-together and spacing.
  static void ParagraphDefaults(TParagraph& props);

  std::vector<Group> groups_;
  std::vector<CellDef> cells_;
  std::int32_t tableWidth_ = 0;
  std::string pending_;
  bool rawOpen_ = false;
  bool hiddenOpen_ = false;   // hidden text is in effect outside a script group
  bool scriptOpen_ = false;   // a superscript or subscript run's group is open
  // Ends raw RTF and then the script group, whichever is open.
  void CloseRun(std::string& s);
};

}  // namespace tw::richtext
