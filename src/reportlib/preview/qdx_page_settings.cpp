#include "qdx_page_settings.h"

#include "reportlib/print/qdx_printer.h"
#include "reportlib/print/qdx_res.h"
#include "reportlib/document/qdx_report.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

#include <cmath>
#include <memory>
#include <utility>

namespace zr::reportlib::preview {

namespace {

QString text(int number) {
    return qdxResources().Text(number);
}

// The largest paper side accepted, in millimetres; far beyond any sheet, small enough that the
// page's pixel sizes stay in range at any zoom the preview offers.
constexpr double kMaxPaperMm = 10000.0;

const QString kUnitsSection = QStringLiteral("Form.TqdxDesignerForm");
const QString kUnitsKey = QStringLiteral("Units");

// The report's settings store: the user's settings under the organisation (first part of the
// key) and application (second part), further parts as groups; or an ini file.
struct SettingsStore {
    std::unique_ptr<QSettings> settings;
    QString prefix;
};

SettingsStore openStore(const TqdxReport* report) {
    SettingsStore store;
    if (!report) {
        return store;
    }
    const TqdxReport::SettingsLocation where = report->OpenSettings();
    if (where.registry) {
        const QStringList parts = where.path.split(u'/', Qt::SkipEmptyParts);
        if (parts.isEmpty()) {
            return store;
        }
        store.settings = std::make_unique<QSettings>(parts.at(0), parts.value(1));
        store.prefix = parts.mid(2).join(u'/');
    } else {
        if (where.path.isEmpty()) {
            return store;
        }
        store.settings = std::make_unique<QSettings>(where.path, QSettings::IniFormat);
    }
    return store;
}

QString unitsKey(const SettingsStore& store) {
    QString key = kUnitsSection + u'/' + kUnitsKey;
    return store.prefix.isEmpty() ? key : store.prefix + u'/' + key;
}

QPixmap orientationPicture(bool landscape) {
    const QSize size = landscape ? QSize(32, 26) : QSize(26, 32);
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(QPoint(0, 0), size - QSize(1, 1)));
    painter.setPen(Qt::gray);
    const int lines = landscape ? 4 : 6;
    for (int i = 0; i < lines; ++i) {
        const int y = 5 + i * 4;
        painter.drawLine(4, y, size.width() - 5, y);
    }
    return pixmap;
}

template <typename W>
W* control(W* widget, const char* name, const QString& caption) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(caption.trimmed());
    return widget;
}

} // namespace

// ---- Units and numbers ----------------------------------------------------------------------

int ReadDisplayUnitSetting(const TqdxReport* report) {
    const SettingsStore store = openStore(report);
    if (!store.settings) {
        return 0;
    }
    bool ok = false;
    const int value = store.settings->value(unitsKey(store), 0).toInt(&ok);
    return ok ? value : 0;
}

void WriteDisplayUnitSetting(const TqdxReport* report, int value) {
    const SettingsStore store = openStore(report);
    if (store.settings) {
        store.settings->setValue(unitsKey(store), value);
        store.settings->sync();
    }
}

TqdxDisplayUnit DisplayUnitOf(int storedValue) {
    // The designer's pixel and character units have no meaning for paper; they, and values
    // this program does not know, show centimetres.
    return storedValue == 1 ? duInches : duCentimetres;
}

double MmToUnit(double mm, TqdxDisplayUnit unit) {
    return unit == duInches ? mm / 25.4 : mm / 10.0;
}

double UnitToMm(double value, TqdxDisplayUnit unit) {
    return unit == duInches ? value * 25.4 : value * 10.0;
}

QString FormatLength(double value) {
    if (!std::isfinite(value)) {
        return QStringLiteral("0");
    }
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return QString::number(static_cast<qint64>(value));
    }
    QString shown = QString::asprintf("%2.2f", value);
    shown.replace(u'.', QLocale::system().decimalPoint());
    return shown;
}

