#include "entry/fksimplefield.h"

#include <algorithm>
#include <cmath>

#include "entry/fkpicturebase.h"
#include "entry/fkstrings.h"
#include "entry/strres/fkstrres.h"
#include "platform/classes/typinfo.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {
using T = TPictureDataType;
const std::string kAllowedMasks = "!#123456789ABEKLOXYabilx";

// An integer of a type in a radix; a text as wide as the type's pattern is read as the field
// writes a negative number (two's complement).
bool ParseInt(std::string s, int radix, T type, std::int64_t& v) {
  TrimBlanks(s);
  if (s.empty()) return false;
  bool neg = s[0] == '-';
  std::size_t i = neg ? 1 : 0;
  if (i >= s.size()) return false;
  std::int64_t r = 0;
  for (; i < s.size(); ++i) {
    char c = CharUpper(s[i]);
    int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
    if (d >= radix) return false;
    r = r * radix + d;
    if (r > 0xFFFFFFFFFFLL) return false;
  }
  v = neg ? -r : SignedFromPattern(r, s.size(), radix, type);
  return true;
}

int TypeBytes(T t) {
  switch (t) {
    case T::pftLongInt: return 4;
    case T::pftWord: case T::pftInteger: return 2;
    default: return 1;
  }
}
}  // namespace

TW_PUBLISHED(TFkCustomSimpleField,
             Prop("DataType", &TFkCustomSimpleField::DataType, &TFkCustomSimpleField::SetDataType),
             Prop("PictureMask", &TFkCustomSimpleField::PictureMask, &TFkCustomSimpleField::SetPictureMask));
TW_REGISTER_CLASS(TFkSimpleField);

TFkCustomSimpleField::TFkCustomSimpleField(TComponent* owner) : TFkBaseEntryField(owner) {
  fieldClass_ = 0;
  dataTypeByte_ = 0;
  mask_.assign(1, 'X');
}

int TFkCustomSimpleField::Radix() const {
  return pictureMask_ == 'K' ? 16 : pictureMask_ == 'O' ? 8 : pictureMask_ == 'b' ? 2 : 10;
}

void TFkCustomSimpleField::SetDataType(T type) {
  if (static_cast<int>(type) > 13) throw EFkException(FkResString(34188));
  if (type == DataTypeCode() && windowMadeBefore_) return;
  dataTypeByte_ = static_cast<std::uint8_t>(type);
  caretToEnd_ = true;
  insertPushes_ = true;
  SetDefaultRange(type);
  static const std::uint16_t lengths[] = {15, 1, 1, 1, 8, 5, 5, 3, 4, 14, 14, 14, 14, 14};
  static const char masks[] = {'X', 'X', 'B', 'Y', 'i', '9', 'i', '9', 'i', '#', '#', '#', '#', 'i'};
  maxLength_ = lengths[static_cast<int>(type)];
  pictureMask_ = masks[static_cast<int>(type)];
  mask_.assign(1, pictureMask_);
  decimalPlaces_ = 0;
  dataSize_ = 0;
  editText_.clear();
  if (HandleAllocated()) {
    windowMadeBefore_ = false;
    RecreateWnd();
  }
}

void TFkCustomSimpleField::SetPictureMask(char mask) {
  if (mask == pictureMask_) return;
  if (mask == 0 || kAllowedMasks.find(mask) == std::string::npos) throw EInvalidPictureMask(std::string(1, mask));
  pictureMask_ = mask;
  mask_.assign(1, mask);
  if (HandleAllocated()) RecreateWnd();
}

void TFkCustomSimpleField::CreateWnd() {
  TFkValue saved;
  const bool before = windowMadeBefore_;
  if (before) Transfer(saved, 1);
  TFkBaseEntryField::CreateWnd();
  if (rangeLo_.Int == rangeHi_.Int && rangeLo_.Real == rangeHi_.Real) SetDefaultRange(DataTypeCode());
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning)) ClearToEmptyValue();
  if (before) Transfer(saved, 2);
  windowMadeBefore_ = true;
}

