#include "richtext/document/attr.h"

namespace tw::richtext {

TW_PUBLISHED(TCharacterAttr,
             Prop("Bold", &TCharacterAttr::Bold, &TCharacterAttr::SetBold),
             Prop("Italic", &TCharacterAttr::Italic, &TCharacterAttr::SetItalic),
             Prop("Underline", &TCharacterAttr::Underline, &TCharacterAttr::SetUnderline),
             Prop("StrikeOut", &TCharacterAttr::StrikeOut, &TCharacterAttr::SetStrikeOut),
             Prop("SuperScript", &TCharacterAttr::SuperScript, &TCharacterAttr::SetSuperScript),
             Prop("SubScript", &TCharacterAttr::SubScript, &TCharacterAttr::SetSubScript),
             Prop("Hidden", &TCharacterAttr::Hidden, &TCharacterAttr::SetHidden),
             Prop("UnderlineColor", &TCharacterAttr::UnderlineColor, &TCharacterAttr::SetUnderlineColor),
             Prop("TextColor", &TCharacterAttr::TextColor, &TCharacterAttr::SetTextColor),
             Prop("BackgroundColor", &TCharacterAttr::BackgroundColor, &TCharacterAttr::SetBackgroundColor),
             Prop("UseUnderlineColor", &TCharacterAttr::UseUnderlineColor, &TCharacterAttr::SetUseUnderlineColor),
             Prop("UseTextColor", &TCharacterAttr::UseTextColor, &TCharacterAttr::SetUseTextColor),
             Prop("UseBackgroundColor", &TCharacterAttr::UseBackgroundColor, &TCharacterAttr::SetUseBackgroundColor));

bool SameRun(const TAttr& a, const TAttr& b) {
  return a.Font == b.Font && a.Colors == b.Colors && a.Style == b.Style && a.Extra == b.Extra &&
         a.Attr10 == b.Attr10 && a.Attr11 == b.Attr11 && a.Size == b.Size;
}

void ApplyAttr(TAttr& dst, const TAttr& src, std::uint16_t mask) {
  if (mask & amFont) dst.Font = src.Font;
  if (mask & amSize) dst.Size = src.Size;
  if (mask & amTextColor) dst.SetTextColor(src.TextColor());
  if (mask & amBackColor) dst.SetBackColor(src.BackColor());
  // Adding and removing work on all four style bytes (style, extra and the two further bytes);
  // the replacements only on their sets inside the style word.
  auto word = static_cast<std::uint32_t>(dst.StyleWord() | (dst.Attr10 << 16) | (dst.Attr11 << 24));
  const auto given = static_cast<std::uint32_t>(src.StyleWord() | (src.Attr10 << 16) | (src.Attr11 << 24));
  if (mask & amAddStyle) word |= given;
  if (mask & amReplaceStyle) word = (word & ~std::uint32_t{StyleSetFull}) | (given & StyleSetFull);
  if (mask & amReplaceStyleByte) word = (word & ~std::uint32_t{StyleSetByte}) | (given & StyleSetByte);
  if (mask & amRemoveStyle) word &= ~given;
  // Superscript, or a footnote mark, wins over subscript; only a subscript that is still there
  // then removes superscript.
  if ((word & fsSuper) || (word & (std::uint32_t{fxFootnote} << 8))) word &= ~std::uint32_t{fsSub};
  if (word & fsSub) word &= ~std::uint32_t{fsSuper};
  dst.Style = static_cast<std::uint8_t>(word);
  dst.Extra = static_cast<std::uint8_t>(word >> 8);
  dst.Attr10 = static_cast<std::uint8_t>(word >> 16);
  dst.Attr11 = static_cast<std::uint8_t>(word >> 24);
}

TColor AttrColor(int index) {
  static constexpr TColor table[ColorCount] = {
      RGB(0, 0, 0),       RGB(255, 0, 0),     RGB(0, 128, 0),   RGB(0, 0, 255),
      RGB(255, 255, 0),   RGB(255, 0, 255),   RGB(128, 0, 128), RGB(128, 0, 0),
      RGB(0, 255, 0),     RGB(0, 255, 255),   RGB(0, 128, 128), RGB(0, 0, 128),
      RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(0, 0, 0)};
  return table[index & 0x0F];
}

void TCharacterAttr::Assign(const TPersistent* source) {
  if (source != nullptr && source->Is<TCharacterAttr>()) {
    const auto* s = static_cast<const TCharacterAttr*>(source);
    bold_ = s->bold_; italic_ = s->italic_; underline_ = s->underline_; strikeOut_ = s->strikeOut_;
    superScript_ = s->superScript_; subScript_ = s->subScript_; hidden_ = s->hidden_;
    useUnderlineColor_ = s->useUnderlineColor_; useTextColor_ = s->useTextColor_;
    useBackgroundColor_ = s->useBackgroundColor_; underlineColor_ = s->underlineColor_;
    textColor_ = s->textColor_; backgroundColor_ = s->backgroundColor_;
    Notify(true);
    return;
  }
  TPersistent::Assign(source);
}

void TCharacterAttr::Notify(bool layout) const {
  if (OnChange) {
    auto handler = OnChange;
    handler(id_, layout);
  }
}

void TCharacterAttr::Set3(TThreeState& field, TThreeState v, bool layout) {
  if (field == v) return;
  field = v;
  Notify(layout);
}

void TCharacterAttr::SetHidden(bool v) {
  if (hidden_ == v) return;
  hidden_ = v;
  Notify(true);
}

void TCharacterAttr::SetUseUnderlineColor(bool v) {
  if (useUnderlineColor_ == v) return;
  useUnderlineColor_ = v;
  if (underline_ == TThreeState::tsTRUE) Notify(false);
}

void TCharacterAttr::SetUseTextColor(bool v) {
  if (useTextColor_ == v) return;
  useTextColor_ = v;
  Notify(false);
}

void TCharacterAttr::SetUseBackgroundColor(bool v) {
  if (useBackgroundColor_ == v) return;
  useBackgroundColor_ = v;
  Notify(false);
}

void TCharacterAttr::SetUnderlineColor(TColor v) {
  if (underlineColor_ == v && useUnderlineColor_) return;
  underlineColor_ = v;
  useUnderlineColor_ = true;
  Notify(false);
}

void TCharacterAttr::SetTextColor(TColor v) {
  if (textColor_ == v && useTextColor_) return;
  textColor_ = v;
  useTextColor_ = true;
  Notify(false);
}

void TCharacterAttr::SetBackgroundColor(TColor v) {
  if (backgroundColor_ == v && useBackgroundColor_) return;
  backgroundColor_ = v;
  useBackgroundColor_ = true;
  Notify(false);
}

}  // namespace tw::richtext
