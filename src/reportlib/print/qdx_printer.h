#pragma once

// The reporting library's view of the system's printers: one process-wide set of printers
// (SharedPrinters) with a current printer, and per printer its resolution, paper, unprintable
// margins, paper and bin lists, a canvas to draw on, document and sheet brackets and raw output.
// A machine without printers gets a virtual printer so that pages can still be measured.
//
// Typical use by a print job (GUI thread):
//     TqdxPrinters& printers = SharedPrinters();
//     if (!printers.HasPhysicalPrinter()) ... "clNoPrinters" ...
//     TqdxCustomPrinter* p = printers.CurrentPrinter();
//     if (!p || !p->Opened()) ... "Printer selected is not valid" ...
//     p->SetTitle(name);
//     p->ApplyPrintSettings(9, 210, 297, poPortrait, 7, dmNone, 1);   // before each sheet
//     if (!p->StartDocument()) ... p->LastError() ...
//     p->StartSheet();
//     QPainter* painter = p->Canvas().Painter();  // device pixels, (0,0) = physical corner
//     ... draw ...
//     p->FinishSheet();
//     if (!p->FinishDocument()) ... p->LastError() ...   // job refused or printer gone
//
// On this system the printers are the print system's (CUPS) queues. A document is drawn into a
// PDF spool file and handed to the queue as one job when FinishDocument runs, with the copies,
// duplex and bin of the settings applied last before StartDocument (see ApplyPrintSettings).
// Everything runs on the GUI thread; the set has no locking.

#include "platform/printing/printer_info.h"
#include "platform/printing/printer_metrics.h"
#include "reportlib/document/qdx_components.h" // TPrinterOrientation, TqdxDuplexMode

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QPainter;
class QPaintDevice;

namespace zr {
class SheetPrinter;
class RawOutput;
} // namespace zr

namespace zr::reportlib::preview {

// ---- Standard paper table -------------------------------------------------------------------

// One standard paper: code, name (empty) and upright size in tenths of a millimetre.
struct TPaperInfo {
    int Code;
    const char* Name;
    int Width;
    int Height;
};

// The code of a paper of user-defined size.
inline constexpr int kCustomPaper = 256;
// The bin code of the printer's automatic choice.
inline constexpr int kDefaultBin = 7;

// The 66 standard papers, in table order (codes 1..68 without 48 and 49).
const std::vector<TPaperInfo>& StandardPapers();
// The first table entry with `code`; null for codes not in the table (256 included).
const TPaperInfo* FindStandardPaper(int code);
// The code of the first table entry whose upright size matches `widthMm` x `heightMm` (either
// way round) within `toleranceMm` on each side; 0 when none does. Used to give a printer's
// papers the standard codes.
int StandardPaperCodeBySize(double widthMm, double heightMm, double toleranceMm = 1.0);

// ---- Bins -----------------------------------------------------------------------------------

// The print system's keyword of a bin code ("top" for 1, "main" for 15), empty for the codes
// without one (7, the automatic choice, among them); and the code of a keyword, 0 for others.
// One table serves the printer's bin list and the jobs' paper source.
QString BinKeyword(int code);
int BinCode(const QString& keyword);

// ---- Printer --------------------------------------------------------------------------------

// A paper-list or bin-list entry.
struct TqdxPrinterItem {
    QString Name;
    int Code = 0;
    QString Key;        // the print system's name for it (empty for the first entry and for the
                        // virtual printer's papers)
    QSizeF SizeMm;      // papers only: upright size (empty for "prCustom")
    QMarginsF MarginsMm; // papers only: unprintable strips, upright
};

class TqdxCustomPrinter;

// The canvas of a printer. Outside a sheet it is an information canvas: Device() measures fonts
// at the printer's resolution and Painter() is null. Between StartSheet and FinishSheet,
// Painter() draws on the sheet in device pixels, (0, 0) at the sheet's physical top-left corner
// (the unprintable margins are inside the sheet). Fonts given in points come out at the printer's
// resolution on both.
class TqdxPrinterCanvas {
public:
    explicit TqdxPrinterCanvas(TqdxCustomPrinter& printer);
    ~TqdxPrinterCanvas();
    TqdxPrinterCanvas(const TqdxPrinterCanvas&) = delete;
    TqdxPrinterCanvas& operator=(const TqdxPrinterCanvas&) = delete;

