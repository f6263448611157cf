// Pictures on the clipboard: a bitmap travels as CF_DIB (its .BMP file without the 14-byte file
// header), a metafile as CF_METAFILEPICT (its placeable .WMF file).  Text stays with the window
// system's clipboard calls.
#pragma once

#include "platform/gfx/picture.h"
#include "platform/win/winapi.h"

namespace tw {

// True when the clipboard holds a metafile or a bitmap.
bool ClipboardHasPicture();
// Copies the clipboard's picture into `picture`, the metafile when there is one, else the
// bitmap.  False, with `picture` unchanged, when there is none or the clipboard is busy;
// damaged picture data raises EInvalidGraphic and also leaves `picture` unchanged.
bool PasteClipboardPicture(TPicture& picture);
// Empties the clipboard and puts `graphic` on it (an icon goes as a bitmap); false when the
// clipboard cannot be opened or the graphic is empty.
bool CopyPictureToClipboard(const TGraphic& graphic, HWND owner = 0);

}  // namespace tw
