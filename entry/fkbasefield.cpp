#include "entry/fkbasefield.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "entry/fkrangeraw.h"
#include "entry/fkstrings.h"
#include "entry/strres/fkstrres.h"
#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus/menus.h"
#include "platform/forms/stdctrls/measure.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/win1252.h"

namespace tw::entry {

TW_PUBLISHED(TFkBaseEntryField,
             Prop("ArrowIncDec", &TFkBaseEntryField::ArrowIncDec, &TFkBaseEntryField::SetArrowIncDec),
             Prop("AutoAdvanceChar", &TFkBaseEntryField::AutoAdvanceChar),
             Prop("AutoAdvanceLeftRight", &TFkBaseEntryField::AutoAdvanceLeftRight),
             Prop("AutoAdvanceUpDown", &TFkBaseEntryField::AutoAdvanceUpDown, &TFkBaseEntryField::SetAutoAdvanceUpDown),
             Prop("AutoSelect", &TFkBaseEntryField::AutoSelect),
             Prop("AutoSize", &TFkBaseEntryField::AutoSize, &TFkBaseEntryField::SetAutoSize),
             Prop("BeepOnError", &TFkBaseEntryField::BeepOnError),
             Prop("BorderStyle", &TFkBaseEntryField::BorderStyle, &TFkBaseEntryField::SetBorderStyle),
             Prop("CaretIns", &TFkBaseEntryField::CaretIns),
             Prop("CaretOvr", &TFkBaseEntryField::CaretOvr),
             Prop("CaretToEnd", &TFkBaseEntryField::CaretToEnd, &TFkBaseEntryField::SetCaretToEnd),
             Prop("ControlCharColor", &TFkBaseEntryField::ControlCharColor),
             Prop("DecimalPlaces", &TFkBaseEntryField::DecimalPlaces, &TFkBaseEntryField::SetDecimalPlaces),
             Prop("DisabledColors", &TFkBaseEntryField::DisabledColors),
             Prop("Epoch", &TFkBaseEntryField::Epoch, &TFkBaseEntryField::SetEpoch),
             Prop("ErrorColors", &TFkBaseEntryField::ErrorColors),
             Prop("ForceInsert", &TFkBaseEntryField::ForceInsert, &TFkBaseEntryField::SetForceInsert),
             Prop("ForceOvertype", &TFkBaseEntryField::ForceOvertype, &TFkBaseEntryField::SetForceOvertype),
             Prop("HighlightColors", &TFkBaseEntryField::HighlightColors),
             Prop("InputRequired", &TFkBaseEntryField::InputRequired),
             Prop("InsertPushes", &TFkBaseEntryField::InsertPushes, &TFkBaseEntryField::SetInsertPushes),
             Prop("MaxLength", &TFkBaseEntryField::MaxLength, &TFkBaseEntryField::SetMaxLength),
             Prop("PadChar", &TFkBaseEntryField::PadChar),
             Prop("PasswordChar", &TFkBaseEntryField::PasswordChar, &TFkBaseEntryField::SetPasswordChar),
             Prop("PasswordMode", &TFkBaseEntryField::PasswordMode, &TFkBaseEntryField::SetPasswordMode),
             Prop("RangeHi", &TFkBaseEntryField::RangeHi, &TFkBaseEntryField::SetRangeHi),
             Prop("RangeLo", &TFkBaseEntryField::RangeLo, &TFkBaseEntryField::SetRangeLo),
             Prop("ReadOnly", &TFkBaseEntryField::ReadOnly),
             Prop("RightAlign", &TFkBaseEntryField::RightAlign, &TFkBaseEntryField::SetRightAlign),
             Prop("RightJustify", &TFkBaseEntryField::RightJustify, &TFkBaseEntryField::SetRightJustify),
             Prop("SoftValidation", &TFkBaseEntryField::SoftValidation),
             Prop("StripLiterals", &TFkBaseEntryField::StripLiterals, &TFkBaseEntryField::SetStripLiterals),
             Prop("TextMargin", &TFkBaseEntryField::TextMargin, &TFkBaseEntryField::SetTextMargin),
             Prop("TrimBlanks", &TFkBaseEntryField::TrimBlanks, &TFkBaseEntryField::SetTrimBlanks),
             Prop("Uninitialized", &TFkBaseEntryField::Uninitialized),
             Prop("ZeroDisplay", &TFkBaseEntryField::ZeroDisplay),
             Prop("ZeroDisplayValue", &TFkBaseEntryField::ZeroDisplayValue),
             Prop("OnChange", &TFkBaseEntryField::OnChange),
             Prop("OnError", &TFkBaseEntryField::OnError),
             Prop("OnUserCommand", &TFkBaseEntryField::OnUserCommand),
             Prop("OnUserValidation", &TFkBaseEntryField::OnUserValidation));

bool IsNumericType(TPictureDataType t) {
  return t >= TPictureDataType::pftLongInt && t <= TPictureDataType::pftComp;
}
bool IsIntegerType(TPictureDataType t) {
  return t >= TPictureDataType::pftLongInt && t <= TPictureDataType::pftShortInt;
}
bool IsRealType(TPictureDataType t) { return t >= TPictureDataType::pftReal && t <= TPictureDataType::pftComp; }

std::int64_t SignedFromPattern(std::int64_t value, std::size_t digits, int radix, TPictureDataType t) {
  int bits = 0;
  switch (t) {
    case TPictureDataType::pftLongInt: bits = 32; break;
    case TPictureDataType::pftInteger: bits = 16; break;
    case TPictureDataType::pftShortInt: bits = 8; break;
    default: return value;
  }
  const int perDigit = radix == 16 ? 4 : radix == 8 ? 3 : radix == 2 ? 1 : 0;
  if (perDigit == 0 || value < 0) return value;
  for (int width : {bits, 32}) {
    const auto full = static_cast<std::size_t>((width + perDigit - 1) / perDigit);
    const std::int64_t span = std::int64_t{1} << width;
    if (digits == full && value < span && value >= span / 2) return value - span;
  }
  return value;
}

namespace {

using T = TPictureDataType;

constexpr std::uint16_t kErrorTexts[] = {34268, 34269, 34270, 34271, 34272, 34273, 34274};
constexpr std::uint16_t kEntryErrorText = 34278;
constexpr std::uint16_t kParamInvalidText = 34188;

bool IntegerBounds(T t, std::int64_t& lo, std::int64_t& hi) {
  switch (t) {
    case T::pftLongInt: lo = std::numeric_limits<std::int32_t>::min(); hi = std::numeric_limits<std::int32_t>::max(); return true;
    case T::pftWord: lo = 0; hi = 65535; return true;
    case T::pftInteger: lo = -32768; hi = 32767; return true;
    case T::pftByte: lo = 0; hi = 255; return true;
    case T::pftShortInt: lo = -128; hi = 127; return true;
    default: return false;
  }
}

// An integer in a radix; blanks around it are allowed.
bool ParseRadix(const std::string& text, int radix, std::int64_t& value) {
  std::string s = text;
  TrimBlanks(s);
  if (s.empty()) return false;
  bool neg = false;
  std::size_t i = 0;
  if (s[0] == '-' || s[0] == '+') {
    neg = s[0] == '-';
    i = 1;
  }
  if (i >= s.size()) return false;
  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    char c = CharUpper(s[i]);
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (d >= radix) return false;
    v = v * radix + d;
    if (v > (std::int64_t{1} << 40)) return false;
  }
  value = neg ? -v : v;
  return true;
}

std::string ToRadix(std::int64_t v, int radix) {
  if (radix == 10) return std::to_string(v);
  // Other radixes show the 32-bit pattern of the value.
  auto u = static_cast<std::uint32_t>(v);
  if (u == 0) return "0";
  std::string s;
  while (u != 0) {
    s.insert(s.begin(), "0123456789ABCDEF"[u % static_cast<unsigned>(radix)]);
    u /= static_cast<unsigned>(radix);
  }
  return s;
}

}  // namespace

