#include "entry/fkpicturebase.h"

#include <algorithm>
#include <bitset>

#include "entry/strres/fkstrres.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {
const std::string kEditable = "!#123456789ABDEHKLMNOSXYabdhilmnstxy";
bool Has(const std::string& s, char c) { return s.find(c) != std::string::npos; }
bool IsSubstLiteral(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 241 && u <= 248;
}
}  // namespace

bool IsEditableMaskChar(char c) { return c != 0 && Has(kEditable, c); }

TFkPictureBase::TFkPictureBase(TComponent* owner) : TFkBaseEntryField(owner) {}

char TFkPictureBase::MaskCharAt(int pos) const {
  if (mask_.empty()) return 'X';
  if (pos < 0) pos = 0;
  return pos < static_cast<int>(mask_.size()) ? mask_[static_cast<std::size_t>(pos)] : mask_.back();
}

std::uint8_t TFkPictureBase::Kind(int pos) const {
  if (pos < 0 || pos >= static_cast<int>(flags_.size())) return pkLiteral;
  return flags_[static_cast<std::size_t>(pos)];
}

void TFkPictureBase::CalcPictureFlags() {
  flags_.assign(static_cast<std::size_t>(maxLength_) + 1, pkLiteral);
  for (int i = 0; i < maxLength_; ++i) {
    if (allEditable_) {
      flags_[static_cast<std::size_t>(i)] = pkEditable;
      continue;
    }
    char c = MaskCharAt(i);
    flags_[static_cast<std::size_t>(i)] = IsEditableMaskChar(c) ? pkEditable : (c == '$' || c == ',') ? pkSemiLiteral : pkLiteral;
  }
}

void TFkPictureBase::InitPictureFlags() {
  allEditable_ = false;
  semiLiterals_ = 0;
  CalcPictureFlags();
  allEditable_ = true;
  for (int i = 0; i < maxLength_; ++i) {
    std::uint8_t k = flags_[static_cast<std::size_t>(i)];
    if (k != pkEditable) allEditable_ = false;
    if (k == pkSemiLiteral) ++semiLiterals_;
  }
  if (!allEditable_) {
    trimBlanks_ = false;
    rightJustify_ = false;
  }
}

void TFkPictureBase::ChangeMask(const std::string& mask) {
  if (mask.empty()) return;
  std::string m = mask.substr(0, 255);
  if (auto p = m.find('p'); p != std::string::npos) m.erase(p, 1);
  if (auto g = m.find('g'); g != std::string::npos) m.erase(g, 1);
  if (m.empty()) return;
  mask_ = m;
  // Number, date and time fields are exactly as long as their mask: their conversions read the
  // text position by position.
  const TPictureDataType t = DataTypeCode();
  const bool exact = IsNumericType(t) || t == TPictureDataType::pftDate || t == TPictureDataType::pftTime;
  if (!Loading() && (mask_.size() > maxLength_ || (exact && mask_.size() != maxLength_)))
    maxLength_ = static_cast<std::uint16_t>(mask_.size());
  dataSize_ = 0;
  InitPictureFlags();
  editText_ = MergeWithPicture("");
}

int TFkPictureBase::FirstEditPosition() const {
  // A number is edited right-aligned without its decorations: its leading "$" and ","
  // positions are never typed into.  In any other field they hold characters like the rest.
  const int skip = IsNumberField() ? semiLiterals_ : 0;
  for (int i = 0; i < maxLength_; ++i)
    if (Kind(i) != pkLiteral) return std::min(i + skip, static_cast<int>(maxLength_));
  return 0;
}

int TFkPictureBase::LastEditPosition() const {
  for (int i = maxLength_ - 1; i >= 0; --i)
    if (Kind(i) != pkLiteral) return i;
  return 0;
}

int TFkPictureBase::EndOfText() const {
  for (int i = std::min(LastEditPosition(), static_cast<int>(editText_.size()) - 1); i >= 0; --i)
    if (Kind(i) != pkLiteral && editText_[static_cast<std::size_t>(i)] != ' ') return i + 1;
  return 0;
}