std::optional<double> ParseLength(const QString& text) {
    QString t;
    t.reserve(text.size());
    for (const QChar c : text) {
        if (c.isSpace()) {
            continue;
        }
        t.append(c == u',' ? u'.' : c);
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

QString PaperDisplayName(const TqdxPrinterItem& paper) {
    if (!paper.Name.trimmed().isEmpty()) {
        return paper.Name;
    }
    QSizeF size = paper.SizeMm;
    if (size.isEmpty()) {
        if (const TPaperInfo* info = FindStandardPaper(paper.Code)) {
            size = QSizeF(info->Width / 10.0, info->Height / 10.0);
        }
    }
    if (size.isEmpty()) {
        return QString::number(paper.Code);
    }
    return QStringLiteral("%1 x %2 mm").arg(FormatLength(size.width()),
                                            FormatLength(size.height()));
}

// ---- The window -----------------------------------------------------------------------------

TqdxPageSettingsForm::TqdxPageSettingsForm(TqdxReportPage& page, const TqdxReport* report,
                                           QWidget* parent)
    : QDialog(parent), m_page(page), m_report(report) {
    setObjectName(QStringLiteral("TqdxPageSettingsForm"));
    setWindowTitle(text(400));
    setAccessibleName(windowTitle());
    ShowError = [this](const QString& message) {
        QMessageBox::warning(this, windowTitle(), message);
    };

    m_unit = DisplayUnitOf(ReadDisplayUnitSetting(report));
    const QString unitText = qdxResources().Text(m_unit == duInches ? "uInch" : "uCm");

    // One caption, edit and unit row; the label is the edit's buddy.
    auto lengthRow = [&](QGridLayout* grid, QWidget* box, int row, int column, const char* label,
                         const char* edit, const char* unit, int caption, QLabel*& labelOut,
                         QLineEdit*& editOut, QLabel*& unitOut) {
        labelOut = control(new QLabel(text(caption), box), label, text(caption));
        editOut = control(new QLineEdit(box), edit, text(caption) + u' ' + unitText);
        unitOut = control(new QLabel(unitText, box), unit, text(caption) + u' ' + unitText);
        editOut->setMaxLength(16);
        editOut->setMaximumWidth(editOut->fontMetrics().horizontalAdvance(u'0') * 9);
        labelOut->setBuddy(editOut);
        grid->addWidget(labelOut, row, column);
        grid->addWidget(editOut, row, column + 1);
        grid->addWidget(unitOut, row, column + 2);
    };

    SizeL = control(new QGroupBox(text(403), this), "SizeL", text(403));
    SizeCB = control(new QComboBox(SizeL), "SizeCB", text(403));
    auto* sizeGrid = new QGridLayout(SizeL);
    sizeGrid->addWidget(SizeCB, 0, 0, 1, 4);
    lengthRow(sizeGrid, SizeL, 1, 0, "WidthL", "WidthE", "UnitL1", 401, WidthL, WidthE, UnitL1);
    lengthRow(sizeGrid, SizeL, 2, 0, "HeightL", "HeightE", "UnitL2", 402, HeightL, HeightE,
              UnitL2);
    sizeGrid->setColumnStretch(3, 1);

    OrientationL = control(new QGroupBox(text(404), this), "OrientationL", text(404));
    PortraitRB = control(new QRadioButton(text(410), OrientationL), "PortraitRB", text(410));
    LandscapeRB = control(new QRadioButton(text(411), OrientationL), "LandscapeRB", text(411));
    PortraitImg = control(new QLabel(OrientationL), "PortraitImg", text(410));
    PortraitImg->setPixmap(orientationPicture(false));
    LandscapeImg = control(new QLabel(OrientationL), "LandscapeImg", text(411));
    LandscapeImg->setPixmap(orientationPicture(true));
    auto* orientationGrid = new QGridLayout(OrientationL);
    orientationGrid->addWidget(PortraitRB, 0, 0);
    orientationGrid->addWidget(LandscapeRB, 1, 0);
    orientationGrid->addWidget(PortraitImg, 0, 1, 2, 1, Qt::AlignCenter);
    orientationGrid->addWidget(LandscapeImg, 0, 1, 2, 1, Qt::AlignCenter);
    orientationGrid->setColumnStretch(0, 1);

    MarginsL = control(new QGroupBox(text(409), this), "MarginsL", text(409));
    auto* marginGrid = new QGridLayout(MarginsL);
    lengthRow(marginGrid, MarginsL, 0, 0, "LeftL", "MarginLeftE", "UnitL3", 405, LeftL,
              MarginLeftE, UnitL3);
    lengthRow(marginGrid, MarginsL, 1, 0, "TopL", "MarginTopE", "UnitL4", 406, TopL, MarginTopE,
              UnitL4);
    lengthRow(marginGrid, MarginsL, 0, 3, "RightL", "MarginRightE", "UnitL5", 407, RightL,
              MarginRightE, UnitL5);
    lengthRow(marginGrid, MarginsL, 1, 3, "BottomL", "MarginBottomE", "UnitL6", 408, BottomL,
              MarginBottomE, UnitL6);

    OtherL = control(new QGroupBox(text(412), this), "OtherL", text(412));
    ApplyToCurRB = control(new QRadioButton(text(413), OtherL), "ApplyToCurRB", text(413));
    ApplyToAllRB = control(new QRadioButton(text(414), OtherL), "ApplyToAllRB", text(414));
    ApplyToCurRB->setChecked(true);
    auto* applyLayout = new QVBoxLayout(OtherL);
    applyLayout->addWidget(ApplyToCurRB);
    applyLayout->addWidget(ApplyToAllRB);

    // Enter on a focused button presses that button, anywhere else "OK"; Escape cancels.
    OKB = control(new QPushButton(text(1), this), "OKB", text(1));
    OKB->setDefault(true);
    CancelB = control(new QPushButton(text(2), this), "CancelB", text(2));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKB);
    buttons->addWidget(CancelB);

    auto* main = new QVBoxLayout(this);
    main->addWidget(SizeL);
    main->addWidget(OrientationL);
    main->addWidget(MarginsL);
    main->addWidget(OtherL);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    loadFromPage();

    connect(OKB, &QPushButton::clicked, this, &TqdxPageSettingsForm::accept);
    connect(CancelB, &QPushButton::clicked, this, &TqdxPageSettingsForm::reject);
    connect(PortraitRB, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            orientationChanged();
        }
    });
    connect(LandscapeRB, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            orientationChanged();
        }
    });
    connect(SizeCB, &QComboBox::activated, this, [this] { sizeUpdate(); });
    connect(WidthE, &QLineEdit::textEdited, this, [this] { sizeEdited(); });
    connect(HeightE, &QLineEdit::textEdited, this, [this] { sizeEdited(); });
}