TW_MESSAGE_MAP(TFkBaseEntryField,
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMKeyDown>(WM_KEYDOWN),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMSysKeyDown>(WM_SYSKEYDOWN),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMChar>(WM_CHAR),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMGetDlgCode>(WM_GETDLGCODE),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMCopy>(WM_COPY),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMCut>(WM_CUT),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMClear>(WM_CLEAR),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMPaste>(WM_PASTE),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMSetText>(WM_SETTEXT),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::EMGetSel>(EM_GETSEL),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::EMSetSel>(EM_SETSEL),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::EMGetModify>(EM_GETMODIFY),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::EMSetModify>(EM_SETMODIFY),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMLButtonDown>(WM_LBUTTONDOWN),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMLButtonDblClk>(WM_LBUTTONDBLCLK),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMMouseMove>(WM_MOUSEMOVE),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMEraseBkgnd>(WM_ERASEBKGND),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMSetFocus>(WM_SETFOCUS),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMKillFocus>(WM_KILLFOCUS),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::CMDialogChar>(CM_DIALOGCHAR),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::FKErrorReport>(FK_ERRORREPORT),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::FKGetDataSize>(FK_GETDATASIZE),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::FKFocusMove>(FK_FOCUSMOVE),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::CMFontChanged>(CM_FONTCHANGED),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::WMRButtonUp>(WM_RBUTTONUP),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::CMCtl3DChanged>(CM_CTL3DCHANGED),
               tw::OnMessage<TFkBaseEntryField, &TFkBaseEntryField::CMEnabledChanged>(CM_ENABLEDCHANGED));

TFkBaseEntryField::TFkBaseEntryField(TComponent* owner)
    : TFkBase(owner),
      intl_(&DefaultIntlSup()),
      userData_(&DefaultUserData()),
      disabledColors_(std::make_unique<TFkColors>(clGrayText, clWindow)),
      errorColors_(std::make_unique<TFkColors>(clBlack, clRed)),
      highlightColors_(std::make_unique<TFkColors>(clHighlightText, clHighlight)),
      carets_(std::make_unique<TFkCaretPair>()) {
  for (TFkColors* c : {disabledColors_.get(), errorColors_.get(), highlightColors_.get()})
    c->OnChange = [this] { Invalidate(); };
  adjusting_ = true;  // the control's own default size
  SetBounds(0, 0, 130, 25);
  adjusting_ = false;
  SetCursor(crIBeam);
  SetTabStop(true);
  SetParentColor(false);
  controlStyle_.Include(TControlStyleFlag::csCaptureMouse)
      .Include(TControlStyleFlag::csClickEvents)
      .Include(TControlStyleFlag::csOpaque)
      .Include(TControlStyleFlag::csDoubleClicks);
}

TFkBaseEntryField::~TFkBaseEntryField() = default;

// ---- options

void TFkBaseEntryField::OptionsChanged() {
  if (!Loading()) ResetOptions();
}

void TFkBaseEntryField::SetDecimalPlaces(std::uint8_t v) {
  if (v == decimalPlaces_) return;
  decimalPlaces_ = v;
  if (HandleAllocated()) RecreateWnd();
}

void TFkBaseEntryField::AssignOptions(const TFkBaseEntryField* o) {
  AutoAdvanceChar = o->AutoAdvanceChar;
  AutoAdvanceLeftRight = o->AutoAdvanceLeftRight;
  SetAutoAdvanceUpDown(o->AutoAdvanceUpDown());
  SetArrowIncDec(o->ArrowIncDec());
  AutoSelect = o->AutoSelect;
  SetAutoSize(o->AutoSize());
  BeepOnError = o->BeepOnError;
  SetBorderStyle(o->BorderStyle());
  SetCaretToEnd(o->CaretToEnd());
  ErrorColors()->Assign(o->ErrorColors());
  HighlightColors()->Assign(o->HighlightColors());
  DisabledColors()->Assign(o->DisabledColors());
  SetDecimalPlaces(o->DecimalPlaces());
  SetForceInsert(o->ForceInsert());
  SetForceOvertype(o->ForceOvertype());
  InputRequired = o->InputRequired;
  SetInsertPushes(o->InsertPushes());
  SetMaxLength(o->MaxLength());
  PadChar = o->PadChar;
  SetPasswordChar(o->PasswordChar());
  SetPasswordMode(o->PasswordMode());
  ReadOnly = o->ReadOnly;
  SoftValidation = o->SoftValidation;
  SetTextMargin(o->TextMargin());
  SetTrimBlanks(o->TrimBlanks());
  Uninitialized = o->Uninitialized;
  ZeroDisplay = o->ZeroDisplay;
}

void TFkBaseEntryField::SetBorderStyle(TBorderStyle v) {
  if (v == borderStyle_) return;
  borderStyle_ = v;
  if (HandleAllocated()) RecreateWnd();
  UpdateTopMargin();
  Invalidate();
}

void TFkBaseEntryField::SetRightAlign(bool v) {
  if (v == rightAlign_) return;
  rightAlign_ = v;
  if (focused_) UpdateCaretAndScroll(false);
  Invalidate();
}

void TFkBaseEntryField::SetMaxLength(std::uint16_t v) {
  if (!Loading() && (v < 1 || v > 255 || v < mask_.size())) return;
  if (v == maxLength_) return;
  maxLength_ = v;
  if (editText_.size() > v) editText_.resize(v);
  dataSize_ = 0;
  if (HandleAllocated()) RecreateWnd();
}

void TFkBaseEntryField::SetRightJustify(bool v) {
  rightJustify_ = v;
  if (v && DataTypeCode() == T::pftString) trimBlanks_ = true;
  OptionsChanged();
}

void TFkBaseEntryField::SetTrimBlanks(bool v) {
  trimBlanks_ = v;
  if (!v && fieldClass_ == 1 && DataTypeCode() == T::pftString) rightJustify_ = false;
  OptionsChanged();
}

void TFkBaseEntryField::ResetOptions() {
  if (Loading()) return;
  T t = DataTypeCode();
  bool single = t == T::pftChar || t == T::pftBoolean || t == T::pftYesNo;
  if (single) {
    caretToEnd_ = insertPushes_ = forceInsert_ = forceOvertype_ = trimBlanks_ = rightJustify_ = stripLiterals_ = false;
  } else if (IsNumericType(t)) {
    trimBlanks_ = stripLiterals_ = false;
    if (fieldClass_ == 0) rightJustify_ = false;
  } else if (t == T::pftDate || t == T::pftTime) {
    trimBlanks_ = rightJustify_ = stripLiterals_ = false;
  } else if (fieldClass_ == 0) {
    rightJustify_ = stripLiterals_ = false;
  }
}

