#include "richtext/controls/textfinder.h"

#include <algorithm>

#include "platform/rtl/win1252.h"
#include "platform/win/winapi.h"

namespace tw::richtext {

namespace {

constexpr std::size_t kMaxPattern = 255;

unsigned char Lower(unsigned char ch) {
  const std::string s = AnsiLowerCase(std::string(1, static_cast<char>(ch)));
  return s.empty() ? ch : static_cast<unsigned char>(s[0]);
}

}  // namespace

void TRiTextFinder::Reset() {
  found_ = false;
  foundPos_ = foundLen_ = count_ = 0;
  position_ = 0;
  AttributeFilter = 0;
  Tag = 0;
  CaseSensitive = false;
  Wildcard = 0;
  WholeWord = false;
  PositionFixed = false;
}

void TRiTextFinder::SetPosition(int absolute) {
  position_ = std::max(0, absolute);
  found_ = false;
  foundLen_ = 0;
}

bool TRiTextFinder::IsDelimiter(unsigned char ch) const {
  if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || ch >= 192) return false;
  return !(ch == 138 || ch == 140 || ch == 154 || ch == 156 || ch == 159);
}

bool TRiTextFinder::CharMatch(unsigned char text, unsigned char pattern, const TAttr* attr) const {
  if (AttributeFilter != 0 && attr != nullptr) {
    const TAttr& a = *attr;
    const TAttr& f = FilterAttr;
    if ((AttributeFilter & ffFont) && a.Font != f.Font) return false;
    if ((AttributeFilter & ffSize) && a.Points() != f.Points()) return false;
    if ((AttributeFilter & ffTextColor) && a.TextColor() != f.TextColor()) return false;
    if ((AttributeFilter & ffBackColor) && a.BackColor() != f.BackColor()) return false;
    if ((AttributeFilter & ffBold) && !(a.Style & fsBold)) return false;
    if ((AttributeFilter & ffUnderline) && !(a.Style & fsUnderline)) return false;
    if ((AttributeFilter & ffItalic) && !(a.Style & fsItalic)) return false;
    if ((AttributeFilter & ffLink) && !(a.Style & fsLink)) return false;
    if ((AttributeFilter & ffObject) && (!(a.Extra & fxObject) || (Tag != 0 && a.Tag != Tag))) return false;
    if ((AttributeFilter & ffInsertPoint) && (!(a.Extra & fxInsertPoint) || (Tag != 0 && a.Tag != Tag))) return false;
  }
  if (Wildcard != 0 && pattern == static_cast<unsigned char>(Wildcard)) return true;
  if (CaseSensitive) return text == pattern;
  return Lower(text) == Lower(pattern);
}

void TRiTextFinder::ParagraphData(PTParagraph par, std::string& text, std::vector<TAttr>& attrs) const {
  text.clear();
  attrs.clear();
  for (PTLine l = par->FirstLine; l != nullptr; l = l->Next) {
    text.append(l->Text(), l->Length);
    for (int i = 0; i < l->Length; ++i) attrs.push_back(l->HasAttrs() ? l->Attrs[static_cast<std::size_t>(i)] : TAttr{});
  }
}

