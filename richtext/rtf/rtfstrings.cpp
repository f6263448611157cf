#include "richtext/rtf/rtfstrings.h"

#include "platform/rtl/exceptions.h"
#include "richtext/document/textwriter.h"

namespace tw::richtext {

int TRiRtfStrings::GetCount() const { return engine_->ParagraphCount(); }

std::string TRiRtfStrings::Get(int index) const {
  if (index < 0 || index >= GetCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return engine_->ParagraphText(index);
}

void TRiRtfStrings::Put(int index, const std::string& s) {
  if (index < 0 || index >= GetCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  engine_->ReplaceParagraphText(index, s, &engine_->CurAttr);
  engine_->ParagraphByIndex(index)->ListString = true;
}

void TRiRtfStrings::Clear() { engine_->Clear(); }

void TRiRtfStrings::Delete(int index) {
  if (index < 0 || index >= GetCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  const bool cursorHere = engine_->CursorPar == engine_->ParagraphByIndex(index);
  const bool last = GetCount() == 1;
  engine_->DeleteParagraphLines(index);
  // The list's last string is gone: the empty paragraph left waits for the next one.
  if (last) engine_->FirstPar->ListString = false;
  if (cursorHere) engine_->CursorPar = nullptr;
  engine_->ValidateCursor();
}

void TRiRtfStrings::Insert(int index, const std::string& s) {
  // The one empty paragraph of an empty document takes the first string; once it holds one (an
  // empty string too), every further string is a paragraph of its own.
  const bool given = engine_->IsEmpty() && engine_->FirstPar != nullptr && engine_->FirstPar->ListString;
  PTParagraph p = engine_->AddParagraph(index, s, &engine_->CurAttr, !given);
  if (p != nullptr) p->ListString = true;
}

void TRiRtfStrings::LoadFromStream(TStream& stream) {
  const TRiLoadFormat old = engine_->LoadFormat;
  engine_->LoadFormat = TRiLoadFormat::AutomaticFormat;
  try {
    engine_->Clear();
    engine_->LoadFromStream(stream);
  } catch (...) {
    engine_->LoadFormat = old;
    throw;
  }
  engine_->LoadFormat = old;
}

void TRiRtfStrings::SaveToStream(TStream& stream) const {
  TRiTextWriter writer;
  engine_->WriteDocument(stream, &writer);
}

void TRiRtfStrings::SetUpdateState(bool updating) {
  if (!updating) engine_->ParagraphChanged(nullptr);
}

}  // namespace tw::richtext