void TFkBaseEntryField::SetDefaultRange(T t) {
  rangeLo_ = TFkValue();
  rangeHi_ = TFkValue();
  std::int64_t lo, hi;
  if (IntegerBounds(t, lo, hi)) {
    rangeLo_.Int = lo;
    rangeHi_.Int = hi;
  } else if (IsRealType(t)) {
    double m = t == T::pftSingle ? 3.4e38 : (t == T::pftReal ? 1.7e38 : (t == T::pftComp ? 9.2e18 : 1.7e308));
    rangeLo_.Real = -m;
    rangeHi_.Real = m;
  } else if (t == T::pftChar) {
    rangeLo_.Int = rangeHi_.Int = ' ';
  } else if (t == T::pftDate) {
    rangeHi_.Int = MaxDayNumber;
  } else if (t == T::pftTime) {
    rangeHi_.Int = 86399;
  }
}

// ---- value access

int TFkBaseEntryField::MaskRadix() const {
  if (mask_.find('K') != std::string::npos) return 16;
  if (mask_.find('O') != std::string::npos) return 8;
  if (mask_.find('b') != std::string::npos) return 2;
  return 10;
}

int TFkBaseEntryField::GetEpoch() const {
  if (epoch_ != 0) return epoch_;
  if (Controller() != nullptr) return Controller()->Epoch();
  return 0;
}

std::uint16_t TFkBaseEntryField::DataSize() {
  if (dataSize_ == 0) {
    static const std::uint16_t sizes[] = {0, 1, 1, 1, 4, 2, 2, 1, 1, 6, 10, 8, 4, 8, 4, 4};
    T t = DataTypeCode();
    if (t == T::pftString) {
      int literals = 0;
      if (fieldClass_ == 1 && stripLiterals_) {
        static const std::string editable = "!#123456789ABDEHKLMNOSXYabdhilmnstxy";
        for (char c : mask_)
          if (editable.find(c) == std::string::npos && c != '$' && c != ',') ++literals;
      }
      dataSize_ = static_cast<std::uint16_t>(maxLength_ + 1 - literals);
    } else {
      dataSize_ = sizes[static_cast<int>(t) & 15];
    }
  }
  return dataSize_;
}

std::uint16_t TFkBaseEntryField::GetValue(TFkValue& value) {
  if ((dataTypeByte_ & 0x3F) > 15) throw EFkException(FkResString(kParamInvalidText));
  readingValue_ = true;
  validating_ = true;
  std::uint16_t code;
  try {
    code = ValidateType();
  } catch (...) {
    readingValue_ = validating_ = false;
    throw;
  }
  validating_ = false;
  if (code == 0) Transfer(value, 1);
  readingValue_ = false;
  return code;
}

void TFkBaseEntryField::SetValue(const TFkValue& value) {
  if (transfersSuspended_) return;
  if ((dataTypeByte_ & 0x3F) > 15) throw EFkException(FkResString(kParamInvalidText));
  HandleNeeded();
  settingValue_ = true;
  TFkValue copy = value;
  try {
    Transfer(copy, 2);
  } catch (...) {
    settingValue_ = false;
    throw;
  }
  settingValue_ = false;
}

// A date or time read that gives no value (a blank field or a text that does not read) is a
// failure: 0.0 would otherwise stand for 30 December 1899 or midnight.  The failure is kept in
// LastError and marks the field invalid, as a soft validation of that text would have; a read
// that gives a value clears the mark.
std::int64_t TFkBaseEntryField::ReadDateOrTime(TPictureDataType t) {
  TFkValue v;
  LastError = GetValue(v);
  const std::int64_t none = t == T::pftDate ? BadDate : BadTime;
  if (LastError == 0 && v.Int == none) LastError = t == T::pftDate ? ecInvalidDate : ecInvalidTime;
  if (LastError != 0) {
    if (!invalid_) {
      invalid_ = true;
      Invalidate();
    }
    return none;
  }
  // The text reads: whatever an earlier validation found, the field holds a valid value now.
  if (invalid_) {
    invalid_ = false;
    Invalidate();
  }
  return v.Int;
}

TDateTime TFkBaseEntryField::GetAsDateTime() {
  T t = DataTypeCode();
  if (t != T::pftDate && t != T::pftTime) throw EInvalidDataType();
  const std::int64_t value = ReadDateOrTime(t);
  if (LastError != 0) return 0.0;
  return t == T::pftDate ? DayNumberToDateTime(static_cast<DayNumber>(value))
                         : SecondsToDateTime(static_cast<SecondsOfDay>(value));
}

DayNumber TFkBaseEntryField::GetAsDayNumber() {
  if (DataTypeCode() != T::pftDate) throw EInvalidDataType();
  return static_cast<DayNumber>(ReadDateOrTime(T::pftDate));
}

std::string TFkBaseEntryField::GetAsString() {
  if (DataTypeCode() == T::pftString) {
    TFkValue v;
    LastError = GetValue(v);
    return LastError != 0 ? std::string() : v.Str;
  }
  LastError = 0;
  std::string s = editText_;
  if (trimBlanks_) tw::entry::TrimBlanks(s);
  return s;
}

void TFkBaseEntryField::SetAsDayNumber(DayNumber d) {
  if (DataTypeCode() != T::pftDate) throw EInvalidDataType();
  TFkValue v;
  v.Int = d;
  SetValue(v);
}

void TFkBaseEntryField::SetAsSeconds(SecondsOfDay t) {
  if (DataTypeCode() != T::pftTime) throw EInvalidDataType();
  TFkValue v;
  v.Int = t;
  SetValue(v);
}

void TFkBaseEntryField::SetAsString(const std::string& s) {
  if (transfersSuspended_) return;
  T t = DataTypeCode();
  TFkValue v;
  if (t == T::pftString) {
    v.Str = s.substr(0, 255);
  } else if (t == T::pftBoolean || t == T::pftYesNo) {
    char c = s.empty() ? '\0' : CharUpper(s[0]);
    v.Int = (c == intl_->TrueChar || c == intl_->YesChar) ? 1 : 0;
  } else if ((t == T::pftDate || t == T::pftTime) && s.find_first_not_of(' ') == std::string::npos) {
    v.Int = t == T::pftDate ? BadDate : BadTime;  // an empty text empties the field
  } else if (!StrToValue(s, v)) {
    throw EEntryFieldError(FkResString(kErrorTexts[1]));
  }
  SetValue(v);
}