int TRiTextFinder::MatchAt(const std::string& text, const std::vector<TAttr>& attrs, int at,
                           const std::string& pattern) const {
  const int n = static_cast<int>(text.size());
  auto ch = [&](int k) { return static_cast<unsigned char>(text[static_cast<std::size_t>(k)]); };
  auto matchPart = [&](int from, const std::string& part) {
    if (from + static_cast<int>(part.size()) > n) return false;
    for (std::size_t k = 0; k < part.size(); ++k)
      if (!CharMatch(ch(from + static_cast<int>(k)), static_cast<unsigned char>(part[k]),
                     &attrs[static_cast<std::size_t>(from) + k]))
        return false;
    return true;
  };
  int length = -1;
  const std::size_t star = Wildcard != 0 ? pattern.find(Wildcard) : std::string::npos;
  if (star == std::string::npos) {
    if (matchPart(at, pattern)) length = static_cast<int>(pattern.size());
  } else {
    const std::string head = pattern.substr(0, star), tail = pattern.substr(star + 1);
    if (!matchPart(at, head)) return -1;
    const int from = at + static_cast<int>(head.size());
    if (tail.empty()) {
      length = static_cast<int>(head.size());
    } else {
      for (int k = from; k + static_cast<int>(tail.size()) <= n; ++k) {
        // Whole words may not stretch over a delimiter between head and tail.
        if (WholeWord && k > from && IsDelimiter(ch(k - 1))) break;
        if (matchPart(k, tail)) {
          length = k + static_cast<int>(tail.size()) - at;
          break;
        }
      }
    }
  }
  if (length <= 0) return -1;
  if (WholeWord) {
    if (at > 0 && !IsDelimiter(ch(at - 1))) return -1;
    if (at + length < n && !IsDelimiter(ch(at + length))) return -1;
  }
  return length;
}

bool TRiTextFinder::Search(const std::string& rawPattern, bool backwards) {
  // After a hit, a search forwards goes on behind it and one backwards one character before it,
  // whichever way the hit was found.
  if (found_ && !PositionFixed) position_ = backwards ? foundPos_ - 1 : foundPos_ + foundLen_;
  found_ = false;
  foundLen_ = 0;
  if (engine_ == nullptr || engine_->FirstPar == nullptr) return false;
  const std::string pattern = rawPattern.substr(0, std::min(rawPattern.size(), kMaxPattern));
  if (pattern.empty()) return false;
  std::string text;
  std::vector<TAttr> attrs;
  if (!backwards) {
    int parStart = 0;
    for (PTParagraph p = engine_->FirstPar; p != nullptr; p = p->Next) {
      ParagraphData(p, text, attrs);
      const int n = static_cast<int>(text.size());
      if (parStart + n >= position_) {
        for (int at = std::max(0, position_ - parStart); at < n; ++at) {
          const int len = MatchAt(text, attrs, at, pattern);
          if (len > 0) {
            found_ = true;
            foundPos_ = parStart + at;
            foundLen_ = len;
            startAttr_ = attrs[static_cast<std::size_t>(at)];
            position_ = foundPos_ + len;
            return true;
          }
        }
      }
      parStart += n + 1;
    }
    return false;
  }
  // Backwards: the last hit that starts at or before the position.
  if (position_ < 0) return false;
  struct Par {
    PTParagraph p;
    int start;
  };
  std::vector<Par> pars;
  int parStart = 0;
  for (PTParagraph p = engine_->FirstPar; p != nullptr; p = p->Next) {
    pars.push_back({p, parStart});
    parStart += TRiRTFText::ParagraphLength(p) + 1;
  }
  for (auto it = pars.rbegin(); it != pars.rend(); ++it) {
    if (it->start > position_) continue;
    ParagraphData(it->p, text, attrs);
    const int n = static_cast<int>(text.size());
    for (int at = std::min(n - 1, position_ - it->start); at >= 0; --at) {
      const int len = MatchAt(text, attrs, at, pattern);
      if (len > 0) {
        found_ = true;
        foundPos_ = it->start + at;
        foundLen_ = len;
        startAttr_ = attrs[static_cast<std::size_t>(at)];
        position_ = foundPos_ - 1;  // -1: nothing is left before the document start
        return true;
      }
    }
  }
  return false;
}

bool TRiTextFinder::FindNext(const std::string& pattern) { return Search(pattern, false); }

bool TRiTextFinder::FindPrevious(const std::string& pattern) { return Search(pattern, true); }

