#include "richtext/document/setmode.h"

namespace tw::richtext {

PTParagraph TRiSetModeControl::Par() const {
  if (Engine == nullptr || !CurrentParagraph) return nullptr;
  return CurrentParagraph();
}

std::int32_t TRiSetModeControl::FirstIndent() const { auto* p = Par(); return p ? p->FirstIndent : 0; }
std::int32_t TRiSetModeControl::RightIndent() const { auto* p = Par(); return p ? p->RightIndent : 0; }
std::int32_t TRiSetModeControl::LeftIndent() const { auto* p = Par(); return p ? p->LeftIndent : 0; }
int TRiSetModeControl::Alignment() const { auto* p = Par(); return p ? p->Alignment : 0; }
int TRiSetModeControl::ShadingColor() const { auto* p = Par(); return p ? p->Shading >> 4 : 0; }
TTabSet TRiSetModeControl::TabSet() const { auto* p = Par(); return p ? p->Tabs : 0; }

std::uint32_t TRiSetModeControl::Style() const {
  if (Engine == nullptr) return 0;
  const TAttr& a = Engine->CurAttr;
  return a.Style | (a.Extra << 8) | (a.Attr10 << 16) | (static_cast<std::uint32_t>(a.Attr11) << 24);
}

int TRiSetModeControl::TextColor() const { return Engine ? Engine->CurAttr.TextColor() : 0; }
int TRiSetModeControl::BackgroundColor() const { return Engine ? Engine->CurAttr.BackColor() : 0; }

std::string TRiSetModeControl::FontName() const {
  if (Engine == nullptr || Engine->CurAttr.Font >= MaxFonts) return {};
  return Engine->Header().FontName(Engine->CurAttr.Font);
}

int TRiSetModeControl::Size() const { return Engine ? Engine->CurAttr.Size : 0; }

}  // namespace tw::richtext