void TFkPictureBase::MoveCaretToEnd() {
  caret_ = EndOfText();
  int last = LastEditPosition();
  while (caret_ < last && IsLiteral(caret_)) ++caret_;
}

void TFkPictureBase::MoveCaretToStart() {
  caret_ = FirstEditPosition();
  scroll_ = 0;
}

bool TFkPictureBase::IsEmpty() const {
  for (int i = 0; i < static_cast<int>(editText_.size()); ++i)
    if (Kind(i) != pkLiteral && editText_[static_cast<std::size_t>(i)] != ' ') return false;
  return true;
}

void TFkPictureBase::MoveCaret(int pos) {
  if (!focused_) return;
  int first = FirstEditPosition(), last = LastEditPosition();
  if (pos < first) {
    caret_ = first;
  } else if (pos <= last) {
    while (pos > first && IsLiteral(pos)) --pos;
    caret_ = pos;
  } else {
    caret_ = last + 1;
  }
  UpdateCaretAndScroll(true);
}

void TFkPictureBase::ResetOptions() {
  if (Loading()) return;
  if (dataTypeByte_ == 64 && !allEditable_) {
    rightJustify_ = false;
    trimBlanks_ = false;
    return;
  }
  TFkBaseEntryField::ResetOptions();
}

int TFkPictureBase::DecimalPointPosition() const {
  if (!IsNumberField()) return -1;
  const std::size_t dp = mask_.find('.');
  return dp == std::string::npos ? -1 : static_cast<int>(dp);
}

bool TFkPictureBase::HasNumberCharacters() const {
  return semiLiterals_ != 0 || Has(mask_, 'K') || Has(mask_, 'O') || Has(mask_, 'b') || Has(mask_, '.') ||
         Has(mask_, 'c') || Has(mask_, 'C');
}

bool AcceptMaskChar(char maskChar, char& ch, char before, const TFkIntlSup& intl, const TFkUserData& userData) {
  if (ch == 0) return false;
  // Case forcing.
  auto upper = [&] { ch = CharUpper(ch); };
  switch (maskChar) {
    case '!': case 'A': case 'B': case 'E': case 'K': case 'N': case 'Y': upper(); break;
    case 'L': case 'l': ch = CharLower(ch); break;
    case 'x': if (before == ' ' || before == '-') upper(); break;
    default:
      if (maskChar >= '1' && maskChar <= '8') {
        switch (userData.ForcedCaseOf(maskChar)) {
          case 1: upper(); break;
          case 2: ch = CharLower(ch); break;
          case 3: if (before == ' ' || before == '-') upper(); break;
          default: break;
        }
      }
  }
  auto digit = [&] { return ch >= '0' && ch <= '9'; };
  switch (maskChar) {
    case 'X': case '!': case 'L': case 'x': case 't': return true;
    case 'a': case 'A': case 'l': case 'n': case 'N': return FkIsAlphaChar(ch);
    case '9': case 'D': case 'd': case 'M': case 'm': case 'y': case 'H': case 'h': case 'S': case 's':
      return ch == ' ' || digit();
    case 'i': return ch == '-' || ch == ' ' || digit();
    case '#': return ch == ' ' || ch == '-' || ch == '.' || digit();
    case 'E': return ch == '+' || ch == 'E' || ch == ' ' || ch == '-' || ch == '.' || digit();
    case 'K': return (ch >= 'A' && ch <= 'F') || ch == ' ' || digit();
    case 'O': return ch == ' ' || (ch >= '0' && ch <= '7');
    case 'b': return ch == ' ' || ch == '0' || ch == '1';
    case 'B': return ch == intl.TrueChar || ch == intl.FalseChar;
    case 'Y': return ch == intl.YesChar || ch == intl.NoChar;
    default:
      if (maskChar >= '1' && maskChar <= '8') return userData.CharSetOf(maskChar).test(static_cast<unsigned char>(ch));
      return false;
  }
}