bool TFkBaseEntryField::StrToValue(const std::string& text, TFkValue& value) const {
  T t = DataTypeCode();
  if (t == T::pftChar) {
    if (text.size() > 1 && text[0] == '#') {
      std::int64_t code;
      if (!ParseRadix(text.substr(1), 10, code) || code < 0 || code > 255) return false;
      value.Int = code;
    } else {
      value.Int = text.empty() ? 0 : static_cast<unsigned char>(text[0]);
    }
    return true;
  }
  if (IsIntegerType(t)) {
    int radix = MaskRadix();
    std::int64_t v;
    if (!ParseRadix(text, radix, v)) return false;
    if (radix != 10 && v > 0 && v <= 0xFFFFFFFFLL && t == T::pftLongInt) v = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    std::string digits = text;
    tw::entry::TrimBlanks(digits);
    v = SignedFromPattern(v, digits.size(), radix, t);
    std::int64_t lo, hi;
    IntegerBounds(t, lo, hi);
    if (v < lo || v > hi) return false;
    value.Int = v;
    return true;
  }
  if (IsRealType(t)) {
    std::string s = text;
    tw::entry::TrimBlanks(s);
    if (s.empty()) return false;
    double d;
    if (Val(s, d) != 0 || !std::isfinite(d)) return false;
    value.Real = d;
    return true;
  }
  if (t == T::pftDate) {
    std::string mask = DefaultIntlSup().BuildDateMask(true);
    if (text.size() != mask.size()) return false;
    DayNumber d = DefaultIntlSup().TextToDayNumber(mask, text, GetEpoch());
    if (d == BadDate) return false;
    value.Int = d;
    return true;
  }
  if (t == T::pftTime) {
    // The international time mask first; a text of another length or layout (a field with its
    // own mask, an hour without its leading zero or blank) is read as a free time text.
    std::string mask = DefaultIntlSup().BuildTimeMask(false);
    SecondsOfDay s = text.size() == mask.size() ? DefaultIntlSup().TextToSeconds(mask, text) : BadTime;
    if (s == BadTime) s = DefaultIntlSup().FreeTextToSeconds(text);
    if (s == BadTime) return false;
    value.Int = s;
    return true;
  }
  return false;
}

std::string TFkBaseEntryField::RangeToText(const TFkValue& range) const {
  T t = DataTypeCode();
  switch (t) {
    case T::pftString: case T::pftBoolean: case T::pftYesNo: return {};
    case T::pftChar: {
      auto c = static_cast<unsigned char>(range.Int);
      if (c > ' ') return std::string(1, static_cast<char>(c));
      std::string s(1, '#');
      s += std::to_string(c);
      return s;
    }
    case T::pftDate:
      return range.Int == BadDate ? std::string()
                                  : DefaultIntlSup().DayNumberToText(DefaultIntlSup().BuildDateMask(true),
                                                                     static_cast<DayNumber>(range.Int), false);
    case T::pftTime:
      return range.Int == BadTime ? std::string()
                                  : DefaultIntlSup().SecondsToText(DefaultIntlSup().BuildTimeMask(false),
                                                                   static_cast<SecondsOfDay>(range.Int), false);
    default: break;
  }
  if (IsIntegerType(t)) {
    int radix = MaskRadix();
    return ToRadix(static_cast<std::int32_t>(range.Int), radix);
  }
  int decimals = decimalPlaces_;
  std::size_t dot = mask_.find('.');
  if (dot != std::string::npos) {
    decimals = 0;
    static const std::string editable = "!#123456789ABDEHKLMNOSXYabdhilmnstxy";
    for (std::size_t i = dot + 1; i < mask_.size() && editable.find(mask_[i]) != std::string::npos; ++i) ++decimals;
  }
  std::string s = FloatToStrF(range.Real, TFloatFormat::ffFixed, 15, decimals);
  if (mask_.find('E') != std::string::npos || s.size() > maxLength_)
    s = FloatToStrF(range.Real, TFloatFormat::ffExponent, std::max(2, decimals + 1), 0);
  return s;
}

void TFkBaseEntryField::SetRangeHi(const std::string& text) {
  if (Loading()) {
    pendingRangeHi_ = text;
    return;
  }
  TFkValue v;
  if (!RangeTextToValue(text, v)) throw EInvalidRangeValue(DataTypeCode());
  rangeHi_ = v;
}

void TFkBaseEntryField::SetRangeLo(const std::string& text) {
  if (Loading()) {
    pendingRangeLo_ = text;
    return;
  }
  TFkValue v;
  if (!RangeTextToValue(text, v)) throw EInvalidRangeValue(DataTypeCode());
  rangeLo_ = v;
}

void TFkBaseEntryField::Loaded() {
  TFkBase::Loaded();
  // The limits are decoded once the data type and mask they belong to have been read.  A raw
  // limit wins over its text; a text is taken only where no raw limit was stored; a limit that
  // does not fit the type keeps the type's default.
  const T t = DataTypeCode();
  auto apply = [&](std::string& raw, std::string& text, TFkValue& limit) {
    TFkValue v;
    if (!raw.empty()) {
      if (HasRawRange(t) && RawToRange(t, raw, v)) limit = v;
    } else if (!text.empty() && RangeTextToValue(text, v)) {
      limit = v;
    }
    raw.clear();
    text.clear();
  };
  apply(pendingRawLo_, pendingRangeLo_, rangeLo_);
  apply(pendingRawHi_, pendingRangeHi_, rangeHi_);
  ResetOptions();
}

void TFkBaseEntryField::DefineProperties(TFiler* filer) {
  TFkBase::DefineProperties(filer);
  const bool stored = HasRawRange(DataTypeCode());
  auto reader = [](std::string& slot) {
    return [&slot](TStream& stream) {
      std::string bytes(static_cast<std::size_t>(stream.Size()), '\0');
      if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
      if (bytes.size() != kRawRangeSize) throw EReadError("Invalid property value");
      slot = bytes;
    };
  };
  auto writer = [](const TFkBaseEntryField* field, const TFkValue& limit) {
    return [field, &limit](TStream& stream) {
      const std::string bytes = RangeToRaw(field->DataTypeCode(), limit);
      stream.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    };
  };
  filer->DefineBinaryProperty("RangeHigh", reader(pendingRawHi_), writer(this, rangeHi_), stored);
  filer->DefineBinaryProperty("RangeLow", reader(pendingRawLo_), writer(this, rangeLo_), stored);
}

// ---- transfer, validation and the error report

std::uint16_t TFkBaseEntryField::Transfer(TFkValue&, int flag) {
  if (flag == 2 && !validating_) {
    keepPosition_ = false;
    if (focused_) {
      MoveCaretToEntry();
      UpdateCaretAndScroll(true);
      if (!readingValue_) {
        selStart_ = 0;
        selEnd_ = static_cast<int>(editText_.size());
      }
    } else {
      invalid_ = false;
    }
    modified_ = modifiedSinceSet_ = false;
    Invalidate();
  }
  return DataSize();
}

bool TFkBaseEntryField::IsEmpty() const {
  return editText_.find_first_not_of(' ') == std::string::npos;
}

bool TFkBaseEntryField::ValidateField(bool exiting) {
  if (!Visible() || !Enabled()) return true;
  HandleNeeded();
  LastError = 0;
  if (InputRequired && !IsReadOnly() && (IsEmpty() || (Uninitialized && !modified_))) {
    LastError = ecRequired;
  } else {
    validating_ = true;
    try {
      LastError = ValidateType();
    } catch (...) {
      validating_ = false;
      throw;
    }
    validating_ = false;
  }
  if (caret_ > static_cast<int>(editText_.size())) caret_ = static_cast<int>(editText_.size());
  if (LastError == 0) {
    invalid_ = false;
    return true;
  }
  if (exiting && SoftValidation) {
    invalid_ = true;
    Invalidate();
    return true;
  }
  if (SoftValidation) invalid_ = true;
  errorPending_ = true;
  if (focused_) keepPosition_ = true;
  bool soft = SoftValidation;
  SoftValidation = true;
  TFkController* c = Controller();
  if (c != nullptr) {
    PostMessage(c->Handle(), FK_SHOWCONTROL, static_cast<WPARAM>(Handle()), reinterpret_cast<LPARAM>(this));
    if (!c->ErrorPending) PostMessage(Handle(), FK_ERRORREPORT, LastError, 0);
    c->ErrorPending = true;
  } else {
    PostMessage(Handle(), FK_ERRORREPORT, LastError, 0);
  }
  SoftValidation = soft;
  return false;
}

