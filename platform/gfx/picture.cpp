#include "platform/gfx/picture.h"

#include "platform/classes/classesconst.h"
#include "platform/classes/filer.h"
#include "platform/gfx/dib.h"
#include "platform/rtl/files.h"
#include "platform/rtl/win1252.h"

namespace tw {

std::unique_ptr<TGraphic> NewGraphic(const std::string& className) {
  if (SameText(className, "TBitmap")) return std::make_unique<TBitmap>();
  if (SameText(className, "TIcon")) return std::make_unique<TIcon>();
  if (SameText(className, "TMetafile")) return std::make_unique<TMetafile>();
  return nullptr;
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
  // Through a copy, so that the handler may replace its own event.
  if (TNotifyEvent handler = OnChange) handler(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (graphic == nullptr) {
    Take(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy = NewGraphic(graphic->ClassName());
  if (copy == nullptr) copy = std::make_unique<TBitmap>();  // another kind is taken as a bitmap
  copy->Assign(graphic);
  Take(std::move(copy));
}

template <class T>
T* TPicture::As() {
  if (!graphic_ || !graphic_->Is<T>()) Take(std::make_unique<T>());
  return static_cast<T*>(graphic_.get());
}

TBitmap* TPicture::Bitmap() { return As<TBitmap>(); }
TIcon* TPicture::Icon() { return As<TIcon>(); }
TMetafile* TPicture::Metafile() { return As<TMetafile>(); }

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string ext = LowerCase(ExtractFileExt(fileName));
  std::unique_ptr<TGraphic> g;
  if (ext == ".bmp")
    g = std::make_unique<TBitmap>();
  else if (ext == ".ico")
    g = std::make_unique<TIcon>();
  else if (ext == ".wmf")
    g = std::make_unique<TMetafile>();
  else
    throw EInvalidGraphic("Unknown picture file extension (" + ext + ")");
  g->LoadFromFile(fileName);
  Take(std::move(g));
}

void TPicture::SaveToFile(const std::string& fileName) const {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::LoadFromStream(TStream& stream) {
  const std::string bytes = gfxdetail::ReadGraphicRest(stream);
  std::unique_ptr<TGraphic> g;
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') {
    auto b = std::make_unique<TBitmap>();
    b->LoadFromBytes(bytes);
    g = std::move(b);
  } else if (bytes.size() >= 4 && gfxdetail::U32(bytes, 0) == 0x00010000u) {
    auto i = std::make_unique<TIcon>();
    i->LoadFromBytes(bytes);
    g = std::move(i);
  } else if ((bytes.size() >= 4 && gfxdetail::U32(bytes, 0) == PlaceableMetafileKey) ||
             (bytes.size() >= 4 && (gfxdetail::U16(bytes, 0) == 1 || gfxdetail::U16(bytes, 0) == 2) &&
              gfxdetail::U16(bytes, 2) == 9)) {
    auto m = std::make_unique<TMetafile>();
    m->LoadFromBytes(bytes);
    g = std::move(m);
  } else {
    throw EInvalidGraphic("Unknown picture format");
  }
  Take(std::move(g));
}

void TPicture::SaveToStream(TStream& stream) const {
  if (graphic_) graphic_->SaveToStream(stream);
}

void TPicture::Draw(TCanvas* canvas, const TRect& r) const {
  if (canvas != nullptr && !Empty()) canvas->StretchDraw(r, graphic_.get());
}

void TPicture::Assign(const TPersistent* source) {
  if (const auto* p = dynamic_cast<const TPicture*>(source)) {
    if (p != this) SetGraphic(p->Graphic());
    return;
  }
  if (const auto* g = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(g);
    return;
  }
  if (source == nullptr) {
    SetGraphic(nullptr);
    return;
  }
  TPersistent::Assign(source);
}

void TPicture::DefineProperties(TFiler* filer) {
  TPersistent::DefineProperties(filer);
  filer->DefineBinaryProperty(
      "Data",
      [this](TStream& s) {
        std::uint8_t len = 0;
        s.ReadBuffer(&len, 1);
        std::string cls(len, '\0');
        s.ReadBuffer(cls.data(), len);
        std::unique_ptr<TGraphic> g = NewGraphic(cls);
        if (g == nullptr) throw EReadError("Unknown picture class " + cls);
        g->ReadData(s);
        Take(std::move(g));
      },
      [this](TStream& s) {
        const std::string cls = graphic_->ClassName();
        const auto len = static_cast<std::uint8_t>(cls.size());
        s.WriteBuffer(&len, 1);
        s.WriteBuffer(cls);
        graphic_->WriteData(s);
      },
      !Empty());
}

}  // namespace tw
