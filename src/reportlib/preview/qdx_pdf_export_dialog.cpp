#include "qdx_pdf_export_dialog.h"

#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/print/qdx_res.h"
#include "reportlib/render/page_services.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zr::reportlib::preview {

namespace {

// Whether the prepared pages hold an outline with at least one entry.
bool hasOutline(const TqdxReport& report) {
    const TqdxXMLItem& root = report.PreviewPages().Document().Root();
    const int outline = root.Find("outline");
    return outline >= 0 && root.Items(outline).Count() > 0;
}

QString text(int number) {
    return qdxResources().Text(number);
}

// The AES choice is this program's own; the string table has no entry for it.
const QString kAesCaption = QStringLiteral("Proteção AES-256 (mais segura)");
// Neither is the archival choice.
const QString kPdfACaption = QStringLiteral("PDF/A-2a (arquivamento acessível)");
// Shown beside the quality box as it always was: not translated.
const QString kQualityCaption = QStringLiteral("JPEG Quality");

// Page numbers: digits, commas and hyphens only. Anything else typed, pasted or dropped is
// refused whole, so the text stays as it was.
class PageNumbersValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (const QChar c : std::as_const(input)) {
            if (!((c >= u'0' && c <= u'9') || c == u',' || c == u'-')) {
                return Invalid;
            }
        }
        return Acceptable;
    }
};

// The quality: an optional sign and decimal digits. Whether the number fits an int is checked
// when the dialog is confirmed.
class IntegerValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (qsizetype i = 0; i < input.size(); ++i) {
            const QChar c = input.at(i);
            const bool sign = i == 0 && (c == u'-' || c == u'+');
            if (!sign && !(c >= u'0' && c <= u'9')) {
                return Invalid;
            }
        }
        bool ok = false;
        input.toInt(&ok);
        return ok ? Acceptable : Intermediate;
    }
};

template <typename W>
W* control(W* widget, const char* name, const QString& caption) {
    widget->setObjectName(QLatin1String(name));
    widget->setAccessibleName(caption);
    return widget;
}

// One caption-and-edit row of a grid; the label is the edit's buddy and names it.
QLineEdit* addEditRow(QGridLayout* grid, QWidget* parent, int row, const char* labelName,
                      const char* editName, const QString& caption) {
    auto* label = control(new QLabel(caption, parent), labelName, caption);
    auto* edit = control(new QLineEdit(parent), editName, caption);
    label->setBuddy(edit);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
}

struct Hooks {
    TqdxPDFExportDialog::DialogRunner run;
    TqdxPDFExportDialog::SaveFileHook saveFile;
};

Hooks& hooks() {
    static Hooks h;
    return h;
}

} // namespace

