// TStatusBar: a row of panels at the bottom of a form (or one simple panel), each with its
// text, width, alignment and bevel, or drawn by OnDrawPanel; a size grip in the corner.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes/collection.h"
#include "platform/forms/controls.h"

namespace tw {

// Text alignment in a panel: the controls' TAlignment (the older name stays usable).
using TPanelAlignment = TAlignment;
enum class TStatusPanelBevel { pbNone, pbLowered, pbRaised };
TW_ENUM_NAMES(TStatusPanelBevel, "pbNone", "pbLowered", "pbRaised");
using enum TStatusPanelBevel;
enum class TStatusPanelStyle { psText, psOwnerDraw };
TW_ENUM_NAMES(TStatusPanelStyle, "psText", "psOwnerDraw");
using enum TStatusPanelStyle;

class TStatusPanels;
class TStatusBar;

// One panel; its published properties are what a form description stores per item.
class TStatusPanel : public TCollectionItem {
  TW_CLASS(TStatusPanel, TCollectionItem)
 public:
  explicit TStatusPanel(TStatusPanels* panels);
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);
  void Assign(const TPersistent* source) override;

 private:
  std::string text_;
  int width_ = 50;
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TStatusPanelStyle style_ = psText;
};

// The bar's panels: a collection, so a form description stores them as `Panels = < item ... >`.
class TStatusPanels : public TCollection {
  TW_CLASS(TStatusPanels, TCollection)
 public:
  explicit TStatusPanels(TStatusBar* bar);
  // Raises EListError for an index out of range.
  TStatusPanel* Items(int index) const { return static_cast<TStatusPanel*>(TCollection::Items(index)); }
  TStatusPanel* operator[](int index) const { return Items(index); }
  TStatusPanel* Add() { return static_cast<TStatusPanel*>(TCollection::Add()); }
  TStatusPanel* Insert(int index) { return static_cast<TStatusPanel*>(TCollection::Insert(index)); }
  void Assign(const TPersistent* source) override;
  // Repaints the bar, then runs OnChange.
  void Changed() override;

 private:
  TStatusBar* bar_;
};

using TDrawPanelEvent = std::function<void(TStatusBar* StatusBar, TStatusPanel* Panel, const TRect& Rect)>;

class TStatusBar : public TCustomControl {
  TW_CLASS(TStatusBar, TCustomControl)
  TW_MESSAGE_MAP_DECLARE();

 public:
  explicit TStatusBar(TComponent* owner);
  ~TStatusBar() override;

  TStatusPanels* Panels() const { return panels_.get(); }
  void SetPanels(TStatusPanels* value) { panels_->Assign(value); }
  bool SimplePanel() const { return simplePanel_; }
  void SetSimplePanel(bool value);
  const std::string& SimpleText() const { return simpleText_; }
  void SetSimpleText(const std::string& value);
  bool SizeGrip() const { return sizeGrip_; }
  void SetSizeGrip(bool value);

  // The rectangle of a panel (the last panel reaches to the grip or the right edge).
  TRect PanelRect(int index) const;
  TRect GripRect() const;
  // The panel at a client point; -1 when none.
  int PanelAt(TPoint p) const;

  TDrawPanelEvent OnDrawPanel;

 protected:
  void Paint() override;
  virtual void DrawPanel(TStatusPanel* panel, const TRect& rect);
  void CMFontChanged(TMessage& msg);
  void WMNCHitTest(TMessage& msg);
  void AdjustHeight();

 private:
  friend class TStatusPanels;
  std::unique_ptr<TStatusPanels> panels_;
  bool simplePanel_ = false;
  std::string simpleText_;
  bool sizeGrip_ = true;
};

}  // namespace tw