void TFkCustomSimpleField::ClearToEmptyValue() {
  T t = DataTypeCode();
  TFkValue v;
  if (t == T::pftChar) {
    v.Int = (rangeLo_.Int > ' ' || rangeHi_.Int < ' ') ? rangeLo_.Int : ' ';
  } else if (IsIntegerType(t)) {
    v.Int = (0 < rangeLo_.Int || 0 > rangeHi_.Int) ? rangeLo_.Int : 0;
  } else if (IsRealType(t)) {
    v.Real = (0 < rangeLo_.Real || 0 > rangeHi_.Real) ? rangeLo_.Real : 0.0;
  }
  Transfer(v, 2);
}

std::uint16_t TFkCustomSimpleField::Transfer(TFkValue& value, int flag) {
  T t = DataTypeCode();
  if (static_cast<int>(t) > 13) throw EFkException(FkResString(34188));
  if (flag == 0) return TFkBaseEntryField::Transfer(value, flag);
  if (flag == 1) {
    switch (t) {
      case T::pftString: value.Str = editText_.substr(0, 255); break;
      case T::pftChar: value.Int = editText_.empty() ? 0 : static_cast<unsigned char>(editText_[0]); break;
      case T::pftBoolean: value.Int = !editText_.empty() && CharUpper(editText_[0]) == intl_->TrueChar; break;
      case T::pftYesNo: value.Int = !editText_.empty() && CharUpper(editText_[0]) == intl_->YesChar; break;
      default:
        if (IsIntegerType(t)) {
          std::int64_t v = 0;
          value.Int = ParseInt(editText_, Radix(), t, v) ? v : 0;
        } else {
          std::string s = editText_;
          for (char& c : s)
            if (c == intl_->DecimalChar) c = '.';
          tw::entry::TrimBlanks(s);
          double d = 0;
          value.Real = (!s.empty() && Val(s, d) == 0) ? d : 0.0;
        }
    }
    return TFkBaseEntryField::Transfer(value, flag);
  }
  const std::string before = editText_;
  switch (t) {
    case T::pftString: {
      std::string s = value.Str.substr(0, maxLength_);
      for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (AcceptMaskChar(pictureMask_, c, i == 0 ? ' ' : s[i - 1], *intl_, *userData_)) s[i] = c;
      }
      editText_ = s;
      break;
    }
    case T::pftChar: editText_.assign(1, static_cast<char>(value.Int)); break;
    case T::pftBoolean: editText_.assign(1, value.Int != 0 ? intl_->TrueChar : intl_->FalseChar); break;
    case T::pftYesNo: editText_.assign(1, value.Int != 0 ? intl_->YesChar : intl_->NoChar); break;
    default:
      if (IsIntegerType(t)) {
        int radix = Radix();
        if (radix == 10) {
          editText_ = std::to_string(value.Int);
        } else {
          const int bits = TypeBytes(t) * 8;
          const std::uint64_t pattern = static_cast<std::uint64_t>(value.Int) & ((std::uint64_t{1} << bits) - 1);
          const int digits = radix == 16 ? TypeBytes(t) * 2 : radix == 2 ? bits : (bits + 2) / 3;
          std::string s(static_cast<std::size_t>(digits), '0');
          std::uint64_t p = pattern;
          for (int i = digits - 1; i >= 0; --i, p /= static_cast<unsigned>(radix))
            s[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[p % static_cast<unsigned>(radix)];
          // The zeros that pad the type's digits give way to a shorter field; they are no part
          // of the number.
          const std::size_t pad = std::min(s.find_first_not_of('0'), s.size() - 1);
          if (s.size() > maxLength_) s.erase(0, std::min(pad, s.size() - maxLength_));
          editText_ = s;
        }
        // A number whose text does not fit the field is refused: cutting it would change it.
        if (editText_.size() > maxLength_) {
          editText_ = before;
          throw EEntryFieldError(FkResString(fktext::ValueOutOfRange));
        }
      } else {
        std::string s = FloatToStrF(value.Real, TFloatFormat::ffFixed, 18, decimalPlaces_);
        if (decimalPlaces_ != 0) TrimTrailingZeros(s);
        if (s.size() > maxLength_ || pictureMask_ == 'E') {
          int width = (decimalPlaces_ != 0 && decimalPlaces_ + 9 < maxLength_) ? decimalPlaces_ + 9 : maxLength_;
          // Fewer digits where a sign or a three-digit exponent needs the room; an exponent
          // is never cut, which would show another number.
          for (int precision = std::max(2, width - 6);; --precision) {
            s = FloatToStrF(value.Real, TFloatFormat::ffExponent, precision, 0);
            tw::entry::TrimBlanks(s);
            if (static_cast<int>(s.size()) <= width) break;
            if (precision == 1) {
              editText_ = before;
              throw EEntryFieldError(FkResString(fktext::ValueOutOfRange));
            }
          }
        }
        for (char& c : s)
          if (c == '.') c = intl_->DecimalChar;
        editText_ = s.substr(0, maxLength_);
      }
  }
  return TFkBaseEntryField::Transfer(value, flag);
}