void TFkBaseEntryField::FKErrorReport(TMessage& msg) {
  auto code = static_cast<std::uint16_t>(msg.WParam);
  if (code == 0) return;
  std::string text;
  if (code >= ecOutOfRange && code <= ecPartial) {
    text = FkResString(kErrorTexts[code - ecOutOfRange]);
  } else if (code >= ecUserFirst) {
    text = Controller() != nullptr ? Controller()->ErrorText : std::string();
  } else {
    text = FkResString(kEntryErrorText);
  }
  if (Controller() != nullptr) Controller()->ErrorText = text;
  DoOnError(code, text);
}

void TFkBaseEntryField::DoOnError(std::uint16_t code, const std::string& text) {
  if (OnError) {
    FireEvent(OnError, this, code, text);
  } else if (Controller() != nullptr) {
    Controller()->ReportFieldError(this, code, text);
  } else {
    Application()->MessageBox(text, Application()->Title(), MB_OK | MB_ICONHAND);
  }
}

void TFkBaseEntryField::DoOnUserValidation(std::uint16_t& code) {
  if (transfersSuspended_ || !OnUserValidation) return;
  transfersSuspended_ = true;
  try {
    FireEvent(OnUserValidation, this, code);
  } catch (...) {
    transfersSuspended_ = false;
    throw;
  }
  transfersSuspended_ = false;
}

void TFkBaseEntryField::DoOnChange() {
  if (!settingValue_) FireEvent(OnChange, this);
}

void TFkBaseEntryField::FKGetDataSize(TMessage& msg) { msg.Result = DataSize(); }

// ---- window

void TFkBaseEntryField::CreateWnd() {
  TFkBase::CreateWnd();
  scroll_ = caret_ = selStart_ = selEnd_ = 0;
  dataSize_ = 0;
  DataSize();
  T t = DataTypeCode();
  if (InputRequired && t >= T::pftChar && t <= T::pftComp) Uninitialized = true;
  radix16_ = mask_.find('K') != std::string::npos;
  radix8_ = mask_.find('O') != std::string::npos;
  radix2_ = mask_.find('b') != std::string::npos;
  windowReady_ = true;
  ResetOptions();
  Canvas()->Font()->Assign(Font());
  AdjustHeight();
  UpdateTopMargin();
  rightAlignedNow_ = false;
}

void TFkBaseEntryField::SetEditText(const std::string& text) {
  editText_ = text.substr(0, maxLength_);
}

void TFkBaseEntryField::ChangeMask(const std::string& mask) {
  if (mask.empty()) return;
  if (Loading()) {
    mask_ = mask.substr(0, 255);
    return;
  }
  TFkValue v;
  Transfer(v, 1);
  mask_ = mask.substr(0, 255);
  Transfer(v, 2);
}

void TFkBaseEntryField::MoveCaretToEntry() {
  if (caretToEnd_) MoveCaretToEnd();
  else MoveCaretToStart();
}

void TFkBaseEntryField::Beep() {
  if (BeepOnError) MessageBeep(0);
}

void TFkBaseEntryField::ToggleInsertMode() {
  insertMode_ = !insertMode_;
  carets_->SetInsertMode(insertMode_);
  if (focused_) UpdateCaretAndScroll(false);
}

void TFkBaseEntryField::ClearToEmpty() {
  editText_.assign(maxLength_, ' ');
}

// ---- commands

void TFkBaseEntryField::PerformCommand(TMessage& msg, std::uint16_t command) {
  if (!HandleAllocated()) return;
  if (command == ccTypedChar && (msg.WParam & 0xFF) == 0) return;
  if (IsReadOnly()) {
    switch (command) {
      case ccBack: case ccCtrlChar: case ccCut: case ccDec: case ccDel: case ccDelBol: case ccDelEol:
      case ccDelLine: case ccDelWord: case ccInc: case ccIns: case ccPaste: case ccRestore: case ccTypedChar:
      case ccCompleteDate: case ccCompleteTime:
        Beep();
        return;
      default: break;
    }
  }
  if (command >= ccUserFirst) {
    DoOnUserCommand(command);
    PerformEdit(msg, ccNoOp);
    return;
  }
  PerformEdit(msg, command);
}

void TFkBaseEntryField::DispatchCommand(TMessage& msg, std::uint16_t command) {
  if (command == ccUndo) command = ccRestore;
  if (command == ccNone) return;
  if (command == ccIns && (forceInsert_ || forceOvertype_)) return;
  switch (command) {
    case ccCopy: Perform(WM_COPY, 0, 0); return;
    case ccCut: Perform(WM_CUT, 0, 0); return;
    case ccPaste: Perform(WM_PASTE, 0, 0); return;
    default: PerformCommand(msg, command);
  }
}

void TFkBaseEntryField::WMKeyDown(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  auto key = static_cast<std::uint16_t>(msg.WParam);
  if (key == 0 || key == VK_SHIFT || Controller() == nullptr) return;
  std::uint16_t cmd = Controller()->EntryCommands()->TranslateKeyMessage(key);
  DispatchCommand(msg, cmd);
}

void TFkBaseEntryField::WMSysKeyDown(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  auto key = static_cast<std::uint16_t>(msg.WParam);
  if (key == 0 || key == VK_TAB || key == VK_MENU || Controller() == nullptr) return;
  std::uint16_t cmd = Controller()->EntryCommands()->Translate(key, static_cast<std::uint8_t>(CurrentShiftFlags() | ksAlt));
  DispatchCommand(msg, cmd);
  if (key >= 96 && key <= 105) acceptNextChar_ = charAllowed_ = true;
}

void TFkBaseEntryField::WMChar(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  // Ctrl+Backspace types DEL (127): a key stroke, not a character of the value.
  const auto ch = static_cast<unsigned char>(msg.WParam & 0xFF);
  if (acceptNextChar_ && ch != 0 && ch != 127) PerformCommand(msg, ccTypedChar);
}

void TFkBaseEntryField::WMGetDlgCode(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  msg.Result |= DLGC_WANTCHARS | DLGC_WANTARROWS;
}

void TFkBaseEntryField::CopySelection() {
  if (selEnd_ <= selStart_) return;
  std::string shown = GetDisplayText();
  std::string part;
  for (int i = selStart_; i < selEnd_ && i < static_cast<int>(shown.size()); ++i) {
    auto e = i < static_cast<int>(editText_.size()) ? static_cast<unsigned char>(editText_[static_cast<std::size_t>(i)]) : 0;
    part += (e >= 1 && e <= 31) ? static_cast<char>(e) : shown[static_cast<std::size_t>(i)];
  }
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  EmptyClipboard();
  SetClipboardData(CF_TEXT, part);
  CloseClipboard();
}

void TFkBaseEntryField::WMCopy(TMessage& msg) {
  CopySelection();
  PerformCommand(msg, ccCopy);
}

void TFkBaseEntryField::WMCut(TMessage& msg) {
  if (IsReadOnly()) {
    Beep();
    return;
  }
  CopySelection();
  PerformCommand(msg, ccCut);
}

void TFkBaseEntryField::WMClear(TMessage& msg) { PerformCommand(msg, ccCut); }