    TqdxCustomPrinter& Printer() const { return m_printer; }
    // The sheet's painter, or null outside a sheet.
    QPainter* Painter() const { return m_painter; }
    // A device with the printer's resolution, for measuring; never null.
    QPaintDevice* Device();

    // For the printer classes.
    void Attach(QPainter* painter) { m_painter = painter; }
    void SetResolution(int dpiX, int dpiY);

private:
    TqdxCustomPrinter& m_printer;
    QPainter* m_painter = nullptr;
    QImage m_info;
};

// Base of the spooler printer and of the virtual printer. Widths, heights and margins are
// millimetres. Orientation is TPrinterOrientation, duplex TqdxDuplexMode.
class TqdxCustomPrinter {
public:
    // Stores name and port, starts the bin list with "prDefault"/7 and the paper list with
    // "prCustom"/256, creates the canvas. The printer is not opened.
    TqdxCustomPrinter(const QString& name, const QString& port);
    virtual ~TqdxCustomPrinter();
    TqdxCustomPrinter(const TqdxCustomPrinter&) = delete;
    TqdxCustomPrinter& operator=(const TqdxCustomPrinter&) = delete;

    // Reads the driver's defaults, papers and bins and the metrics of the default paper.
    // Nothing happens when already opened. A printer that cannot be read stays unopened (with
    // LastError() telling why).
    virtual void OpenDevice() = 0;
    // Drops the document being printed: nothing of it reaches the printer. Then as
    // FinishDocument (without sending).
    virtual void AbortDocument() = 0;
    // Starts a document named Title() (or "Quadrel Document"), to OutputFile() when set. False,
    // with LastError(), when the printer is gone or the document cannot be started.
    virtual bool StartDocument() = 0;
    // Starts a sheet with the paper, orientation and resolution applied last; the canvas's
    // Painter() is active until FinishSheet. False outside a document.
    virtual bool StartSheet() = 0;
    virtual void FinishSheet() = 0;
    // Ends the document and hands it to the print system. False, with LastError(), when the
    // printer is gone or refused the job (the document is then not printed). Forgets the bin and
    // duplex chosen in the driver's dialog.
    virtual bool FinishDocument() = 0;
    // Raw documents: bytes go to the queue unchanged. False with LastError() on failure.
    virtual bool StartRawDocument() = 0;
    virtual bool WriteRaw(QByteArrayView bytes) = 0;
    virtual bool FinishRawDocument() = 0;
    // Makes `code` (or, for 256, width x height) in `orientation` the current paper and reads
    // the metrics for it. Codes not known to the printer are treated as 256 with the given size.
    virtual void ApplyViewSettings(int code, double width, double height, int orientation) = 0;
    // As ApplyViewSettings, and notes bin (7: the one chosen in the driver dialog, else the
    // default bin), duplex and copies for the next document. The bin, duplex and copies in force
    // when StartDocument runs apply to the whole document (one print system job).
    virtual void ApplyPrintSettings(int code, double width, double height, int orientation,
                                    int bin, int duplex, int copies) = 0;
    // The printer's own settings dialog (bin and duplex). True when the user accepted.
    virtual bool ShowDriverDialog() = 0;

    // Position of the first paper-list entry with `code`, or -1. PaperPosition(256) is 0.
    int PaperPosition(int code) const;
    // Code of the paper-list entry named `name` (case ignored), or 256 when none is.
    int PaperCodeByName(const QString& name) const;
    // Position of the first bin-list entry with `code`, or -1.
    int BinPosition(int code) const;

