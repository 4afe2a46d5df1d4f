#include "print/Printers.h"
#include "rtl/SafeSave.h"
#include "win/Metrics.h"
#include <cairo-pdf.h>
#include <cmath>
#include <cups/cups.h>

X_REGISTER_CLASS(TPrinter)

namespace {

cairo_status_t AppendPdf(void* Closure, const unsigned char* Data, unsigned int Length)
{
    static_cast<std::string*>(Closure)->append(reinterpret_cast<const char*>(Data), Length);
    return CAIRO_STATUS_SUCCESS;
}

// Points to printer pixels at Dpi.
Integer PointsToPixels(double Points, Integer Dpi)
{
    return Integer(std::lround(Points * Dpi / 72.0));
}

TOwnedPtr<TPrinter> ThePrinter;

} // namespace

TPrinter::~TPrinter()
{
    if (Printing())
        Abort();
}

void TPrinter::SetPaperSize(double WidthPoints, double HeightPoints)
{
    if (Printing())
        throw EPrinter(u"Cannot change the paper while printing");
    if (!(WidthPoints >= 1 && WidthPoints <= 14400 && HeightPoints >= 1 && HeightPoints <= 14400))
        throw EPrinter(u"Paper size out of range");
    FPaperWidth = WidthPoints;
    FPaperHeight = HeightPoints;
}

void TPrinter::SetResolution(Integer Dpi)
{
    if (Printing())
        throw EPrinter(u"Cannot change the resolution while printing");
    if (Dpi < 72 || Dpi > 2400)
        throw EPrinter(u"Resolution out of range");
    FResolution = Dpi;
}

Integer TPrinter::GetDeviceCaps(Integer Index) const
{
    // A PDF page has no margin the device cannot reach: the printable
    // area is the sheet.
    switch (Index) {
    case LOGPIXELSX:
    case LOGPIXELSY:
        return FResolution;
    case HORZRES:
    case PHYSICALWIDTH:
        return PointsToPixels(FPaperWidth, FResolution);
    case VERTRES:
    case PHYSICALHEIGHT:
        return PointsToPixels(FPaperHeight, FResolution);
    case HORZSIZE:
        return Integer(std::lround(FPaperWidth * 25.4 / 72.0));
    case VERTSIZE:
        return Integer(std::lround(FPaperHeight * 25.4 / 72.0));
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY:
        return 0;
    default:
        return 0;
    }
}

void TPrinter::BeginDoc()
{
    if (Printing())
        throw EPrinter(u"Printing in progress");
    FPdf.clear();
    FSurface = cairo_pdf_surface_create_for_stream(AppendPdf, &FPdf, FPaperWidth, FPaperHeight);
    cairo_pdf_surface_set_metadata(FSurface, CAIRO_PDF_METADATA_TITLE, StringToUTF8(FTitle).c_str());
    FCr = cairo_create(FSurface);
    if (cairo_status(FCr) != CAIRO_STATUS_SUCCESS) {
        Finish();
        throw EPrinter(u"Cannot start the print job");
    }
    cairo_scale(FCr, 72.0 / FResolution, 72.0 / FResolution);
    FCanvas = MakeOwned<TCairoCanvas>(FCr, Rect(0, 0, PageWidth(), PageHeight()));
    FAborted = false;
    FPageNumber = 1;
}

void TPrinter::NewPage()
{
    if (!Printing())
        throw EPrinter(u"Printer is not currently printing");
    cairo_show_page(FCr);
    ++FPageNumber;
}

void TPrinter::Finish()
{
    FCanvas.reset();
    if (FCr)
        cairo_destroy(FCr);
    FCr = nullptr;
    if (FSurface) {
        cairo_surface_finish(FSurface);
        cairo_surface_destroy(FSurface);
    }
    FSurface = nullptr;
    FPageNumber = 0;
}

void TPrinter::EndDoc()
{
    if (!Printing())
        throw EPrinter(u"Printer is not currently printing");
    const bool Failed = cairo_status(FCr) != CAIRO_STATUS_SUCCESS;
    Finish();
    std::string Pdf = std::move(FPdf);
    FPdf.clear();
    if (Failed || Pdf.empty())
        throw EPrinter(u"The print job could not be made");
    Deliver(Pdf);
}

void TPrinter::Abort()
{
    if (!Printing())
        return;
    Finish();
    FPdf.clear();
    FAborted = true;
}

void TPrinter::Deliver(const std::string& Pdf)
{
    if (!FFileName.empty()) {
        try {
            SaveBytesToFileSafely(FFileName, Pdf);
        } catch (const EFCreateError& E) {
            throw EPrinter(u"Cannot write the print file: " + E.Message());
        }
        return;
    }
    const std::string Name = StringToUTF8(FPrinterName), Title = StringToUTF8(FTitle);
    cups_dest_t* Dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, Name.empty() ? nullptr : Name.c_str(), nullptr);
    if (!Dest)
        throw EPrinter(Name.empty() ? String(u"There is no default printer currently selected")
                                    : u"Printer \"" + FPrinterName + u"\" not found");
    const std::string Queue = Dest->name;
    cupsFreeDests(1, Dest);
    const int Job = cupsCreateJob(CUPS_HTTP_DEFAULT, Queue.c_str(), Title.c_str(), 0, nullptr);
    bool Sent = Job > 0 &&
        cupsStartDocument(CUPS_HTTP_DEFAULT, Queue.c_str(), Job, Title.c_str(), CUPS_FORMAT_PDF, 1) ==
            HTTP_STATUS_CONTINUE;
    if (Sent)
        Sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, Pdf.data(), Pdf.size()) == HTTP_STATUS_CONTINUE;
    if (Job > 0)
        Sent = cupsFinishDocument(CUPS_HTTP_DEFAULT, Queue.c_str()) == IPP_STATUS_OK && Sent;
    if (!Sent) {
        if (Job > 0)
            cupsCancelJob2(CUPS_HTTP_DEFAULT, Queue.c_str(), Job, 0);
        throw EPrinter(u"Printing failed: " + UTF8ToString(cupsLastErrorString()));
    }
}

TPrinter* Printer()
{
    if (!ThePrinter)
        ThePrinter.reset(New<TPrinter>());
    return ThePrinter.get();
}

TPrinter* SetPrinter(TPrinter* NewPrinter)
{
    TPrinter* Old = ThePrinter.release();
    ThePrinter.reset(NewPrinter);
    return Old;
}
