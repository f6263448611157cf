// A picture: a container for one graphic (a bitmap, an icon or a metafile) that can load any
// of them from a file or stream, copy itself and others, draw and store itself in a form
// description.  Images, the splash window and the rich-text engine's embedded objects hold
// their pictures in one.
#pragma once

#include <memory>
#include <string>

#include "platform/gfx/graphic.h"
#include "platform/gfx/metafile.h"

namespace tw {

class TPicture : public TPersistent {
  TW_CLASS(TPicture, TPersistent)
 public:
  TPicture();
  ~TPicture() override;
  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of `graphic` (nullptr clears).
  void SetGraphic(const TGraphic* graphic);
  // The picture as a graphic of that kind: an empty one replaces a graphic of another kind.
  TBitmap* Bitmap();
  TIcon* Icon();
  TMetafile* Metafile();
  int Width() const { return graphic_ ? graphic_->Width() : 0; }
  int Height() const { return graphic_ ? graphic_->Height() : 0; }
  bool Empty() const { return graphic_ == nullptr || graphic_->Empty(); }

  // .bmp, .ico or .wmf by the extension (in any case); EInvalidGraphic for another.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName) const;
  // The kind is told by the first bytes: "BM" a bitmap, 0 0 1 0 an icon, the placeable key or
  // a bare metafile header a metafile; EInvalidGraphic for anything else.  On failure the
  // picture keeps what it held.
  void LoadFromStream(TStream& stream);
  // The graphic's own file (nothing when empty).
  void SaveToStream(TStream& stream) const;
  // Stretched into `r` of the canvas.
  void Draw(TCanvas* canvas, const TRect& r) const;

  void Assign(const TPersistent* source) override;
  // Stored as "Data": the graphic's class name as a short string, then its stored form.
  void DefineProperties(TFiler* filer) override;
  TNotifyEvent OnChange;

 private:
  void Changed();
  void Take(std::unique_ptr<TGraphic> graphic);
  template <class T>
  T* As();
  std::unique_ptr<TGraphic> graphic_;
};

// A new, empty graphic of the named class ("TBitmap", "TIcon", "TMetafile", any case); nullptr
// for another name.
std::unique_ptr<TGraphic> NewGraphic(const std::string& className);

}  // namespace tw