TqdxPageSettingsForm::~TqdxPageSettingsForm() = default;

void TqdxPageSettingsForm::loadFromPage() {
    m_updating = true;
    const TqdxCustomPrinter* printer = SharedPrinters().CurrentPrinter();
    SizeCB->clear();
    if (printer && !printer->Papers().isEmpty()) {
        for (const TqdxPrinterItem& paper : printer->Papers()) {
            SizeCB->addItem(PaperDisplayName(paper), paper.Code);
        }
    } else {
        SizeCB->addItem(qdxResources().Text("prCustom"), kCustomPaper);
    }
    int position = SizeCB->findData(m_page.PaperSize());
    if (position < 0) {
        position = SizeCB->findData(kCustomPaper);
    }
    SizeCB->setCurrentIndex(position < 0 ? 0 : position);

    showLength(WidthE, m_page.PaperWidth());
    showLength(HeightE, m_page.PaperHeight());
    const bool landscape = m_page.Orientation() == poLandscape;
    (landscape ? LandscapeRB : PortraitRB)->setChecked(true);
    m_shownOrientation = orientation();
    showLength(MarginLeftE, m_page.LeftMargin);
    showLength(MarginRightE, m_page.RightMargin);
    showLength(MarginTopE, m_page.TopMargin);
    showLength(MarginBottomE, m_page.BottomMargin);
    orientationChanged(); // pictures only: the size update waits for the flag
    m_updating = false;
}

bool TqdxPageSettingsForm::ApplyToAll() const {
    return ApplyToAllRB->isChecked();
}

int TqdxPageSettingsForm::selectedCode() const {
    bool ok = false;
    const int code = SizeCB->currentData().toInt(&ok);
    return ok ? code : kCustomPaper;
}

int TqdxPageSettingsForm::orientation() const {
    return PortraitRB->isChecked() ? poPortrait : poLandscape;
}

void TqdxPageSettingsForm::showLength(QLineEdit* edit, double mm) {
    edit->setText(FormatLength(MmToUnit(mm, m_unit)));
}

std::optional<double> TqdxPageSettingsForm::readLength(const QLineEdit* edit) const {
    const std::optional<double> value = ParseLength(edit->text());
    if (!value) {
        return std::nullopt;
    }
    return UnitToMm(*value, m_unit);
}

void TqdxPageSettingsForm::orientationChanged() {
    const bool portrait = PortraitRB->isChecked();
    PortraitImg->setVisible(portrait);
    LandscapeImg->setVisible(!portrait);
    sizeUpdate();
}