TqdxPDFExportDialog::TqdxPDFExportDialog(pdf::TqdxPDFExport& filter, QWidget* parent,
                                         const QString& reportFileName)
    : QDialog(parent), m_filter(filter), m_reportFileName(reportFileName) {
    setObjectName(QStringLiteral("TqdxPDFExportDialog"));
    setWindowTitle(text(8700));
    setAccessibleName(windowTitle());
    ShowError = [this](const QString& message) {
        QMessageBox::warning(this, windowTitle(), message);
    };

    PageControl1 = control(new QTabWidget(this), "PageControl1", windowTitle());

    // ---- Export: page range and export settings.
    ExportPage = control(new QWidget, "ExportPage", text(107));
    GroupPageRange = control(new QGroupBox(text(7), ExportPage), "GroupPageRange", text(7));
    AllRB = control(new QRadioButton(text(3), GroupPageRange), "AllRB", text(3));
    CurPageRB = control(new QRadioButton(text(4), GroupPageRange), "CurPageRB", text(4));
    PageNumbersRB =
        control(new QRadioButton(text(5), GroupPageRange), "PageNumbersRB", text(5));
    PageNumbersE = control(new QLineEdit(GroupPageRange), "PageNumbersE", text(5));
    PageNumbersE->setValidator(new PageNumbersValidator(PageNumbersE));
    DescrL = control(new QLabel(text(9), GroupPageRange), "DescrL", text(9));
    DescrL->setWordWrap(true);
    auto* rangeGrid = new QGridLayout(GroupPageRange);
    rangeGrid->addWidget(AllRB, 0, 0, 1, 2);
    rangeGrid->addWidget(CurPageRB, 1, 0, 1, 2);
    rangeGrid->addWidget(PageNumbersRB, 2, 0);
    rangeGrid->addWidget(PageNumbersE, 2, 1);
    rangeGrid->addWidget(DescrL, 3, 0, 1, 2);
    rangeGrid->setColumnStretch(1, 1);

    GroupQuality = control(new QGroupBox(text(8), ExportPage), "GroupQuality", text(8));
    CompressedCB = control(new QCheckBox(text(8701), GroupQuality), "CompressedCB", text(8701));
    EmbeddedCB = control(new QCheckBox(text(8702), GroupQuality), "EmbeddedCB", text(8702));
    BackgrCB = control(new QCheckBox(text(8705), GroupQuality), "BackgrCB", text(8705));
    PrintOptCB = control(new QCheckBox(text(8703), GroupQuality), "PrintOptCB", text(8703));
    OutlineCB = control(new QCheckBox(text(8704), GroupQuality), "OutlineCB", text(8704));
    PdfACB = control(new QCheckBox(kPdfACaption, GroupQuality), "PdfACB", kPdfACaption);
    Label2 = control(new QLabel(kQualityCaption, GroupQuality), "Label2", kQualityCaption);
    Quality = control(new QLineEdit(GroupQuality), "Quality", kQualityCaption);
    Quality->setValidator(new IntegerValidator(Quality));
    Quality->setMaxLength(11);
    Quality->setMaximumWidth(Quality->fontMetrics().horizontalAdvance(QStringLiteral("0")) * 8);
    Label2->setBuddy(Quality);
    auto* qualityGrid = new QGridLayout(GroupQuality);
    qualityGrid->addWidget(CompressedCB, 0, 0);
    qualityGrid->addWidget(PrintOptCB, 0, 1);
    qualityGrid->addWidget(EmbeddedCB, 1, 0);
    qualityGrid->addWidget(OutlineCB, 1, 1);
    qualityGrid->addWidget(BackgrCB, 2, 0);
    qualityGrid->addWidget(PdfACB, 2, 1);
    qualityGrid->addWidget(Label2, 3, 0);
    qualityGrid->addWidget(Quality, 3, 1, Qt::AlignLeft);

    OpenCB = control(new QCheckBox(text(8706), ExportPage), "OpenCB", text(8706));
    auto* exportLayout = new QVBoxLayout(ExportPage);
    exportLayout->addWidget(GroupPageRange);
    exportLayout->addWidget(GroupQuality);
    exportLayout->addWidget(OpenCB);
    exportLayout->addStretch();
    PageControl1->addTab(ExportPage, text(107));

    // ---- Information.
    InfoPage = control(new QWidget, "InfoPage", text(8972));
    DocInfoGB = control(new QGroupBox(text(8971), InfoPage), "DocInfoGB", text(8971));
    auto* infoGrid = new QGridLayout(DocInfoGB);
    TitleE = addEditRow(infoGrid, DocInfoGB, 0, "TitleL", "TitleE", text(8973));
    AuthorE = addEditRow(infoGrid, DocInfoGB, 1, "AuthorL", "AuthorE", text(8974));
    SubjectE = addEditRow(infoGrid, DocInfoGB, 2, "SubjectL", "SubjectE", text(8975));
    KeywordsE = addEditRow(infoGrid, DocInfoGB, 3, "KeywordsL", "KeywordsE", text(8976));
    CreatorE = addEditRow(infoGrid, DocInfoGB, 4, "CreatorL", "CreatorE", text(8977));
    ProducerE = addEditRow(infoGrid, DocInfoGB, 5, "ProducerL", "ProducerE", text(8978));
    infoGrid->setColumnStretch(1, 1);
    auto* infoLayout = new QVBoxLayout(InfoPage);
    // The group fills the page, which is as tall as the tallest page of the dialog.
    infoLayout->addWidget(DocInfoGB);
    PageControl1->addTab(InfoPage, text(8972));

    // ---- Security.
    SecurityPage = control(new QWidget, "SecurityPage", text(8962));
    SecGB = control(new QGroupBox(text(8979), SecurityPage), "SecGB", text(8979));
    auto* secGrid = new QGridLayout(SecGB);
    OwnPassE = addEditRow(secGrid, SecGB, 0, "OwnPassL", "OwnPassE", text(8964));
    UserPassE = addEditRow(secGrid, SecGB, 1, "UserPassL", "UserPassE", text(8965));
    OwnPassE->setEchoMode(QLineEdit::Password);
    UserPassE->setEchoMode(QLineEdit::Password);
    AesCB = control(new QCheckBox(kAesCaption, SecGB), "AesCB", kAesCaption);
    secGrid->addWidget(AesCB, 2, 0, 1, 2);
    secGrid->setColumnStretch(1, 1);
    PermGB = control(new QGroupBox(text(8980), SecurityPage), "PermGB", text(8980));
    PrintCB = control(new QCheckBox(text(8966), PermGB), "PrintCB", text(8966));
    ModCB = control(new QCheckBox(text(8967), PermGB), "ModCB", text(8967));
    CopyCB = control(new QCheckBox(text(8968), PermGB), "CopyCB", text(8968));
    AnnotCB = control(new QCheckBox(text(8969), PermGB), "AnnotCB", text(8969));
    auto* permLayout = new QVBoxLayout(PermGB);
    for (QCheckBox* box : {PrintCB, ModCB, CopyCB, AnnotCB}) {
        permLayout->addWidget(box);
    }
    auto* securityLayout = new QVBoxLayout(SecurityPage);
    securityLayout->addWidget(SecGB);
    securityLayout->addWidget(PermGB);
    securityLayout->addStretch();
    PageControl1->addTab(SecurityPage, text(8962));

    // ---- Viewer preferences.
    ViewerPage = control(new QWidget, "ViewerPage", text(8981));
    ViewerGB = control(new QGroupBox(text(8982), ViewerPage), "ViewerGB", text(8982));
    HideToolbarCB = control(new QCheckBox(text(8983), ViewerGB), "HideToolbarCB", text(8983));
    HideMenubarCB = control(new QCheckBox(text(8984), ViewerGB), "HideMenubarCB", text(8984));
    HideWindowUICB = control(new QCheckBox(text(8985), ViewerGB), "HideWindowUICB", text(8985));
    FitWindowCB = control(new QCheckBox(text(8986), ViewerGB), "FitWindowCB", text(8986));
    CenterWindowCB = control(new QCheckBox(text(8987), ViewerGB), "CenterWindowCB", text(8987));
    PrintScalingCB = control(new QCheckBox(text(8988), ViewerGB), "PrintScalingCB", text(8988));
    auto* viewerBoxes = new QVBoxLayout(ViewerGB);
    for (QCheckBox* box : {HideToolbarCB, HideMenubarCB, HideWindowUICB, FitWindowCB,
                           CenterWindowCB, PrintScalingCB}) {
        viewerBoxes->addWidget(box);
    }
    auto* viewerLayout = new QVBoxLayout(ViewerPage);
    viewerLayout->addWidget(ViewerGB);
    PageControl1->addTab(ViewerPage, text(8981));

    // ---- Buttons. Both keep autoDefault: Enter on a focused button presses that button, and
    // anywhere else presses "OK", the default one. Escape cancels.
    OkB = control(new QPushButton(text(1), this), "OkB", text(1));
    OkB->setDefault(true);
    CancelB = control(new QPushButton(text(2), this), "CancelB", text(2));
    OkB->setAutoDefault(true);
    CancelB->setAutoDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkB);
    buttons->addWidget(CancelB);

    auto* main = new QVBoxLayout(this);
    main->addWidget(PageControl1);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    connect(OkB, &QPushButton::clicked, this, &TqdxPDFExportDialog::accept);
    connect(CancelB, &QPushButton::clicked, this, &TqdxPDFExportDialog::reject);
    // Typing page numbers chooses them.
    connect(PageNumbersE, &QLineEdit::textEdited, this,
            [this] { PageNumbersRB->setChecked(true); });

    loadFromFilter();
}