std::uint16_t TFkCustomSimpleField::ValidateType() {
  T t = DataTypeCode();
  std::uint16_t code = 0;
  bool rewrite = false;
  TFkValue v;
  switch (t) {
    case T::pftString:
      if (focused_ && trimBlanks_ && !readingValue_) {
        std::string s = editText_;
        tw::entry::TrimBlanks(s);
        if (s != editText_) {
          editText_ = s;
          Invalidate();
        }
      }
      break;
    case T::pftChar:
      if (rangeLo_.Int != rangeHi_.Int) {
        int c = editText_.empty() ? 0 : static_cast<unsigned char>(editText_[0]);
        if (c < rangeLo_.Int || c > rangeHi_.Int) code = ecOutOfRange;
      }
      break;
    case T::pftBoolean: case T::pftYesNo: {
      char c = editText_.empty() ? ' ' : CharUpper(editText_[0]);
      bool ok = t == T::pftBoolean ? (c == intl_->TrueChar || c == intl_->FalseChar) : (c == intl_->YesChar || c == intl_->NoChar);
      if (!ok) code = ecOutOfRange;
      break;
    }
    default:
      if (IsIntegerType(t)) {
        std::int64_t n;
        if (!ParseInt(editText_, Radix(), t, n)) code = ecInvalidType;
        else if (n < rangeLo_.Int || n > rangeHi_.Int) code = ecOutOfRange;
        else rewrite = true;
      } else {
        std::string s = editText_;
        for (char& c : s)
          if (c == intl_->DecimalChar) c = '.';
        tw::entry::TrimBlanks(s);
        double d;
        if (s.empty() || Val(s, d) != 0 || !std::isfinite(d)) code = ecInvalidType;
        else if (d < rangeLo_.Real || d > rangeHi_.Real) code = ecOutOfRange;
        else rewrite = true;
      }
  }
  if (rewrite && focused_ && !readingValue_) {
    Transfer(v, 1);
    try {
      Transfer(v, 2);
    } catch (const EEntryFieldError&) {
      code = ecOutOfRange;  // its normal form is longer than the field
    }
    Invalidate();
  }
  DoOnUserValidation(code);
  return code;
}

void TFkCustomSimpleField::Assign(const TPersistent* source) {
  auto* o = dynamic_cast<const TFkCustomSimpleField*>(source);
  if (o == nullptr) {
    TFkBaseEntryField::Assign(source);
    return;
  }
  SetDataType(o->DataType());
  SetPictureMask(o->PictureMask());
  AssignOptions(o);
}

std::string TFkCustomSimpleField::GetDisplayText() const {
  std::string s = TFkBaseEntryField::GetDisplayText();
  if (Uninitialized && !focused_) return std::string(s.size(), ' ');
  if (passwordMode_) s.assign(s.size(), passwordChar_);
  if (PadChar != ' ' && s.size() < maxLength_) s.append(maxLength_ - s.size(), PadChar);
  return s;
}

