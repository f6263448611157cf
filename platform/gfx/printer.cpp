#include "platform/gfx/printer.h"

#include <cairo-pdf.h>
#include <cups/cups.h>
#include <langinfo.h>
#include <locale.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>

#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/uilanguage.h"

namespace tw {

namespace {

constexpr const char* kPrinting = "Printing in progress";
constexpr const char* kNotPrinting = "Printer is not currently printing";
constexpr const char* kInvalidPrinter = "Printer selected is not valid";
constexpr const char* kNoDefaultPrinter = "There is no default printer currently selected";
constexpr TUiTextPair kGerman[] = {
    {kPrinting, "Es wird gerade gedruckt"},
    {kNotPrinting, "Der Drucker druckt zurzeit nicht"},
    {kInvalidPrinter, "Der gew\xE4hlte Drucker ist ung\xFCltig"},
    {kNoDefaultPrinter, "Zurzeit ist kein Standarddrucker ausgew\xE4hlt"},
    {"Paper size is not valid", "Das Papierformat ist ung\xFCltig"},
    {"Printer margin is not valid", "Der Druckerrand ist ung\xFCltig"},
    {"The print document could not be created", "Das Druckdokument konnte nicht erstellt werden"},
    {"The print document could not be written", "Das Druckdokument konnte nicht geschrieben werden"},
    {"The document could not be sent to the printer \"%s\"", "Das Dokument konnte nicht an den Drucker \"%s\" gesandt werden"},
    {"The print document could not be written to \"%s\"", "Das Druckdokument konnte nicht nach \"%s\" geschrieben werden"},
};
// A message of the printer in the program's language.
std::string Text(std::string_view english) { return UiText(english, kGerman); }

int TenthsToPixels(int tenths, int dpi) { return static_cast<int>(std::lround(tenths * dpi / 254.0)); }
double TenthsToPoints(int tenths) { return tenths * 72.0 / 254.0; }

class CupsSpooler : public TPrintSpooler {
 public:
  std::vector<std::string> Destinations() override {
    std::vector<std::string> names;
    cups_dest_t* dests = nullptr;
    int n = cupsGetDests(&dests);
    for (int i = 0; i < n; ++i) {
      std::string name = dests[i].name;
      if (dests[i].instance) name += std::string("/") + dests[i].instance;
      names.push_back(name);
    }
    cupsFreeDests(n, dests);
    return names;
  }

  std::string DefaultDestination() override {
    const char* name = cupsGetDefault();
    return name ? name : "";
  }

  bool Submit(const std::string& destination, const std::string& pdfFile, const std::string& title,
              std::string& error) override {
    std::string queue = destination.substr(0, destination.find('/'));
    int job = cupsPrintFile(queue.c_str(), pdfFile.c_str(), title.empty() ? "Tidewell" : title.c_str(), 0, nullptr);
    if (job == 0) {
      const char* text = cupsLastErrorString();
      error = text ? text : "unknown error";
      return false;
    }
    return true;
  }
};

}  // namespace

std::unique_ptr<TPrintSpooler> CreateSystemSpooler() { return std::make_unique<CupsSpooler>(); }

const TPaperSize& PaperA4() { static const TPaperSize p{"A4", 2100, 2970}; return p; }
const TPaperSize& PaperLetter() { static const TPaperSize p{"Letter", 2159, 2794}; return p; }
const TPaperSize& PaperLegal() { static const TPaperSize p{"Legal", 2159, 3556}; return p; }
const TPaperSize& PaperA5() { static const TPaperSize p{"A5", 1480, 2100}; return p; }

TPaperSize PaperSizeFromMillimetres(int width, int height) {
  if (width <= 0 || height <= 0) return PaperA4();
  for (const TPaperSize* p : {&PaperA4(), &PaperLetter(), &PaperLegal(), &PaperA5()})
    if (std::abs(p->Width - width * 10) <= 10 && std::abs(p->Height - height * 10) <= 10) return *p;
  return TPaperSize{"Custom", width * 10, height * 10};
}

TPaperSize LocalePaperSize() {
  // The locale of the environment for the paper alone: the program's own locale is not changed.
  locale_t paper = newlocale(LC_PAPER_MASK, "", static_cast<locale_t>(nullptr));
  if (paper == static_cast<locale_t>(nullptr)) return PaperA4();
  // The two items are numbers (millimetres) carried in the value of the returned pointer.
  const auto number = [paper](nl_item item) {
    return static_cast<int>(static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(nl_langinfo_l(item, paper))));
  };
  const int width = number(_NL_PAPER_WIDTH);
  const int height = number(_NL_PAPER_HEIGHT);
  freelocale(paper);
  return PaperSizeFromMillimetres(width, height);
}