bool TFkPictureBase::AcceptChar(char maskChar, char& ch, char before) const {
  return AcceptMaskChar(maskChar, ch, before, *intl_, *userData_);
}

int TFkPictureBase::RunStart(int pos) const {
  int first = FirstEditPosition();
  while (pos > first && !IsLiteral(pos - 1)) --pos;
  return std::max(pos, first);
}

int TFkPictureBase::RunEnd(int pos) const {
  int last = LastEditPosition();
  while (pos < last && !IsLiteral(pos + 1)) ++pos;
  return std::min(pos, last) + 1;
}

std::string TFkPictureBase::MergeWithPicture(const std::string& source, bool* whole) const {
  const int n = maxLength_;
  std::string s = source;
  std::string r(static_cast<std::size_t>(n), ' ');
  for (int i = 0; i < n; ++i) r[static_cast<std::size_t>(i)] = MaskCharAt(i);
  auto kind = [&](int i) {
    if (allEditable_) return pkEditable;
    char c = MaskCharAt(i);
    return IsEditableMaskChar(c) ? pkEditable : (c == '$' || c == ',') ? pkSemiLiteral : pkLiteral;
  };
  auto at = [&](int i) -> char& { return r[static_cast<std::size_t>(i)]; };
  auto substitute = [&](int i) {
    if (IsSubstLiteral(MaskCharAt(i))) at(i) = userData_->SubstitutionOf(MaskCharAt(i));
  };
  // Whether a character of a number could stand at a position: the test of typing, where a
  // "$" or "," position takes what the last non-literal position takes.
  int lastNonLiteral = n - 1;
  while (lastNonLiteral > 0 && kind(lastNonLiteral) == pkLiteral) --lastNonLiteral;
  bool lost = false;
  auto place = [&](int i, char ch) {
    char test = ch;
    const char mc = MaskCharAt(kind(i) == pkSemiLiteral ? lastNonLiteral : i);
    if (!AcceptChar(mc, test, ' ')) lost = true;
    at(i) = ch;
  };
  const int dotPos = DecimalPointPosition();
  const bool hasDot = dotPos >= 0 && dotPos < n;
  const int P = hasDot ? dotPos : -1;
  // Currency texts in "c" and "C" runs.
  if (auto c = mask_.find('c'); c != std::string::npos) {
    int end = static_cast<int>(c);
    while (end + 1 < n && MaskCharAt(end + 1) == 'c') ++end;
    const std::string& cur = intl_->CurrencyLtStr;
    int k = static_cast<int>(cur.size()) - 1;
    for (int i = end; i >= static_cast<int>(c); --i) at(i) = k >= 0 ? cur[static_cast<std::size_t>(k--)] : ' ';
  }
  if (auto c = mask_.find('C'); c != std::string::npos) {
    const std::string& cur = intl_->CurrencyRtStr;
    std::size_t k = 0;
    for (int i = static_cast<int>(c); i < n && MaskCharAt(i) == 'C'; ++i) at(i) = k < cur.size() ? cur[k++] : ' ';
  }
  if (!IsNumberField() || !HasNumberCharacters()) {
    // The zeros of an exponent are not decimals: "1.5E20" is no "1.5E2".
    if (realType_ && static_cast<int>(s.size()) > n && Has(s, '.') && !Has(s, 'E') && !Has(s, 'e')) {
      while (!s.empty() && s.back() == '0') s.pop_back();
      if (!s.empty() && s.back() == '.') s.pop_back();
    }
    if (rightJustify_) {
      int k = static_cast<int>(s.size()) - 1;
      for (int i = n - 1; i >= 0; --i) {
        if (kind(i) == pkLiteral) {
          substitute(i);
          continue;
        }
        const bool fromSource = k >= 0;
        char ch = fromSource ? s[static_cast<std::size_t>(k--)] : ' ';
        char before = (i > 0 && kind(i - 1) != pkLiteral) ? (k >= 0 ? s[static_cast<std::size_t>(k)] : ' ') : ' ';
        if (!AcceptChar(MaskCharAt(i), ch, before) && fromSource && ch != ' ') lost = true;
        at(i) = ch == 0 ? ' ' : ch;
      }
      for (; k >= 0; --k)
        if (s[static_cast<std::size_t>(k)] != ' ') lost = true;
    } else {
      std::size_t k = 0;
      for (int i = 0; i < n; ++i) {
        if (kind(i) == pkLiteral) {
          substitute(i);
          continue;
        }
        const bool fromSource = k < s.size();
        char ch = fromSource ? s[k++] : ' ';
        char before = (i > 0 && kind(i - 1) != pkLiteral) ? at(i - 1) : ' ';
        if (!AcceptChar(MaskCharAt(i), ch, before) && fromSource && ch != ' ') lost = true;
        at(i) = ch == 0 ? ' ' : ch;
      }
      for (; k < s.size(); ++k)
        if (s[k] != ' ') lost = true;
    }
    if (realType_)
      for (char& ch : r)
        if (ch == '.') ch = intl_->DecimalChar;
    if (whole != nullptr) *whole = !lost;
    return r;
  }
  // Number masks.  The "$" run ends at F, the float limit: digits stand right of it.  The
  // currency text floats to stand just before the number and is shown whole or not at all,
  // so that stripping can find it; the run reserves room for as much of it as the run holds,
  // so a sign fits beside a currency text exactly as it does beside a one-character one.
  int F = -1;
  std::size_t curReserved = 0;
  const std::string cur = CurrencyBeforeNumber();
  if (auto d = mask_.find('$'); d != std::string::npos) {
    int end = static_cast<int>(d);
    while (end + 1 < n && MaskCharAt(end + 1) == '$') ++end;
    F = end;
    curReserved = std::min(static_cast<std::size_t>(end - static_cast<int>(d) + 1), intl_->CurrencyLtStr.size());
  }
  std::string t = s;
  std::size_t a = t.find_first_not_of(' ');
  t = a == std::string::npos ? std::string() : t.substr(a, t.find_last_not_of(' ') - a + 1);
  bool minus = false;
  if (!t.empty() && t[0] == '-') {
    minus = true;
    t.erase(0, 1);
  }
  std::string intPart = t, decPart;
  if (auto p = t.find('.'); p != std::string::npos) {
    intPart = t.substr(0, p);
    decPart = t.substr(p + 1);
  }
  const bool zeroFill = Has(mask_, 'K') || Has(mask_, 'O') || Has(mask_, 'b');
  if (hasDot) {
    std::size_t k = 0;
    int i = P + 1;
    for (; i < n && kind(i) != pkLiteral; ++i) {
      if (k < decPart.size()) place(i, decPart[k++]);
      else at(i) = '0';
    }
    for (; i < n; ++i) substitute(i);
    at(P) = intl_->DecimalChar;
    decPart.erase(0, k);
  }
  // Decimals without a position: only trailing zeros leave the number as it is.
  if (decPart.find_first_not_of('0') != std::string::npos) lost = true;
  int k = static_cast<int>(intPart.size()) - 1;
  std::vector<int> removed;
  std::vector<int> fills;  // the positions the number leaves free, right to left
  auto fill = [&](int i) { fills.push_back(i); };
  for (int i = (hasDot ? P : n) - 1; i >= 0; --i) {
    char mc = MaskCharAt(i);
    if (kind(i) == pkLiteral) {
      if (mc == '.') at(i) = intl_->DecimalChar;
      substitute(i);
      continue;
    }
    if (mc == ',') {
      if (k >= 0) {
        if (intl_->CommaChar == 0) removed.push_back(i);
        else at(i) = intl_->CommaChar;
      } else {
        fill(i);
      }
      continue;
    }
    if (k >= 0 && i > F) place(i, intPart[static_cast<std::size_t>(k--)]);
    else fill(i);
  }
  // The free positions take the currency text (from its end), the sign, then the fill.
  std::size_t j = 0;
  const std::size_t sign = minus ? 1 : 0;
  if (!cur.empty() && fills.size() >= cur.size() + sign)
    for (auto c = cur.rbegin(); c != cur.rend(); ++c) at(fills[j++]) = *c;
  if (minus && fills.size() >= std::max(j, curReserved) + 1) {
    place(fills[j++], '-');
    minus = false;
  }
  for (; j < fills.size(); ++j) at(fills[j]) = zeroFill ? '0' : ' ';
  // Digits left over (leading zeros aside) and a sign without a position are lost.
  if (minus || intPart.find_first_not_of('0') < static_cast<std::size_t>(k + 1)) lost = true;
  if (hasDot && P > 0 && at(P - 1) == ' ') at(P - 1) = '0';
  for (int i : removed) r.erase(static_cast<std::size_t>(i), 1);  // descending order
  if (whole != nullptr) *whole = !lost;
  return r;
}

