// TMComboBox: an owner-drawn combo box that shows one optional icon per item beside its text.
// The language component derives from it and lists each language with its flag.
#pragma once

#include <memory>
#include <vector>

#include "platform/forms/comctrls/combobox.h"
#include "platform/gfx/graphic.h"

namespace tw::multilang {

enum class TOwnAlign { oaLeft, oaRight, oaCenter };
TW_ENUM_NAMES(TOwnAlign, "oaLeft", "oaRight", "oaCenter");
using enum TOwnAlign;

using TDrawingItemEvent = std::function<void(TObject* Sender, int Index)>;
using TLoadedEvent = std::function<void(TObject* Sender)>;

class TMComboBox : public TCustomComboBox {
  TW_CLASS(TMComboBox, TCustomComboBox)
 public:
  explicit TMComboBox(TComponent* owner);
  ~TMComboBox() override;

  bool ShowIcons() const { return showIcons_; }
  void SetShowIcons(bool value);
  TOwnAlign AlignIcon() const { return alignIcon_; }
  void SetAlignIcon(TOwnAlign value);
  TOwnAlign AlignText() const { return alignText_; }
  void SetAlignText(TOwnAlign value);
  int TextMargin() const { return textMargin_; }
  void SetTextMargin(int value);
  int IconMargin() const { return iconMargin_; }
  void SetIconMargin(int value);
  bool ResizeIcon() const { return resizeIcon_; }
  void SetResizeIcon(bool value);

  // The item's icon becomes a copy of `icon`; false for a null or empty icon.  Slots up to the
  // index are made empty.
  bool SetItemIcon(int index, const TIcon* icon);
  // Frees the item's icon; false when it has none.
  bool DeleteItemIcon(int index);
  // Frees every item's icon (before the items are filled anew).
  void ClearItemIcons();
  // The item's icon, nullptr when none.
  TIcon* GetItemIcon(int index) const;
  int IconSlotCount() const { return static_cast<int>(icons_.size()); }

  // Refills the list (the language component's); nothing here.
  virtual void RefreshLanguageList(bool translate);

  void Loaded() override;

  TDrawingItemEvent OnDrawingItem;
  TLoadedEvent OnLoaded;

  // Where the last drawn item put its text and icon (client coordinates; icon left -1 when none
  // was drawn): the drawing's observable result.
  int LastTextLeft() const { return lastTextLeft_; }
  int LastIconLeft() const { return lastIconLeft_; }

 protected:
  void DrawItem(int index, TRect rect, TOwnerDrawState state) override;

 private:
  std::vector<std::unique_ptr<TIcon>> icons_;
  bool showIcons_ = false;
  TOwnAlign alignIcon_ = oaLeft;
  TOwnAlign alignText_ = oaLeft;
  int textMargin_ = 5;
  int iconMargin_ = 1;
  bool resizeIcon_ = false;
  int lastTextLeft_ = -1;
  int lastIconLeft_ = -1;
};

}  // namespace tw::multilang