    // The device pixels of the current paper: physical size, offsets (unprintable margins),
    // printable area, resolution. All zero when the printer is not opened.
    PrinterMetrics Metrics() const;

    const QString& Name() const { return m_name; }
    const QString& Port() const { return m_port; }
    const QList<TqdxPrinterItem>& Bins() const { return m_bins; }
    const QList<TqdxPrinterItem>& Papers() const { return m_papers; }
    QStringList BinNames() const;
    QStringList PaperNames() const;
    TqdxPrinterCanvas& Canvas() { return *m_canvas; }
    int XResolution() const { return m_xResolution; }
    int YResolution() const { return m_yResolution; }
    int PaperCode() const { return m_paperCode; }
    int Orientation() const { return m_orientation; }
    double PaperWidth() const { return m_paperWidth; }
    double PaperHeight() const { return m_paperHeight; }
    double LeftMargin() const { return m_leftMargin; }
    double TopMargin() const { return m_topMargin; }
    double RightMargin() const { return m_rightMargin; }
    double BottomMargin() const { return m_bottomMargin; }
    int DefaultPaperCode() const { return m_defaultPaperCode; }
    double DefaultPaperWidth() const { return m_defaultPaperWidth; }
    double DefaultPaperHeight() const { return m_defaultPaperHeight; }
    int DefaultOrientation() const { return m_defaultOrientation; }
    int DefaultBin() const { return m_defaultBin; }
    // Duplex as the driver counts it: 1 one-sided, 2 vertical (long edge), 3 horizontal.
    int DefaultDuplex() const { return m_defaultDuplex; }
    int ChosenBin() const { return m_chosenBin; }         // -1: none
    int ChosenDuplex() const { return m_chosenDuplex; }   // driver code; -1: none
    const QString& OutputFile() const { return m_outputFile; }
    void SetOutputFile(const QString& file) { m_outputFile = file; }
    const QString& Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    bool Opened() const { return m_opened; }
    bool Printing() const { return m_printing; }
    // Whether this is a printer of the print system (false for the virtual printer).
    virtual bool IsPhysical() const = 0;
    // Why the last operation failed; empty after a success.
    const QString& LastError() const { return m_lastError; }

protected:
    // Sets paper size and margins from a paper-list entry or a size, and the canvas resolution.
    void setPaper(int code, double width, double height, const QMarginsF& margins,
                  int orientation);

    QString m_name;
    QString m_port;
    QList<TqdxPrinterItem> m_bins;
    QList<TqdxPrinterItem> m_papers;
    std::unique_ptr<TqdxPrinterCanvas> m_canvas;
    int m_xResolution = 0;
    int m_yResolution = 0;
    int m_paperCode = 0;
    int m_orientation = poPortrait;
    double m_paperWidth = 0;
    double m_paperHeight = 0;
    double m_leftMargin = 0;
    double m_topMargin = 0;
    double m_rightMargin = 0;
    double m_bottomMargin = 0;
    int m_defaultPaperCode = 0;
    double m_defaultPaperWidth = 0;
    double m_defaultPaperHeight = 0;
    int m_defaultOrientation = poPortrait;
    int m_defaultBin = kDefaultBin;
    int m_defaultDuplex = 1;
    int m_chosenBin = -1;
    int m_chosenDuplex = -1;
    QString m_outputFile;
    QString m_title;
    bool m_opened = false;
    bool m_printing = false;
    QString m_lastError;
};

// A printer of the print system (a CUPS queue).
class TqdxPrinter final : public TqdxCustomPrinter {
public:
    TqdxPrinter(const QString& name, const QString& port);
    ~TqdxPrinter() override;

