// The rich-text status bar: a row of items side by side, each of one TRiStatusItem kind, defined
// by a list of entries ("[@][$][%][width]kind[=text]").  The linked editor writes its texts into
// the items by kind; a gauge item shows a percentage.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/classes/stringlist.h"
#include "platform/forms/controls.h"

namespace tw::richtext {

class TRiCustomRtfEdit;

enum class TRiStatusItem {
  stGauge, stHelp, stIndex, stOutline, stStatus, stInsert, stCaps, stNum, stXPos, stYPos, stDate, stTime,
  stPage, stLine, stChanged, stFont, stStyle, stUnit, stTxtFmt, stName, stFileName, stPathName, stString
};
TW_ENUM_NAMES(TRiStatusItem, "stGauge", "stHelp", "stIndex", "stOutline", "stStatus", "stInsert", "stCaps", "stNum",
              "stXPos", "stYPos", "stDate", "stTime", "stPage", "stLine", "stChanged", "stFont", "stStyle", "stUnit",
              "stTxtFmt", "stName", "stFileName", "stPathName", "stString");

// Item flags: 1 raised frame, 2 sunken frame (text one pixel lower); 4, 8 and 16 choose colours.
constexpr std::uint8_t sfRaised = 1;
constexpr std::uint8_t sfSunken = 2;
constexpr std::uint8_t sfHighlight = 4;
constexpr std::uint8_t sfInfo = 8;
constexpr std::uint8_t sfWarning = 16;

constexpr int MaxStatusItems = 23;

struct TRiStatusItemRec {
  std::string Text;
  int Definition = -1;  // index of the entry in the definitions; -1 for the gauge
  TRiStatusItem Kind = TRiStatusItem::stString;
  int DesiredWidth = 0;
  int X = 0;
  int Width = 0;
  int Value = 0;  // the gauge's percentage
  std::uint8_t Flags = 0;
};

using TRiStatusClickEvent =
    std::function<void(TObject* sender, int width, int top, int x, const std::string& text, TRiStatusItem kind)>;

class TRiStatusBarBasic : public TCustomControl {
  TW_CLASS(TRiStatusBarBasic, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TRiStatusBarBasic(TComponent* owner);
  ~TRiStatusBarBasic() override;

  // The item definitions; every change rebuilds the items.
  TStringList* Items() const { return items_.get(); }
  TStrings* ItemStrings() const { return items_.get(); }
  void SetItems(TStrings* items);

  // The first item of the kind takes the text; false when no item has that kind.
  bool SetItemText(TRiStatusItem kind, const std::string& text);
  // Text of the first item of the kind (empty when none).
  std::string ItemText(TRiStatusItem kind) const;
  // Percentage shown by the gauge, 0..100.
  void SetGaugeValue(int percent);
  int GaugeValue() const;

  int ItemCount() const { return count_; }
  const TRiStatusItemRec& Item(int index) const { return records_.at(static_cast<std::size_t>(index)); }

  // Vertical placement of the item texts: 0 top, 1 centre, 2 bottom.
  int TextAlignment() const { return alignment_; }
  virtual void SetTextAlignment(int value);
  bool Gauge() const { return gauge_; }
  void SetGauge(bool value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);
  int GaugeWidth() const { return gaugeWidth_; }
  void SetGaugeWidth(int value);

  // The editor whose texts the bar shows (set by the rich-text component).
  TRiCustomRtfEdit* Editor() const { return editor_; }
  void SetEditor(TRiCustomRtfEdit* editor);
  // Fires OnUpdate, then lets the linked editor write its texts.
  void RefreshItems();

  // Raises the bar to the text height of "A" plus 4 when that is taller.
  virtual void FitHeight();
  virtual void LayOut();
  // Paints the whole bar on a canvas of its size.
  virtual void PaintAll(TCanvas& canvas);

  TNotifyEvent OnUpdate;
  TRiStatusClickEvent OnItemClick;

 protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Notification(TComponent* component, TOperation operation) override;
  void CMFontChanged(TMessage& msg);

  virtual void PaintGauge(TCanvas& canvas, const TRiStatusItemRec& item);
  virtual void PaintSizeGrip(TCanvas& canvas);
  virtual void PaintItem(TCanvas& canvas, int index);

 private:
  void Rebuild();
  int TextWidthOf(const std::string& text) const;
  int TextHeightOfA() const;
  void UpdateTextExtent();

  std::unique_ptr<TStringList> items_;
  int alignment_ = 1;
  bool gauge_ = false;
  bool sizeGrip_ = false;
  int gaugeWidth_ = 100;
  TRiCustomRtfEdit* editor_ = nullptr;
  std::array<TRiStatusItemRec, MaxStatusItems + 1> records_{};
  int count_ = 0;
  int textTop_ = 3;
  int textBottom_ = 0;
};

// Parses one item definition; false for an empty entry.
bool ParseStatusItem(const std::string& entry, TRiStatusItemRec& item);

}  // namespace tw::richtext
