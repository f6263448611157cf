// TMButtons retitles the message boxes shown while it is active and replaces the captions of
// their buttons ("form text|new text" lines); TMOpenDialog is an open dialog whose labels and
// buttons come from properties, so that a language component can translate them.
#pragma once

#include <memory>
#include <string>

#include "platform/classes/stringlist.h"
#include "platform/forms/dialogs/filedialogs.h"
#include "platform/gfx/font.h"

namespace tw {
class TCustomForm;
}

namespace tw::multilang {

class TMButtons : public TComponent {
  TW_CLASS(TMButtons, TComponent)
 public:
  explicit TMButtons(TComponent* owner);
  ~TMButtons() override;

  TStrings* Captions() const { return captions_.get(); }
  void SetCaptions(TStrings* value) { captions_->Assign(value); }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& v) { title_ = v; }
  bool Active() const { return hook_ != 0; }
  void SetActive(bool value);

  // What the component does to a box about to be shown (public for the hook and for tests).
  void Retitle(TCustomForm* box) const;

 private:
  std::unique_ptr<TStringList> captions_;
  std::string title_;
  int hook_ = 0;
};

class TMOpenDialog : public TOpenDialog {
  TW_CLASS(TMOpenDialog, TOpenDialog)
 public:
  explicit TMOpenDialog(TComponent* owner);
  ~TMOpenDialog() override;

  // The font of the dialog's labels, lists and buttons (a translated font reaches them).
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* value);
  bool Execute() override;

 private:
  std::unique_ptr<TFont> font_;
};

}  // namespace tw::multilang
