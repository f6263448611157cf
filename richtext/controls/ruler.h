// The rich-text ruler: a horizontal scale in centimetres or inches from the page's left margin,
// the tab stops of the current paragraph and three indent markers (right, left, first line) that
// the user drags; a click in the scale sets a tab stop or changes the kind of one.
//
// The ruler keeps the paragraph values it shows (indents in twips, the paragraph's tab set) and
// reads the tab table, resolution and text width of the document header it is given.  Every
// change is reported through WhileSelection (during a drag), OnSelection (at its end, and for a
// tab) and the linked editor's ruler hook, with type 9 and group 0x700.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/forms/controls.h"
#include "platform/forms/stdctrls/extctrls.h"
#include "richtext/controls/componentlink.h"
#include "richtext/document/textheader.h"

namespace tw::richtext {

class TRiCustomRtfEdit;

enum class PTRiRulerUnit { Centimeter, Inch };
TW_ENUM_NAMES(PTRiRulerUnit, "Centimeter", "Inch");

// The type and group the ruler reports its changes with.
constexpr int RulerSelType = 9;
constexpr int RulerGroup = 0x700;

// Marker numbers.
constexpr int rmNone = 0;
constexpr int rmRight = 1;
constexpr int rmLeft = 2;
constexpr int rmFirst = 3;

// An indent value of SetIndents that keeps the current one.
constexpr int RulerKeep = -9999;

using TRiRulerSelectEvent = std::function<void(TObject* sender, int& typ, int& group, int& num, bool changing)>;

class TRiRuler : public TCustomControl {
  TW_CLASS(TRiRuler, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TRiRuler(TComponent* owner);
  ~TRiRuler() override;

  // The document header whose tabs, resolution and text width the ruler uses (not owned).
  TTextHeader* Header() const { return header_; }
  void SetHeader(TTextHeader* header);

  // Indents in twips; a value that is RulerKeep, negative or unchanged is left alone, and a value
  // that would put the markers in an impossible order is refused.
  void SetIndents(int first, int left, int right);
  int FirstIndent() const { return first_; }
  int LeftIndent() const { return left_; }
  int RightIndent() const { return right_; }
  // The tab slots of the current paragraph; `all` shows every tab of the header.
  TTabSet Tabs() const { return tabs_; }
  void SetTabs(TTabSet tabs, bool all = false);
  // Shows a paragraph's values as they are (negative indents as 0); reports nothing.
  void ShowValues(int first, int left, int right, TTabSet tabs);
  // Clears the indents and the paragraph's tab set; the header's unit flag follows Units.
  void Reset();

  // The scale's unit; the linked header's unit flag (its tab grid, its default tab stops)
  // follows it.
  PTRiRulerUnit Units() const { return units_; }
  void SetUnits(PTRiRulerUnit units);
  int XOffset() const { return xOffset_; }
  void SetXOffset(int offset);
  int LeftMargin() const { return leftMargin_; }
  void SetLeftMargin(int pixels);
  // The current paragraph is a table cell between two pixel limits of the scale.
  void SetTableCell(bool cell, int left, int right);
  bool TableCell() const { return tableCell_; }
  // The text area is drawn in the paper colour between two pixel limits.
  void SetPageArea(bool on, int left, int right);

  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel v);
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel v);
  TTabKind NewTabKind() const { return newTabKind_; }
  void SetNewTabKind(TTabKind kind) { newTabKind_ = kind; }
  bool ShowNumbers() const { return showNumbers_; }
  void SetShowNumbers(bool v);

  // The linked editor, told of every change (set by the rich-text component).
  TRiCustomRtfEdit* Editor() const { return editor_; }
  void SetEditor(TRiCustomRtfEdit* editor);

  // Geometry, in pixels of the control.
  int MarkerWidth() const { return markerWidth_; }
  int HalfWidth() const { return halfWidth_; }
  int MarkerHeight() const { return markerHeight_; }
  int FirstMarkerHeight() const { return firstHeight_; }
  TRect MarkerRect(int marker) const;
  // Pixels per unit step of the scale and per inch.
  int UnitStep() const;
  int Resolution() const;
  // x of a twips position of the text area, and back (the back conversion is aligned by the
  // header's grid).
  int TwipsToX(int twips) const;
  int XToTwips(int x) const;
  bool Dragging() const { return dragging_; }
  bool MoveBoth() const { return moveBoth_; }

  // Paints the ruler on a canvas of its size.
  void PaintOn(TCanvas& canvas);

  TRiRulerSelectEvent OnSelection;
  TRiRulerSelectEvent WhileSelection;

 protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Notification(TComponent* component, TOperation operation) override;
  void CMFontChanged(TMessage& msg);

 private:
  void ComputeMarkerSizes();
  // Sets the header's unit flag from Units.
  void ApplyUnit();
  bool IndentsValid(int first, int left, int right) const;
  int PageWidthPixels() const;
  int PageWidthTwips() const;
  int Origin() const { return leftMargin_ + xOffset_; }
  int HitMarker(int x, int y) const;
  void Report(int marker, bool changing);
  void ClickTab(int x);
  void DragTo(int x);
  void PaintScale(TCanvas& c);
  void PaintTabs(TCanvas& c);
  void PaintMarkers(TCanvas& c);

  TTextHeader* header_ = nullptr;
  TRiCustomRtfEdit* editor_ = nullptr;
  int first_ = 0, left_ = 0, right_ = 0;
  TTabSet tabs_ = 0;
  bool allTabs_ = false;
  PTRiRulerUnit units_ = PTRiRulerUnit::Centimeter;
  int xOffset_ = 0;
  int leftMargin_ = 0;
  bool tableCell_ = false;
  int cellLeft_ = 0, cellRight_ = 0;
  bool pageArea_ = false;
  int areaLeft_ = 0, areaRight_ = 0;
  TPanelBevel bevelInner_ = TPanelBevel::bvRaised;
  TPanelBevel bevelOuter_ = TPanelBevel::bvNone;
  TTabKind newTabKind_ = TTabKind::tkAll;
  bool showNumbers_ = false;
  int markerWidth_ = 4, halfWidth_ = 3, markerHeight_ = 4, firstHeight_ = 5;
  bool dragging_ = false;
  int dragMarker_ = rmNone;
  int dragStartX_ = 0;
  bool moveBoth_ = false;
  THoverCursor markerCursor_;
};

}  // namespace tw::richtext