bool TRiTextFinder::ReplaceFound(const std::string& replacement) {
  Replacement = replacement;
  if (!found_ || engine_ == nullptr) return false;
  // Find the paragraph and the offset of the hit.
  int parStart = 0;
  PTParagraph par = engine_->FirstPar;
  while (par != nullptr && parStart + TRiRTFText::ParagraphLength(par) < foundPos_) {
    parStart += TRiRTFText::ParagraphLength(par) + 1;
    par = par->Next;
  }
  if (par == nullptr) return false;
  const int at = foundPos_ - parStart;
  // A hit that holds protected text is left as it stands: replacing it would delete what the
  // document protects.
  if (HitProtected(par, at)) return false;
  // A replacement the place cannot take (a table cell that takes no more characters, a line
  // that would pass the length limit) is refused before the hit goes.
  if (!replacement.empty()) {
    if (par->IsCell() && (par->CellFlags >> 4) == 15) return false;
    int start = 0;
    PTLine l = par->FirstLine;
    while (l->Next != nullptr && at > start + l->Length) {
      start += l->Length;
      l = l->Next;
    }
    const int removed = std::min(foundLen_, std::max(0, l->Length - (at - start)));
    if (l->Length - removed + static_cast<int>(replacement.size()) + 10 > MaxLineCapacity) return false;
  }
  engine_->ClearSelection();
  engine_->DeleteChars(par, at, foundLen_);
  // The replacement goes in whole, before what followed the hit, whatever the typing mode and
  // the protection of the next character.
  struct Restore {
    TRiRTFTextPaint& e;
    TAttr attr;
    bool insert, suspended;
    ~Restore() {
      e.CurAttr = attr;
      e.InsertMode = insert;
      e.ProtectionSuspended = suspended;
    }
  } restore{*engine_, engine_->CurAttr, engine_->InsertMode, engine_->ProtectionSuspended};
  engine_->CurAttr = startAttr_;
  engine_->InsertMode = true;
  engine_->ProtectionSuspended = true;
  int pos = at;
  for (char c : replacement) {
    int start = 0;
    PTLine l = par->FirstLine;
    while (l->Next != nullptr && pos > start + l->Length) {
      start += l->Length;
      l = l->Next;
    }
    if (!engine_->InsertChar(par, l, c, pos - start)) break;
    ++pos;
  }
  engine_->CursorPar = par;
  engine_->CursorLine = par->FirstLine;
  engine_->CursorOffset = 0;
  engine_->ParagraphChanged(par);
  foundLen_ = pos - at;
  position_ = foundPos_ + foundLen_;
  return true;
}

bool TRiTextFinder::HitProtected(PTParagraph par, int at) const {
  const bool silent = engine_->ProtectionSilent;
  engine_->ProtectionSilent = true;
  bool protectedHit = false;
  int start = 0;
  for (PTLine l = par->FirstLine; l != nullptr && !protectedHit; l = l->Next) {
    for (int i = std::max(at, start); i < std::min(at + foundLen_, start + l->Length) && !protectedHit; ++i)
      protectedHit = engine_->IsProtected(par, l, i - start, true);
    start += l->Length;
  }
  engine_->ProtectionSilent = silent;
  return protectedHit;
}

bool TRiTextFinder::ReplaceAt(int position, int length, const std::string& replacement) {
  found_ = false;
  if (engine_ == nullptr || position < 0 || length <= 0) return false;
  int parStart = 0;
  for (PTParagraph par = engine_->FirstPar; par != nullptr; par = par->Next) {
    const int n = TRiRTFText::ParagraphLength(par);
    if (position + length <= parStart + n) {
      if (position < parStart) return false;  // across a paragraph end
      std::string text;
      std::vector<TAttr> attrs;
      ParagraphData(par, text, attrs);
      found_ = true;
      foundPos_ = position;
      foundLen_ = length;
      startAttr_ = attrs[static_cast<std::size_t>(position - parStart)];
      return ReplaceFound(replacement);
    }
    parStart += n + 1;
  }
  return false;
}

int TRiTextFinder::ReplaceAll(const std::string& pattern) {
  count_ = 0;
  while (FindNext(pattern)) {
    // A refused hit stays; the search goes on after it.
    if (!ReplaceFound(Replacement)) continue;
    ++count_;
    if (count_ % 30 == 0) {
      const bool stop = StopRequested ? StopRequested() : (GetAsyncKeyState(VK_ESCAPE) & 0x8000) != 0;
      if (stop) break;
    }
  }
  return count_;
}

}  // namespace tw::richtext
