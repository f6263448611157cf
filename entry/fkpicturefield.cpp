#include "entry/fkpicturefield.h"

#include <algorithm>
#include <cmath>

#include "entry/fkstrings.h"
#include "entry/strres/fkstrres.h"
#include "platform/forms/menus/menus.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

namespace {

using T = TPictureDataType;

std::string DefaultMask(T t) {
  switch (t) {
    case T::pftString: return "XXXXXXXXXXXXXXX";
    case T::pftChar: return "X";
    case T::pftBoolean: return "B";
    case T::pftYesNo: return "Y";
    case T::pftLongInt: return "iiiiiiiiii";
    case T::pftWord: return "99999";
    case T::pftInteger: return "iiiiii";
    case T::pftByte: return "999";
    case T::pftShortInt: return "iiii";
    case T::pftReal: case T::pftExtended: case T::pftDouble: case T::pftSingle: return "##########";
    case T::pftComp: return "iiiiiiiiii";
    case T::pftDate: return DefaultIntlSup().BuildDateMask(FormatSettings().ShortDateFormat.find("yyyy") != std::string::npos);
    case T::pftTime: return DefaultIntlSup().BuildTimeMask(false);
  }
  return "X";
}

std::string FormatInRadix(std::int64_t v, int radix) {
  if (radix == 10) return std::to_string(v);
  auto u = static_cast<std::uint32_t>(v);
  if (u == 0) return "0";
  std::string s;
  while (u != 0) {
    s.insert(s.begin(), "0123456789ABCDEF"[u % static_cast<unsigned>(radix)]);
    u /= static_cast<unsigned>(radix);
  }
  return s;
}

// A blank position of a number mask holds nothing: the digits around it make one number.
void RemoveBlanks(std::string& s) { s.erase(std::remove(s.begin(), s.end(), ' '), s.end()); }

bool ParseInRadix(std::string s, int radix, std::int64_t& value) {
  RemoveBlanks(s);
  if (s.empty()) return false;
  bool neg = false;
  std::size_t i = 0;
  if (s[0] == '-') {
    neg = true;
    i = 1;
  }
  if (i >= s.size()) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = CharUpper(s[i]);
    int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : 99;
    if (d >= radix) return false;
    v = v * radix + d;
    if (v > 0xFFFFFFFFLL) return false;
  }
  if (radix != 10 && !neg && v > 0x7FFFFFFFLL) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  value = neg ? -v : v;
  return true;
}

bool ParseReal(std::string s, char decimalChar, double& value) {
  for (char& c : s)
    if (c == decimalChar) c = '.';
  RemoveBlanks(s);
  if (s.empty() || s == "-" || s == ".") return false;
  double d;
  if (Val(s, d) != 0 || !std::isfinite(d)) return false;
  value = d;
  return true;
}

}  // namespace

TW_PUBLISHED(TFkCustomPictureField,
             Prop("DataType", &TFkCustomPictureField::DataType, &TFkCustomPictureField::SetDataType),
             Prop("InitDateTime", &TFkCustomPictureField::InitDateTime, &TFkCustomPictureField::SetInitDateTime),
             Prop("PictureMask", &TFkCustomPictureField::PictureMask, &TFkCustomPictureField::SetPictureMask));
TW_PUBLISHED(TFkPictureField, Prop("PopupMenu", &TFkPictureField::PopupMenu, &TFkPictureField::SetPopupMenu));
TW_REGISTER_CLASS(TFkPictureField);

void RegisterFieldkitClasses() {
  RegisterClass(TFkController::StaticClass(), [](TComponent* owner) -> TComponent* { return new TFkController(owner); });
  RegisterClass(TFkPictureField::StaticClass(), [](TComponent* owner) -> TComponent* { return new TFkPictureField(owner); });
}

TW_MESSAGE_MAP(TFkCustomPictureField,
               tw::OnMessage<TFkCustomPictureField, &TFkCustomPictureField::WMSetFocus>(WM_SETFOCUS),
               tw::OnMessage<TFkCustomPictureField, &TFkCustomPictureField::WMKillFocus>(WM_KILLFOCUS));

TFkCustomPictureField::TFkCustomPictureField(TComponent* owner) : TFkPictureBase(owner) {
  fieldClass_ = 1;
  dataTypeByte_ = 64;
  mask_ = pictureMask_;
  maxLength_ = static_cast<std::uint16_t>(mask_.size());
  InitPictureFlags();
  editText_ = MergeWithPicture("");
}

std::string TFkCustomPictureField::MaskText() const {
  // A mask longer than MaxLength (while a form is loading) counts whole.
  std::string m = mask_;
  if (!m.empty() && m.size() < maxLength_) m.append(maxLength_ - m.size(), m.back());
  return m;
}

bool TFkCustomPictureField::HasFourDigitYear() const { return mask_.find("yyyy") != std::string::npos || mask_.find("YYYY") != std::string::npos; }

bool TFkCustomPictureField::TwoDigitYearWindow(DayNumber& lo, DayNumber& hi) const {
  if (HasFourDigitYear() || GetEpoch() == 0) return false;
  if (mask_.find('y') == std::string::npos && mask_.find('Y') == std::string::npos) return false;
  lo = DMYToDayNumber(1, 1, std::clamp(GetEpoch(), MinYear, MaxYear), 0);
  hi = DMYToDayNumber(31, 12, std::clamp(GetEpoch() + 99, MinYear, MaxYear), 0);
  return true;
}

DayNumber TFkCustomPictureField::TodayForMask() const {
  const DayNumber today = CurrentDayNumber();
  DayNumber lo, hi;
  if (TwoDigitYearWindow(lo, hi) && (today < lo || today > hi)) return BadDate;
  return today;
}

void TFkCustomPictureField::SetDataType(T type) {
  if (static_cast<int>(type) > 15) throw EFkException(FkResString(34188));
  if (type == dataType_ && dataTypeByte_ == 64 + static_cast<int>(type) && windowReady_) return;
  dataType_ = type;
  dataTypeByte_ = static_cast<std::uint8_t>(64 + static_cast<int>(type));
  caretToEnd_ = true;
  insertPushes_ = true;
  SetDefaultRange(type);
  pictureMask_ = DefaultMask(type);
  maxLength_ = static_cast<std::uint16_t>(pictureMask_.size());
  decimalPlaces_ = 0;
  mask_.clear();
  ChangeMask(pictureMask_);
  maxLength_ = static_cast<std::uint16_t>(mask_.size());
  InitPictureFlags();
  dataSize_ = 0;
  ClearValue();
  if (HandleAllocated()) {
    windowReady_ = false;
    RecreateWnd();
  }
}