void TqdxPageSettingsForm::sizeUpdate() {
    if (m_updating) {
        return;
    }
    m_updating = true;
    const int code = selectedCode();
    const int orient = orientation();
    TqdxCustomPrinter* printer = SharedPrinters().CurrentPrinter();
    const TPaperInfo* standard = FindStandardPaper(code);
    if (code == kCustomPaper || (!standard && code < kCustomPaper)) {
        // A size of the user's: turning the page exchanges the two sides; choosing the entry
        // keeps what is shown.
        const std::optional<double> w = readLength(WidthE);
        const std::optional<double> h = readLength(HeightE);
        if (w && h) {
            double width = *w;
            double height = *h;
            if (orient != m_shownOrientation) {
                std::swap(width, height);
            }
            if (printer && width > 0 && height > 0) {
                printer->ApplyViewSettings(kCustomPaper, width, height, orient);
            }
            showLength(WidthE, width);
            showLength(HeightE, height);
        }
    } else {
        double width = 0;
        double height = 0;
        if (printer) {
            const std::optional<double> w = readLength(WidthE);
            const std::optional<double> h = readLength(HeightE);
            printer->ApplyViewSettings(code, w.value_or(0), h.value_or(0), orient);
            width = printer->PaperWidth();
            height = printer->PaperHeight();
        }
        if ((width <= 0 || height <= 0) && standard) {
            width = standard->Width / 10.0;
            height = standard->Height / 10.0;
            if (orient == poLandscape) {
                std::swap(width, height);
            }
        }
        if (width > 0 && height > 0) {
            showLength(WidthE, width);
            showLength(HeightE, height);
        }
    }
    m_shownOrientation = orient;
    m_updating = false;
}

void TqdxPageSettingsForm::sizeEdited() {
    if (m_updating) {
        return;
    }
    m_updating = true;
    const int custom = SizeCB->findData(kCustomPaper);
    SizeCB->setCurrentIndex(custom < 0 ? 0 : custom);
    m_updating = false;
}

void TqdxPageSettingsForm::accept() {
    struct Field {
        QLineEdit* edit;
        QLabel* label;
        bool side; // a paper side (must be positive) rather than a margin
    };
    const Field fields[] = {{WidthE, WidthL, true},           {HeightE, HeightL, true},
                            {MarginLeftE, LeftL, false},      {MarginTopE, TopL, false},
                            {MarginRightE, RightL, false},    {MarginBottomE, BottomL, false}};
    double mm[6] = {};
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const Field& f = fields[i];
        const std::optional<double> value = readLength(f.edit);
        const bool good = value && (f.side ? *value > 0 : *value >= 0) && *value <= kMaxPaperMm;
        if (!good) {
            f.edit->setFocus();
            f.edit->selectAll();
            if (ShowError) {
                ShowError(QStringLiteral("%1: '%2' não é um valor válido.")
                              .arg(f.label->text().trimmed(), f.edit->text()));
            }
            return;
        }
        mm[i] = *value;
    }

    m_page.SetOrientation(orientation());
    m_page.SetPaperWidth(mm[0]);
    m_page.SetPaperHeight(mm[1]);
    // A printer's own paper code means nothing to other printers: the page keeps its size as
    // a user-defined one.
    const int code = selectedCode();
    m_page.SetPaperSize(FindStandardPaper(code) ? code : kCustomPaper);
    m_page.LeftMargin = mm[2];
    m_page.TopMargin = mm[3];
    m_page.RightMargin = mm[4];
    m_page.BottomMargin = mm[5];
    m_page.ArrangeChildren();
    QDialog::accept();
}

void TqdxPageSettingsForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        qdxResources().Help(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool ExecutePageSettings(TqdxReportPage& page, bool& applyToAll, const TqdxReport* report,
                         QWidget* parent) {
    TqdxPageSettingsForm form(page, report, parent);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    applyToAll = form.ApplyToAll();
    return true;
}

std::function<bool(TqdxReportPage& page, bool& applyToAll)>
PageSettingsHook(const TqdxReport* report, QWidget* parent) {
    QPointer<QWidget> owner(parent);
    return [report, owner](TqdxReportPage& page, bool& applyToAll) {
        return ExecutePageSettings(page, applyToAll, report, owner.data());
    };
}

} // namespace zr::reportlib::preview