bool TFkCustomSimpleField::CheckChar(char& ch, int pos) const {
  const bool numeric = IsNumericType(DataTypeCode());
  if (numeric && ch == '.' && intl_->DecimalChar != '.') return false;
  if (static_cast<unsigned char>(ch) < 32 && !controlChar_) return false;
  const bool isDecimal = numeric && ch == intl_->DecimalChar;
  char test = isDecimal ? '.' : ch;
  char before = pos <= 0 || pos > static_cast<int>(editText_.size()) ? ' ' : editText_[static_cast<std::size_t>(pos - 1)];
  if (static_cast<unsigned char>(test) >= 32 && !AcceptMaskChar(pictureMask_, test, before, *intl_, *userData_)) return false;
  ch = isDecimal ? intl_->DecimalChar : test;
  return true;
}

bool TFkCustomSimpleField::AutoAdvance(int target, bool typed) {
  if (target < 0 && AutoAdvanceLeftRight) {
    FocusPreviousControl();
    return true;
  }
  if (target >= maxLength_ && ((typed && AutoAdvanceChar) || (!typed && AutoAdvanceLeftRight))) {
    FocusNextControl();
    return true;
  }
  return false;
}

void TFkCustomSimpleField::DeleteSelection() {
  int a = std::clamp(selStart_, 0, static_cast<int>(editText_.size()));
  int b = std::clamp(selEnd_, a, static_cast<int>(editText_.size()));
  editText_.erase(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a));
  caret_ = a;
  selStart_ = selEnd_ = a;
}

bool TFkCustomSimpleField::InsertChar(char ch) {
  if (insertMode_) {
    if (static_cast<int>(editText_.size()) >= maxLength_ && insertPushes_ && caret_ < static_cast<int>(editText_.size()))
      editText_.pop_back();
    if (static_cast<int>(editText_.size()) < maxLength_) {
      editText_.insert(static_cast<std::size_t>(caret_), 1, ch);
      ++caret_;
      return true;
    }
    return false;
  }
  if (caret_ < maxLength_) {
    if (caret_ < static_cast<int>(editText_.size())) editText_[static_cast<std::size_t>(caret_)] = ch;
    else editText_.push_back(ch);
    ++caret_;
    return true;
  }
  return false;
}

void TFkCustomSimpleField::PerformEdit(TMessage& msg, std::uint16_t command) {
  T t = DataTypeCode();
  if (t == T::pftChar || t == T::pftBoolean || t == T::pftYesNo) CharEditor(msg, command);
  else if (static_cast<int>(t) <= 13) TextEditor(msg, command);
}