void TFkCustomPictureField::SetPictureMask(const std::string& mask) {
  if (mask.empty() || mask == pictureMask_) return;
  pictureMask_ = mask;
  bool recreate = HandleAllocated();
  TFkValue saved;
  bool haveValue = false;
  if (recreate) {
    Transfer(saved, 1);
    // A text keeps the characters it holds in the old mask's editable positions: the old
    // literals have no place in the new mask.
    if (dataType_ == T::pftString && !stripLiterals_) {
      std::string chars;
      for (int i = 0; i < static_cast<int>(editText_.size()); ++i)
        if (!IsLiteral(i)) chars += editText_[static_cast<std::size_t>(i)];
      saved.Str = chars;
    }
    haveValue = true;
  }
  ChangeMask(mask);
  ClearValue();
  if (recreate) {
    RecreateWnd();
    if (haveValue) {
      try {
        Transfer(saved, 2);
      } catch (const EFkException&) {
        ClearValue();
      }
    }
  }
}

void TFkCustomPictureField::SetInitDateTime(bool value) {
  initDateTime_ = value;
  if (Loading()) return;
  if (value) {
    if (dataType_ == T::pftDate) SetAsDayNumber(TodayForMask());
    else if (dataType_ == T::pftTime) SetAsSeconds(CurrentSeconds());
  } else if (dataType_ == T::pftDate || dataType_ == T::pftTime) {
    ClearValue();
    Invalidate();
  }
}

void TFkCustomPictureField::Assign(const TPersistent* source) {
  auto* o = dynamic_cast<const TFkCustomPictureField*>(source);
  if (o == nullptr) {
    TFkPictureBase::Assign(source);
    return;
  }
  SetDataType(o->dataType_);
  AssignOptions(o);
  SetColor(o->Color());
  ControlCharColor = o->ControlCharColor;
  SetEpoch(o->Epoch());
  initDateTime_ = o->initDateTime_;
  SetPictureMask(o->PictureMask());
  SetMaxLength(o->MaxLength());
  rangeHi_ = o->rangeHi_;
  rangeLo_ = o->rangeLo_;
  SetRightJustify(o->RightJustify());
  SetStripLiterals(o->StripLiterals());
  ZeroDisplayValue = o->ZeroDisplayValue;
}

void TFkCustomPictureField::ClearValue() {
  if (dataType_ == T::pftDate) editText_ = intl_->DayNumberToText(MaskText(), BadDate, false);
  else if (dataType_ == T::pftTime) editText_ = intl_->SecondsToText(MaskText(), BadTime, false);
  else editText_ = MergeWithPicture("");
}

void TFkCustomPictureField::CreateWnd() {
  TFkValue saved;
  bool recreating = windowReady_;
  if (recreating) Transfer(saved, 1);
  if (mask_.size() > maxLength_) maxLength_ = static_cast<std::uint16_t>(mask_.size());
  anchor_ = 0;
  TFkPictureBase::CreateWnd();
  InitPictureFlags();
  if (dataType_ == T::pftString || (rangeLo_.Int == rangeHi_.Int && rangeLo_.Real == rangeHi_.Real))
    SetDefaultRange(dataType_);
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning)) ClearValue();
  windowReady_ = true;
  if (recreating) {
    try {
      Transfer(saved, 2);
    } catch (const EFkException&) {
      ClearValue();
    }
  } else if (initDateTime_) {
    TFkValue v;
    if (dataType_ == T::pftDate) {
      v.Int = TodayForMask();
      Transfer(v, 2);
    } else if (dataType_ == T::pftTime) {
      v.Int = CurrentSeconds();
      Transfer(v, 2);
    }
  }
}

// ---- values

std::string TFkCustomPictureField::MergedNumber(const std::string& text) const {
  bool whole = true;
  std::string merged = MergeWithPicture(text, &whole);
  // A number the mask cannot show whole is refused: cutting it would show another number.
  if (!whole) throw EEntryFieldError(FkResString(fktext::ValueOutOfRange));
  return merged;
}