std::string TFkPictureBase::StripPicture(const std::string& text) const {
  if (static_cast<int>(text.size()) != maxLength_) return text;
  const int dotPos = DecimalPointPosition();
  std::string r;
  for (int i = 0; i < maxLength_; ++i) {
    bool nonLiteral = allEditable_ || IsEditableMaskChar(MaskCharAt(i)) || MaskCharAt(i) == '$' || MaskCharAt(i) == ',';
    if (nonLiteral || i == dotPos) r += text[static_cast<std::size_t>(i)];
  }
  // The rest reads a number's decorations and point; other fields hold no number.
  if (!IsNumberField()) return r;
  // The merge shows the currency text whole just before the number or not at all, and only a
  // text with a character no number shows: its first occurrence is where the merge put it.
  if (const std::string cur = CurrencyBeforeNumber(); !cur.empty())
    if (auto p = r.find(cur); p != std::string::npos) r.erase(p, cur.size());
  if (Has(mask_, ',') && intl_->CommaChar != 0) r.erase(std::remove(r.begin(), r.end(), intl_->CommaChar), r.end());
  if (dotPos >= 0)
    if (auto p = r.find(intl_->DecimalChar); p != std::string::npos) r[p] = '.';
  return r;
}

void TFkPictureBase::FixDecimalPoint(bool justifyInteger, bool padDecimals) {
  // Only a number has a decimal point: the "." of a date, time or text mask is a separator.
  const int P = DecimalPointPosition();
  if (P < 0 || P >= static_cast<int>(editText_.size())) return;
  if (justifyInteger && P > 0) {
    // Every position up to the nearest literal belongs to the integer run: the "," and "$"
    // positions hold digits while the decorations are removed for editing.
    int start = P;
    while (start > 0 && Kind(start - 1) != pkLiteral) --start;
    if (start < P) {
      std::string run = editText_.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(P - start));
      std::string chars;
      for (char c : run)
        if (c != ' ') chars += c;
      std::string justified = std::string(run.size() - chars.size(), ' ') + chars;
      if (justified.back() == ' ') justified.back() = '0';
      editText_.replace(static_cast<std::size_t>(start), run.size(), justified);
    }
  }
  if (padDecimals) {
    int end = P + 1;
    while (end < static_cast<int>(editText_.size()) && Kind(end) != pkLiteral) ++end;
    std::string run = editText_.substr(static_cast<std::size_t>(P + 1), static_cast<std::size_t>(end - P - 1));
    std::string chars;
    for (char c : run)
      if (c != ' ') chars += c;
    chars.resize(run.size(), '0');
    editText_.replace(static_cast<std::size_t>(P + 1), run.size(), chars);
  }
}