void TFkCustomSimpleField::TextEditor(TMessage& msg, std::uint16_t command) {
  const std::string oldText = editText_;
  const int oldCaret = caret_;
  const bool hadSelection = selStart_ != selEnd_;
  const int len = static_cast<int>(editText_.size());
  if (command == ccCtrlChar) controlChar_ = true;
  else if (command != ccTypedChar && command != ccChar) controlChar_ = false;
  acceptNextChar_ = false;
  bool keepSelection = false;
  auto wordLeft = [&](int p) {
    while (p > 0 && editText_[static_cast<std::size_t>(p - 1)] == ' ') --p;
    while (p > 0 && editText_[static_cast<std::size_t>(p - 1)] != ' ') --p;
    return p;
  };
  auto wordRight = [&](int p) {
    int n = static_cast<int>(editText_.size());
    while (p < n && editText_[static_cast<std::size_t>(p)] != ' ') ++p;
    while (p < n && editText_[static_cast<std::size_t>(p)] == ' ') ++p;
    return p;
  };
  auto extendTo = [&](int target) {
    target = std::clamp(target, 0, len);
    if (selStart_ == selEnd_) anchor_ = caret_;
    caret_ = target;
    selStart_ = std::min(anchor_, caret_);
    selEnd_ = std::max(anchor_, caret_);
    keepSelection = true;
  };
  switch (command) {
    case ccTypedChar: {
      char ch = static_cast<char>(msg.WParam & 0xFF);
      const bool allowed = charAllowed_;
      if (!allowed) break;
      if (!CheckChar(ch, hadSelection ? selStart_ : caret_)) {
        Beep();
        break;
      }
      charAllowed_ = controlChar_ = false;
      if (hadSelection) {
        DeleteSelection();
        char again = static_cast<char>(msg.WParam & 0xFF);
        if (CheckChar(again, caret_)) ch = again;
      }
      bool placed = InsertChar(ch);
      bool moved = AutoAdvance(caret_, true);
      if (!placed && !moved) Beep();
      break;
    }
    case ccLeft:
      if (caret_ > 0) --caret_;
      else AutoAdvance(-1, false);
      break;
    case ccRight:
      if (caret_ < len) ++caret_;
      else AutoAdvance(maxLength_, false);
      break;
    case ccUp:
    case ccDown:
      if (AutoAdvanceUpDown()) {
        if (command == ccUp) FocusPreviousControl();
        else FocusNextControl();
      } else if (ArrowIncDec()) {
        if (command == ccUp) IncreaseValue(true, 1.0);
        else DecreaseValue(true, 1.0);
      } else if (command == ccUp) {
        if (caret_ > 0) --caret_;
        else AutoAdvance(-1, false);
      } else {
        if (caret_ < len) ++caret_;
        else AutoAdvance(maxLength_, false);
      }
      break;
    case ccHome: caret_ = 0; break;
    case ccEnd: caret_ = len; break;
    case ccWordLeft:
      if (caret_ == 0) AutoAdvance(-1, false);
      else caret_ = wordLeft(caret_);
      break;
    case ccWordRight:
      if (caret_ >= len) AutoAdvance(maxLength_, false);
      else caret_ = wordRight(caret_);
      break;
    case ccExtendLeft: extendTo(caret_ - 1); break;
    case ccExtendRight: extendTo(caret_ + 1); break;
    case ccExtendHome: extendTo(0); break;
    case ccExtendEnd: extendTo(len); break;
    case ccExtWordLeft: extendTo(wordLeft(caret_)); break;
    case ccExtWordRight: extendTo(wordRight(caret_)); break;
    case ccBack:
      if (hadSelection) DeleteSelection();
      else if (caret_ > 0) {
        editText_.erase(static_cast<std::size_t>(caret_ - 1), 1);
        --caret_;
      }
      break;
    case ccDel:
      if (hadSelection) DeleteSelection();
      else if (caret_ < len) editText_.erase(static_cast<std::size_t>(caret_), 1);
      break;
    case ccDelWord:
      if (hadSelection) DeleteSelection();
      else editText_.erase(static_cast<std::size_t>(caret_), static_cast<std::size_t>(wordRight(caret_) - caret_));
      break;
    case ccDelLine: editText_.clear(); caret_ = 0; break;
    case ccDelEol: editText_.resize(static_cast<std::size_t>(std::min(caret_, len))); break;
    case ccDelBol: editText_.erase(0, static_cast<std::size_t>(std::min(caret_, len))); caret_ = 0; break;
    case ccIns: ToggleInsertMode(); break;
    case ccCopy: break;
    case ccCut: if (hadSelection) DeleteSelection(); break;
    case ccPaste: {
      if (hadSelection) DeleteSelection();
      const auto* text = reinterpret_cast<const std::string*>(msg.LParam);
      if (text == nullptr) break;
      const bool numeric = IsNumericType(DataTypeCode());
      for (char c : *text) {
        if (static_cast<int>(editText_.size()) >= maxLength_ && !(insertPushes_ && insertMode_)) break;
        if (numeric && (c == ' ' || (c == '.' && intl_->DecimalChar != '.'))) continue;
        // Control characters and DEL are dropped from pasted text.
        if (static_cast<unsigned char>(c) < 32 || c == '\x7F' || !CheckChar(c, caret_)) continue;
        if (!InsertChar(c)) break;
      }
      break;
    }
    case ccRestore: Restore(); keepSelection = true; break;
    case ccInc: IncreaseValue(true, 1.0); break;
    case ccDec: DecreaseValue(true, 1.0); break;
    case ccMouseDown: {
      if (editText_.empty()) break;
      int pos = std::min(PositionAt(static_cast<std::int16_t>(msg.LParam & 0xFFFF)), len);
      if (GetKeyState(VK_SHIFT) < 0) {
        if (hadSelection) {
          if (std::abs(pos - selStart_) < std::abs(pos - selEnd_)) selStart_ = pos;
          else selEnd_ = pos;
          if (selStart_ > selEnd_) std::swap(selStart_, selEnd_);
        } else {
          selStart_ = std::min(caret_, pos);
          selEnd_ = std::max(caret_, pos);
        }
        keepSelection = true;
      }
      anchor_ = caret_ = pos;
      break;
    }
    case ccMouseDrag: {
      if (editText_.empty()) break;
      int pos = std::min(PositionAt(static_cast<std::int16_t>(msg.LParam & 0xFFFF)), len);
      if (selStart_ == selEnd_) anchor_ = caret_;
      caret_ = pos;
      selStart_ = std::min(anchor_, pos);
      selEnd_ = std::max(anchor_, pos);
      keepSelection = true;
      break;
    }
    case ccDoubleClick: {
      if (editText_.empty()) break;
      int pos = std::min(PositionAt(static_cast<std::int16_t>(msg.LParam & 0xFFFF)), len);
      selStart_ = wordLeft(std::min(pos + 1, len));
      selEnd_ = wordRight(selStart_);
      caret_ = selEnd_;
      keepSelection = true;
      break;
    }
    case ccChar:
      acceptNextChar_ = charAllowed_ = true;
      return;
    default:
      acceptNextChar_ = true;
      break;
  }
  charAllowed_ = false;
  if (!keepSelection) selStart_ = selEnd_ = caret_;
  UpdateCaretAndScroll(caret_ != oldCaret);
  if (editText_ != oldText && command != ccRestore) {
    MarkModified();
    DoOnChange();
  }
  Invalidate();
}