std::uint16_t TFkCustomPictureField::Transfer(TFkValue& value, int flag) {
  const int radix = MaskRadix();
  const std::string mask = MaskText();
  if (flag == 1) {
    std::string stripped = StripPicture(editText_);
    switch (dataType_) {
      case T::pftString: {
        std::string s;
        if (!(trimBlanks_ && IsEmpty())) {
          if (stripLiterals_) {
            for (int i = 0; i < static_cast<int>(editText_.size()); ++i)
              if (!IsLiteral(i)) s += editText_[static_cast<std::size_t>(i)];
          } else {
            s = editText_;
          }
          if (trimBlanks_) tw::entry::TrimBlanks(s);
        }
        value.Str = s.substr(0, 255);
        break;
      }
      case T::pftChar: value.Int = stripped.empty() ? 0 : static_cast<unsigned char>(stripped[0]); break;
      case T::pftBoolean: value.Int = !stripped.empty() && CharUpper(stripped[0]) == intl_->TrueChar; break;
      case T::pftYesNo: value.Int = !stripped.empty() && CharUpper(stripped[0]) == intl_->YesChar; break;
      case T::pftDate: value.Int = intl_->TextToDayNumber(mask, editText_, GetEpoch()); break;
      case T::pftTime: value.Int = intl_->TextToSeconds(mask, editText_); break;
      default:
        if (IsIntegerType(dataType_)) {
          std::int64_t v = 0;
          value.Int = ParseInRadix(stripped, radix, v) ? v : 0;
        } else {
          double d = 0;
          value.Real = ParseReal(stripped, intl_->DecimalChar, d) ? d : 0;
        }
    }
    return TFkPictureBase::Transfer(value, flag);
  }
  if (flag != 2) return TFkPictureBase::Transfer(value, flag);
  switch (dataType_) {
    case T::pftString: {
      // A value that carries every literal of the mask where it belongs is an edit text (the
      // value of a field that keeps its literals, read before its MaxLength grew): it is taken
      // as it stands, the positions it does not reach blank.  Anything else is merged, so
      // literals are never overwritten and a value never lands shifted by them.
      const std::string blank = MergeWithPicture("");
      bool hasLiteral = false;
      bool editText = value.Str.size() <= blank.size();
      for (int i = 0; i < static_cast<int>(blank.size()) && editText; ++i) {
        if (!IsLiteral(i)) continue;
        hasLiteral = true;
        if (i >= static_cast<int>(value.Str.size()) || value.Str[static_cast<std::size_t>(i)] != blank[static_cast<std::size_t>(i)])
          editText = false;
      }
      if (editText && (hasLiteral || value.Str.size() == blank.size()))
        editText_ = value.Str + blank.substr(value.Str.size());
      else
        editText_ = MergeWithPicture(value.Str);
      break;
    }
    case T::pftChar: editText_ = MergeWithPicture(std::string(1, static_cast<char>(value.Int))); break;
    case T::pftBoolean: editText_ = MergeWithPicture(std::string(1, value.Int != 0 ? intl_->TrueChar : intl_->FalseChar)); break;
    case T::pftYesNo: editText_ = MergeWithPicture(std::string(1, value.Int != 0 ? intl_->YesChar : intl_->NoChar)); break;
    case T::pftDate: {
      auto d = static_cast<DayNumber>(value.Int);
      if (d < 0 || d > MaxDayNumber) d = BadDate;
      DayNumber lo, hi;
      if (d != BadDate && TwoDigitYearWindow(lo, hi) && (d < lo || d > hi)) {
        if (d == 0 || d == DateTimeDelta) d = BadDate;
        else throw EInvalidDateForMask();
      }
      editText_ = intl_->DayNumberToText(mask, d, false);
      break;
    }
    case T::pftTime: editText_ = intl_->SecondsToText(mask, static_cast<SecondsOfDay>(value.Int), false); break;
    default:
      if (IsIntegerType(dataType_)) {
        editText_ = MergedNumber(FormatInRadix(value.Int, radix));
      } else {
        std::uint16_t width, decimals;
        GetMaskWidth(width, decimals);
        // The value text has "." as its point whatever the class library's settings say: the
        // merge puts the international decimal character in its place.
        TFormatSettings plain = FormatSettings();
        plain.DecimalSeparator = '.';
        std::string s = FloatToStrF(value.Real, TFloatFormat::ffFixed, 18, decimals, plain);
        if (s.size() < width) s.insert(0, width - s.size(), ' ');
        if (decimalPlaces_ == 0) tw::entry::TrimBlanks(s);
        else TrimTrailingZeros(s);
        editText_ = MergedNumber(s);
      }
  }
  if (editText_.size() < maxLength_) editText_.resize(maxLength_, ' ');
  return TFkPictureBase::Transfer(value, flag);
}

void TFkCustomPictureField::SetValueFromText(const std::string& text) {
  if (transfersSuspended_) return;
  TFkPictureBase::SetValueFromText(text);
}

bool TFkCustomPictureField::RangeTextToValue(const std::string& text, TFkValue& value) const {
  if (dataType_ == T::pftDate || dataType_ == T::pftTime) {
    const std::string mask = MaskText();
    if (text.size() != pictureMask_.size() && text.size() != mask.size()) return false;
    value.Int = dataType_ == T::pftDate ? intl_->TextToDayNumber(mask, text, GetEpoch()) : intl_->TextToSeconds(mask, text);
    return value.Int >= 0;
  }
  return TFkPictureBase::RangeTextToValue(text, value);
}

std::uint16_t TFkCustomPictureField::ValidateType() {
  std::uint16_t code = 0;
  const std::string stripped = StripPicture(editText_);
  const std::string mask = MaskText();
  bool reformat = false;
  switch (dataType_) {
    case T::pftString:
      if (!readingValue_ && trimBlanks_ && focused_) {
        std::string s = editText_;
        tw::entry::TrimBlanks(s);
        std::string merged = MergeWithPicture(s);
        if (merged != editText_) {
          editText_ = merged;
          Invalidate();
        }
      }
      break;
    case T::pftChar:
      if (rangeLo_.Int != rangeHi_.Int) {
        int c = stripped.empty() ? 0 : static_cast<unsigned char>(stripped[0]);
        if (c < rangeLo_.Int || c > rangeHi_.Int) code = ecOutOfRange;
      }
      break;
    case T::pftBoolean: {
      char c = stripped.empty() ? ' ' : CharUpper(stripped[0]);
      if (c != intl_->TrueChar && c != intl_->FalseChar) code = ecOutOfRange;
      break;
    }
    case T::pftYesNo: {
      char c = stripped.empty() ? ' ' : CharUpper(stripped[0]);
      if (c != intl_->YesChar && c != intl_->NoChar) code = ecOutOfRange;
      break;
    }
    case T::pftDate:
      if (!intl_->DateTextIsBlank(mask, editText_)) {
        DayNumber d = intl_->TextToDayNumber(mask, editText_, GetEpoch());
        if (d == BadDate) code = ecInvalidDate;
        else if (rangeHi_.Int != 0 && (d < rangeLo_.Int || d > rangeHi_.Int)) code = ecOutOfRange;
        else reformat = true;
      }
      break;
    case T::pftTime: {
      int h, m, s;
      if (!intl_->TextToHMS(mask, editText_, h, m, s)) {
        // A time whose number runs are all blank is an empty time, whatever runs the mask has.
        bool blank = true;
        for (int i = 0; i < static_cast<int>(editText_.size()) && i < static_cast<int>(mask.size()); ++i) {
          char mc = CharLower(mask[static_cast<std::size_t>(i)]);
          if ((mc == 'h' || mc == 'm' || mc == 's') && editText_[static_cast<std::size_t>(i)] != ' ') blank = false;
        }
        if (!blank) code = ecInvalidTime;
      } else {
        SecondsOfDay t = h * 3600 + m * 60 + s;
        if (rangeHi_.Int != 0 && (t < rangeLo_.Int || t > rangeHi_.Int)) code = ecOutOfRange;
        else reformat = true;
      }
      break;
    }
    default:
      if (IsIntegerType(dataType_)) {
        std::int64_t v;
        int radix = MaskRadix();
        if (!ParseInRadix(stripped, radix, v)) code = ecInvalidType;
        else if (v < rangeLo_.Int || v > rangeHi_.Int) code = ecOutOfRange;
        else reformat = true;
      } else {
        double d;
        if (!ParseReal(stripped, intl_->DecimalChar, d)) code = ecInvalidType;
        else if (d < rangeLo_.Real || d > rangeHi_.Real) code = ecOutOfRange;
        else reformat = true;
      }
  }
  if (reformat && focused_ && !readingValue_) {
    TFkValue v;
    Transfer(v, 1);
    try {
      Transfer(v, 2);
    } catch (const EFkException&) {
      code = IsNumericType(dataType_) ? ecOutOfRange : ecInvalidDate;
    }
    Invalidate();
  }
  DoOnUserValidation(code);
  return code;
}

