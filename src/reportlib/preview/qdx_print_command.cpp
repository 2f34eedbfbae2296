#include "qdx_print_command.h"

#include "qdx_print_dialog.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/print/qdx_res.h"

#include "platform/interaction/interaction.h"
#include "platform/printing/print_destination.h"
#include "reportlib/document/qdx_preview_pages.h"

namespace zr::reportlib::preview {

bool Print(TqdxReport& report, QWidget* parent) {
    auto fail = [&](const QString& text) {
        if (report.UserInteraction) {
            report.UserInteraction->message(MessageKind::Error, text,
                                            qdxResources().Text("mbError"));
        }
    };
    TqdxPrinters& printers = SharedPrinters();
    if (!printers.HasPhysicalPrinter()) {
        fail(qdxResources().Text("clNoPrinters"));
        return false;
    }
    report.PreviewPages().PrintScale = 1;
    TqdxPrintOptions& o = report.PrintOptions;
    // Everything the dialog may change, but the duplex choice, comes back afterwards.
    struct Saved {
        int copies;
        bool collate;
        QByteArray pageNumbers, printer;
        int printMode, printOnSheet, printPages;
        bool reverse, showDialog;
        int splicingLine;
    } const saved{o.Copies,     o.Collate,      o.PageNumbers, o.Printer,   o.PrintMode,
                  o.PrintOnSheet, o.PrintPages, o.Reverse,     o.ShowDialog, o.SplicingLine};
    struct Restore {
        TqdxReport& report;
        const Saved& saved;
        ~Restore() {
            TqdxPrintOptions& p = report.PrintOptions;
            p.Copies = saved.copies;
            p.Collate = saved.collate;
            p.PageNumbers = saved.pageNumbers;
            p.Printer = saved.printer;
            p.PrintMode = saved.printMode;
            p.PrintOnSheet = saved.printOnSheet;
            p.PrintPages = saved.printPages;
            p.Reverse = saved.reverse;
            p.ShowDialog = saved.showDialog;
            p.SplicingLine = saved.splicingLine;
            report.PreviewPages().CopyNo = 0;
        }
    } restore{report, saved};

    if (const int index = printers.FindByName(QString::fromLatin1(o.Printer)); index >= 0) {
        printers.SelectPrinter(index);
    }
    int duplex = o.Duplex;
    if (o.ShowDialog) {
        if (!TqdxPrintDialog::Execute(report, duplex, parent)) {
            return false;
        }
        o.Duplex = duplex;
    } else if (TqdxCustomPrinter* current = printers.CurrentPrinter()) {
        current->SetOutputFile({});
    }
    TqdxCustomPrinter* current = printers.CurrentPrinter();
    if (!current || !current->Opened()) {
        fail(QStringLiteral("Printer selected is not valid"));
        return true;
    }
    if (!current->OutputFile().isEmpty()) {
        PrintReport(report, {}, current->OutputFile());
        return true;
    }
    // The job the converter would send: the destination's saved options, then what the dialog
    // shows in their place (its copies and collation, its duplex unless "Padrão"; in the modes
    // its sheet is the job's paper).
    const DestinationLookup lookup = findPrintDestination(current->Name());
    if (!lookup.destination) {
        fail(lookup.message);
        return true;
    }
    PrintRequest request = PrintRequest::startingFrom(*lookup.destination);
    request.copies = o.Copies;
    request.collate = o.Collate;
    if (const QString sides = SidesKeyword(o.Duplex); !sides.isEmpty()) {
        request.sides = sides;
    }
    if (o.PrintMode != pmDefault) {
        request.media.clear();
        request.mediaMm = {};
    }
    if (const QString problem = request.problem(); !problem.isEmpty()) {
        fail(problem);
        return true;
    }
    PrintRequested(report, request);
    return true;
}

} // namespace zr::reportlib::preview
