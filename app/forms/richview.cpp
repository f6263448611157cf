// The transit list written into the rich-text view.
#include "app/forms/richview.h"

#include "app/lib/appsupport.h"
#include "platform/win/winapi.h"
#include "richtext/controls/richtext.h"

namespace tw::app {

namespace {

// The view as FontToAttr takes an editor.
struct TEditorAttrs {
  richtext::TRiRichText& View;
  richtext::TAttr GetCurrentAttr() const {
    richtext::TAttr attr;
    View.GetCurrentAttr(attr);
    return attr;
  }
  int GetFontIndex(const std::string& name) { return View.GetFontIndex(name); }
};

std::size_t Slot(TTransitAttr kind) { return static_cast<std::size_t>(kind); }

}  // namespace

void TRichTransitView::SetFonts(const TFont* header, const TFont* title, const TFont* text) {
  if (View == nullptr) return;
  TEditorAttrs editor{*View};
  const richtext::TAttr current = editor.GetCurrentAttr();
  auto make = [&](const TFont* font) {
    richtext::TAttr attr = current;
    if (font != nullptr) FontToAttr(editor, attr, font);
    return attr;
  };
  Attrs[Slot(TTransitAttr::Header)] = make(header);
  Attrs[Slot(TTransitAttr::Title)] = make(title);
  Attrs[Slot(TTransitAttr::Text)] = make(text);
  richtext::TAttr link = Attrs[Slot(TTransitAttr::Title)];
  link.Style |= richtext::fsLink;
  Attrs[Slot(TTransitAttr::Link)] = link;
  richtext::TAttr number = Attrs[Slot(TTransitAttr::Title)];
  number.Extra |= richtext::fxHidden;
  Attrs[Slot(TTransitAttr::Number)] = number;
}

void TRichTransitView::Begin() {
  if (View == nullptr) return;
  View->SetReadOnly(false);
  // Hiding the view takes the keyboard from it; a list the user was reading gets it back at End.
  TCustomForm* form = GetParentForm(View);
  heldKeyboard_ = form != nullptr && form->ActiveControl() == View;
  const bool shown = View->Visible();
  View->SetVisible(false);
  // The view comes back over the same place at End, and the screen is brought up to date only
  // when the program waits for input: the window under it would paint the place in its own
  // colour (between the entries of the list) only for the list to cover it again.  Should the
  // screen be brought up to date meanwhile (a window opened while the list is written), the
  // place shows the list before until the new one is shown.
  TWinControl* parent = View->Parent();
  if (shown && parent != nullptr && parent->HandleAllocated()) {
    const TRect place = View->BoundsRect();
    ValidateRect(parent->Handle(), &place);
  }
  View->Clear();
  // The hidden list is laid out once, when it is complete (End reformats every paragraph): the
  // single characters written meanwhile (a blank, a paragraph end) wait for that as well.
  View->RtfText()->LayoutSuppressed = true;
}

void TRichTransitView::End() {
  if (View == nullptr) return;
  View->RtfText()->LayoutSuppressed = false;
  View->Reformat();
  View->SetCursorPosition(1, 1, 0, 0);
  View->SetReadOnly(true);
  View->SetVisible(true);
  // Only when nothing else took the keyboard meanwhile; a window that is not active gets the view
  // back as its active control, which it focuses when it is activated again.
  TCustomForm* form = GetParentForm(View);
  if (heldKeyboard_ && form != nullptr && form->ActiveControl() == nullptr && View->CanFocus())
    form->SetActiveControl(View);
  heldKeyboard_ = false;
}

void TRichTransitView::SetCurrentAttr(TTransitAttr attr) {
  if (View != nullptr) View->SetCurrentAttr(Attrs[Slot(attr)]);
}

void TRichTransitView::InputString(const std::string& text) {
  if (View != nullptr) View->InputString(text);
}

}  // namespace tw::app