bool TFkCustomPictureField::ValidateField(bool exiting) {
  if (modified_ && focused_ && DecimalPointPosition() >= 0) FixDecimalPoint(true, true);
  return TFkPictureBase::ValidateField(exiting);
}

// ---- focus

void TFkCustomPictureField::WMSetFocus(TMessage& msg) {
  CalcPictureFlags();
  bool coming = keepPosition_ || returning_;
  InheritedMessage(TFkCustomPictureField::StaticClass(), msg);
  if (!coming) anchor_ = selEnd_;
}

void TFkCustomPictureField::WMKillFocus(TMessage& msg) {
  if (modified_ && DecimalPointPosition() >= 0) FixDecimalPoint(true, true);
  InheritedMessage(TFkCustomPictureField::StaticClass(), msg);
  if (!keepPosition_) RestoreNumberDecorations();
}

// ---- display

std::string TFkCustomPictureField::GetDisplayText() const {
  if (Uninitialized && !focused_) return std::string(maxLength_, ' ');
  std::string s = TFkPictureBase::GetDisplayText();
  if (!passwordMode_ && PadChar == ' ') return s;
  for (int i = 0; i < static_cast<int>(s.size()); ++i) {
    if (IsLiteral(i)) continue;
    char& c = s[static_cast<std::size_t>(i)];
    if (c == ' ') c = PadChar;
    else if (passwordMode_) c = passwordChar_;
  }
  return s;
}

// ---- editing helpers

bool TFkCustomPictureField::TestChar(char& ch, int pos) const {
  if (static_cast<unsigned char>(ch) < 32 && !controlChar_) return false;
  char mc = MaskCharAt(pos);
  if (mc == '$' || mc == ',') mc = MaskCharAt(LastEditPosition());
  char before = (pos <= RunStart(pos) || pos <= 0) ? ' ' : editText_[static_cast<std::size_t>(pos - 1)];
  if (IsNumericType(dataType_) && ch == intl_->DecimalChar) {
    char dot = '.';
    return AcceptChar(mc, dot, before);
  }
  // A dot that is not the decimal character (the thousands separator of German settings) would
  // be read as the point: a number takes it only as its decimal character.
  if (IsNumericType(dataType_) && ch == '.') return false;
  if (static_cast<unsigned char>(ch) < 32) return true;
  return AcceptChar(mc, ch, before);
}

void TFkCustomPictureField::SkipLiteralsRight() {
  int last = LastEditPosition();
  while (caret_ <= last && IsLiteral(caret_)) ++caret_;
}

void TFkCustomPictureField::KeepCaretOffLiterals() {
  const int first = FirstEditPosition(), last = LastEditPosition();
  caret_ = std::clamp(caret_, first, std::max(first, last + 1));
  SkipLiteralsRight();
}

void TFkCustomPictureField::SkipLiteralsLeft() {
  int first = FirstEditPosition();
  while (caret_ > first && IsLiteral(caret_)) --caret_;
}

void TFkCustomPictureField::Advance(int target, bool typed) {
  if (target < FirstEditPosition() && AutoAdvanceLeftRight) FocusPreviousControl();
  else if (target > LastEditPosition() && ((typed && AutoAdvanceChar) || (!typed && AutoAdvanceLeftRight)))
    FocusNextControl();
}

void TFkCustomPictureField::DeleteAtCaret() {
  if (caret_ < 0 || caret_ >= static_cast<int>(editText_.size()) || IsLiteral(caret_)) return;
  int end = RunEnd(caret_);
  editText_.erase(static_cast<std::size_t>(caret_), 1);
  editText_.insert(static_cast<std::size_t>(end - 1), 1, ' ');
}

void TFkCustomPictureField::DeleteSelection() {
  int first = FirstEditPosition();
  for (int i = selStart_; i < selEnd_ && i < static_cast<int>(editText_.size()); ++i)
    if (!IsLiteral(i)) editText_[static_cast<std::size_t>(i)] = ' ';
  caret_ = std::min(selEnd_, static_cast<int>(editText_.size()));
  SkipLiteralsLeft();
  int runStart = RunStart(caret_);
  int runEnd = RunEnd(caret_);
  int from = std::max(selStart_, runStart);
  if (from < caret_ && caret_ <= runEnd) {
    int count = caret_ - from;
    editText_.erase(static_cast<std::size_t>(from), static_cast<std::size_t>(count));
    editText_.insert(static_cast<std::size_t>(runEnd - count), static_cast<std::size_t>(count), ' ');
  }
  caret_ = selStart_ < first ? first : selStart_;
  SkipLiteralsRight();
  selStart_ = selEnd_ = caret_;
}

bool TFkCustomPictureField::InsertAtCaret(char ch, bool beep) {
  int runEnd = RunEnd(caret_);
  if (!insertPushes_ && editText_[static_cast<std::size_t>(runEnd - 1)] != ' ') {
    if (beep) Beep();
    return false;
  }
  if (caret_ + 1 >= static_cast<int>(editText_.size()) || IsLiteral(caret_ + 1)) {
    editText_[static_cast<std::size_t>(caret_)] = ch;
  } else {
    editText_.erase(static_cast<std::size_t>(runEnd - 1), 1);
    editText_.insert(static_cast<std::size_t>(caret_), 1, ch);
  }
  ++caret_;
  SkipLiteralsRight();
  return true;
}

void TFkCustomPictureField::ExtendSelection(int oldAnchor) {
  if (selStart_ != oldAnchor) selEnd_ = anchor_;
  else selStart_ = anchor_;
  if (selStart_ > selEnd_) std::swap(selStart_, selEnd_);
  selStart_ = std::clamp(selStart_, 0, static_cast<int>(editText_.size()));
  selEnd_ = std::clamp(selEnd_, 0, static_cast<int>(editText_.size()));
}

