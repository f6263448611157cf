// Message boxes as our own modal forms, and the table of their texts.
#include "platform/forms/dialogs/msgbox.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "platform/forms/dialogs/desktoptexts.h"
#include "platform/forms/dialogs/dialoghelp.h"
#include "platform/forms/dialogs/dialogutil.h"
#include "platform/forms/stdctrls/stdctrls.h"

namespace tw {

namespace {

constexpr std::array<const char*, 9> kButtonDefaults = {"&Yes", "&No", "OK", "Cancel", "&Abort",
                                                        "&Retry", "&Ignore", "&All", "&Help"};
constexpr std::array<const char*, 4> kTitleDefaults = {"Warning", "Error", "Information", "Confirm"};

// Texts the program set; an empty one shows the default in the desktop's language.
struct Texts {
  std::array<std::string, 9> buttons;
  std::array<std::string, 4> titles;
  void Reset() {
    buttons = {};
    titles = {};
  }
};

Texts& TheTexts() {
  static Texts texts;
  return texts;
}

struct HookList {
  std::vector<std::pair<int, TMessageBoxHook>> hooks;
  int next = 1;
};

HookList& Hooks() {
  static HookList list;
  return list;
}

enum class IconKind { None, Error, Warning, Information, Question };

// The symbol at the left of a message box, drawn in the classic colours.
class TMessageIcon : public TGraphicControl {
  TW_CLASS(TMessageIcon, TGraphicControl)
 public:
  TMessageIcon(TComponent* owner, IconKind kind) : TGraphicControl(owner), kind_(kind) { SetBounds(0, 0, 32, 32); }

 protected:
  void Paint() override {
    TCanvas* c = Canvas();
    c->Pen()->SetColor(clBlack);
    TFont font;
    font.SetName("Times New Roman");
    font.SetSize(18);
    font.SetStyle({TFontStyle::fsBold});
    std::string mark;
    TColor markColor = clWhite;
    switch (kind_) {
      case IconKind::Error:
        c->Brush()->SetColor(clRed);
        c->Ellipse(1, 1, 31, 31);
        c->Pen()->SetColor(clWhite);
        c->Pen()->SetWidth(3);
        c->MoveTo(10, 10);
        c->LineTo(22, 22);
        c->MoveTo(22, 10);
        c->LineTo(10, 22);
        c->Pen()->SetWidth(1);
        return;
      case IconKind::Warning: {
        c->Brush()->SetColor(clYellow);
        const TPoint tri[3] = {Point(16, 1), Point(31, 30), Point(1, 30)};
        c->Polygon(tri, 3);
        mark = "!";
        markColor = clBlack;
        break;
      }
      case IconKind::Information:
        c->Brush()->SetColor(clWhite);
        c->Ellipse(1, 1, 31, 31);
        mark = "i";
        markColor = clBlue;
        break;
      case IconKind::Question:
        c->Brush()->SetColor(clWhite);
        c->Ellipse(1, 1, 31, 31);
        mark = "?";
        markColor = clBlue;
        break;
      case IconKind::None: return;
    }
    font.SetColor(markColor);
    c->SetFont(&font);
    c->Brush()->SetStyle(TBrushStyle::bsClear);
    const int w = c->TextWidth(mark);
    const int h = c->TextHeight(mark);
    c->TextOut(16 - w / 2, (kind_ == IconKind::Warning ? 19 : 16) - h / 2, mark);
  }