TqdxPDFExportDialog::~TqdxPDFExportDialog() = default;

void TqdxPDFExportDialog::loadFromFilter() {
    const pdf::TqdxPDFExport& f = m_filter;
    const TqdxReport* report = f.Report;

    // The page range. The current-page flag wins: the export replaces the range text with the
    // viewed page whenever the flag is set, so that text is not the user's.
    if (f.CurrentPage) {
        CurPageRB->setChecked(true);
    } else if (!f.PageNumbers.isEmpty()) {
        PageNumbersE->setText(f.PageNumbers);
        PageNumbersRB->setChecked(true);
    } else {
        AllRB->setChecked(true);
    }

    CompressedCB->setChecked(f.Compressed);
    EmbeddedCB->setChecked(f.EmbeddedFonts);
    PdfACB->setChecked(f.PdfA);
    BackgrCB->setChecked(f.Background);
    PrintOptCB->setChecked(f.PrintOptimized);
    // Bookmarks are offered when the report has an outline to make them of (shown in its
    // preview or not); they can be switched off, never on for a report without one.
    const bool outline = !report || report->PreviewOptions.OutlineVisible || hasOutline(*report);
    OutlineCB->setChecked(outline);
    OutlineCB->setEnabled(outline);
    Quality->setText(QString::number(f.Quality));
    OpenCB->setChecked(f.OpenAfterExport);

    QString title = f.Title;
    if (title.isEmpty() && report) {
        title = codepages::fromCp1252(report->ReportOptions.Name);
    }
    TitleE->setText(title);
    AuthorE->setText(f.Author);
    SubjectE->setText(f.Subject);
    KeywordsE->setText(f.Keywords);
    CreatorE->setText(f.Creator);
    ProducerE->setText(f.Producer);

    OwnPassE->setText(f.OwnerPassword);
    UserPassE->setText(f.UserPassword);
    AesCB->setChecked(f.Encryption == pdf::TqdxPDFEncryption::AES_256);
    PrintCB->setChecked((f.ProtectionFlags & pdf::ePrint) != 0);
    ModCB->setChecked((f.ProtectionFlags & pdf::eModify) != 0);
    CopyCB->setChecked((f.ProtectionFlags & pdf::eCopy) != 0);
    AnnotCB->setChecked((f.ProtectionFlags & pdf::eAnnot) != 0);

    HideToolbarCB->setChecked(f.HideToolbar);
    HideMenubarCB->setChecked(f.HideMenubar);
    HideWindowUICB->setChecked(f.HideWindowUI);
    FitWindowCB->setChecked(f.FitWindow);
    CenterWindowCB->setChecked(f.CenterWindow);
    PrintScalingCB->setChecked(f.PrintScaling);
}

