#include "qdx_print_dialog.h"

#include "platform/text/page_selection.h"
#include "qdx_page_settings.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_print_job.h"
#include "reportlib/print/qdx_printer.h"
#include "reportlib/print/qdx_res.h"
#include "reportlib/render/page_services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace zr::reportlib::preview {

namespace {

QString text(int number) {
    return qdxResources().Text(number);
}
QString text(const char* name) {
    return qdxResources().Text(name);
}

// The table's entries 507 and 510 belong to the text printing window; the file dialog of this
// one takes the check box's caption and its own filter. What a prepared report's job writes is
// a PDF, so the file is offered as one.
const QString kPrinterFileFilter = QStringLiteral("Documento PDF (*.pdf)");

constexpr int kMaxCopies = 1000;
// Position of A4 among the standard codes.
constexpr int kA4 = 9;

// Page numbers: digits, commas, hyphens and blanks. Anything else typed, pasted or dropped is
// refused whole.
class PageNumbersValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : std::as_const(input)) {
            if (!((c >= u'0' && c <= u'9') || c == u',' || c == u'-' || c == u' ')) {
                return Invalid;
            }
        }
        return Acceptable;
    }
};

template <typename W>
W* control(W* widget, const char* name, const QString& caption) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(caption.trimmed());
    return widget;
}

// A small sheet with a page number, for the copies picture.
void drawSheet(QPainter& p, int x, int y, int w, int h, int number) {
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawRect(x, y, w, h);
    p.drawText(QRect(x, y, w, h), Qt::AlignCenter, QString::number(number));
}

// Collated: two stacks 1-2-3; not collated: three stacks 1-1, 2-2, 3-3.
QPixmap copiesPicture(bool collate) {
    const QSize size = collate ? QSize(74, 53) : QSize(92, 40);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    QFont f = p.font();
    f.setPixelSize(9);
    p.setFont(f);
    if (collate) {
        for (int stack = 0; stack < 2; ++stack) {
            for (int page = 3; page >= 1; --page) {
                const int offset = (3 - page) * 6;
                drawSheet(p, stack * 38 + 12 - offset, 2 + offset + 12, 22, 28, page);
            }
        }
    } else {
        for (int stack = 0; stack < 3; ++stack) {
            for (int copy = 1; copy >= 0; --copy) {
                drawSheet(p, stack * 30 + 8 - copy * 6, 2 + copy * 6, 20, 28, stack + 1);
            }
        }
    }
    return pixmap;
}

