// A picture read from arbitrary bytes three ways: as a file whose first bytes tell the kind, as
// the "Data" value a form description stores (the graphic's class name as a short string, then
// its stored form), and as a device-independent bitmap from the clipboard.  Each loads or
// raises EInvalidGraphic or EReadError; what loads saves and loads again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/classes/filer.h"
#include "platform/classes/streams.h"
#include "platform/gfx/picture.h"

namespace {

// Hands the input to the picture's "Data" reader, or collects what its writer stores.
class DataFiler : public tw::TFiler {
 public:
  DataFiler(tw::TStream& stream, bool reading) : TFiler(stream, 0), reading_(reading) {}
  void DefineProperty(const std::string&, const tw::TReaderProc&, const tw::TWriterProc&, bool) override {}
  void DefineBinaryProperty(const std::string& name, const tw::TStreamProc& readData, const tw::TStreamProc& writeData,
                            bool hasData) override {
    if (name != "Data") return;
    if (reading_) {
      readData(stream_);
    } else if (hasData) {
      writeData(stream_);
    }
  }

 private:
  bool reading_;
};

bool LoadFile(tw::TPicture& picture, const std::uint8_t* data, std::size_t size) {
  tw::TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  try {
    picture.LoadFromStream(in);
    return true;
  } catch (const tw::EInvalidGraphic&) {
  } catch (const tw::EReadError&) {
  }
  return false;
}

bool LoadStored(tw::TPicture& picture, const std::uint8_t* data, std::size_t size) {
  tw::TMemoryStream in;
  in.WriteBuffer(data, static_cast<std::int64_t>(size));
  in.SetPosition(0);
  DataFiler filer(in, true);
  try {
    picture.DefineProperties(&filer);
    return true;
  } catch (const tw::EInvalidGraphic&) {
  } catch (const tw::EReadError&) {
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tw::TPicture file;
  if (LoadFile(file, data, size) && !file.Empty()) {
    tw::TMemoryStream saved;
    file.SaveToStream(saved);
    tw::TPicture again;
    if (!LoadFile(again, reinterpret_cast<const std::uint8_t*>(saved.Memory()), static_cast<std::size_t>(saved.Size())))
      __builtin_trap();
  }

  tw::TPicture stored;
  if (LoadStored(stored, data, size) && !stored.Empty()) {
    tw::TMemoryStream saved;
    DataFiler writer(saved, false);
    stored.DefineProperties(&writer);
    tw::TPicture again;
    if (!LoadStored(again, reinterpret_cast<const std::uint8_t*>(saved.Memory()), static_cast<std::size_t>(saved.Size())))
      __builtin_trap();
    if (again.Width() != stored.Width() || again.Height() != stored.Height()) __builtin_trap();
  }

  tw::TBitmap dib;
  try {
    dib.LoadFromDib(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const tw::EInvalidGraphic&) {
    return 0;
  }
  if (!dib.Empty()) {
    tw::TBitmap again;
    again.LoadFromDib(dib.SaveToDib());
    if (again.Width() != dib.Width() || again.Height() != dib.Height()) __builtin_trap();
  }
  return 0;
}