void TFkCustomPictureField::CompleteDateTime(bool date) {
  const std::string mask = MaskText();
  if (date && TodayForMask() == BadDate) {
    // Today's year would be read back in another century: only its day and month runs complete.
    const bool whole = selStart_ == 0 && selEnd_ >= maxLength_;
    int at = std::max(selStart_, FirstEditPosition());
    while (at <= LastEditPosition() && IsLiteral(at)) ++at;
    if (whole || at >= static_cast<int>(mask.size()) || CharLower(mask[static_cast<std::size_t>(at)]) == 'y') {
      Beep();
      return;
    }
  }
  std::string full = date ? intl_->DayNumberToText(mask, CurrentDayNumber(), false)
                          : intl_->SecondsToText(mask, CurrentSeconds(), false);
  if (selStart_ == 0 && selEnd_ >= maxLength_) {
    editText_ = full;
    MoveCaretToEntry();
  } else {
    caret_ = std::max(selStart_, FirstEditPosition());
    SkipLiteralsRight();
    int a = RunStart(caret_), b = RunEnd(caret_);
    editText_.replace(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a), full.substr(static_cast<std::size_t>(a), static_cast<std::size_t>(b - a)));
    caret_ = b;
    SkipLiteralsRight();
    if (caret_ > LastEditPosition()) caret_ = EndOfText();
  }
  MarkModified();
}

void TFkCustomPictureField::PasteText(const std::string& text) {
  if (selStart_ != selEnd_) DeleteSelection();
  std::size_t k = 0;
  const bool number = IsNumberField();
  const int last = LastEditPosition();
  const int dp = DecimalPointPosition();
  std::string shown = GetDisplayText();
  // Leading characters that match the literals at the caret are skipped with it.
  while (k < text.size() && caret_ < static_cast<int>(shown.size()) && IsLiteral(caret_) &&
         shown[static_cast<std::size_t>(caret_)] == text[k]) {
    ++k;
    ++caret_;
  }
  while (k < text.size() && caret_ <= last) {
    char ch = text[k++];
    if (number && ch == ' ') continue;
    if (dp >= 0 && ch == intl_->DecimalChar && dp <= last) {
      if (caret_ <= dp) {
        FixDecimalPoint(true, false);
        caret_ = dp + 1;
      }
      continue;
    }
    if (ch == '.' && number) continue;
    int oldRunStart = RunStart(caret_);
    char before = caret_ > oldRunStart ? editText_[static_cast<std::size_t>(caret_ - 1)] : ' ';
    char mc = MaskCharAt(caret_);
    if (mc == '$' || mc == ',') mc = MaskCharAt(last);
    // Control characters and DEL are dropped from pasted text.
    if (static_cast<unsigned char>(ch) < 32 || ch == '\x7F' || !AcceptChar(mc, ch, before)) continue;
    InsertAtCaret(ch, false);
    while (k < text.size() && caret_ < static_cast<int>(editText_.size()) && IsLiteral(caret_) &&
           editText_[static_cast<std::size_t>(caret_)] == text[k])
      ++k;
  }
}

// ---- the editors

void TFkCustomPictureField::PerformEdit(TMessage& msg, std::uint16_t command) {
  if (static_cast<int>(dataType_) > 15) return;
  if (dataType_ == T::pftChar || dataType_ == T::pftBoolean || dataType_ == T::pftYesNo) CharEditor(msg, command);
  else TextEditor(msg, command);
}

