// Character attributes of the rich-text engine: the 16-byte TAttr kept for every character, the
// fixed 16-entry colour table its colour nibbles index, the attribute mask of apply operations,
// and TCharacterAttr, the published look of special text (insertion points, automatic text,
// links, protected text).
#pragma once

#include <cstdint>
#include <functional>

#include "platform/classes/component.h"
#include "platform/classes/typinfo.h"
#include "platform/gfx/color.h"

namespace tw::richtext {

// One character's attributes.  Bytes 0-5 are caches the layout fills; bytes 6-15 are the
// attribute proper.  The layout is fixed: 16 bytes, no padding.
struct TAttr {
  std::uint16_t Width = 0;   // character width in screen pixels (layout cache)
  std::uint16_t Height = 0;  // line height in pixels (layout cache)
  std::uint16_t Ascent = 0;  // base line distance in pixels (layout cache)
  std::uint8_t Font = 0;     // index into the header's font table
  std::uint8_t Colors = 0;   // low nibble text colour, high nibble background colour
  std::uint8_t Style = 0;    // style bits (fs... below)
  std::uint8_t Extra = 0;    // extra bits (fx... below)
  std::uint8_t Attr10 = 0;   // further attribute bytes, part of run comparison
  std::uint8_t Attr11 = 0;
  std::uint8_t Size = 0;     // points; 0 means 10
  std::uint8_t Reserved = 0;
  std::uint16_t Tag = 0;     // object, footnote or insertion point number

  int TextColor() const { return Colors & 0x0F; }
  int BackColor() const { return Colors >> 4; }
  void SetTextColor(int c) { Colors = static_cast<std::uint8_t>((Colors & 0xF0) | (c & 0x0F)); }
  void SetBackColor(int c) { Colors = static_cast<std::uint8_t>((Colors & 0x0F) | ((c & 0x0F) << 4)); }
  // Style byte and extra byte read as one word, style byte low.
  std::uint16_t StyleWord() const { return static_cast<std::uint16_t>(Style | (Extra << 8)); }
  // Size in points with 0 counting as the default of 10.
  int Points() const { return Size == 0 ? 10 : Size; }
};
static_assert(sizeof(TAttr) == 16, "TAttr is a 16-byte record");

// Two characters belong to one run when font, colours, bytes 8-11 and size are equal.
bool SameRun(const TAttr& a, const TAttr& b);

// Style bits (byte 8).
constexpr std::uint8_t fsBold = 0x01;
constexpr std::uint8_t fsItalic = 0x02;
constexpr std::uint8_t fsUnderline = 0x04;
constexpr std::uint8_t fsStrikeOut = 0x08;
constexpr std::uint8_t fsLink = 0x10;  // double underline: marks a link run
constexpr std::uint8_t fsSelected = 0x20;
constexpr std::uint8_t fsSuper = 0x40;
constexpr std::uint8_t fsSub = 0x80;
// Extra bits (byte 9).
constexpr std::uint8_t fxHidden = 0x01;
constexpr std::uint8_t fxProtected = 0x02;
constexpr std::uint8_t fxRawRtf = 0x04;
constexpr std::uint8_t fxFootnote = 0x08;
constexpr std::uint8_t fxInsertPoint = 0x10;
constexpr std::uint8_t fxAutomatic = 0x20;
constexpr std::uint8_t fxObject = 0x40;
constexpr std::uint8_t fxListNumber = 0x80;
// Style-word values (style byte low, extra byte high).
constexpr std::uint16_t swLink = 0x0010;
constexpr std::uint16_t swHidden = 0x0100;
constexpr std::uint16_t swInsertPoint = 0x1000;
constexpr std::uint16_t swAutomatic = 0x2000;
constexpr std::uint16_t swObject = 0x4000;

// Attribute mask bits of an apply operation.
constexpr std::uint16_t amFont = 1;
constexpr std::uint16_t amSize = 2;
constexpr std::uint16_t amTextColor = 4;
constexpr std::uint16_t amBackColor = 8;
constexpr std::uint16_t amAddStyle = 16;
constexpr std::uint16_t amReplaceStyle = 32;      // replaces the bits of StyleSetFull
constexpr std::uint16_t amReplaceStyleByte = 64;  // replaces the bits of StyleSetByte
constexpr std::uint16_t amRemoveStyle = 128;
constexpr std::uint16_t StyleSetFull = 0x05DF;
constexpr std::uint16_t StyleSetByte = 0x00DF;
constexpr std::uint16_t EditorAttrMask = 0x032F;

// Applies `src` to `dst` as far as `mask` says (adding and removing cover the style, extra and
// the two further attribute bytes); afterwards superscript and subscript exclude each other:
// superscript or a footnote mark clears subscript, and a subscript still set clears superscript.
void ApplyAttr(TAttr& dst, const TAttr& src, std::uint16_t mask);

// The fixed colour table.
constexpr int ColorCount = 16;
TColor AttrColor(int index);  // index taken modulo 16

enum class TThreeState : std::uint8_t { tsIgnore, tsTRUE, tsFALSE };
TW_ENUM_NAMES(TThreeState, "tsIgnore", "tsTRUE", "tsFALSE");

// Called with the set's identifier and whether the change needs a new layout.
using TCharacterAttrChange = std::function<void(std::uint32_t id, bool needsLayout)>;

class TCharacterAttr : public TPersistent {
  TW_CLASS(TCharacterAttr, TPersistent)
 public:
  explicit TCharacterAttr(std::uint32_t id = 0) : id_(id) {}
  void Assign(const TPersistent* source) override;

