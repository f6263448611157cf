// Text pasted into, or set into, entry fields.  The first byte picks the field (low three bits)
// and whether its whole text is selected before the paste (bit 3); the rest is the text.  The
// text is pasted as the clipboard would paste it, then set as the field's value; after each the
// field's text must still fit its mask, and its value and validity must be readable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "entry/fieldkit.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/formatsettings.h"
#include "platform/win/display.h"

namespace {

using namespace tw;
using namespace tw::entry;
using T = TPictureDataType;

struct PictureKind {
  T type;
  const char* mask;
};

// Number masks with and without semi-literals, a date, a time, a literal-laden text and a
// plain text.
constexpr PictureKind kPictures[] = {
    {T::pftDouble, "$#,###.##"}, {T::pftLongInt, "iiiii"},          {T::pftDate, "mm/dd/yyyy"},
    {T::pftTime, "hh:mm:ss"},    {T::pftString, "(999) 999-9999"}, {T::pftString, "XXXXXXXX"},
};
constexpr std::size_t kPictureCount = sizeof(kPictures) / sizeof(kPictures[0]);
constexpr std::uint16_t kSimpleLength = 20;

struct Bench {
  TForm* form = nullptr;
  TFkPictureField* pictures[kPictureCount] = {};
  TFkSimpleField* simple = nullptr;
};

// The offscreen window system, fixed settings and one shown form with every field; built once
// and kept for the whole run.
Bench& TheBench() {
  static Bench* bench = [] {
    SelectDisplay("offscreen");
    ResetWindowSystem();
    SetMessageBoxFunc([](const std::string&, const std::string&, unsigned) { return mrOk; });
    SetFormatSettings(DefaultFormatSettings());
    SetIntlProfile(IntlProfileFromMap({}));
    DefaultIntlSup().ReadIntlSettings();
    auto* b = new Bench;
    b->form = new TForm(Application());
    b->form->SetBounds(100, 100, 400, 400);
    auto* controller = new TFkController(b->form);
    controller->OnError = [](TObject*, std::uint16_t, const std::string&) {};
    int top = 0;
    for (std::size_t i = 0; i < kPictureCount; ++i, top += 30) {
      auto* f = new TFkPictureField(b->form);
      f->SetParent(b->form);
      f->SetTop(top);
      f->SetDataType(kPictures[i].type);
      f->SetPictureMask(kPictures[i].mask);
      if (kPictures[i].type == T::pftString) f->SetMaxLength(static_cast<std::uint16_t>(f->PictureMask().size()));
      b->pictures[i] = f;
    }
    b->simple = new TFkSimpleField(b->form);
    b->simple->SetParent(b->form);
    b->simple->SetTop(top);
    b->simple->SetMaxLength(kSimpleLength);
    b->form->Show();
    Application()->ProcessMessages();
    // Every character once, shown in every field: the font machinery fills its caches here,
    // before the run, so what it keeps is not taken for a leak of one input.
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    for (std::size_t i = 0; i <= kPictureCount; ++i) {
      TFkBaseEntryField* f = i < kPictureCount ? static_cast<TFkBaseEntryField*>(b->pictures[i]) : b->simple;
      for (std::size_t at = 0; at < all.size(); at += 8) {
        try {
          f->SetAsString(all.substr(at, 8));
        } catch (const tw::Exception&) {
        }
        f->SetFocus();
        f->Repaint();
        Application()->ProcessMessages();
      }
    }
    return b;
  }();
  return *bench;
}

// The longest text the field may hold.
std::size_t Capacity(const Bench& b, TFkBaseEntryField* f) {
  if (f == b.simple) return kSimpleLength;
  return static_cast<TFkPictureField*>(f)->PictureMask().size();
}

// Number, date and time fields are exactly as long as their mask; other fields no longer.
void Check(const Bench& b, TFkBaseEntryField* f) {
  const std::size_t length = f->EditText().size();
  const bool exact = f != b.simple && static_cast<TFkPictureField*>(f)->DataType() != T::pftString;
  if (length > Capacity(b, f) || (exact && length != Capacity(b, f))) std::abort();
  try {
    const std::string value = f->GetAsString();
    if (value.size() > Capacity(b, f)) std::abort();
    TFkValue v;
    f->GetValue(v);
  } catch (const tw::Exception&) {
    // A refused value is reported as an error of the entry family; that is fine.
  }
  (void)f->IsValid();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Bench& b = TheBench();
  const std::size_t pick = data[0] & 7u;
  TFkBaseEntryField* f = pick < kPictureCount ? static_cast<TFkBaseEntryField*>(b.pictures[pick]) : b.simple;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

  try {
    f->SetAsString("");
  } catch (const tw::Exception&) {
  }
  f->SetFocus();
  Application()->ProcessMessages();
  if ((data[0] & 8u) != 0) f->SelectAll();

  TMessage msg{};
  msg.Msg = WM_PASTE;
  msg.LParam = reinterpret_cast<LPARAM>(&text);
  try {
    f->PerformCommand(msg, ccPaste);
  } catch (const tw::Exception&) {
  }
  Application()->ProcessMessages();
  Check(b, f);

  try {
    f->SetAsString(text);
  } catch (const tw::Exception&) {
  }
  Application()->ProcessMessages();
  Check(b, f);
  return 0;
}