void TFkBaseEntryField::WMPaste(TMessage& msg) {
  if (!IsClipboardFormatAvailable(CF_TEXT)) return;
  std::string text;
  if (!OpenClipboard(HandleAllocated() ? Handle() : 0)) return;
  text = GetClipboardData(CF_TEXT);
  CloseClipboard();
  TMessage m = msg;
  m.LParam = reinterpret_cast<LPARAM>(&text);
  PerformCommand(m, ccPaste);
}

void TFkBaseEntryField::WMSetText(TMessage& msg) {
  if (!HandleAllocated() || msg.LParam == 0) {
    InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
    return;
  }
  std::string text(reinterpret_cast<const char*>(msg.LParam));
  selStart_ = 0;
  selEnd_ = static_cast<int>(editText_.size());
  TMessage m = msg;
  m.LParam = reinterpret_cast<LPARAM>(&text);
  PerformCommand(m, ccPaste);
  msg.Result = 1;
}

void TFkBaseEntryField::EMGetSel(TMessage& msg) {
  if (msg.WParam != 0) *reinterpret_cast<int*>(msg.WParam) = selStart_;
  if (msg.LParam != 0) *reinterpret_cast<int*>(msg.LParam) = selEnd_;
  msg.Result = static_cast<LRESULT>((selStart_ & 0xFFFF) | ((selEnd_ & 0xFFFF) << 16));
}

void TFkBaseEntryField::EMSetSel(TMessage& msg) {
  int start = static_cast<int>(msg.LParam & 0xFFFF);
  int end = static_cast<int>((msg.LParam >> 16) & 0xFFFF);
  if (start >= 65535) {
    selStart_ = selEnd_ = 0;
  } else if (start == 0 && end >= 65535) {
    selStart_ = 0;
    selEnd_ = static_cast<int>(editText_.size());
  } else if (start <= end) {
    SetSelection(start, end);
  }
  Invalidate();
}

void TFkBaseEntryField::EMGetModify(TMessage& msg) { msg.Result = modified_ ? 1 : 0; }

void TFkBaseEntryField::EMSetModify(TMessage& msg) {
  if (static_cast<std::intptr_t>(msg.WParam) > 0) {
    modified_ = modifiedSinceSet_ = true;
  } else {
    modified_ = false;
  }
}

void TFkBaseEntryField::WMLButtonDown(TMessage& msg) {
  if (!focused_) {
    focusByMouse_ = true;
    selStart_ = selEnd_ = 0;
    if (CanFocus()) SetFocus();
  }
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  if (focused_) PerformCommand(msg, ccMouseDown);
}

void TFkBaseEntryField::WMLButtonDblClk(TMessage& msg) {
  if (focused_) PerformCommand(msg, ccDoubleClick);
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
}

void TFkBaseEntryField::WMMouseMove(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  if (MouseCapture() && GetKeyState(static_cast<int>(PrimaryMouseButton())) < 0) PerformCommand(msg, ccMouseDrag);
}

void TFkBaseEntryField::WMEraseBkgnd(TMessage& msg) { msg.Result = 1; }

void TFkBaseEntryField::CMDialogChar(TMessage& msg) {
  if (msg.WParam == VK_BACK && (GetKeyState(VK_MENU) < 0)) {
    msg.Result = 1;
    return;
  }
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
}

// ---- context menu

TPopupMenu* TFkBaseEntryField::CreateContextMenu() {
  auto menu = std::make_unique<TPopupMenu>(nullptr);
  const bool selection = selEnd_ > selStart_;
  auto add = [&](const char* caption, bool enabled, void (TFkBaseEntryField::*action)()) {
    auto* item = new TMenuItem(menu.get());  // freed with the menu
    item->SetCaption(caption);
    item->SetEnabled(enabled);
    if (action != nullptr) item->OnClick = [this, action](TObject*) { (this->*action)(); };
    menu->Items()->Add(item);
  };
  add("&Restore", modified_, &TFkBaseEntryField::Restore);
  add("-", true, nullptr);
  add("Cu&t", selection, &TFkBaseEntryField::CutToClipboard);
  add("&Copy", selection, &TFkBaseEntryField::CopyToClipboard);
  add("&Paste", IsClipboardFormatAvailable(CF_TEXT), &TFkBaseEntryField::PasteFromClipboard);
  add("&Delete", selection, &TFkBaseEntryField::ClearSelection);
  add("-", true, nullptr);
  add("Select &All", SelectionLength() < static_cast<int>(editText_.size()), &TFkBaseEntryField::SelectAll);
  return menu.release();
}

void TFkBaseEntryField::WMRButtonUp(TMessage& msg) {
  if (!focused_ && CanFocus()) SetFocus();
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  if (PopupMenu() != nullptr || !HandleAllocated()) return;
  const TPoint at = ClientToScreen(Point(static_cast<std::int16_t>(msg.LParam & 0xFFFF),
                                         static_cast<std::int16_t>((msg.LParam >> 16) & 0xFFFF)));
  std::unique_ptr<TPopupMenu> menu(CreateContextMenu());
  menu->Popup(at.X, at.Y);
  Application()->ProcessMessages();
}

// ---- selection, caret and clipboard helpers

void TFkBaseEntryField::SetSelection(int start, int end) {
  if (end < start) return;
  int len = static_cast<int>(editText_.size());
  selStart_ = std::min(start, len);
  selEnd_ = std::min(end, len);
}

void TFkBaseEntryField::MoveCaret(int pos) {
  if (!focused_) return;
  int len = static_cast<int>(editText_.size());
  caret_ = pos < 0 ? 0 : (pos > len ? len + 1 : pos);
  UpdateCaretAndScroll(true);
}

void TFkBaseEntryField::MoveCaretBy(int count) {
  if (!focused_) return;
  TMessage m;
  for (int i = 0; i < std::abs(count); ++i) PerformCommand(m, count > 0 ? ccRight : ccLeft);
}

int TFkBaseEntryField::FrameWidth() const {
  if (borderStyle_ == TBorderStyle::bsNone) return 0;
  return Ctl3D() ? 2 : 1;
}

int TFkBaseEntryField::TextAreaLeft() const { return FrameWidth() + textMargin_; }

int TFkBaseEntryField::TextAreaRight() const { return ClientWidth() - FrameWidth() - textMargin_; }

int TFkBaseEntryField::LayoutText(const std::string& shown) {
  // The whole text is laid out from the right when it fits between the margins.
  const TCanvas* cv = Canvas();
  rightAlignedNow_ = false;
  if (rightAlign_) {
    const int whole = cv->TextWidth(shown);
    if (whole < TextAreaRight() - TextAreaLeft() - 1) {
      rightAlignedNow_ = true;
      scroll_ = 0;
      return TextAreaRight() - whole;
    }
  }
  return TextAreaLeft();
}

int TFkBaseEntryField::PositionAt(int x) {
  std::string shown = GetDisplayText();
  const int left = LayoutText(shown);
  if (x < TextAreaLeft() && scroll_ > 0 && !rightAlignedNow_) {
    // Left of the text a scrolled field scrolls back by the distance in character widths.
    const int avg = std::max(1, Canvas()->GetTextMetrics().tmAveCharWidth);
    scroll_ = std::max(0, scroll_ - (TextAreaLeft() - x + avg - 1) / avg);
    Invalidate();
  }
  int pos = rightAlignedNow_ ? 0 : scroll_;
  int at = left;
  while (pos < static_cast<int>(shown.size())) {
    int w = Canvas()->TextWidth(std::string_view(shown).substr(static_cast<std::size_t>(pos), 1));
    if (x < at + w / 2) break;
    at += w;
    ++pos;
  }
  return pos;
}

