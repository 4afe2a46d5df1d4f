// TPrinter: print jobs as PDF pages, sent to a CUPS destination or written
// to a file.
//
//     TPrinter* P = Printer();
//     P->SetTitle(u"Report");
//     P->BeginDoc();
//     P->Canvas()->TextOut(600, 600, u"Page one");   // printer pixels
//     P->NewPage();
//     ...
//     P->EndDoc();                                     // the job leaves here
//
// A page is a cairo PDF page drawn through a TCairoCanvas, so whatever a
// window bitmap or a metafile is painted with prints the same way, and text
// stays text (its fonts embedded). Canvas coordinates are printer pixels
// at Resolution() dots per inch over the whole sheet. The job is kept in
// memory until EndDoc: a file destination is then replaced whole, a CUPS
// destination gets one PDF document.
#pragma once
#include "gdi/CairoCanvas.h"
#include "rtl/Exceptions.h"
#include <string>

X_EXCEPTION(EPrinter, Exception)

// Indexes of TPrinter::GetDeviceCaps besides LOGPIXELSX and LOGPIXELSY
// (win/Metrics.h): millimetres, printer pixels of the printable area and
// of the sheet, and where the printable area starts on the sheet.
constexpr Integer HORZSIZE = 4;
constexpr Integer VERTSIZE = 6;
constexpr Integer HORZRES = 8;
constexpr Integer VERTRES = 10;
constexpr Integer PHYSICALWIDTH = 110;
constexpr Integer PHYSICALHEIGHT = 111;
constexpr Integer PHYSICALOFFSETX = 112;
constexpr Integer PHYSICALOFFSETY = 113;

class TPrinter : public TObject {
    X_CLASS(TPrinter, TObject)
public:
    void Create() override { }
    ~TPrinter() override;

    // The job's name in the queue and the PDF's title.
    String Title() const { return FTitle; }
    void SetTitle(const String& Value) { FTitle = Value; }
    // Where jobs go: with a file name, a PDF file there; else the CUPS
    // destination PrinterName (empty: the default destination).
    String FileName() const { return FFileName; }
    void SetFileName(const String& Value) { FFileName = Value; }
    String PrinterName() const { return FPrinterName; }
    void SetPrinterName(const String& Value) { FPrinterName = Value; }
    // The sheet in points (1/72 inch); A4 unless set. Raises EPrinter while
    // printing or for a side outside 1..14400.
    void SetPaperSize(double WidthPoints, double HeightPoints);
    // Dots per inch, 600 unless set; raises EPrinter while printing or
    // outside 72..2400.
    Integer Resolution() const { return FResolution; }
    void SetResolution(Integer Dpi);

    // Raises EPrinter when a job is already running.
    void BeginDoc();
    // Raises EPrinter when no job is running.
    void NewPage();
    // Ends the job and delivers it; raises EPrinter when no job is running
    // or the destination refuses it (the job is gone either way).
    void EndDoc();
    // Drops the running job; nothing is delivered.
    void Abort();
    bool Printing() const { return FCanvas != nullptr; }
    bool Aborted() const { return FAborted; }
    // 1 on the first page; 0 outside a job.
    Integer PageNumber() const { return FPageNumber; }
    // The page's canvas while printing; null otherwise.
    TCairoCanvas* Canvas() const { return FCanvas.get(); }
    Integer PageWidth() const { return GetDeviceCaps(HORZRES); }
    Integer PageHeight() const { return GetDeviceCaps(VERTRES); }
    // What the printer's device context answers for Index; 0 for an index
    // it does not know.
    Integer GetDeviceCaps(Integer Index) const;

private:
    void Finish();
    void Deliver(const std::string& Pdf);

    String FTitle;
    String FFileName;
    String FPrinterName;
    double FPaperWidth = 595.2756; // A4: 210 mm
    double FPaperHeight = 841.8898; // 297 mm
    Integer FResolution = 600;
    bool FAborted = false;
    Integer FPageNumber = 0;
    std::string FPdf;
    struct _cairo_surface* FSurface = nullptr;
    cairo_t* FCr = nullptr;
    TOwnedPtr<TCairoCanvas> FCanvas;
};

// The process's printer, made on first use.
TPrinter* Printer();
// Puts NewPrinter (owned from then on) in the old one's place and answers
// the old one, which the caller then owns; null makes a fresh one on the
// next use.
TPrinter* SetPrinter(TPrinter* NewPrinter);