 private:
  IconKind kind_;
};

struct BoxButton {
  std::string caption;
  int result = 0;       // modal result; 0 for the Help button
  bool help = false;
};

struct BoxSpec {
  std::string text;
  std::string caption;
  IconKind icon = IconKind::None;
  std::vector<BoxButton> buttons;
  int defaultIndex = 0;
  int escapeResult = 0;  // 0: Esc and closing are refused
  int helpContext = 0;
  int x = -1;
  int y = -1;
};

int RunBox(const BoxSpec& spec) {
  std::unique_ptr<TForm> form(new TForm(nullptr));
  form->SetBorderStyle(TFormBorderStyle::bsDialog);
  form->SetBorderIcons({TBorderIcon::biSystemMenu});
  form->SetCaption(spec.caption);
  form->SetPosition(spec.x < 0 ? TPosition::poScreenCenter : TPosition::poDesigned);

  const int margin = 12;
  int textLeft = margin;
  int top = margin;
  TMessageIcon* icon = nullptr;
  if (spec.icon != IconKind::None) {
    icon = new TMessageIcon(form.get(), spec.icon);
    icon->SetParent(form.get());
    icon->SetBounds(margin, margin, 32, 32);
    textLeft = margin + 32 + 12;
  }
  const TSize textSize = dialogs::MeasureText(form->Font(), spec.text, 380);
  auto* label = new TLabel(form.get());
  label->SetShowAccelChar(false);
  label->SetAutoSize(false);
  label->SetWordWrap(true);
  label->SetParent(form.get());
  const int textTop = icon != nullptr && textSize.cy < 32 ? margin + (32 - textSize.cy) / 2 : top;
  label->SetBounds(textLeft, textTop, textSize.cx + 4, textSize.cy);
  label->SetCaption(spec.text);

  const int bw = 75, bh = 23, gap = 8;
  const int n = static_cast<int>(spec.buttons.size());
  const int rowWidth = n * bw + (n - 1) * gap;
  const int clientWidth = std::max({textLeft + textSize.cx + 4 + margin, rowWidth + 2 * margin, 160,
                                    dialogs::TitleRoom(form->Font(), spec.caption)});
  const int rowTop = std::max(textTop + textSize.cy, icon != nullptr ? margin + 32 : 0) + 14;
  int x = (clientWidth - rowWidth) / 2;
  TButton* defaultButton = nullptr;
  for (int i = 0; i < n; ++i) {
    const BoxButton& b = spec.buttons[static_cast<std::size_t>(i)];
    auto* button = new TButton(form.get());
    button->SetParent(form.get());
    button->SetBounds(x, rowTop, bw, bh);
    button->SetCaption(b.caption);
    button->SetTabStop(true);
    if (b.help) {
      const int context = spec.helpContext;
      button->OnClick = [context](TObject*) { HelpContextCall(context); };
    } else {
      button->SetModalResult(b.result);
    }
    if (i == spec.defaultIndex) {
      button->SetDefault(true);
      defaultButton = button;
    }
    if (b.result != 0 && b.result == spec.escapeResult) button->SetCancel(true);
    x += bw + gap;
  }
  form->SetClientWidth(clientWidth);
  form->SetClientHeight(rowTop + bh + 10);
  if (spec.x >= 0) form->SetBounds(spec.x, spec.y, form->Width(), form->Height());
  if (defaultButton != nullptr) form->SetActiveControl(defaultButton);
  TForm* box = form.get();
  const int escape = spec.escapeResult;
  form->OnCloseQuery = [box, escape](TObject*, bool& canClose) {
    if (box->ModalResult() == mrCancel && escape == 0) canClose = false;
  };
  {
    // A copy: a hook may remove itself.
    const auto hooks = Hooks().hooks;
    for (const auto& h : hooks)
      if (h.second) h.second(box);
  }
  int result = form->ShowModal();
  if (result == mrCancel && escape != 0) result = escape;
  return result;
}

IconKind IconOfFlags(unsigned flags) {
  switch (flags & MB_ICONMASK) {
    case MB_ICONHAND: return IconKind::Error;
    case MB_ICONQUESTION: return IconKind::Question;
    case MB_ICONEXCLAMATION: return IconKind::Warning;
    case MB_ICONASTERISK: return IconKind::Information;
    default: return IconKind::None;
  }
}

BoxButton Button(TMsgDlgBtn b, int result) { return BoxButton{MsgDlgButtonCaption(b), result, false}; }

}  // namespace

std::string MsgDlgButtonCaption(TMsgDlgBtn button) {
  const auto i = static_cast<std::size_t>(button);
  const std::string& set = TheTexts().buttons[i];
  return set.empty() ? DesktopText(kButtonDefaults[i]) : set;
}

void SetMsgDlgButtonCaption(TMsgDlgBtn button, const std::string& caption) {
  TheTexts().buttons[static_cast<std::size_t>(button)] = caption;
}

std::string MsgDlgTitle(TMsgDlgType type) {
  if (type == mtCustom) return Application()->Title();
  const auto i = static_cast<std::size_t>(type);
  const std::string& set = TheTexts().titles[i];
  return set.empty() ? DesktopText(kTitleDefaults[i]) : set;
}

void SetMsgDlgTitle(TMsgDlgType type, const std::string& title) {
  if (type == mtCustom) return;
  TheTexts().titles[static_cast<std::size_t>(type)] = title;
}

void ResetMsgDlgTexts() { TheTexts().Reset(); }

int AddMessageBoxHook(TMessageBoxHook hook) {
  HookList& list = Hooks();
  const int id = list.next++;
  list.hooks.emplace_back(id, std::move(hook));
  return id;
}

void RemoveMessageBoxHook(int id) {
  auto& hooks = Hooks().hooks;
  hooks.erase(std::remove_if(hooks.begin(), hooks.end(), [id](const auto& h) { return h.first == id; }), hooks.end());
}

int MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  BoxSpec spec;
  spec.text = text;
  spec.caption = caption;
  spec.icon = IconOfFlags(flags);
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
      spec.buttons = {Button(mbOK, IDOK), Button(mbCancel, IDCANCEL)};
      spec.escapeResult = IDCANCEL;
      break;
    case MB_ABORTRETRYIGNORE:
      spec.buttons = {Button(mbAbort, IDABORT), Button(mbRetry, IDRETRY), Button(mbIgnore, IDIGNORE)};
      break;
    case MB_YESNOCANCEL:
      spec.buttons = {Button(mbYes, IDYES), Button(mbNo, IDNO), Button(mbCancel, IDCANCEL)};
      spec.escapeResult = IDCANCEL;
      break;
    case MB_YESNO: spec.buttons = {Button(mbYes, IDYES), Button(mbNo, IDNO)}; break;
    case MB_RETRYCANCEL:
      spec.buttons = {Button(mbRetry, IDRETRY), Button(mbCancel, IDCANCEL)};
      spec.escapeResult = IDCANCEL;
      break;
    default:
      spec.buttons = {Button(mbOK, IDOK)};
      spec.escapeResult = IDOK;
      break;
  }
  const int def = static_cast<int>((flags & MB_DEFMASK) >> 8);
  spec.defaultIndex = std::clamp(def, 0, static_cast<int>(spec.buttons.size()) - 1);
  return RunBox(spec);
}

