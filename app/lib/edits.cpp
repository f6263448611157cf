#include "app/lib/edits.h"

#include <algorithm>
#include <cmath>

#include "app/lib/winregistry.h"
#include "platform/classes/typinfo.h"
#include "platform/forms/forms.h"
#include "platform/gfx/devicecontext.h"
#include "platform/rtl/formatsettings.h"
#include "platform/rtl/sysutils.h"

namespace tw::app {

// --- TCustomStrEdit

TCustomStrEdit::TCustomStrEdit(TComponent* owner) : TEdit(owner) {}

TCustomStrEdit::~TCustomStrEdit() { StoreDefault(); }

void TCustomStrEdit::StoreDefault() {
  if (stored_) return;
  stored_ = true;
  if (!saveDefault_ || ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  try {
    SaveComponentValue(this, DefaultText());
  } catch (const Exception&) {
    // A settings store that cannot be written loses this value only; going away must not fail.
  }
}

void TCustomStrEdit::Loaded() {
  TEdit::Loaded();
  if (!saveDefault_ || ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  std::string text;
  RestoreComponentValue(this, text);
  RestoreDefault(text);
}

void TCustomStrEdit::SetAlignment(TAlignment value) {
  if (alignment_ == value) return;
  alignment_ = value;
  Invalidate();
}

int TCustomStrEdit::TextMargin() {
  TCanvas screen;
  screen.SetHandle(GetScreenDC());
  const int systemHeight = screen.TextHeight("0");
  screen.Font()->Assign(Font());
  const int ownHeight = screen.TextHeight("0");
  screen.SetHandle(0);
  return std::min(systemHeight, ownHeight) / 4;
}

void TCustomStrEdit::Paint() {
  if (hasFocus_ || alignment_ == TAlignment::taLeftJustify) {
    TEdit::Paint();
    return;
  }
  TCanvas* c = Canvas();
  TRect r = ClientRect();
  const bool border = BorderStyle() == TBorderStyle::bsSingle;
  if (border) c->DrawEdge(r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  c->Brush()->SetStyle(TBrushStyle::bsSolid);
  c->Brush()->SetColor(Enabled() ? Color() : clBtnFace);
  c->FillRect(r);
  c->Font()->Assign(Font());
  c->Font()->SetColor(Enabled() ? Font()->Color() : clGrayText);
  const std::string text = DisplayText();
  const int margin = TextMargin();
  const int width = r.Width();
  const int tw = c->TextWidth(text);
  int x = r.Left;
  if (alignment_ == TAlignment::taRightJustify) x = r.Left + width - tw - margin;
  else if (alignment_ == TAlignment::taCenter) x = r.Left + (width - tw) / 2;
  const int y = r.Top + (border ? margin : 0);
  c->Brush()->SetStyle(TBrushStyle::bsClear);
  c->TextRect(r, x, y, text);
}

void TCustomStrEdit::DoEnter() {
  hasFocus_ = true;
  Invalidate();
  TEdit::DoEnter();
}

void TCustomStrEdit::DoExit() {
  hasFocus_ = false;
  Invalidate();
  TEdit::DoExit();
}

bool TCustomStrEdit::ExitChecks() const {
  if (ComponentState().Contains(TComponentStateFlag::csDestroying)) return false;
  const TCustomForm* form = GetParentForm(this);
  return form != nullptr && form->Visible() && !form->ComponentState().Contains(TComponentStateFlag::csDestroying);
}

void TCustomStrEdit::RefuseExit() {
  // The focus comes back once the change of focus now under way has finished.
  SelectAll();
  TCustomForm* form = GetParentForm(this);
  if (form != nullptr) form->FocusControl(this);
  if (CanFocus()) SetFocus();
  SelectAll();
}

TW_PUBLISHED(TCustomStrEdit, Prop("Alignment", &TCustomStrEdit::Alignment, &TCustomStrEdit::SetAlignment),
             Prop("SaveDefault", &TCustomStrEdit::SaveDefault, &TCustomStrEdit::SetSaveDefault));

// --- TMasks

void TMasks::SetPositiveMask(const std::string& v) {
  if (positive_ == v) return;
  positive_ = v;
  Changed();
}

void TMasks::SetNegativeMask(const std::string& v) {
  if (negative_ == v) return;
  negative_ = v;
  Changed();
}

void TMasks::SetZeroMask(const std::string& v) {
  if (zero_ == v) return;
  zero_ = v;
  Changed();
}

void TMasks::Assign(const TPersistent* source) {
  if (const auto* other = dynamic_cast<const TMasks*>(source)) {
    positive_ = other->positive_;
    negative_ = other->negative_;
    zero_ = other->zero_;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

std::string TMasks::FormatString() const {
  std::string f = positive_;
  if (!negative_.empty() || !zero_.empty()) f += ";" + negative_;
  if (!zero_.empty()) f += ";" + zero_;
  return f;
}

void TMasks::Changed() {
  if (changed_) changed_();
}

TW_PUBLISHED(TMasks, Prop("PositiveMask", &TMasks::PositiveMask, &TMasks::SetPositiveMask),
             Prop("NegativeMask", &TMasks::NegativeMask, &TMasks::SetNegativeMask),
             Prop("ZeroMask", &TMasks::ZeroMask, &TMasks::SetZeroMask));

// --- TCustomNumEdit

TCustomNumEdit::TCustomNumEdit(TComponent* owner)
    : TCustomStrEdit(owner), masks_(std::make_unique<TMasks>([this] { UpdateText(); })) {
  SetAlignment(TAlignment::taRightJustify);
  if (owner != nullptr && owner->ComponentState().Contains(TComponentStateFlag::csDesigning)) SetWidth(85);
  UpdateText();
}

TCustomNumEdit::~TCustomNumEdit() { StoreDefault(); }

double TCustomNumEdit::RoundedValue(double value) const {
  if (!std::isfinite(value)) return 0;
  const int places = std::clamp(decimals_, 0, 15);
  const double scale = std::pow(10.0, places);
  const double scaled = value * scale;
  if (!std::isfinite(scaled) || std::fabs(scaled) >= 9.0e15) return value;
  // A tiny nudge keeps values such as 2.675 (stored a hair below) on the side they are written.
  const double nudged = scaled + (scaled >= 0 ? 1e-9 : -1e-9);
  const double whole = useRounding_ ? std::round(nudged) : std::trunc(nudged);
  return whole / scale;
}

std::string TCustomNumEdit::ValueText(double value) const {
  const double v = RoundedValue(value);
  if (leerWennNull_ && v == 0) return {};
  const std::string format = masks_->FormatString();
  if (format.empty()) return FloatToStrF(v, ffFixed, 15, std::clamp(decimals_, 0, 15));
  return FormatFloat(format, v);
}

void TCustomNumEdit::UpdateText() { SetText(ValueText(value_)); }

void TCustomNumEdit::SetValue(double value) {
  value_ = std::isfinite(value) ? RoundedValue(value) : 0;
  UpdateText();
}

void TCustomNumEdit::SetMax(double value) {
  max_ = value;
  // A maximum of 0 switches the range off; it does not move the value.
  if (max_ != 0 && value_ > max_) SetValue(max_);
}

void TCustomNumEdit::SetDecimals(int value) {
  decimals_ = std::clamp(value, 0, 15);
  UpdateText();
}

void TCustomNumEdit::SetUseRounding(bool value) {
  useRounding_ = value;
  UpdateText();
}

void TCustomNumEdit::SetLeerWennNull(bool value) {
  leerWennNull_ = value;
  UpdateText();
}

void TCustomNumEdit::SetMasks(TMasks* masks) {
  if (masks != nullptr && masks != masks_.get()) masks_->Assign(masks);
  UpdateText();
}

void TCustomNumEdit::SetNumericType(TNumericType value) {
  numericType_ = value;
  if (!ComponentState().Contains(TComponentStateFlag::csDesigning)) return;
  switch (value) {
    case TNumericType::ntExtended:
    case TNumericType::ntCurrency:
      decimals_ = 2;
      digits_ = 12;
      masks_->SetPositiveMask(",##0.00");
      break;
    case TNumericType::ntLongInt:
      decimals_ = 0;
      digits_ = 8;
      masks_->SetPositiveMask(",##0");
      break;
    case TNumericType::ntPercent:
      decimals_ = 2;
      digits_ = 5;
      masks_->SetPositiveMask("##0.00");
      break;
  }
  masks_->SetNegativeMask("");
  masks_->SetZeroMask("");
  UpdateText();
}

std::string TCustomNumEdit::ReduceText(const std::string& text) {
  const char separator = FormatSettings().DecimalSeparator;
  const auto digit = [](char ch) { return ch >= '0' && ch <= '9'; };
  std::string out;
  bool exponent = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (digit(ch)) {
      out += ch;
    } else if (ch == separator) {
      out += '.';
    } else if ((ch == 'E' || ch == 'e') && !exponent && !out.empty()) {
      // The exponent of a number shown in scientific notation ("1,23E+04").
      std::size_t j = i + 1;
      std::string part = "e";
      if (j < text.size() && (text[j] == '+' || text[j] == '-')) part += text[j++];
      if (j < text.size() && digit(text[j])) {
        out += part;
        exponent = true;
        i = j - 1;
      }
    }
  }
  // Spaces around a pasted number do not hide its sign; a number in parentheses is negative
  // (as a negative mask shows it).
  const std::string trimmed = Trim(text);
  const bool negative = !trimmed.empty() && (trimmed.front() == '-' || trimmed.back() == '-' ||
                                             (trimmed.front() == '(' && trimmed.back() == ')'));
  if (negative) out.insert(out.begin(), '-');
  return out;
}

bool TCustomNumEdit::InRange(double value) const { return max_ == 0 || (min_ <= value && value <= max_); }

namespace {
// Converts a reduced number text ("." as separator); an empty text is 0.
bool ReducedToFloat(const std::string& reduced, double& value) {
  if (reduced.empty() || reduced == "-") {
    value = 0;
    return true;
  }
  TFormatSettings fs = FormatSettings();
  fs.DecimalSeparator = '.';
  fs.ThousandSeparator = ',';
  return TryStrToFloat(reduced, value, fs) && std::isfinite(value);
}
}  // namespace

bool TCustomNumEdit::ReadText(const std::string& text, double& value) const {
  // The text the value is shown with stands for the value itself, however the masks round it.
  if (text == ValueText(value_)) {
    value = value_;
    return true;
  }
  if (!ReducedToFloat(ReduceText(text), value)) return false;
  // A negative mask may show negatives without a sign of their own.
  if (value > 0 && text != ValueText(value) && text == ValueText(-value)) value = -value;
  return true;
}

std::string TCustomNumEdit::DefaultText() {
  const std::string text = GetText();
  double v = 0;
  if (!ReadText(text, v)) return ReduceText(text);
  TFormatSettings fs = FormatSettings();
  fs.DecimalSeparator = '.';
  return FloatToStr(v, fs);
}

bool TCustomNumEdit::CommitText() {
  double v = 0;
  if (!ReadText(GetText(), v)) return false;
  if (!InRange(v)) {
    if (validate_) {
      Application()->MessageBox(Format(kRangeMessage, {min_, max_}), Application()->Title(), MB_OK | MB_ICONHAND);
      return false;
    }
    // Without validation a value out of range is not taken; the text shows the value again.
    UpdateText();
    return true;
  }
  SetValue(v);
  return true;
}

void TCustomNumEdit::KeyPress(char& key) {
  const char separator = FormatSettings().DecimalSeparator;
  const std::string text = GetText();
  const std::string selected = SelText();
  // A character already in the text may be typed again when it is being replaced.
  auto presentOutsideSelection = [&](char ch) {
    return std::count(text.begin(), text.end(), ch) > std::count(selected.begin(), selected.end(), ch);
  };
  // Select all, copy, paste, cut and undo (Ctrl+A, C, V, X, Z): the clipboard keeps working; a
  // pasted text is reduced to its number when the field is left.
  const bool editCommand = key == 1 || key == 3 || key == 22 || key == 24 || key == 26;
  if ((key >= '0' && key <= '9') || key == '\b' || key == '\'' || editCommand) {
    // taken
  } else if (key == separator || key == '-') {
    if (presentOutsideSelection(key)) key = 0;
  } else {
    key = 0;
  }
  if (key != 0) TCustomStrEdit::KeyPress(key);
}

void TCustomNumEdit::DoExit() {
  if (ExitChecks() && !CommitText()) {
    TCustomStrEdit::DoExit();
    RefuseExit();
    return;
  }
  TCustomStrEdit::DoExit();
}

void TCustomNumEdit::RestoreDefault(const std::string& text) {
  // The value is stored with "." as its decimal point whatever the machine's separator; a text
  // in the field's own form is read as the field reads it.  A stored value that does not read,
  // or lies outside the range, leaves the designed value.
  double v = 0;
  if ((ReducedToFloat(Trim(text), v) || ReadText(text, v)) && InRange(v)) SetValue(v);
}

TW_PUBLISHED(TCustomNumEdit, Prop("Min", &TCustomNumEdit::Min, &TCustomNumEdit::SetMin),
             Prop("Max", &TCustomNumEdit::Max, &TCustomNumEdit::SetMax),
             Prop("Decimals", &TCustomNumEdit::Decimals, &TCustomNumEdit::SetDecimals),
             Prop("Digits", &TCustomNumEdit::Digits, &TCustomNumEdit::SetDigits),
             Prop("NumericType", &TCustomNumEdit::NumericType, &TCustomNumEdit::SetNumericType),
             Prop("UseRounding", &TCustomNumEdit::UseRounding, &TCustomNumEdit::SetUseRounding),
             Prop("Validate", &TCustomNumEdit::Validate, &TCustomNumEdit::SetValidate),
             Prop("LeerWennNull", &TCustomNumEdit::LeerWennNull, &TCustomNumEdit::SetLeerWennNull),
             Prop("Masks", &TCustomNumEdit::Masks, &TCustomNumEdit::SetMasks),
             Prop("Value", &TCustomNumEdit::Value, &TCustomNumEdit::SetValue));

TNumEdit::TNumEdit(TComponent* owner) : TCustomNumEdit(owner) {}
TNumEdit::~TNumEdit() { StoreDefault(); }

TW_REGISTER_CLASS(TNumEdit);

// --- TDateEdit

TDateEdit::TDateEdit(TComponent* owner) : TCustomStrEdit(owner) { SetWidth(91); }

TDateEdit::~TDateEdit() { StoreDefault(); }

namespace {
// Whether a format reads only a time: its first ":" stands within its first six characters.
bool TimeOnlyFormat(const std::string& format) {
  const std::size_t colon = format.find(':');
  return colon != std::string::npos && colon < 6;
}

// Whether a date edit shows a value: from 2 January 1900 up to the last day of year 9999 (a
// value past it has no calendar date to show); a time-only edit shows the time of any value
// up to that day, a time of the day being below 1.
bool ShowsValue(TDateTime value, bool timeOnly) {
  return value >= (timeOnly ? 0.0 : 3.0) && value < 2958466.0;
}
}  // namespace

void TDateEdit::SetValue(TDateTime value) {
  value_ = std::isfinite(value) ? value : 0;
  SetText(AsString());
}

void TDateEdit::SetDisplayFormat(const std::string& value) {
  displayFormat_ = value;
  SetValue(value_);
}

int TDateEdit::AsInteger() const {
  if (!(std::fabs(value_) < 2147483647.0)) return 0;
  return static_cast<int>(std::trunc(value_));
}

std::string TDateEdit::AsString() const {
  const std::string format = EffectiveFormat();
  if (!ShowsValue(value_, TimeOnlyFormat(format))) return {};
  return FormatDateTime(format, value_);
}

void TDateEdit::SetAsString(const std::string& text) {
  SetText(text);
  CommitText();
}

namespace {
// Settings that read texts written with `format`: its date order and separators, so that the
// edit reads back what it shows whatever the machine's own date format is.
TFormatSettings SettingsOfFormat(const std::string& format) {
  TFormatSettings fs = FormatSettings();
  std::string datePart;
  for (char ch : format) {
    if (ch == ' ' || ch == 'h' || ch == 'H' || ch == 'n' || ch == 'N' || ch == ':') break;
    datePart += ch;
  }
  for (char ch : datePart) {
    const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
    if (!letter) {
      fs.DateSeparator = ch;
      break;
    }
  }
  if (!datePart.empty()) fs.ShortDateFormat = datePart;
  fs.TimeSeparator = ':';
  return fs;
}
}  // namespace

void TDateEdit::CommitText() {
  const std::string text = Trim(GetText());
  // A field left without a change keeps its value (with the part its format does not show);
  // an empty one is still refused when it may not be empty.
  if (!text.empty() && GetText() == AsString()) return;
  if (text.empty() && emptyAllowed_) {
    value_ = 0;
    return;
  }
  const std::string format = EffectiveFormat();
  const TFormatSettings ownSettings = SettingsOfFormat(format);
  TDateTime v = 0;
  bool ok;
  if (format.find(':') == std::string::npos) {
    ok = TryStrToDate(text, v, ownSettings) || TryStrToDate(text, v);
    if (!ok) StrToDate(text);  // raises the conversion error
  } else if (TimeOnlyFormat(format)) {
    ok = TryStrToTime(text, v, ownSettings) || TryStrToTime(text, v);
    if (!ok) StrToTime(text);
  } else {
    ok = TryStrToDateTime(text, v, ownSettings) || TryStrToDateTime(text, v);
    if (!ok) StrToDateTime(text);
  }
  SetValue(v);
}

void TDateEdit::RestoreDefault(const std::string& text) {
  SetText(text);
  if (Trim(text).empty()) {
    value_ = 0;
    return;
  }
  try {
    CommitText();
  } catch (const EConvertError&) {
    // Left for the user to mend: leaving the field reports it.
  }
}

void TDateEdit::DoExit() {
  try {
    if (ExitChecks()) CommitText();
  } catch (const EConvertError& e) {
    TCustomStrEdit::DoExit();
    Application()->ShowException(e);
    RefuseExit();
    return;
  }
  TCustomStrEdit::DoExit();
}

TW_PUBLISHED(TDateEdit, Prop("Value", &TDateEdit::Value, &TDateEdit::SetValue),
             Prop("DisplayFormat", &TDateEdit::DisplayFormat, &TDateEdit::SetDisplayFormat),
             Prop("EmptyAllowed", &TDateEdit::EmptyAllowed, &TDateEdit::SetEmptyAllowed),
             Prop("AsInteger", &TDateEdit::AsInteger, &TDateEdit::SetAsInteger),
             Prop("AsLongint", &TDateEdit::AsLongint, &TDateEdit::SetAsLongint),
             Prop("AsReal", &TDateEdit::AsReal, &TDateEdit::SetAsReal),
             Prop("AsDouble", &TDateEdit::AsDouble, &TDateEdit::SetAsDouble),
             Prop("AsString", &TDateEdit::AsString, &TDateEdit::SetAsString));
TW_REGISTER_CLASS(TDateEdit);

}  // namespace tw::app
