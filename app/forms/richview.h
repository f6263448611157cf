// The transit list in the window's rich-text view: one attribute record per kind of text (made
// from the three fonts of the options window), link runs in the title attributes with the link
// bit and the help-context numbers after them as hidden text.  While a list is written the view
// is hidden and editable; at the end it is laid out, shown read-only with the cursor at the
// start.
#pragma once

#include <array>

#include "app/forms/transitlist.h"
#include "richtext/document/attr.h"

namespace tw {
class TFont;
namespace richtext {
class TRiRichText;
}
}  // namespace tw

namespace tw::app {

class TRichTransitView : public ITransitView {
 public:
  // `view` is the window's field, which the form description fills after this object is made.
  explicit TRichTransitView(richtext::TRiRichText*& view) : View(view) {}

  // Makes the attribute records of the next list from the three fonts (a missing font gives the
  // view's current attributes).
  void SetFonts(const TFont* header, const TFont* title, const TFont* text);
  const richtext::TAttr& Attr(TTransitAttr kind) const { return Attrs[static_cast<std::size_t>(kind)]; }

  // Hidden, editable and empty for a new list; laid out and shown read-only afterwards.
  void Begin();
  void End();

  void SetCurrentAttr(TTransitAttr attr) override;
  void InputString(const std::string& text) override;

 private:
  richtext::TRiRichText*& View;
  std::array<richtext::TAttr, 5> Attrs{};
  bool heldKeyboard_ = false;  // the view was its window's active control when the list began
};

}  // namespace tw::app