void TFkCustomSimpleField::CharEditor(TMessage& msg, std::uint16_t command) {
  const std::string oldText = editText_;
  if (command != ccCtrlChar && command != ccChar) caret_ = 0;
  if (command == ccCtrlChar) controlChar_ = true;
  else if (command != ccTypedChar && command != ccChar) controlChar_ = false;
  acceptNextChar_ = false;
  bool keepSelection = false;
  switch (command) {
    case ccTypedChar: {
      if (!charAllowed_) break;
      char ch = static_cast<char>(msg.WParam & 0xFF);
      bool ok = (static_cast<unsigned char>(ch) >= 32 || controlChar_) &&
                (static_cast<unsigned char>(ch) < 32 || AcceptMaskChar(pictureMask_, ch, ' ', *intl_, *userData_));
      if (ok) {
        editText_.assign(1, ch);
        AutoAdvance(1, true);
      } else {
        Beep();
      }
      charAllowed_ = controlChar_ = false;
      break;
    }
    case ccLeft: case ccWordLeft: AutoAdvance(-1, false); break;
    case ccRight: case ccWordRight: AutoAdvance(maxLength_, false); break;
    case ccUp:
      if (AutoAdvanceUpDown()) FocusPreviousControl();
      else AutoAdvance(-1, false);
      break;
    case ccDown:
      if (AutoAdvanceUpDown()) FocusNextControl();
      else AutoAdvance(maxLength_, false);
      break;
    case ccInc: IncreaseValue(true, 1.0); break;
    case ccDec: DecreaseValue(true, 1.0); break;
    case ccPaste: {
      const auto* text = reinterpret_cast<const std::string*>(msg.LParam);
      if (text == nullptr) break;
      for (char c : *text) {
        if (static_cast<unsigned char>(c) >= 32 && AcceptMaskChar(pictureMask_, c, ' ', *intl_, *userData_)) {
          editText_.assign(1, c);
          break;
        }
      }
      break;
    }
    case ccRestore: Restore(); keepSelection = true; break;
    case ccExtendRight: case ccExtendEnd: case ccExtWordRight: case ccDoubleClick:
      selStart_ = 0;
      selEnd_ = static_cast<int>(editText_.size());
      keepSelection = true;
      break;
    case ccMouseDrag:
      if (PositionAt(static_cast<std::int16_t>(msg.LParam & 0xFFFF)) > 0) {
        selStart_ = 0;
        selEnd_ = static_cast<int>(editText_.size());
      } else {
        selStart_ = selEnd_ = 0;
      }
      keepSelection = true;
      break;
    case ccChar:
      acceptNextChar_ = charAllowed_ = true;
      return;
    case ccCtrlChar: case ccNoOp: case ccPartial: case ccMouseDown: case ccExtendLeft: case ccExtendHome:
    case ccExtWordLeft:
      break;
    default:
      acceptNextChar_ = true;
      break;
  }
  charAllowed_ = false;
  if (!keepSelection) selStart_ = selEnd_ = 0;
  UpdateCaretAndScroll(true);
  if (editText_ != oldText && command != ccRestore) {
    MarkModified();
    DoOnChange();
  }
  Invalidate();
}

