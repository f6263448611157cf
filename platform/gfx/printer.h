// The printer: a canvas at printer resolution whose pages go into a PDF document; EndDoc
// hands the document to the print spooler (the default destination of the printing system),
// or, when the environment variable TIDEWELL_PRINT_TO names a file, writes the PDF there.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/classes/stringlist.h"
#include "platform/gfx/canvas.h"
#include "platform/rtl/exceptions.h"

namespace tw {

TW_DECLARE_EXCEPTION(EPrinter, Exception);

enum class TPrinterOrientation { poPortrait, poLandscape };

// Sheet sizes in tenths of a millimetre (portrait).
struct TPaperSize {
  std::string Name;
  int Width = 0;
  int Height = 0;
};
const TPaperSize& PaperA4();
const TPaperSize& PaperLetter();
const TPaperSize& PaperLegal();
const TPaperSize& PaperA5();
// The sheet of a size in millimetres: one of the sheets above when it is that size (to a
// millimetre), else a "Custom" sheet; A4 for a size that is no size.
TPaperSize PaperSizeFromMillimetres(int width, int height);
// The sheet the user's locale names (LC_PAPER, e.g. Letter in the United States); A4 when the
// locale names none.  A new printer starts with it.
TPaperSize LocalePaperSize();

// The printing system as the printer sees it; tests put their own in its place.
class TPrintSpooler {
 public:
  virtual ~TPrintSpooler() = default;
  // Names of the destinations (printers) there are.
  virtual std::vector<std::string> Destinations() = 0;
  // The default destination, "" when there is none.
  virtual std::string DefaultDestination() = 0;
  // Queues the PDF file for `destination`; returns false with `error` set on failure.
  virtual bool Submit(const std::string& destination, const std::string& pdfFile, const std::string& title,
                      std::string& error) = 0;
};
// The spooler of the printing system of this machine (libcups).
std::unique_ptr<TPrintSpooler> CreateSystemSpooler();

class TPrinter : public TObject {
  TW_CLASS(TPrinter, TObject)
 public:
  explicit TPrinter(std::unique_ptr<TPrintSpooler> spooler = nullptr);
  ~TPrinter() override;

  // The destinations of the printing system, read on first use and by Refresh.
  TStrings* Printers();
  void Refresh();
  // -1 selects the default destination; an index outside Printers raises EPrinter
  // "Printer selected is not valid".
  int PrinterIndex();
  void SetPrinterIndex(int index);
  // Name of the destination EndDoc sends to ("" when there is none).
  std::string PrinterName();

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }

  // Resolution of the printer canvas in dots per inch (default 600; 72 to 2400).
  int Resolution() const { return dpi_; }
  void SetResolution(int dpi);
  TPrinterOrientation Orientation() const { return orientation_; }
  void SetOrientation(TPrinterOrientation orientation);
  const TPaperSize& PaperSize() const { return paper_; }
  void SetPaperSize(const TPaperSize& paper);
  // Unprintable margin of the sheet on every side, in tenths of a millimetre (default 0; a
  // sheet on a real printer usually has about 42).
  int Margin() const { return margin_; }
  void SetMargin(int tenthsOfMillimetre);
  // Settings can only change while no document is being printed (else EPrinter
  // "Printing in progress").

  // Drawable page size in printer pixels (HORZRES / VERTRES).
  int PageWidth() const;
  int PageHeight() const;
  // Whole sheet and offset of the drawable area (PHYSICALWIDTH ... PHYSICALOFFSETY).
  TDeviceInfo DeviceInfo() const;

  // A document: BeginDoc opens a PDF with the first page; NewPage starts the next; EndDoc
  // finishes it and sends or writes it; Abort throws it away.  Calls out of order raise
  // EPrinter ("Printing in progress" / "Printer is not currently printing").  With no
  // destination and no TIDEWELL_PRINT_TO, EndDoc raises EPrinter "There is no default printer
  // currently selected" and nothing is printed.
  void BeginDoc();
  void NewPage();
  void EndDoc();
  void Abort();
  bool Printing() const { return printing_; }
  bool Aborted() const { return aborted_; }
  int PageNumber() const { return pageNumber_; }

  // The canvas of the current page (resolution in its font's PixelsPerInch and the context's
  // LOGPIXELSX/Y); only drawable while printing.
  TCanvas* Canvas();
  HDC Handle() const;

 private:
  void CheckNotPrinting() const;
  void CheckPrinting() const;
  void Cleanup();
  std::unique_ptr<TPrintSpooler> spooler_;
  std::unique_ptr<TStringList> printers_;
  bool printersRead_ = false;
  int printerIndex_ = -1;
  std::string title_;
  int dpi_ = 600;
  TPrinterOrientation orientation_ = TPrinterOrientation::poPortrait;
  TPaperSize paper_;
  int margin_ = 0;
  bool printing_ = false;
  bool aborted_ = false;
  int pageNumber_ = 0;
  std::string tempFile_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  HDC dc_ = 0;
  std::unique_ptr<TCanvas> canvas_;
};

// The program's printer, made on first use.
TPrinter* Printer();
// Puts another printer in place of the program's (tests); returns the previous one.
std::unique_ptr<TPrinter> SetPrinter(std::unique_ptr<TPrinter> printer);

}  // namespace tw