void TFkCustomPictureField::TextEditor(TMessage& msg, std::uint16_t command) {
  if (editText_.size() < maxLength_) editText_.resize(maxLength_, ' ');
  const bool hadSelection = selStart_ != selEnd_;
  const int oldAnchor = anchor_;
  const int oldCaret = caret_;
  const std::string oldText = editText_;
  const int oldSelStart = selStart_, oldSelEnd = selEnd_;
  if (command == ccCtrlChar) {
    controlChar_ = true;
  } else if (command != ccChar) {
    if (!decorationsRemoved_) {
      RemoveNumberDecorations();
      if (decorationsRemoved_) Invalidate();
    }
    if (command != ccTypedChar) controlChar_ = false;
  }
  notHandled_ = false;
  if (command == ccChar) {
    notHandled_ = true;
    acceptNextChar_ = true;
    charAllowed_ = true;
    return;
  }
  if (command == ccCtrlChar) {
    UpdateCaretAndScroll(false);
    return;
  }
  const int first = FirstEditPosition();
  const int last = LastEditPosition();
  // Only a number field has a decimal point; the "." of another mask is a separator.
  const int dp = DecimalPointPosition();
  const int point = dp <= last ? dp : -1;
  // Every command below counts on a caret that stands on an editable position (or just past
  // the last one): the runs it edits are then those of editable characters only.
  KeepCaretOffLiterals();
  bool keepSelection = false;
  bool extended = false;
  switch (command) {
    case ccBack:
      if (hadSelection) {
        DeleteSelection();
      } else if (caret_ > first) {
        --caret_;
        SkipLiteralsLeft();
        if (caret_ < EndOfText()) DeleteAtCaret();
      }
      break;
    case ccDel:
      if (hadSelection) DeleteSelection();
      else if (caret_ < EndOfText()) DeleteAtCaret();
      break;
    case ccCut:
      if (hadSelection) DeleteSelection();
      break;
    case ccCopy: break;
    case ccDelBol: {
      int a = RunStart(caret_);
      int count = caret_ - a;
      if (count > 0) {
        int b = RunEnd(caret_);
        editText_.erase(static_cast<std::size_t>(a), static_cast<std::size_t>(count));
        editText_.insert(static_cast<std::size_t>(b - count), static_cast<std::size_t>(count), ' ');
      }
      caret_ = a;
      break;
    }
    case ccDelEol: {
      int b = RunEnd(caret_);
      for (int i = caret_; i < b; ++i) editText_[static_cast<std::size_t>(i)] = ' ';
      break;
    }
    case ccDelLine:
      MoveCaretToStart();
      for (int i = caret_; i <= last; ++i)
        if (!IsLiteral(i)) editText_[static_cast<std::size_t>(i)] = ' ';
      break;
    case ccDelWord:
      if (hadSelection) {
        DeleteSelection();
      } else if (caret_ < EndOfText()) {
        int b = RunEnd(caret_);
        int e = caret_;
        while (e < b && editText_[static_cast<std::size_t>(e)] != ' ') ++e;
        while (e < b && editText_[static_cast<std::size_t>(e)] == ' ') ++e;
        int count = e - caret_;
        editText_.erase(static_cast<std::size_t>(caret_), static_cast<std::size_t>(count));
        editText_.insert(static_cast<std::size_t>(b - count), static_cast<std::size_t>(count), ' ');
      }
      break;
    case ccHome: caret_ = first; break;
    case ccEnd: MoveCaretToEnd(); break;
    case ccLeft:
      if (caret_ > first) {
        --caret_;
        SkipLiteralsLeft();
      } else {
        Advance(caret_ - 1, false);
      }
      break;
    case ccRight:
      if (caret_ > last) {
        Advance(caret_ + 1, false);
      } else {
        ++caret_;
        SkipLiteralsRight();
        if (caret_ > last) Advance(caret_, false);
      }
      break;
    case ccWordLeft:
      if (caret_ <= first) {
        Advance(first - 1, false);
      } else {
        --caret_;
        while (caret_ > first && IsLiteral(caret_)) --caret_;
        while (caret_ > first && editText_[static_cast<std::size_t>(caret_)] == ' ' && !IsLiteral(caret_ - 1)) --caret_;
        while (caret_ > first && !IsLiteral(caret_ - 1) && editText_[static_cast<std::size_t>(caret_ - 1)] != ' ') --caret_;
      }
      break;
    case ccWordRight: {
      int end = EndOfText();
      if (caret_ >= end) {
        caret_ = RunEnd(std::min(caret_, last));
        while (caret_ < last && IsLiteral(caret_)) ++caret_;
        if (caret_ >= last) {
          Advance(last + 1, false);
          caret_ = std::max(first, std::min(caret_, end));
        }
      } else {
        int b = RunEnd(caret_);
        while (caret_ < b && editText_[static_cast<std::size_t>(caret_)] != ' ') ++caret_;
        while (caret_ < b && editText_[static_cast<std::size_t>(caret_)] == ' ') ++caret_;
        while (caret_ < last && IsLiteral(caret_)) ++caret_;
        if (caret_ >= last) caret_ = end;
      }
      break;
    }
    case ccUp:
      if (AutoAdvanceUpDown()) FocusPreviousControl();
      else if (ArrowIncDec()) IncreaseValue(true, 1.0);
      else if (caret_ > first) { --caret_; SkipLiteralsLeft(); }
      break;
    case ccDown:
      if (AutoAdvanceUpDown()) FocusNextControl();
      else if (ArrowIncDec()) DecreaseValue(true, 1.0);
      else if (caret_ <= last) { ++caret_; SkipLiteralsRight(); }
      break;
    case ccInc: IncreaseValue(true, 1.0); break;
    case ccDec: DecreaseValue(true, 1.0); break;
    case ccIns: ToggleInsertMode(); break;
    case ccRestore:
      Restore();
      decorationsRemoved_ = false;
      keepSelection = true;
      break;
    case ccCompleteDate: if (dataType_ == T::pftDate) CompleteDateTime(true); break;
    case ccCompleteTime: if (dataType_ == T::pftTime) CompleteDateTime(false); break;
    case ccPaste: {
      const auto* text = reinterpret_cast<const std::string*>(msg.LParam);
      if (text != nullptr) PasteText(*text);
      break;
    }
    case ccExtendHome:
      anchor_ = 0;
      caret_ = first;
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    case ccExtendEnd:
      MoveCaretToEnd();
      anchor_ = maxLength_ + 1;
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    case ccExtendLeft:
    case ccExtendRight:
      anchor_ = command == ccExtendLeft ? std::max(0, anchor_ - 1) : std::min<int>(maxLength_, anchor_ + 1);
      caret_ = std::clamp(anchor_, first, last + 1);
      if (command == ccExtendLeft) SkipLiteralsLeft();
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    case ccExtWordLeft:
    case ccExtWordRight: {
      int a = anchor_;
      int n = static_cast<int>(editText_.size());
      if (command == ccExtWordLeft) {
        while (a > 0 && editText_[static_cast<std::size_t>(a - 1)] == ' ') --a;
        while (a > 0 && editText_[static_cast<std::size_t>(a - 1)] != ' ') --a;
      } else {
        while (a < n && editText_[static_cast<std::size_t>(a)] != ' ') ++a;
        while (a < n && editText_[static_cast<std::size_t>(a)] == ' ') ++a;
      }
      anchor_ = a;
      caret_ = std::clamp(a, first, last + 1);
      if (command == ccExtWordLeft) SkipLiteralsLeft();
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    }
    case ccTypedChar: {
      if (!acceptNextChar_) return;
      acceptNextChar_ = false;
      char ch = static_cast<char>(msg.WParam & 0xFF);
      if (hadSelection) {
        // Tested where it will stand: the selection's start, or the next editable position
        // when the selection starts on a literal.
        char test = ch;
        int pos = std::max(selStart_, first);
        while (pos < last && IsLiteral(pos)) ++pos;
        if (TestChar(test, pos)) DeleteSelection();
      }
      if (point >= 0 && ch == intl_->DecimalChar) {
        FixDecimalPoint(true, false);
        caret_ = point + 1;
        break;
      }
      if (caret_ > last) {
        if (AutoAdvanceChar) FocusNextControl();
        else Beep();
        break;
      }
      if (!TestChar(ch, caret_)) {
        Beep();
        break;
      }
      controlChar_ = false;
      if (!insertMode_) {
        editText_[static_cast<std::size_t>(caret_)] = ch;
        ++caret_;
        SkipLiteralsRight();
      } else if (!InsertAtCaret(ch, true)) {
        break;
      }
      Advance(caret_, true);
      break;
    }
    case ccMouseDown: {
      int pos = std::min(PositionAt(static_cast<int>(static_cast<std::int16_t>(msg.LParam & 0xFFFF))), static_cast<int>(maxLength_));
      bool shift = GetKeyState(VK_SHIFT) < 0;
      anchor_ = pos;
      if (shift) {
        if (selStart_ == selEnd_) {
          selStart_ = std::min(oldCaret, pos);
          selEnd_ = std::max(oldCaret, pos);
        } else {
          ExtendSelection(oldAnchor);
        }
        extended = true;
      } else {
        selStart_ = selEnd_ = pos;
      }
      caret_ = std::clamp(pos, first, last + 1);
      SkipLiteralsRight();
      if (!shift) caret_ = std::min(caret_, std::max(first, EndOfText()));
      keepSelection = true;
      break;
      break;
    }
    case ccMouseDrag: {
      int pos = std::min(PositionAt(static_cast<int>(static_cast<std::int16_t>(msg.LParam & 0xFFFF))), static_cast<int>(maxLength_));
      anchor_ = pos;
      ExtendSelection(oldAnchor);
      caret_ = std::clamp(pos, first, last + 1);
      SkipLiteralsRight();
      if (selStart_ == selEnd_) caret_ = std::min(caret_, std::max(first, EndOfText()));
      keepSelection = true;
      break;
    }
    case ccDoubleClick: {
      int pos = std::min(PositionAt(static_cast<int>(static_cast<std::int16_t>(msg.LParam & 0xFFFF))), maxLength_ - 1);
      int a = pos, b = pos;
      int n = static_cast<int>(editText_.size());
      while (a > 0 && editText_[static_cast<std::size_t>(a - 1)] != ' ' && !IsLiteral(a - 1)) --a;
      while (b < n && editText_[static_cast<std::size_t>(b)] != ' ' && !IsLiteral(b)) ++b;
      while (b < n && editText_[static_cast<std::size_t>(b)] == ' ' && !IsLiteral(b)) ++b;
      selStart_ = a;
      selEnd_ = b;
      anchor_ = caret_ = b;
      keepSelection = true;
      break;
    }
    case ccNoOp:
    case ccPartial:
      break;
    default:
      notHandled_ = true;
      break;
  }
  acceptNextChar_ = false;
  // A caret left on a literal (the far end of a selection, the end of the text) moves on to the
  // next editable position.
  KeepCaretOffLiterals();
  if (!keepSelection) {
    selStart_ = selEnd_ = caret_;
    anchor_ = caret_;
  } else if (command != ccMouseDown || extended) {
    Invalidate();
  }
  if (point >= 0) {
    if (oldCaret <= point && caret_ > point) FixDecimalPoint(true, false);
    else if (oldCaret > point && caret_ <= point) FixDecimalPoint(false, true);
  }
  UpdateCaretAndScroll(caret_ != oldCaret);
  // Restoring has cleared the modified mark and told OnChange itself.
  if (editText_ != oldText && command != ccRestore) {
    MarkModified();
    DoOnChange();
    Invalidate();
  } else if (caret_ != oldCaret || selStart_ != oldSelStart || selEnd_ != oldSelEnd) {
    Invalidate();
  }
}