TPrinter::TPrinter(std::unique_ptr<TPrintSpooler> spooler)
    : spooler_(spooler ? std::move(spooler) : CreateSystemSpooler()),
      printers_(std::make_unique<TStringList>()),
      paper_(LocalePaperSize()),
      canvas_(std::make_unique<TCanvas>()) {
  canvas_->Font()->SetPixelsPerInch(dpi_);
}

TPrinter::~TPrinter() {
  if (printing_) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

void TPrinter::CheckNotPrinting() const {
  if (printing_) throw EPrinter(Text(kPrinting));
}

void TPrinter::CheckPrinting() const {
  if (!printing_) throw EPrinter(Text(kNotPrinting));
}

TStrings* TPrinter::Printers() {
  if (!printersRead_) Refresh();
  return printers_.get();
}

void TPrinter::Refresh() {
  printers_->Clear();
  for (const std::string& name : spooler_->Destinations()) printers_->Add(name);
  printersRead_ = true;
  if (printerIndex_ >= printers_->Count()) printerIndex_ = -1;
}

int TPrinter::PrinterIndex() {
  if (printerIndex_ >= 0) return printerIndex_;
  std::string def = spooler_->DefaultDestination();
  return def.empty() ? -1 : Printers()->IndexOf(def);
}

void TPrinter::SetPrinterIndex(int index) {
  CheckNotPrinting();
  if (index < -1 || index >= Printers()->Count()) throw EPrinter(Text(kInvalidPrinter));
  printerIndex_ = index;
}

std::string TPrinter::PrinterName() {
  if (printerIndex_ >= 0 && printerIndex_ < Printers()->Count()) return Printers()->Strings(printerIndex_);
  return spooler_->DefaultDestination();
}

void TPrinter::SetResolution(int dpi) {
  CheckNotPrinting();
  if (dpi < 72 || dpi > 2400) throw EPrinter("Printer resolution must be between 72 and 2400 dots per inch");
  dpi_ = dpi;
  canvas_->Font()->SetPixelsPerInch(dpi);
}

void TPrinter::SetOrientation(TPrinterOrientation orientation) {
  CheckNotPrinting();
  orientation_ = orientation;
}

void TPrinter::SetPaperSize(const TPaperSize& paper) {
  CheckNotPrinting();
  if (paper.Width <= 0 || paper.Height <= 0 || paper.Width > 50000 || paper.Height > 50000)
    throw EPrinter(Text("Paper size is not valid"));
  paper_ = paper;
}

void TPrinter::SetMargin(int tenthsOfMillimetre) {
  CheckNotPrinting();
  if (tenthsOfMillimetre < 0 || 2 * tenthsOfMillimetre >= std::min(paper_.Width, paper_.Height))
    throw EPrinter(Text("Printer margin is not valid"));
  margin_ = tenthsOfMillimetre;
}

TDeviceInfo TPrinter::DeviceInfo() const {
  const bool landscape = orientation_ == TPrinterOrientation::poLandscape;
  const int sheetW = landscape ? paper_.Height : paper_.Width;
  const int sheetH = landscape ? paper_.Width : paper_.Height;
  TDeviceInfo info;
  info.Technology = DT_RASPRINTER;
  info.LogPixelsX = dpi_;
  info.LogPixelsY = dpi_;
  info.PhysicalWidth = TenthsToPixels(sheetW, dpi_);
  info.PhysicalHeight = TenthsToPixels(sheetH, dpi_);
  info.PhysicalOffsetX = TenthsToPixels(margin_, dpi_);
  info.PhysicalOffsetY = TenthsToPixels(margin_, dpi_);
  info.HorzRes = info.PhysicalWidth - 2 * info.PhysicalOffsetX;
  info.VertRes = info.PhysicalHeight - 2 * info.PhysicalOffsetY;
  info.BitsPixel = 24;
  return info;
}

int TPrinter::PageWidth() const { return DeviceInfo().HorzRes; }
int TPrinter::PageHeight() const { return DeviceInfo().VertRes; }

TCanvas* TPrinter::Canvas() { return canvas_.get(); }

HDC TPrinter::Handle() const { return dc_; }

void TPrinter::BeginDoc() {
  CheckNotPrinting();
  const TDeviceInfo info = DeviceInfo();
  try {
    tempFile_ = CreateTempFile(TempFolder(), "tidewell-print-");
  } catch (const Exception& e) {
    throw EPrinter(Text("The print document could not be created") + ": " + e.Message());
  }
  const bool landscape = orientation_ == TPrinterOrientation::poLandscape;
  const double wpt = TenthsToPoints(landscape ? paper_.Height : paper_.Width);
  const double hpt = TenthsToPoints(landscape ? paper_.Width : paper_.Height);
  surface_ = cairo_pdf_surface_create(tempFile_.c_str(), wpt, hpt);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    Cleanup();
    throw EPrinter(Text("The print document could not be created"));
  }
  if (!title_.empty()) cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, title_.c_str());
  cr_ = cairo_create(surface_);
  // Printer pixels, with the origin at the top-left of the drawable area.
  cairo_scale(cr_, 72.0 / dpi_, 72.0 / dpi_);
  cairo_translate(cr_, info.PhysicalOffsetX, info.PhysicalOffsetY);
  dc_ = CreateDeviceDC(cr_, info);
  printing_ = true;
  aborted_ = false;
  pageNumber_ = 1;
  canvas_->SetHandle(dc_);
  canvas_->Font()->SetPixelsPerInch(dpi_);
}