std::string TFkPictureBase::CurrencyBeforeNumber() const {
  if (!Has(mask_, '$')) return {};
  const std::string& cur = intl_->CurrencyLtStr;
  auto numberChar = [&](char c) {
    if (c == ' ' || c == '-' || (c >= '0' && c <= '9')) return true;
    if ((Has(mask_, '.') && c == intl_->DecimalChar) || (Has(mask_, ',') && c == intl_->CommaChar)) return true;
    // Each kind of position is asked once: a mask repeats a few kinds many times.
    std::bitset<256> asked;
    for (char mc : mask_) {
      const auto k = static_cast<unsigned char>(mc);
      if (asked[k] || !IsEditableMaskChar(mc)) continue;
      asked[k] = true;
      char t = c;
      if (AcceptChar(mc, t, ' ') && t == c) return true;
    }
    return false;
  };
  return std::all_of(cur.begin(), cur.end(), numberChar) ? std::string() : cur;
}

void TFkPictureBase::RemoveNumberDecorations() {
  if (!IsNumberField()) return;
  if (semiLiterals_ != 0) {
    decorationsRemoved_ = true;
    // One pass over the non-literal positions up to the last edit position: the currency text
    // and the separators the merge put there go, each once, the rest closes up to the right and
    // as many blanks come in at the start.  Literals stay where they are.
    const int first = std::max(0, FirstEditPosition() - semiLiterals_);
    const int last = std::min(LastEditPosition(), static_cast<int>(editText_.size()) - 1);
    std::vector<int> positions;
    std::string chars;
    for (int i = first; i <= last; ++i) {
      if (IsLiteral(i)) continue;
      positions.push_back(i);
      chars += editText_[static_cast<std::size_t>(i)];
    }
    std::vector<bool> out(chars.size(), false);
    if (const std::string cur = CurrencyBeforeNumber(); !cur.empty())
      if (auto p = chars.find(cur); p != std::string::npos)
        std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(p), cur.size(), true);
    if (Has(mask_, ',') && intl_->CommaChar != 0)
      for (std::size_t k = 0; k < chars.size(); ++k)
        if (chars[k] == intl_->CommaChar && MaskCharAt(positions[k]) == ',') out[k] = true;
    std::string kept;
    for (std::size_t k = 0; k < chars.size(); ++k)
      if (!out[k]) kept += chars[k];
    kept.insert(0, chars.size() - kept.size(), ' ');
    for (std::size_t k = 0; k < chars.size(); ++k) editText_[static_cast<std::size_t>(positions[k])] = kept[k];
  }
  if (Has(mask_, 'K') || Has(mask_, 'O') || Has(mask_, 'b')) decorationsRemoved_ = true;
}

