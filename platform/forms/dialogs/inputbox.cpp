// The input box as our own modal form.
#include "platform/forms/dialogs/inputbox.h"

#include <algorithm>
#include <memory>

#include "platform/forms/dialogs/dialogutil.h"
#include "platform/forms/dialogs/msgbox.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw {

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBorderIcons({TBorderIcon::biSystemMenu});
  form->SetCaption(caption);
  form->SetPosition(TPosition::poScreenCenter);
  const int margin = 8;
  const TSize promptSize = dialogs::MeasureText(form->Font(), prompt, 360);
  // Wide enough for the prompt and for the whole title beside the window manager's buttons.
  const int width = std::max({promptSize.cx + 2 * margin, 240 + 2 * margin, dialogs::TitleRoom(form->Font(), caption)});

  auto* label = new TLabel(form.get());
  label->SetParent(form.get());
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetBounds(margin, margin, promptSize.cx + 4, promptSize.cy);
  label->SetCaption(prompt);

  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(margin, margin + promptSize.cy + 4, width - 2 * margin, 21);
  edit->SetMaxLength(255);
  edit->SetText(value);
  edit->SetTabStop(true);
  label->SetFocusControl(edit);

  const int top = edit->Top() + edit->Height() + 12;
  auto* ok = new TButton(form.get());
  ok->SetParent(form.get());
  ok->SetCaption(MsgDlgButtonCaption(mbOK));
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  ok->SetTabStop(true);
  ok->SetBounds(width / 2 - 75 - 4, top, 75, 23);
  auto* cancel = new TButton(form.get());
  cancel->SetParent(form.get());
  cancel->SetCaption(MsgDlgButtonCaption(mbCancel));
  cancel->SetModalResult(mrCancel);
  cancel->SetCancel(true);
  cancel->SetTabStop(true);
  cancel->SetBounds(width / 2 + 4, top, 75, 23);

  form->SetClientWidth(width);
  form->SetClientHeight(top + 23 + margin);
  form->SetActiveControl(edit);
  edit->SelectAll();
  if (form->ShowModal() != mrOk) return false;
  value = edit->Text();
  return true;
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue) {
  std::string value = defaultValue;
  return InputQuery(caption, prompt, value) ? value : defaultValue;
}

}  // namespace tw