bool TFkBaseEntryField::UpdateCaretAndScroll(bool caretMoved) {
  if (!focused_ || !HandleAllocated()) return false;
  bool repaint = false;
  if (caretMoved) {
    int first = FirstEditPosition();
    if ((caret_ == first || caret_ == first + 1) && scroll_ != 0) {
      scroll_ = 0;
      repaint = true;
    } else if (caret_ < scroll_) {
      scroll_ = caret_;
      repaint = true;
    }
  }
  std::string shown = GetDisplayText();
  const int oldScroll = scroll_;
  const int left = LayoutText(shown);
  if (scroll_ != oldScroll) repaint = true;
  const int avail = TextAreaRight() - TextAreaLeft() - 1;
  auto width = [&](int from, int to) {
    if (to <= from) return 0;
    to = std::min(to, static_cast<int>(shown.size()));
    from = std::min(from, to);
    return Canvas()->TextWidth(std::string_view(shown).substr(static_cast<std::size_t>(from), static_cast<std::size_t>(to - from)));
  };
  while (!rightAlignedNow_ && caretMoved && scroll_ < caret_ && width(scroll_, caret_) >= avail) {
    ++scroll_;
    repaint = true;
  }
  const int h = Canvas()->TextHeight("Xy");
  const std::string under = caret_ < static_cast<int>(shown.size()) ? shown.substr(static_cast<std::size_t>(caret_), 1) : " ";
  const int cw = std::max(1, Canvas()->TextWidth(under));
  carets_->SetInsertMode(insertMode_);
  if (!carets_->Linked()) carets_->Link(Handle(), cw, h);
  else carets_->SetCell(cw, h);
  int x;
  if (rightAlignedNow_) {
    // Mirrored from the right edge; wide carets stand one pixel further left so that they
    // stay inside the text area at its end.
    x = TextAreaRight() - width(caret_, static_cast<int>(shown.size()));
    const TFkCaret* c = insertMode_ ? carets_->InsertCaret() : carets_->OverwriteCaret();
    const TFkCaretShape shape = c->Shape();
    if (shape == TFkCaretShape::csBlock || shape == TFkCaretShape::csHalfBlock ||
        shape == TFkCaretShape::csHorzLine || c->CaretWidth() > 4)
      --x;
  } else {
    x = left + width(scroll_, caret_);
  }
  carets_->SetPosition(x, std::max(0, FrameWidth() + topMargin_));
  if (repaint) Invalidate();
  return repaint;
}

void TFkBaseEntryField::CopyToClipboard() { if (HandleAllocated()) Perform(WM_COPY, 0, 0); }
void TFkBaseEntryField::CutToClipboard() { if (HandleAllocated()) Perform(WM_CUT, 0, 0); }
void TFkBaseEntryField::PasteFromClipboard() { if (HandleAllocated()) Perform(WM_PASTE, 0, 0); }
void TFkBaseEntryField::ClearSelection() { if (HandleAllocated()) Perform(WM_CLEAR, 0, 0); }
void TFkBaseEntryField::SelectAll() { if (HandleAllocated()) Perform(EM_SETSEL, 0, static_cast<LPARAM>(0xFFFF0000)); }

void TFkBaseEntryField::SaveEditText() { savedText_ = std::make_unique<std::string>(editText_); }

void TFkBaseEntryField::Restore() {
  if (savedText_) {
    editText_ = *savedText_;
    MoveCaretToEntry();
    selStart_ = 0;
    selEnd_ = static_cast<int>(editText_.size());
    modified_ = false;
    Invalidate();
    DoOnChange();
  }
  UpdateCaretAndScroll(true);
}

// The move is posted, so it happens after the command that asked for it.
void TFkBaseEntryField::FocusNextControl() {
  if (HandleAllocated()) PostMessage(Handle(), FK_FOCUSMOVE, 0, 0);
}

void TFkBaseEntryField::FocusPreviousControl() {
  if (HandleAllocated()) PostMessage(Handle(), FK_FOCUSMOVE, 1, 0);
}

void TFkBaseEntryField::FKFocusMove(TMessage& msg) {
  if (TCustomForm* f = GetParentForm(this)) f->SelectNext(this, msg.WParam == 0, true);
}

void TFkBaseEntryField::IncreaseValue(bool wrap, double delta) { StepValue(wrap, delta); }

void TFkBaseEntryField::DecreaseValue(bool wrap, double delta) { StepValue(wrap, -delta); }

void TFkBaseEntryField::StepValue(bool wrap, double delta) {
  // The arrow keys and a spinner step the value: not that of a read-only field.
  if (IsReadOnly()) {
    Beep();
    return;
  }
  IncDecValue(wrap, delta);
  selStart_ = selEnd_ = caret_;
  Invalidate();
}

// ---- focus

void TFkBaseEntryField::WMSetFocus(TMessage& msg) {
  if (ComponentState().Contains(TComponentStateFlag::csDesigning)) {
    InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
    return;
  }
  focused_ = true;
  TFkController* c = Controller();
  if (c != nullptr) c->EntryCommands()->ResetState();
  const HWND lost = static_cast<HWND>(msg.WParam);
  if (returning_ && lost != 0 && IsWindow(lost) && lost != Handle()) {
    // Coming back after an error (or from another window): the control the mouse was pressed
    // on lets go of it, so that the release does not click it.
    SendMessage(lost, WM_CANCELMODE, 0, 0);
    POINT p{};
    GetCursorPos(&p);
    ::tw::ScreenToClient(lost, &p);
    SendMessage(lost, WM_LBUTTONUP, 0, static_cast<LPARAM>((p.X & 0xFFFF) | ((p.Y & 0xFFFF) << 16)));
    if (TCustomForm* f = GetParentForm(this); f != nullptr && f->ActiveControl() != this) f->SetActiveControl(this);
  }
  if (!forceInsert_ && !forceOvertype_ && c != nullptr) insertMode_ = c->InsertMode;
  bool select = false, moved = false;
  bool otherError = c != nullptr && c->ErrorPending && LastError == 0;
  if (!keepPosition_) {
    if (!otherError) {
      if (!returning_) modified_ = false;
      if (c != nullptr) c->NotifyPreEdit(this, TWinControl::FindControl(static_cast<HWND>(msg.WParam)));
      SaveEditText();
    }
    if (!focusByMouse_) {
      select = !otherError;
      MoveCaretToEntry();
      moved = true;
    }
  }
  skipValidation_ = otherError && !SoftValidation;
  errorPending_ = keepPosition_ = focusByMouse_ = returning_ = false;
  if (!otherError && c != nullptr) c->ErrorPending = false;
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  if (forceInsert_) insertMode_ = true;
  if (forceOvertype_) insertMode_ = false;
  carets_->Unlink();
  UpdateCaretAndScroll(moved);
  if (select && AutoSelect) {
    selStart_ = 0;
    selEnd_ = static_cast<int>(editText_.size());
  }
  Invalidate();
}