bool TqdxPDFExportDialog::refuse(QWidget* page, QLineEdit* field, const QString& message) {
    PageControl1->setCurrentWidget(page);
    field->setFocus();
    field->selectAll();
    if (ShowError) {
        ShowError(message);
    }
    return false;
}

void TqdxPDFExportDialog::accept() {
    bool ok = false;
    const int quality = Quality->text().trimmed().toInt(&ok);
    if (!ok) {
        refuse(ExportPage, Quality,
               QStringLiteral("'%1' não é um número inteiro válido.").arg(Quality->text()));
        return;
    }
    if (quality < 1 || quality > 100) {
        refuse(ExportPage, Quality, QStringLiteral("A qualidade JPEG vai de 1 a 100."));
        return;
    }
    if (PageNumbersRB->isChecked()) {
        // The export reads the range later; one that is none ("1-2-3", "5-2") or names no page
        // of the report ("7" of 6 pages) is refused here, while the user can still mend it.
        // Without a report only the text is checked.
        QString problem;
        const bool refused =
            m_filter.Report ? !PageSelection::select(PageNumbersE->text(),
                                                     m_filter.Report->PreviewPages().Count(),
                                                     PageSelection::Parity::All, false, &problem)
                            : !PageSelection::parse(PageNumbersE->text(), &problem);
        if (refused) {
            refuse(ExportPage, PageNumbersE, problem + QLatin1Char('\n') + text(9));
            return;
        }
    }
    // An archival file opens without a password; the export would refuse it.
    if (PdfACB->isChecked()) {
        for (QLineEdit* field : {UserPassE, OwnPassE}) {
            if (!field->text().isEmpty()) {
                refuse(SecurityPage, field,
                       QStringLiteral("Um PDF/A não pode ser protegido por senha: apague a "
                                      "senha ou desmarque \"%1\".")
                           .arg(kPdfACaption));
                return;
            }
        }
    }
    // Rights taken away bind only readers without the owner password: with none, or with the
    // opening password as the owner's, whoever opens the file has every right.
    const bool restricted = !PrintCB->isChecked() || !ModCB->isChecked() || !CopyCB->isChecked() ||
                            !AnnotCB->isChecked();
    if (restricted && (OwnPassE->text().isEmpty() || OwnPassE->text() == UserPassE->text())) {
        refuse(SecurityPage, OwnPassE,
               QStringLiteral("As permissões só valem com uma senha das permissões diferente da "
                              "senha de abertura."));
        return;
    }
    // A password the chosen encryption cannot take would only fail once the export starts.
    const auto method =
        AesCB->isChecked() ? pdf::TqdxPDFEncryption::AES_256 : pdf::TqdxPDFEncryption::RC4_128;
    for (QLineEdit* field : {UserPassE, OwnPassE}) {
        if (field->text().isEmpty()) {
            continue;
        }
        try {
            (void)pdf::TqdxPDFSecurity::Prepare(method, field->text(), field->text(),
                                                pdf::kAllPDFProtections, QByteArray(32, '0'));
        } catch (const pdf::TqdxPDFPasswordError& error) {
            refuse(SecurityPage, field, QString::fromUtf8(error.what()));
            return;
        } catch (const std::exception&) {
            // Anything else is the export's to report; the dialog only screens passwords.
        }
    }
    writeToFilter(quality);
    QDialog::accept();
}