void TFkCustomPictureField::CharEditor(TMessage& msg, std::uint16_t command) {
  if (editText_.size() < maxLength_) editText_.resize(maxLength_, ' ');
  const std::string oldText = editText_;
  const int oldAnchor = anchor_;
  if (command != ccCtrlChar && command != ccChar) caret_ = FirstEditPosition();
  notHandled_ = false;
  bool keepSelection = false;
  switch (command) {
    case ccTypedChar: {
      if (!acceptNextChar_) return;
      char ch = static_cast<char>(msg.WParam & 0xFF);
      char before = ' ';
      if ((static_cast<unsigned char>(ch) >= 32 || controlChar_) && AcceptChar(MaskCharAt(caret_), ch, before)) {
        editText_[static_cast<std::size_t>(caret_)] = ch;
        Advance(LastEditPosition() + 1, true);
      } else {
        Beep();
      }
      break;
    }
    case ccInc: IncreaseValue(true, 1.0); break;
    case ccDec: DecreaseValue(true, 1.0); break;
    case ccUp:
      if (AutoAdvanceUpDown()) FocusPreviousControl();
      else Advance(caret_ - 1, false);
      break;
    case ccDown:
      if (AutoAdvanceUpDown()) FocusNextControl();
      else Advance(caret_ + 1, false);
      break;
    case ccLeft: case ccWordLeft: Advance(caret_ - 1, false); break;
    case ccRight: case ccWordRight: Advance(LastEditPosition() + 1, false); break;
    case ccPaste: {
      const auto* text = reinterpret_cast<const std::string*>(msg.LParam);
      if (text != nullptr) {
        for (char ch : *text) {
          if (static_cast<unsigned char>(ch) >= 32 && AcceptChar(MaskCharAt(caret_), ch, ' ')) {
            editText_[static_cast<std::size_t>(caret_)] = ch;
            break;
          }
        }
      }
      break;
    }
    case ccRestore: Restore(); keepSelection = true; break;
    case ccDel: case ccMouseDown: break;
    case ccExtendEnd: case ccExtWordRight: case ccExtendHome: case ccExtWordLeft: case ccExtendLeft: case ccExtendRight:
      anchor_ = (command == ccExtendEnd || command == ccExtWordRight) ? maxLength_ + 1
              : (command == ccExtendHome || command == ccExtWordLeft) ? 0
              : command == ccExtendLeft ? std::max(0, anchor_ - 1) : anchor_ + 1;
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    case ccMouseDrag:
      anchor_ = std::min(PositionAt(static_cast<int>(static_cast<std::int16_t>(msg.LParam & 0xFFFF))), static_cast<int>(maxLength_));
      ExtendSelection(oldAnchor);
      keepSelection = true;
      break;
    case ccDoubleClick:
      selStart_ = 0;
      selEnd_ = static_cast<int>(editText_.size());
      keepSelection = true;
      break;
    case ccChar:
      notHandled_ = true;
      acceptNextChar_ = charAllowed_ = true;
      return;
    case ccCtrlChar: controlChar_ = true; return;
    default: notHandled_ = true; break;
  }
  acceptNextChar_ = false;
  if (!keepSelection) selStart_ = selEnd_ = anchor_ = caret_;
  UpdateCaretAndScroll(true);
  if (editText_ != oldText && command != ccRestore) {
    MarkModified();
    DoOnChange();
  }
  Invalidate();
}

// ---- stepping values