// The pictures of the print modes, 64 x 32: pages (grey) on sheets (white).
QPixmap printModePicture(int mode) {
    QPixmap pixmap(64, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(Qt::black);
    auto sheet = [&](int x, int y, int w, int h) {
        p.setBrush(Qt::white);
        p.drawRect(x, y, w, h);
    };
    auto page = [&](int x, int y, int w, int h) {
        p.setBrush(Qt::lightGray);
        p.drawRect(x, y, w, h);
    };
    switch (mode) {
    case pmSplit: // one large page over two sheets
        page(2, 2, 40, 28);
        sheet(46, 2, 14, 20);
        sheet(46, 10, 14, 20);
        break;
    case pmJoin: // two small pages on one sheet
        page(2, 8, 10, 14);
        page(14, 8, 10, 14);
        sheet(36, 2, 20, 28);
        page(38, 4, 16, 11);
        page(38, 17, 16, 11);
        break;
    case pmScale: // a page stretched to the sheet
        page(2, 10, 14, 20);
        sheet(34, 2, 22, 28);
        page(36, 4, 18, 24);
        break;
    default: // page and sheet alike
        page(2, 2, 20, 28);
        sheet(34, 2, 20, 28);
        page(36, 4, 16, 24);
        break;
    }
    return pixmap;
}

struct Hooks {
    TqdxPrintDialog::DialogRunner run;
    TqdxPrintDialog::SaveFileHook saveFile;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

QString runSaveDialog(QWidget* parent, const QString& caption, const QString& filter) {
    QFileDialog dialog(parent, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(QStringLiteral("pdf"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

int clampIndex(int value, int count) {
    return (value >= 0 && value < count) ? value : 0;
}

} // namespace

TqdxPrintDialog::TqdxPrintDialog(TqdxReport& report, int duplex, QWidget* parent)
    : QDialog(parent), m_report(report), m_duplex(duplex) {
    setObjectName(QStringLiteral("TqdxPrintDialog"));
    setWindowTitle(text(200));
    setAccessibleName(windowTitle());
    ShowError = [this](const QString& message) {
        QMessageBox::warning(this, windowTitle(), message);
    };
    SaveFile = [](QWidget* owner, const QString& caption, const QString& filter) {
        const Hooks& h = hooks();
        return h.saveFile ? h.saveFile(owner, caption, filter)
                          : runSaveDialog(owner, caption, filter);
    };

    // ---- Printer.
    Label12 = control(new QGroupBox(text(201), this), "Label12", text(201));
    NameL = control(new QLabel(text(212), Label12), "NameL", text(212));
    PrintersCB = control(new QComboBox(Label12), "PrintersCB", text(212));
    PrintersCB->setMinimumWidth(280);
    NameL->setBuddy(PrintersCB);
    PropButton = control(new QPushButton(text(209), Label12), "PropButton", text(209));
    WhereL = control(new QLabel(text(208), Label12), "WhereL", text(208));
    WhereL1 = control(new QLabel(Label12), "WhereL1", text(208));
    FileCB = control(new QCheckBox(text(210), Label12), "FileCB", text(210));
    auto* printerGrid = new QGridLayout(Label12);
    printerGrid->addWidget(NameL, 0, 0);
    printerGrid->addWidget(PrintersCB, 0, 1);
    printerGrid->addWidget(PropButton, 0, 2);
    printerGrid->addWidget(WhereL, 1, 0);
    printerGrid->addWidget(WhereL1, 1, 1);
    printerGrid->addWidget(FileCB, 1, 2);
    printerGrid->setColumnStretch(1, 1);

    // ---- Pages.
    Label1 = control(new QGroupBox(text(202), this), "Label1", text(202));
    AllRB = control(new QRadioButton(text(3), Label1), "AllRB", text(3));
    CurPageRB = control(new QRadioButton(text(4), Label1), "CurPageRB", text(4));
    PageNumbersRB = control(new QRadioButton(text(5), Label1), "PageNumbersRB", text(5));
    PageNumbersE = control(new QLineEdit(Label1), "PageNumbersE", text(5));
    PageNumbersE->setValidator(new PageNumbersValidator(PageNumbersE));
    DescrL = control(new QLabel(text(9), Label1), "DescrL", text(9));
    DescrL->setWordWrap(true);
    AllRB->setChecked(true);
    auto* pagesGrid = new QGridLayout(Label1);
    pagesGrid->addWidget(AllRB, 0, 0, 1, 2);
    pagesGrid->addWidget(CurPageRB, 1, 0, 1, 2);
    pagesGrid->addWidget(PageNumbersRB, 2, 0);
    pagesGrid->addWidget(PageNumbersE, 2, 1);
    pagesGrid->addWidget(DescrL, 3, 0, 1, 2);
    pagesGrid->setColumnStretch(1, 1);

    // ---- Copies.
    Label2 = control(new QGroupBox(text(205), this), "Label2", text(205));
    CopiesL = control(new QLabel(text(203), Label2), "CopiesL", text(203));
    CopiesE = control(new QSpinBox(Label2), "CopiesE", text(203));
    CopiesE->setRange(1, kMaxCopies);
    CopiesE->setValue(1);
    if (auto* edit = CopiesE->findChild<QLineEdit*>()) {
        edit->setAccessibleName(CopiesE->accessibleName());
    }
    CopiesL->setBuddy(CopiesE);
    CollateCB = control(new QCheckBox(text(204), Label2), "CollateCB", text(204));
    CollateCB->setChecked(true);
    CopiesPB = control(new QLabel(Label2), "CopiesPB", text(204));
    CopiesPB->setFixedSize(92, 53);
    CopiesPB->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    CopiesPB->setAutoFillBackground(true);
    auto* copiesGrid = new QGridLayout(Label2);
    copiesGrid->addWidget(CopiesL, 0, 0);
    copiesGrid->addWidget(CopiesE, 0, 1);
    copiesGrid->addWidget(CopiesPB, 1, 0, Qt::AlignLeft);
    copiesGrid->addWidget(CollateCB, 1, 1);

    // ---- Others.
    OtherGB = control(new QGroupBox(text(207), this), "OtherGB", text(207));
    PrintL = control(new QLabel(text(206), OtherGB), "PrintL", text(206));
    PrintPagesCB = control(new QComboBox(OtherGB), "PrintPagesCB", text(206));
    PrintPagesCB->addItems({text("ppAll"), text("ppOdd"), text("ppEven")});
    PrintL->setBuddy(PrintPagesCB);
    OrderL = control(new QLabel(text(211), OtherGB), "OrderL", text(211));
    OrderCB = control(new QComboBox(OtherGB), "OrderCB", text(211));
    OrderCB->addItems({text("poDirect"), text("poReverse")});
    OrderL->setBuddy(OrderCB);
    DuplexL = control(new QLabel(text(216), OtherGB), "DuplexL", text(216));
    DuplexCB = control(new QComboBox(OtherGB), "DuplexCB", text(216));
    DuplexCB->addItems(
        {text("dupDefault"), text("dupVert"), text("dupHorz"), text("dupSimpl")});
    DuplexL->setBuddy(DuplexCB);
    auto* otherGrid = new QGridLayout(OtherGB);
    otherGrid->addWidget(PrintL, 0, 0);
    otherGrid->addWidget(PrintPagesCB, 0, 1);
    otherGrid->addWidget(OrderL, 1, 0);
    otherGrid->addWidget(OrderCB, 1, 1);
    otherGrid->addWidget(DuplexL, 2, 0);
    otherGrid->addWidget(DuplexCB, 2, 1);
    otherGrid->setColumnStretch(1, 1);

    // ---- Print mode.
    ScaleGB = control(new QGroupBox(text(213), this), "ScaleGB", text(213));
    PrintModeCB = control(new QComboBox(ScaleGB), "PrintModeCB", text(213));
    PrintModeCB->setIconSize(QSize(64, 32));
    const char* modes[] = {"pmDefault", "pmSplit", "pmJoin", "pmScale"};
    for (int mode = 0; mode < 4; ++mode) {
        PrintModeCB->addItem(QIcon(printModePicture(mode)), text(modes[mode]));
    }
    PagSizeL = control(new QLabel(text(214), ScaleGB), "PagSizeL", text(214));
    PagPageSizeCB = control(new QComboBox(ScaleGB), "PagPageSizeCB", text(214));
    PagSizeL->setBuddy(PagPageSizeCB);
    auto* modeGrid = new QGridLayout(ScaleGB);
    modeGrid->addWidget(PrintModeCB, 0, 0, 1, 2);
    modeGrid->addWidget(PagSizeL, 1, 0);
    modeGrid->addWidget(PagPageSizeCB, 1, 1);
    modeGrid->setColumnStretch(1, 1);

    // ---- Buttons. Both keep autoDefault: Enter on a focused button presses that button, and
    // anywhere else presses "OK", the default one. Escape cancels.
    OkB = control(new QPushButton(text(1), this), "OkB", text(1));
    OkB->setDefault(true);
    CancelB = control(new QPushButton(text(2), this), "CancelB", text(2));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkB);
    buttons->addWidget(CancelB);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 0, 1);
    grid->addWidget(OtherGB, 1, 0);
    grid->addWidget(ScaleGB, 1, 1);
    auto* main = new QVBoxLayout(this);
    main->addWidget(Label12);
    main->addLayout(grid);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // ---- The printers: the set's names, the current one selected.
    TqdxPrinters& printers = SharedPrinters();
    const QIcon printerIcon = qdxResources().PreviewIcon(TqdxResources::iconPrint);
    for (const QString& name : printers.Names()) {
        PrintersCB->addItem(printerIcon, name);
    }
    m_rememberedPrinter = printers.PrinterIndex();
    PrintersCB->setCurrentIndex(std::max(0, m_rememberedPrinter));
    printerChanged();
    paintCopies();

    connect(OkB, &QPushButton::clicked, this, &TqdxPrintDialog::accept);
    connect(CancelB, &QPushButton::clicked, this, &TqdxPrintDialog::reject);
    connect(PrintersCB, &QComboBox::activated, this, [this] { printerChanged(); });
    connect(PropButton, &QPushButton::clicked, this, [this] { showDriverProperties(); });
    connect(PrintModeCB, &QComboBox::activated, this, [this] { printModeChanged(); });
    connect(CollateCB, &QCheckBox::toggled, this, [this] { paintCopies(); });
    // Typing page numbers chooses them; choosing them puts the cursor there.
    connect(PageNumbersE, &QLineEdit::textEdited, this,
            [this] { PageNumbersRB->setChecked(true); });
    connect(PageNumbersRB, &QRadioButton::clicked, this, [this] {
        if (isVisible()) {
            PageNumbersE->setFocus();
        }
    });

    loadFromReport();
}

TqdxPrintDialog::~TqdxPrintDialog() = default;

void TqdxPrintDialog::loadFromReport() {
    const TqdxPrintOptions& o = m_report.PrintOptions;
    CopiesE->setValue(std::clamp(o.Copies, 1, kMaxCopies));
    CollateCB->setChecked(o.Collate);
    PageNumbersE->setText(QString::fromLatin1(o.PageNumbers));
    if (!o.PageNumbers.isEmpty()) {
        PageNumbersRB->setChecked(true);
    }
    PrintPagesCB->setCurrentIndex(clampIndex(o.PrintPages, PrintPagesCB->count()));
    OrderCB->setCurrentIndex(o.Reverse ? 1 : 0);
    PrintModeCB->setCurrentIndex(clampIndex(o.PrintMode, PrintModeCB->count()));
    m_duplex = clampIndex(m_duplex, DuplexCB->count());
    DuplexCB->setCurrentIndex(m_duplex);
    printModeChanged();
    if (PrintModeCB->currentIndex() != pmDefault) {
        const int position = PagPageSizeCB->findData(o.PrintOnSheet);
        if (position > 0) {
            PagPageSizeCB->setCurrentIndex(position);
        }
    }
}

int TqdxPrintDialog::sheetCode() const {
    bool ok = false;
    const int code = PagPageSizeCB->currentData().toInt(&ok);
    return ok ? code : kCustomPaper;
}

void TqdxPrintDialog::selectSheet(int code) {
    const int position = code == kCustomPaper ? -1 : PagPageSizeCB->findData(code);
    PagPageSizeCB->setCurrentIndex(position > 0 ? position : 0);
}

void TqdxPrintDialog::printerChanged() {
    const int noted = PagPageSizeCB->currentIndex() > 0 ? sheetCode() : kCustomPaper;
    TqdxPrinters& printers = SharedPrinters();
    const int index = PrintersCB->currentIndex();
    if (index >= 0 && index < printers.Count()) {
        printers.SelectPrinter(index);
    }
    const TqdxCustomPrinter* printer = printers.CurrentPrinter();
    WhereL1->setText(printer ? printer->Port() : QString());
    PropButton->setEnabled(printer && printer->IsPhysical());

    PagPageSizeCB->clear();
    // "Padrão" carries the custom code: the print job takes it as the printer's own paper.
    PagPageSizeCB->addItem(text("pgDefault"), kCustomPaper);
    if (printer) {
        for (const TqdxPrinterItem& paper : printer->Papers()) {
            if (paper.Code != kCustomPaper) {
                PagPageSizeCB->addItem(PaperDisplayName(paper), paper.Code);
            }
        }
    }
    selectSheet(noted);
    PagPageSizeCB->setEnabled(PrintModeCB->currentIndex() != pmDefault);
}

void TqdxPrintDialog::printModeChanged() {
    if (PrintModeCB->currentIndex() == pmDefault) {
        PagPageSizeCB->setCurrentIndex(0);
        PagPageSizeCB->setEnabled(false);
        return;
    }
    PagPageSizeCB->setEnabled(true);
    if (PagPageSizeCB->currentIndex() <= 0) {
        // A printer without A4 keeps "Padrão": its own paper.
        selectSheet(kA4);
    }
}

void TqdxPrintDialog::showDriverProperties() {
    TqdxCustomPrinter* printer = SharedPrinters().CurrentPrinter();
    if (!printer || !printer->ShowDriverDialog()) {
        return;
    }
    // The driver's duplex codes: 1 simplex, 2 vertical, 3 horizontal.
    const int d = printer->ChosenDuplex();
    if (d < 1) {
        return;
    }
    const int position = d == 1 ? dmSimplex : d - 1;
    if (position > 0 && position < DuplexCB->count()) {
        m_duplex = position;
        DuplexCB->setCurrentIndex(position);
    }
}

void TqdxPrintDialog::paintCopies() {
    QPalette palette = CopiesPB->palette();
    palette.setColor(QPalette::Window, this->palette().color(QPalette::Window));
    CopiesPB->setPalette(palette);
    CopiesPB->setPixmap(copiesPicture(CollateCB->isChecked()));
}

QString TqdxPrintDialog::PrinterFileName(const QString& chosen) {
    if (chosen.isEmpty()) {
        return {};
    }
    const QFileInfo info(chosen);
    const QString suffix = info.suffix();
    QString base = chosen;
    if (!suffix.isEmpty()) {
        base.chop(suffix.size() + 1);
    } else if (base.endsWith(u'.')) {
        base.chop(1);
    }
    return base + QStringLiteral(".pdf");
}

void TqdxPrintDialog::accept() {
    if (PageNumbersRB->isChecked()) {
        // The job reads the range later; one that is none ("1-2-3", "-") or a backward one
        // ("5-2"), or one that names no page of the report, is refused here, while the user can
        // still mend it.
        QString problem;
        const int count = m_report.PreviewPages().Count();
        if (!PageSelection::select(PageNumbersE->text(), count, PageSelection::Parity::All, false,
                                   &problem)) {
            PageNumbersE->setFocus();
            PageNumbersE->selectAll();
            if (ShowError) {
                ShowError(problem + QLatin1Char('\n') + text(9));
            }
            return;
        }
    }

    TqdxCustomPrinter* printer = SharedPrinters().CurrentPrinter();
    if (printer) {
        printer->SetOutputFile({});
    }
    if (FileCB->isChecked()) {
        const QString chosen = SaveFile ? SaveFile(this, text(210), kPrinterFileFilter) : QString();
        if (chosen.isEmpty()) {
            reject(); // no file: nothing is printed
            return;
        }
        if (printer) {
            printer->SetOutputFile(PrinterFileName(chosen));
        }
    }

    TqdxPrintOptions& o = m_report.PrintOptions;
    o.Copies = CopiesE->value();
    o.Collate = CollateCB->isChecked();
    if (AllRB->isChecked()) {
        o.PageNumbers.clear();
    } else if (CurPageRB->isChecked()) {
        o.PageNumbers = QByteArray::number(std::max(1, m_report.PreviewPages().ViewedPage));
    } else {
        o.PageNumbers = PageNumbersE->text().toLatin1();
    }
    o.PrintPages = PrintPagesCB->currentIndex();
    m_duplex = std::max(0, DuplexCB->currentIndex());
    o.Reverse = OrderCB->currentIndex() == 1;
    o.PrintMode = std::max(0, PrintModeCB->currentIndex());
    o.PrintOnSheet = sheetCode();
    QDialog::accept();
}

void TqdxPrintDialog::reject() {
    TqdxPrinters& printers = SharedPrinters();
    if (printers.PrinterIndex() != m_rememberedPrinter) {
        printers.SelectPrinter(m_rememberedPrinter);
    }
    QDialog::reject();
}

void TqdxPrintDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        qdxResources().Help(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TqdxPrintDialog::Execute(TqdxReport& report, int& duplex, QWidget* parent) {
    TqdxPrintDialog dialog(report, duplex, parent);
    const Hooks& h = hooks();
    const int result = h.run ? h.run(dialog) : dialog.exec();
    if (result != QDialog::Accepted) {
        return false;
    }
    duplex = dialog.Duplex();
    return true;
}

void TqdxPrintDialog::SetHooks(DialogRunner run, SaveFileHook saveFile) {
    Hooks& h = hooks();
    h.run = std::move(run);
    h.saveFile = std::move(saveFile);
}

} // namespace zr::reportlib::preview