void TqdxPDFExportDialog::writeToFilter(int quality) {
    pdf::TqdxPDFExport& f = m_filter;
    f.OwnerPassword = OwnPassE->text();
    f.UserPassword = UserPassE->text();
    f.Encryption =
        AesCB->isChecked() ? pdf::TqdxPDFEncryption::AES_256 : pdf::TqdxPDFEncryption::RC4_128;
    f.ProtectionFlags = (PrintCB->isChecked() ? pdf::ePrint : 0) |
                        (ModCB->isChecked() ? pdf::eModify : 0) |
                        (CopyCB->isChecked() ? pdf::eCopy : 0) |
                        (AnnotCB->isChecked() ? pdf::eAnnot : 0);

    f.PageNumbers.clear();
    f.CurrentPage = false;
    if (CurPageRB->isChecked()) {
        f.CurrentPage = true;
    } else if (PageNumbersRB->isChecked()) {
        f.PageNumbers = PageNumbersE->text();
    }

    f.OpenAfterExport = OpenCB->isChecked();
    f.Compressed = CompressedCB->isChecked();
    f.EmbeddedFonts = EmbeddedCB->isChecked();
    f.PdfA = PdfACB->isChecked();
    f.PrintOptimized = PrintOptCB->isChecked();
    f.Outline = OutlineCB->isChecked();
    f.Background = BackgrCB->isChecked();
    f.Quality = quality;

    f.Title = TitleE->text();
    f.Author = AuthorE->text();
    f.Subject = SubjectE->text();
    f.Keywords = KeywordsE->text();
    f.Creator = CreatorE->text();
    f.Producer = ProducerE->text();

    f.PrintScaling = PrintScalingCB->isChecked();
    f.FitWindow = FitWindowCB->isChecked();
    f.HideMenubar = HideMenubarCB->isChecked();
    f.CenterWindow = CenterWindowCB->isChecked();
    f.HideWindowUI = HideWindowUICB->isChecked();
    f.HideToolbar = HideToolbarCB->isChecked();
}

void TqdxPDFExportDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        qdxResources().Help(this);
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

QString TqdxPDFExportDialog::ProposedFileName() const {
    if (!m_filter.FileName.isEmpty()) {
        return m_filter.FileName;
    }
    if (m_reportFileName.isEmpty()) {
        return {};
    }
    const QFileInfo report(m_reportFileName);
    const QString base = report.completeBaseName();
    if (base.isEmpty()) {
        return {};
    }
    return base + pdf::TqdxPDFExport::DefaultExt();
}

TqdxPDFSaveRequest TqdxPDFExportDialog::SaveRequest() const {
    TqdxPDFSaveRequest request;
    request.caption = windowTitle();
    request.directory = m_filter.DefaultPath;
    request.fileName = ProposedFileName();
    request.filter = QtFilter(text(8707));
    QString suffix = text(8708);
    if (suffix.startsWith(u'.')) {
        suffix.remove(0, 1);
    }
    request.defaultSuffix = suffix;
    request.overwritePrompt = m_filter.OverwritePrompt;
    return request;
}

QString TqdxPDFExportDialog::QtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts.at(i);
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        patterns = patterns.simplified();
        if (description.contains(QLatin1Char('(') + patterns + QLatin1Char(')')) ||
            patterns.isEmpty()) {
            filters.append(description);
        } else {
            filters.append(description + QStringLiteral(" (") + patterns + u')');
        }
    }
    if (filters.isEmpty() && !pipeFilter.isEmpty()) {
        filters.append(pipeFilter);
    }
    return filters.join(QStringLiteral(";;"));
}

QString TqdxPDFExportDialog::RunSaveDialog(QWidget* parent, const TqdxPDFSaveRequest& request) {
    QFileDialog dialog(parent, request.caption, request.directory);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultSuffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    QString path = dialog.selectedFiles().constFirst();
    // Some desktop dialogs return the name as typed.
    if (!path.isEmpty() && !request.defaultSuffix.isEmpty() && QFileInfo(path).suffix().isEmpty())
    {
        path += u'.' + request.defaultSuffix;
    }
    return path;
}

bool TqdxPDFExportDialog::Execute(pdf::TqdxPDFExport& filter, QWidget* parent,
                                  const QString& reportFileName) {
    const Hooks& h = hooks();
    return Execute(filter, parent, reportFileName, h.run, h.saveFile);
}

bool TqdxPDFExportDialog::Execute(pdf::TqdxPDFExport& filter, QWidget* parent,
                                  const QString& reportFileName, const DialogRunner& run,
                                  const SaveFileHook& saveFile) {
    TqdxPDFExportDialog dialog(filter, parent, reportFileName);
    const int result = run ? run(dialog) : dialog.exec();
    if (result != QDialog::Accepted) {
        return false;
    }
    const TqdxPDFSaveRequest request = dialog.SaveRequest();
    const QString path = saveFile ? saveFile(parent, request) : RunSaveDialog(parent, request);
    if (path.isEmpty()) {
        return false;
    }
    filter.FileName = path;
    return true;
}

void TqdxPDFExportDialog::SetHooks(DialogRunner run, SaveFileHook saveFile) {
    Hooks& h = hooks();
    h.run = std::move(run);
    h.saveFile = std::move(saveFile);
}

} // namespace zr::reportlib::preview