void TFkBaseEntryField::WMKillFocus(TMessage& msg) {
  HWND gaining = static_cast<HWND>(msg.WParam);
  TWinControl* gainingControl = nullptr;
  if (gaining != 0 && (!HandleAllocated() || gaining != Handle())) {
    TWinControl* g = TWinControl::FindControl(gaining);
    if (g == nullptr) g = TWinControl::FindControl(GetParent(gaining));
    if (g != nullptr && GetParentForm(g) == GetParentForm(this)) gainingControl = g;
  }
  keepPosition_ = gainingControl == nullptr;
  carets_->Unlink();
  SetMouseCapture(false);
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  TFkController* c = Controller();
  if (!forceInsert_ && !forceOvertype_ && c != nullptr) c->InsertMode = insertMode_;
  if (!errorPending_ && !skipValidation_) {
    returning_ = true;
    if (gainingControl != nullptr) {
      if (modified_) Uninitialized = false;
      if (c == nullptr || !c->IsSpecialControl(gaining)) {
        ValidateField(true);
        returning_ = errorPending_;
      } else {
        validating_ = true;
        try {
          (void)ValidateType();
        } catch (...) {
        }
        validating_ = false;
      }
    }
  } else {
    returning_ = errorPending_;
  }
  focused_ = false;
  if (gainingControl != nullptr && !keepPosition_ && !skipValidation_ && !errorPending_ && c != nullptr)
    c->NotifyPostEdit(this, gainingControl);
  skipValidation_ = false;
  if (!keepPosition_) MoveCaretToStart();
  Invalidate();
}

// ---- painting

std::string TFkBaseEntryField::GetDisplayText() const {
  std::string s = editText_;
  for (char& c : s)
    if (static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 31) c = static_cast<char>(c + 64);
  // Zero display: a numeric field away from the focus may hide a zero value.
  if (IsNumericType(DataTypeCode()) && !focused_ &&
      (ZeroDisplay == TZeroDisplay::zdHide ||
       (ZeroDisplay == TZeroDisplay::zdHideUntilModified && !modified_ && !modifiedSinceSet_))) {
    std::string v = GetValueText();
    tw::entry::TrimBlanks(v);
    for (char& c : v)
      if (c == intl_->DecimalChar) c = '.';
    double d;
    if (!v.empty() && Val(v, d) == 0 && d == ZeroDisplayValue) s.assign(s.size(), ' ');
  }
  return s;
}

void TFkBaseEntryField::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  if (v && !Loading()) AdjustHeight();
}

void TFkBaseEntryField::AdjustHeight() {
  if (!autoSize_) return;
  int charHeight = Canvas()->TextHeight("Xy");
  int border = std::max(1, GetSystemMetrics(SM_CYBORDER));
  adjusting_ = true;
  SetHeight(charHeight + (Ctl3D() ? 8 : 6) * border);
  adjusting_ = false;
}

void TFkBaseEntryField::SetBounds(int left, int top, int width, int height) {
  // A height given by hand, before the window exists or after, ends AutoSize.
  if (height != Height() && autoSize_ && !adjusting_ && !Loading()) autoSize_ = false;
  TFkBase::SetBounds(left, top, width, height);
  UpdateTopMargin();
  if (focused_) UpdateCaretAndScroll(false);
  Invalidate();
}

void TFkBaseEntryField::UpdateTopMargin() {
  if (!HandleAllocated()) {
    topMargin_ = 0;
    return;
  }
  const TFont systemFont;
  const int systemHeight = MeasureCanvas(&systemFont)->TextHeight("Xy");
  const int fieldHeight = MeasureCanvas(Font())->TextHeight("Xy");
  // The controls of this window system are drawn in the 3-D style; the text offset is
  // measured from the inside of the frame the field draws.
  topMargin_ = TextTopMargin(fieldHeight, systemHeight, borderStyle_ != TBorderStyle::bsNone, Height(), Ctl3D(), true);
}

void TFkBaseEntryField::CMFontChanged(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  if (Loading() || !HandleAllocated()) return;
  Canvas()->Font()->Assign(Font());
  AdjustHeight();
  UpdateTopMargin();
  if (focused_) UpdateCaretAndScroll(false);
}

void TFkBaseEntryField::CMCtl3DChanged(TMessage& msg) {
  if (!Loading() && HandleAllocated()) {
    AdjustHeight();
    UpdateTopMargin();
  }
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  Invalidate();
}

void TFkBaseEntryField::CMEnabledChanged(TMessage& msg) {
  InheritedMessage(TFkBaseEntryField::StaticClass(), msg);
  Invalidate();
}

void TFkBaseEntryField::Paint() {
  TCanvas* cv = Canvas();
  const TRect r = ClientRect();
  const bool designing = ComponentState().Contains(TComponentStateFlag::csDesigning);
  std::string shown = designing ? (mask_.size() == 1 ? std::string(maxLength_, mask_[0]) : mask_) : GetDisplayText();
  TColor back = Color(), text = Font()->Color();
  if (!Enabled()) {
    back = disabledColors_->BackColor();
    text = disabledColors_->TextColor();
  } else if (invalid_) {
    back = errorColors_->BackColor();
    text = errorColors_->TextColor();
  }
  cv->Brush()->SetColor(back);
  cv->FillRect(r);
  cv->Font()->Assign(Font());
  const int frame = FrameWidth();
  const int left = LayoutText(shown);
  const int from = rightAlignedNow_ ? 0 : std::min(scroll_, static_cast<int>(shown.size()));
  const int y = frame + topMargin_;
  // The text area lies inside the frame; the runs are clipped to it.
  const TRect area = Rect(frame, frame, r.Right - frame, r.Bottom - frame);
  int x = left;
  for (int i = from; i < static_cast<int>(shown.size()) && x < area.Right; ++i) {
    std::string ch = shown.substr(static_cast<std::size_t>(i), 1);
    bool selected = focused_ && !designing && i >= selStart_ && i < selEnd_;
    auto e = static_cast<unsigned char>(editText_.size() > static_cast<std::size_t>(i) ? editText_[static_cast<std::size_t>(i)] : ' ');
    cv->Brush()->SetColor(selected ? highlightColors_->BackColor() : back);
    cv->Font()->SetColor(selected ? highlightColors_->TextColor() : (e >= 1 && e <= 31 ? ControlCharColor : text));
    int w = cv->TextWidth(ch);
    TRect cell = Rect(std::max(x, area.Left), area.Top, std::min(x + w, area.Right), area.Bottom);
    if (cell.Right > cell.Left) cv->TextRect(cell, x, y, ch);
    x += w;
  }
  if (frame == 2) {
    // The sunken 3-D frame.
    auto line = [cv](TColor c, int x1, int y1, int x2, int y2, int x3, int y3) {
      cv->Pen()->SetColor(c);
      cv->MoveTo(x1, y1);
      cv->LineTo(x2, y2);
      cv->LineTo(x3, y3);
    };
    line(clBtnShadow, 0, r.Bottom - 1, 0, 0, r.Right - 1, 0);
    line(clBtnHighlight, r.Right - 1, 0, r.Right - 1, r.Bottom - 1, -1, r.Bottom - 1);
    line(cl3DDkShadow, 1, r.Bottom - 2, 1, 1, r.Right - 2, 1);
    line(clBtnFace, r.Right - 2, 1, r.Right - 2, r.Bottom - 2, 0, r.Bottom - 2);
  } else if (frame == 1) {
    cv->Brush()->SetColor(clWindowFrame);
    cv->FrameRect(r);
  }
}

}  // namespace tw::entry
