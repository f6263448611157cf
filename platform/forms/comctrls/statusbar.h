// TStatusBar: a row of panels at the bottom of a form (or one simple panel), each with its
// text, width, alignment and bevel, or drawn by OnDrawPanel; a size grip in the corner.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"

namespace tw {

// Text alignment in a panel.
enum class TPanelAlignment { taLeftJustify, taRightJustify, taCenter };
TW_ENUM_NAMES(TPanelAlignment, "taLeftJustify", "taRightJustify", "taCenter");
enum class TStatusPanelBevel { pbNone, pbLowered, pbRaised };
TW_ENUM_NAMES(TStatusPanelBevel, "pbNone", "pbLowered", "pbRaised");
using enum TStatusPanelBevel;
enum class TStatusPanelStyle { psText, psOwnerDraw };
TW_ENUM_NAMES(TStatusPanelStyle, "psText", "psOwnerDraw");
using enum TStatusPanelStyle;

class TStatusPanels;
class TStatusBar;

class TStatusPanel : public TPersistent {
  TW_CLASS(TStatusPanel, TPersistent)
 public:
  explicit TStatusPanel(TStatusPanels* panels) : panels_(panels) {}
  int Index() const;
  const std::string& Text() const { return text_; }
  void SetText(const std::string& value);
  int Width() const { return width_; }
  void SetWidth(int value);
  TPanelAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPanelAlignment value);
  TStatusPanelBevel Bevel() const { return bevel_; }
  void SetBevel(TStatusPanelBevel value);
  TStatusPanelStyle Style() const { return style_; }
  void SetStyle(TStatusPanelStyle value);
  void Assign(const TPersistent* source) override;

 private:
  void Changed();
  TStatusPanels* panels_;
  std::string text_;
  int width_ = 50;
  TPanelAlignment alignment_ = TPanelAlignment::taLeftJustify;
  TStatusPanelBevel bevel_ = pbLowered;
  TStatusPanelStyle style_ = psText;
};

class TStatusPanels : public TPersistent {
  TW_CLASS(TStatusPanels, TPersistent)
 public:
  explicit TStatusPanels(TStatusBar* bar) : bar_(bar) {}
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  TStatusPanel* Items(int index) const;
  TStatusPanel* operator[](int index) const { return Items(index); }
  TStatusPanel* Add();
  TStatusPanel* Insert(int index);
  void Delete(int index);
  void Clear();
  int IndexOf(const TStatusPanel* panel) const;
  void Assign(const TPersistent* source) override;
  void Changed();

 private:
  TStatusBar* bar_;
  std::vector<std::unique_ptr<TStatusPanel>> items_;
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