    // Papers come from the queue's media list (each given the standard code of its size, or a
    // code from 257 on), bins from its media sources (known keywords get the usual bin codes,
    // others codes from 256 on). A queue that lists no media (a raw queue) gets the standard
    // table as its papers and A4 as its default. Resolution: the queue's default, else 600 dpi.
    // A queue that no longer exists stays unopened.
    void OpenDevice() override;
    void AbortDocument() override;
    bool StartDocument() override;
    bool StartSheet() override;
    void FinishSheet() override;
    bool FinishDocument() override;
    bool StartRawDocument() override;
    bool WriteRaw(QByteArrayView bytes) override;
    bool FinishRawDocument() override;
    void ApplyViewSettings(int code, double width, double height, int orientation) override;
    void ApplyPrintSettings(int code, double width, double height, int orientation, int bin,
                            int duplex, int copies) override;
    bool ShowDriverDialog() override;
    bool IsPhysical() const override { return true; }

    // What the next document will ask of the print system (for tests and the job's checks).
    int Copies() const { return m_copies; }
    int Bin() const { return m_bin; }       // resolved bin code (never 7 unless no default)
    int Duplex() const { return m_duplex; } // driver code: 1 simplex, 2 vertical, 3 horizontal
    // IPP keywords derived from Bin() and Duplex(); empty for the printer's defaults.
    QString MediaSourceKey() const;
    QString SidesKey() const;

private:
    std::unique_ptr<SheetPrinter> m_document;
    std::unique_ptr<RawOutput> m_raw;
    int m_copies = 1;
    int m_bin = kDefaultBin;
    int m_duplex = 1;
    bool m_sheetOpen = false;
};

// The printer used when the machine has none: 600 dpi, the standard papers, 5 mm margins.
// It prints nothing; its brackets do nothing.
class TqdxVirtualPrinter final : public TqdxCustomPrinter {
public:
    TqdxVirtualPrinter(const QString& name, const QString& port);
    void OpenDevice() override;
    void AbortDocument() override {}
    bool StartDocument() override { return false; }
    bool StartSheet() override { return false; }
    void FinishSheet() override {}
    bool FinishDocument() override { return false; }
    bool StartRawDocument() override { return false; }
    bool WriteRaw(QByteArrayView) override { return false; }
    bool FinishRawDocument() override { return false; }
    void ApplyViewSettings(int code, double width, double height, int orientation) override;
    void ApplyPrintSettings(int code, double width, double height, int orientation, int bin,
                            int duplex, int copies) override;
    bool ShowDriverDialog() override { return false; }
    bool IsPhysical() const override { return false; }
};

// ---- Printer set ----------------------------------------------------------------------------

class TqdxPrinters {
public:
    // Fills the set from the print system (see Refresh).
    TqdxPrinters();
    ~TqdxPrinters();
    TqdxPrinters(const TqdxPrinters&) = delete;
    TqdxPrinters& operator=(const TqdxPrinters&) = delete;

    // Drops every printer and reads the print system's queues again; selects the system default
    // (or the first printer). Without queues the only printer is the virtual one ("prVirtual").
    void Refresh();

    // Index of the first printer named `name` (case ignored), or -1.
    int FindByName(const QString& name) const;
    // Makes printer `index` current and opens it; -1 means the system default. An index that
    // names no printer leaves the current index at -1.
    void SelectPrinter(int index);
    // The printer at the current index, or null.
    TqdxCustomPrinter* CurrentPrinter() const;
    int PrinterIndex() const { return m_index; }
    int Count() const { return int(m_printers.size()); }
    TqdxCustomPrinter* Printer(int index) const;
    const QStringList& Names() const { return m_names; }
    // Whether any printer of the print system exists (false: only the virtual printer).
    bool HasPhysicalPrinter() const { return m_physical; }
    // The system default printer's name, empty when none.
    static QString SystemDefaultPrinter();

private:
    std::vector<std::unique_ptr<TqdxCustomPrinter>> m_printers;
    QStringList m_names;
    int m_index = -1;
    bool m_physical = false;
};

// The process's printer set, created on first use.
TqdxPrinters& SharedPrinters();

} // namespace zr::reportlib::preview
