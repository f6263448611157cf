#include "platform/forms/clipbrd.h"

namespace tw {

namespace {

// Opens the clipboard for the time it lives.
class TOpenClipboard {
 public:
  explicit TOpenClipboard(HWND owner) : open_(OpenClipboard(owner)) {}
  ~TOpenClipboard() {
    if (open_) CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  bool Open() const { return open_; }

 private:
  bool open_;
};

}  // namespace

bool ClipboardHasPicture() {
  return IsClipboardFormatAvailable(CF_METAFILEPICT) || IsClipboardFormatAvailable(CF_DIB);
}

bool PasteClipboardPicture(TPicture& picture) {
  TOpenClipboard clipboard(0);
  if (!clipboard.Open()) return false;
  if (IsClipboardFormatAvailable(CF_METAFILEPICT)) {
    TMetafile metafile;
    metafile.LoadFromBytes(GetClipboardData(CF_METAFILEPICT));
    picture.SetGraphic(&metafile);
    return true;
  }
  if (IsClipboardFormatAvailable(CF_DIB)) {
    TBitmap bitmap;
    bitmap.LoadFromDib(GetClipboardData(CF_DIB));
    picture.SetGraphic(&bitmap);
    return true;
  }
  return false;
}

bool CopyPictureToClipboard(const TGraphic& graphic, HWND owner) {
  if (graphic.Empty()) return false;
  // The data is made before the clipboard is emptied, so a failure leaves it as it was.
  UINT format = CF_DIB;
  std::string data;
  if (const auto* metafile = dynamic_cast<const TMetafile*>(&graphic)) {
    format = CF_METAFILEPICT;
    data = metafile->SaveToBytes();
  } else if (const auto* bitmap = dynamic_cast<const TBitmap*>(&graphic)) {
    data = bitmap->SaveToDib();
  } else {
    TBitmap copy;
    copy.SetSize(graphic.Width(), graphic.Height());
    copy.Canvas()->StretchDraw(Rect(0, 0, graphic.Width(), graphic.Height()), &graphic);
    data = copy.SaveToDib();
  }
  TOpenClipboard clipboard(owner);
  if (!clipboard.Open()) return false;
  EmptyClipboard();
  return SetClipboardData(format, data);
}

}  // namespace tw
