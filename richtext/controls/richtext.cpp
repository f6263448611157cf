#include "richtext/controls/richtext.h"

#include <algorithm>

#include "platform/classes/streams.h"
#include "platform/classes/typinfo.h"
#include "richtext/controls/pageprop.h"

namespace tw::richtext {

namespace {

// The shared dialogs live until the program ends; the component last bound receives their events.
TFindDialog*& SharedFind() {
  static TFindDialog* dialog = nullptr;
  return dialog;
}
TReplaceDialog*& SharedReplace() {
  static TReplaceDialog* dialog = nullptr;
  return dialog;
}
TRiCustomRichText*& BoundComponent() {
  static TRiCustomRichText* bound = nullptr;
  return bound;
}

}  // namespace

void RegisterRichTextControls() {
  RegisterClass<TRiRichText>();
  RegisterClass<TRiPagePropDlg>();
}

TFindDialog* TRiCustomRichText::FindDialog() {
  if (SharedFind() == nullptr) SharedFind() = new TFindDialog(nullptr);
  return SharedFind();
}

TReplaceDialog* TRiCustomRichText::ReplaceDialog() {
  if (SharedReplace() == nullptr) SharedReplace() = new TReplaceDialog(nullptr);
  return SharedReplace();
}

TRiCustomRichText::TRiCustomRichText(TComponent* owner)
    : TRiCustomRtfEdit(owner), finder_(std::make_unique<TRiTextFinder>()) {
  // Arial is the component's font and the first entry of its font table.
  GetFontIndex("Arial");
}

TRiCustomRichText::~TRiCustomRichText() { Detach(); }

void TRiCustomRichText::Detach() {
  if (BoundComponent() == this) {
    BoundComponent() = nullptr;
    if (SharedFind() != nullptr) SharedFind()->OnFind = nullptr;
    if (SharedReplace() != nullptr) {
      SharedReplace()->OnFind = nullptr;
      SharedReplace()->OnReplace = nullptr;
    }
  }
}

void TRiCustomRichText::Notification(TComponent* component, TOperation operation) {
  TRiCustomRtfEdit::Notification(component, operation);
  if (operation != TOperation::opRemove) return;
  if (component == ExternVerScrollBar) ExternVerScrollBar = nullptr;
  if (component == ExternHorScrollBar) ExternHorScrollBar = nullptr;
}

// --- files ---------------------------------------------------------------------------------------

void TRiCustomRichText::LoadFromFile(const std::string& fileName) {
  TRiCustomRtfEdit::Clear();
  engine_->LoadFromFile(fileName);
  FileName = fileName;
  engine_->SetCursor(0, 0, 0, 0);
  Reformat();
  Modified = false;
}

void TRiCustomRichText::SaveToFile(const std::string& fileName) {
  engine_->SaveToFile(fileName);
  FileName = fileName;
  Modified = false;
}

void TRiCustomRichText::LoadFromStream(TStream& stream) {
  TRiCustomRtfEdit::Clear();
  engine_->LoadFromStream(stream);
  engine_->SetCursor(0, 0, 0, 0);
  Reformat();
  Modified = false;
}

void TRiCustomRichText::SaveToStream(TStream& stream) {
  engine_->SaveToStream(stream);
  Modified = false;
}

void TRiCustomRichText::Clear() {
  TRiCustomRtfEdit::Clear();
  Modified = false;
}

// --- external scroll bars -------------------------------------------------------------------------

void TRiCustomRichText::UpdateVertScrollBar() {
  TRiCustomRtfEdit::UpdateVertScrollBar();
  if (ExternVerScrollBar == nullptr) return;
  const int range = engine_->DocumentHeight - engine_->WindowHeight();
  ExternVerScrollBar->SetParams(range > 0 ? std::min(999, engine_->VertOffset() * 1000 / range) : 0, 0, 1000);
}

void TRiCustomRichText::UpdateHorzScrollBar() {
  TRiCustomRtfEdit::UpdateHorzScrollBar();
  if (ExternHorScrollBar == nullptr) return;
  const int range = engine_->TextWidth() - engine_->WindowWidth();
  ExternHorScrollBar->SetParams(range > 0 ? std::clamp(MulDiv(-engine_->HorzOffset(), 1000, range), 0, 1000) : 0, 0,
                                1000);
}

// --- find and replace ---------------------------------------------------------------------------

void TRiCustomRichText::ShowFindDialog() {
  if (ReplaceDialog()->Showing()) ReplaceDialog()->CloseDialog();
  if (FindDialog()->Showing()) FindDialog()->CloseDialog();
  BoundComponent() = this;
  FindDialog()->OnFind = [this](TObject* sender) { DoFind(sender); };
  FindDialog()->SetOptions(TFindOptions{frDown});
  FindDialog()->Execute();
}

void TRiCustomRichText::ShowReplaceDialog() {
  if (FindDialog()->Showing()) FindDialog()->CloseDialog();
  if (ReplaceDialog()->Showing()) ReplaceDialog()->CloseDialog();
  BoundComponent() = this;
  ReplaceDialog()->OnFind = [this](TObject* sender) { DoFind(sender); };
  ReplaceDialog()->OnReplace = [this](TObject* sender) { DoReplace(sender); };
  ReplaceDialog()->SetOptions(TFindOptions{});
  ReplaceDialog()->Execute();
}

void TRiCustomRichText::SearchFrom(const std::string& text, TFindOptions options) {
  TRiTextFinder& f = *finder_;
  f.Bind(engine_.get());
  f.Wildcard = '*';
  f.WholeWord = options.Contains(frWholeWord);
  f.CaseSensitive = options.Contains(frMatchCase);
  const bool down = options.Contains(frDown);
  // Forwards from the end of a selection, backwards from before its start.
  int start = engine_->CursorPosition(), length = 0;
  int selStart = 0;
  if (engine_->GetSelection(selStart, length)) start = down ? selStart + length : std::max(0, selStart - 1);
  f.SetPosition(down ? start : std::max(0, start - 1));
  const bool hit = down ? f.FindNext(text) : f.FindPrevious(text);
  if (!hit) return;
  engine_->SelectRange(f.FoundPosition(), f.FoundLength());
  engine_->SetCursor(down ? f.FoundPosition() + f.FoundLength() : f.FoundPosition(), 0, 0, 0);
  engine_->ScrollToCursor();
  engine_->Redraw();
  engine_->UpdateCaret();
}

void TRiCustomRichText::DoFind(TObject* sender) {
  auto* dialog = dynamic_cast<TFindDialog*>(sender);
  if (dialog == nullptr) dialog = FindDialog();
  SearchFrom(dialog->FindText(), dialog->Options());
}

void TRiCustomRichText::DoReplace(TObject* sender) {
  auto* dialog = dynamic_cast<TReplaceDialog*>(sender);
  if (dialog == nullptr) dialog = ReplaceDialog();
  if (!CanEdit()) return;
  TRiTextFinder& f = *finder_;
  f.Bind(engine_.get());
  f.Wildcard = '*';
  f.WholeWord = dialog->Options().Contains(frWholeWord);
  f.CaseSensitive = dialog->Options().Contains(frMatchCase);
  engine_->ClearSelection();
  if (dialog->Options().Contains(frReplaceAll)) {
    f.Replacement = dialog->ReplaceText();
    f.SetPosition(0);
    f.ReplaceAll(dialog->FindText());
    engine_->SetCursor(0, 0, 0, 0);
    Reformat();
    Change();
    return;
  }
  // The one current hit: the selection when it matches, else the next hit from the cursor.
  int selStart = 0, selLength = 0;
  const bool selected = engine_->GetSelection(selStart, selLength);
  f.SetPosition(selected ? selStart : engine_->CursorPosition());
  if (!f.FindNext(dialog->FindText())) return;
  f.ReplaceFound(dialog->ReplaceText());
  const int after = f.FoundPosition() + f.FoundLength();
  Reformat();
  Change();
  f.SetPosition(after);
  const bool down = dialog->Options().Contains(frDown);
  if (!down) f.SetPosition(std::max(0, f.FoundPosition() - 1));
  if (down ? f.FindNext(dialog->FindText()) : f.FindPrevious(dialog->FindText())) {
    engine_->SelectRange(f.FoundPosition(), f.FoundLength());
    engine_->SetCursor(f.FoundPosition() + f.FoundLength(), 0, 0, 0);
  } else {
    engine_->SetCursor(after, 0, 0, 0);
  }
  engine_->ScrollToCursor();
  engine_->Redraw();
}

}  // namespace tw::richtext