  std::uint32_t Identifier() const { return id_; }
  TThreeState Bold() const { return bold_; }
  TThreeState Italic() const { return italic_; }
  TThreeState Underline() const { return underline_; }
  TThreeState StrikeOut() const { return strikeOut_; }
  TThreeState SuperScript() const { return superScript_; }
  TThreeState SubScript() const { return subScript_; }
  bool Hidden() const { return hidden_; }
  bool UseUnderlineColor() const { return useUnderlineColor_; }
  bool UseTextColor() const { return useTextColor_; }
  bool UseBackgroundColor() const { return useBackgroundColor_; }
  TColor UnderlineColor() const { return underlineColor_; }
  TColor TextColor() const { return textColor_; }
  TColor BackgroundColor() const { return backgroundColor_; }

  void SetBold(TThreeState v) { Set3(bold_, v, true); }
  void SetItalic(TThreeState v) { Set3(italic_, v, true); }
  void SetUnderline(TThreeState v) { Set3(underline_, v, false); }
  void SetStrikeOut(TThreeState v) { Set3(strikeOut_, v, false); }
  void SetSuperScript(TThreeState v) { Set3(superScript_, v, true); }
  void SetSubScript(TThreeState v) { Set3(subScript_, v, true); }
  void SetHidden(bool v);
  void SetUseUnderlineColor(bool v);
  void SetUseTextColor(bool v);
  void SetUseBackgroundColor(bool v);
  void SetUnderlineColor(TColor v);
  void SetTextColor(TColor v);
  void SetBackgroundColor(TColor v);

  TCharacterAttrChange OnChange;

 private:
  void Set3(TThreeState& field, TThreeState v, bool layout);
  void Notify(bool layout) const;

  TThreeState bold_ = TThreeState::tsIgnore, italic_ = TThreeState::tsIgnore,
              underline_ = TThreeState::tsIgnore, strikeOut_ = TThreeState::tsIgnore,
              superScript_ = TThreeState::tsIgnore, subScript_ = TThreeState::tsIgnore;
  bool hidden_ = false, useUnderlineColor_ = false, useTextColor_ = false, useBackgroundColor_ = false;
  TColor underlineColor_ = 0, textColor_ = 0, backgroundColor_ = 0;
  std::uint32_t id_;
};

}  // namespace tw::richtext