void TPrinter::NewPage() {
  CheckPrinting();
  cairo_show_page(cr_);
  RemoveClip(dc_);
  ++pageNumber_;
}

void TPrinter::Cleanup() {
  canvas_->SetHandle(0);
  if (dc_) DeleteDC(dc_);
  dc_ = 0;
  if (cr_) cairo_destroy(cr_);
  cr_ = nullptr;
  if (surface_) {
    cairo_surface_finish(surface_);
    cairo_surface_destroy(surface_);
  }
  surface_ = nullptr;
  if (!tempFile_.empty()) DeleteFile(tempFile_);
  tempFile_.clear();
  printing_ = false;
}

void TPrinter::EndDoc() {
  CheckPrinting();
  canvas_->SetHandle(0);
  DeleteDC(dc_);
  dc_ = 0;
  cairo_destroy(cr_);
  cr_ = nullptr;
  cairo_surface_finish(surface_);
  const cairo_status_t status = cairo_surface_status(surface_);
  cairo_surface_destroy(surface_);
  surface_ = nullptr;
  try {
    if (status != CAIRO_STATUS_SUCCESS)
      throw EPrinter(Text("The print document could not be written") + ": " + cairo_status_to_string(status));
    const char* target = std::getenv("TIDEWELL_PRINT_TO");
    if (target != nullptr && *target != '\0') {
      try {
        AtomicWriteFile(target, ReadFileBytes(tempFile_));
      } catch (const EPrinter&) {
        throw;
      } catch (const Exception& e) {
        throw EPrinter(Format(Text("The print document could not be written to \"%s\""), {std::string(target)}) + ": " + e.Message());
      }
    } else {
      const std::string destination = PrinterName();
      if (destination.empty()) throw EPrinter(Text(kNoDefaultPrinter));
      std::string error;
      if (!spooler_->Submit(destination, tempFile_, title_, error))
        throw EPrinter(Format(Text("The document could not be sent to the printer \"%s\""), {destination}) + ": " + error);
    }
  } catch (...) {
    Cleanup();
    throw;
  }
  Cleanup();
}

void TPrinter::Abort() {
  CheckPrinting();
  Cleanup();
  aborted_ = true;
}

namespace {
std::mutex printerMutex;
std::unique_ptr<TPrinter>& PrinterSlot() {
  static std::unique_ptr<TPrinter> printer;
  return printer;
}
}  // namespace

TPrinter* Printer() {
  std::lock_guard lock(printerMutex);
  auto& slot = PrinterSlot();
  if (!slot) slot = std::make_unique<TPrinter>();
  return slot.get();
}

std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer) {
  std::lock_guard lock(printerMutex);
  auto& slot = PrinterSlot();
  std::swap(slot, printer);
  return printer;
}

}  // namespace tw