void TFkCustomSimpleField::IncDecValue(bool wrap, double delta) {
  // A step that is no number changes nothing.
  if (!focused_ || !std::isfinite(delta)) return;
  T t = DataTypeCode();
  TFkValue v;
  Transfer(v, 1);
  if (t == T::pftString) return;
  if (t == T::pftChar) {
    int lo = 1, hi = 255;
    if (rangeLo_.Int != rangeHi_.Int) {
      lo = static_cast<int>(rangeLo_.Int);
      hi = static_cast<int>(rangeHi_.Int);
    }
    int c = static_cast<int>(v.Int);
    const int dir = delta < 0 ? -1 : 1;
    bool found = false;
    for (int tries = 0; tries < 256 && !found; ++tries) {
      c += dir;
      if (c > hi || c < lo) {
        if (!wrap) return;
        c = c > hi ? lo : hi;
      }
      char ch = static_cast<char>(c), test = ch;
      found = AcceptMaskChar(pictureMask_, test, ' ', *intl_, *userData_) && test == ch;
    }
    if (!found) return;
    v.Int = c;
  } else if (t == T::pftBoolean || t == T::pftYesNo) {
    v.Int = v.Int != 0 ? 0 : 1;
  } else {
    std::int64_t n;
    if (IsIntegerType(t) && !ParseInt(editText_, Radix(), t, n)) return;
    if (IsIntegerType(t)) {
      if (delta < 0 && v.Int <= rangeLo_.Int) {
        if (!wrap) return;
        v.Int = rangeHi_.Int;
      } else if (delta > 0 && v.Int >= rangeHi_.Int) {
        if (!wrap) return;
        v.Int = rangeLo_.Int;
      } else {
        // A step beyond every range is cut where it still leaves it.
        const auto step = static_cast<std::int64_t>(std::llround(std::clamp(delta, -1e10, 1e10)));
        v.Int = std::clamp(v.Int + step, rangeLo_.Int, rangeHi_.Int);
      }
    } else {
      if (delta < 0 && v.Real <= rangeLo_.Real) {
        if (!wrap) return;
        v.Real = rangeHi_.Real;
      } else if (delta > 0 && v.Real >= rangeHi_.Real) {
        if (!wrap) return;
        v.Real = rangeLo_.Real;
      } else {
        v.Real = std::clamp(v.Real + delta, rangeLo_.Real, rangeHi_.Real);
      }
    }
  }
  const int caret = caret_;
  try {
    Transfer(v, 2);
  } catch (const EEntryFieldError&) {
    Beep();  // a step to a number longer than the field
    return;
  }
  caret_ = std::min(caret, static_cast<int>(editText_.size()));
  MarkModified();
  DoOnChange();
  UpdateCaretAndScroll(false);
  Invalidate();
}

}  // namespace tw::entry