int MessageDlgPos(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext, int x,
                  int y) {
  static constexpr int kResults[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry, mrIgnore, mrAll, 0};
  BoxSpec spec;
  spec.text = message;
  spec.caption = MsgDlgTitle(type);
  switch (type) {
    case mtWarning: spec.icon = IconKind::Warning; break;
    case mtError: spec.icon = IconKind::Error; break;
    case mtInformation: spec.icon = IconKind::Information; break;
    case mtConfirmation: spec.icon = IconKind::Question; break;
    case mtCustom: break;
  }
  // A box without buttons could never be closed: it gets OK.
  if (buttons.Empty() || buttons == TMsgDlgButtons{mbHelp}) buttons.Include(mbOK);
  for (int b = 0; b <= static_cast<int>(mbHelp); ++b) {
    const auto btn = static_cast<TMsgDlgBtn>(b);
    if (!buttons.Contains(btn)) continue;
    spec.buttons.push_back(BoxButton{MsgDlgButtonCaption(btn), kResults[b], btn == mbHelp});
  }
  auto indexOf = [&](TMsgDlgBtn btn) {
    int i = 0;
    for (int b = 0; b < static_cast<int>(btn); ++b)
      if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) ++i;
    return buttons.Contains(btn) ? i : -1;
  };
  spec.defaultIndex = indexOf(mbOK) >= 0 ? indexOf(mbOK) : indexOf(mbYes) >= 0 ? indexOf(mbYes) : 0;
  spec.escapeResult = buttons.Contains(mbCancel) ? mrCancel
                      : buttons.Contains(mbNo)   ? mrNo
                      : buttons.Contains(mbOK)   ? mrOk
                                                 : 0;
  spec.helpContext = helpContext;
  spec.x = x;
  spec.y = y;
  return RunBox(spec);
}

int MessageDlg(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext) {
  return MessageDlgPos(message, type, buttons, helpContext, -1, -1);
}

void ShowMessage(const std::string& message) {
  BoxSpec spec;
  spec.text = message;
  spec.caption = Application()->Title();
  spec.buttons = {Button(mbOK, mrOk)};
  spec.escapeResult = mrOk;
  RunBox(spec);
}

void InstallDialogs() {
  SetMessageBoxFunc([](const std::string& text, const std::string& caption, unsigned flags) {
    return MessageBox(text, caption, flags);
  });
  InstallHelpKey();
}

}  // namespace tw