void TFkCustomPictureField::IncDecValue(bool wrap, double delta) {
  // A step that is no number changes nothing; one beyond every range is cut where it still
  // leaves the range (the integer and date types) or keeps its remainder of whole days (times).
  if (!focused_ || !std::isfinite(delta)) return;
  const std::string mask = MaskText();
  const std::string before = editText_;
  switch (dataType_) {
    case T::pftChar: {
      int lo = 1, hi = 255;
      if (rangeLo_.Int != rangeHi_.Int) {
        lo = static_cast<int>(rangeLo_.Int);
        hi = static_cast<int>(rangeHi_.Int);
      }
      int first = FirstEditPosition();
      int c = static_cast<unsigned char>(editText_[static_cast<std::size_t>(first)]);
      int dir = delta >= 1 ? 1 : -1;
      if (!wrap && ((dir > 0 && c >= hi) || (dir < 0 && c <= lo))) return;
      for (int tries = 0; tries < 256; ++tries) {
        c += dir;
        if (c > hi) {
          if (!wrap) return;
          c = lo;
        }
        if (c < lo) {
          if (!wrap) return;
          c = hi;
        }
        char ch = static_cast<char>(c);
        char test = ch;
        if (AcceptChar(MaskCharAt(first), test, ' ') && test == ch) {
          editText_[static_cast<std::size_t>(first)] = ch;
          break;
        }
      }
      break;
    }
    case T::pftBoolean: case T::pftYesNo: {
      TFkValue v;
      Transfer(v, 1);
      v.Int = v.Int != 0 ? 0 : 1;
      Transfer(v, 2);
      break;
    }
    case T::pftDate: {
      DayNumber d = intl_->TextToDayNumber(mask, editText_, GetEpoch());
      if (d == BadDate) return;
      int pos = std::min(caret_, static_cast<int>(mask.size()) - 1);
      if (pos > 0 && IsLiteral(pos)) --pos;
      char unit = CharLower(mask[static_cast<std::size_t>(std::max(pos, 0))]);
      const int step = static_cast<int>(std::clamp(std::trunc(delta), -1e7, 1e7));
      DayNumber lo = static_cast<DayNumber>(rangeLo_.Int), hi = static_cast<DayNumber>(rangeHi_.Int);
      if (hi == 0) {
        lo = 0;
        hi = MaxDayNumber;
      }
      DayNumber windowLo, windowHi;
      if (TwoDigitYearWindow(windowLo, windowHi)) {
        lo = std::max(lo, windowLo);
        hi = std::min(hi, windowHi);
        if (lo > hi) return;
      }
      DayNumber r;
      if (unit == 'd') r = d + step;
      else if (unit == 'm' || unit == 'n') r = AddMonthsYears(d, step, 0);
      else if (unit == 'y') r = AddMonthsYears(d, 0, step);
      else return;
      if (r < lo || r > hi || r == BadDate) {
        if (!wrap) return;
        int dd, mm, yy;
        DayNumberToDMY(d, dd, mm, yy);
        bool below = (r == BadDate) ? step < 0 : r < lo;
        DayNumber target = below ? hi : lo;
        int td, tm, ty;
        DayNumberToDMY(target, td, tm, ty);
        if (unit == 'd') {
          r = target;
        } else {
          int month = unit == 'y' ? mm : tm;
          int day = dd;
          while (day > 1 && !ValidDate(day, month, ty, 0)) --day;
          r = DMYToDayNumber(day, month, ty, 0);
          if (below) {
            while (r > hi) r = AddMonthsYears(r, unit == 'y' ? 0 : -1, unit == 'y' ? -1 : 0);
          } else {
            while (r != BadDate && r < lo) r = AddMonthsYears(r, unit == 'y' ? 0 : 1, unit == 'y' ? 1 : 0);
          }
          if (r == BadDate) return;
        }
      }
      editText_ = intl_->DayNumberToText(mask, r, false);
      break;
    }
    case T::pftTime: {
      SecondsOfDay t = intl_->TextToSeconds(mask, editText_);
      if (t == BadTime) return;
      int pos = std::min(caret_, static_cast<int>(mask.size()) - 1);
      if (pos > 0 && IsLiteral(pos)) --pos;
      char unit = CharLower(mask[static_cast<std::size_t>(std::max(pos, 0))]);
      const double whole = std::trunc(std::fabs(delta));
      const bool days = whole >= 86400;  // at least a whole day in any unit
      const int step = static_cast<int>(days ? std::fmod(whole, 86400) : whole);
      int h = 0, m = 0, s = 0;
      if (unit == 'h') h = step;
      else if (unit == 'm') m = step;
      else if (unit == 's') s = step;
      else if (unit == 't') h = 12 * step;
      else return;
      SecondsOfDay lo = static_cast<SecondsOfDay>(rangeLo_.Int), hi = static_cast<SecondsOfDay>(rangeHi_.Int);
      if (hi == 0) {
        lo = 0;
        hi = 86399;
      }
      long long raw = t + (delta < 0 ? -1LL : 1LL) * (h * 3600LL + m * 60LL + s);
      bool passed = days || raw < 0 || raw > 86399;
      SecondsOfDay r = static_cast<SecondsOfDay>(((raw % 86400) + 86400) % 86400);
      if ((passed || r < lo || r > hi) && !wrap) return;
      editText_ = intl_->SecondsToText(mask, r, false);
      break;
    }
    default: {
      std::string stripped = StripPicture(editText_);
      if (IsIntegerType(dataType_)) {
        int radix = MaskRadix();
        std::int64_t v;
        if (!ParseInRadix(stripped, radix, v)) return;
        const auto step = static_cast<std::int64_t>(std::clamp(std::trunc(delta), -1e10, 1e10));
        if (delta < 0 && v <= rangeLo_.Int) {
          if (!wrap) return;
          v = rangeHi_.Int;
        } else if (delta > 0 && v >= rangeHi_.Int) {
          if (!wrap) return;
          v = rangeLo_.Int;
        } else {
          v = std::clamp(v + step, rangeLo_.Int, rangeHi_.Int);
        }
        // A step to a number the mask cannot show is refused.
        bool whole = true;
        std::string merged = MergeWithPicture(FormatInRadix(v, radix), &whole);
        if (!whole) {
          Beep();
          return;
        }
        editText_ = merged;
      } else {
        double v;
        if (!ParseReal(stripped, intl_->DecimalChar, v)) return;
        if (delta < 0 && v <= rangeLo_.Real) {
          if (!wrap) return;
          v = rangeHi_.Real;
        } else if (delta > 0 && v >= rangeHi_.Real) {
          if (!wrap) return;
          v = rangeLo_.Real;
        } else {
          v = std::clamp(v + delta, rangeLo_.Real, rangeHi_.Real);
        }
        TFkValue val;
        val.Real = v;
        const int caret = caret_;
        try {
          Transfer(val, 2);
        } catch (const EEntryFieldError&) {
          Beep();
          return;
        }
        caret_ = caret;
        selStart_ = selEnd_ = caret_;
      }
      decorationsRemoved_ = false;
      RemoveNumberDecorations();
    }
  }
  if (editText_.size() < maxLength_) editText_.resize(maxLength_, ' ');
  if (editText_ != before) {
    MarkModified();
    DoOnChange();
  }
  UpdateCaretAndScroll(false);
}

}  // namespace tw::entry