void TFkPictureBase::RestoreNumberDecorations() {
  if (!decorationsRemoved_) return;
  decorationsRemoved_ = false;
  editText_ = MergeWithPicture(StripPicture(editText_));
  // A separator of character 0 leaves its positions out of the merge: the field keeps its
  // length, as after setting a value, so that stripping reads it again.
  if (editText_.size() < maxLength_) editText_.resize(maxLength_, ' ');
  Invalidate();
}

void TFkPictureBase::GetMaskWidth(std::uint16_t& width, std::uint16_t& decimals) {
  CalcPictureFlags();
  std::size_t dp = mask_.find('.');
  decimals = decimalPlaces_;
  if (dp != std::string::npos) {
    decimals = 0;
    for (std::size_t i = dp + 1; i < mask_.size() && IsEditableMaskChar(mask_[i]); ++i) ++decimals;
  }
  int i = 0;
  while (i < maxLength_ && (Kind(i) == pkLiteral || Kind(i) == pkSemiLiteral) && MaskCharAt(i) != ',') ++i;
  int w = 0;
  for (; i < maxLength_ && Kind(i) != pkLiteral; ++i) ++w;
  if (decimals != 0) w += decimals + 1;
  width = static_cast<std::uint16_t>(w);
}

void TFkPictureBase::CreateWnd() {
  TFkBaseEntryField::CreateWnd();
  CalcPictureFlags();
  realType_ = IsRealType(DataTypeCode());
  if (Has(mask_, '.')) decimalPlaces_ = 0;
}

}  // namespace tw::entry
