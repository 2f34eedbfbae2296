#include "main_window.h"

#include "about_window.h"
#include "app/common/printing_hooks.h"
#include "app/common/viewer_settings.h"
#include "name_filters.h"
#include "platform/files/display_path.h"
#include "platform/files/recent_reports.h"
#include "platform/files/report_folder.h"
#include "platform/interaction/interaction.h"
#include "printing_help_window.h"
#include "reportlib/document/qdx_preview_pages.h"
#include "reportlib/document/qdx_report.h"
#include "reportlib/pdf/qdx_export_pdf.h"
#include "reportlib/preview/qdx_preview_form.h"
#include "textreport/gravana.h"
#include "textreport/ui/preview_window.h"
#include "textreport/ui/setup_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

#include <exception>
#include <utility>

// The window pictures live in a static library: make sure its resources are registered.
static void initViewerResources() {
    Q_INIT_RESOURCE(viewer);
}

namespace zr::app {

namespace {

// The client area colour, as the window stores it: a colour value with blue in the high byte.
constexpr unsigned kClientColor = 6697728;

QColor fromStoredColor(unsigned value) {
    return QColor(int(value & 0xff), int((value >> 8) & 0xff), int((value >> 16) & 0xff));
}

constexpr QSize kRestoredSize(800, 600);

} // namespace

TfrmMenu::TfrmMenu(Interaction& ui, QWidget* parent)
    : QMainWindow(parent), m_ui(ui), m_gravana(std::make_unique<textreport::TGravana>(ui)),
      m_report(std::make_unique<reportlib::TqdxReport>()),
      m_pdfExport(std::make_unique<reportlib::pdf::TqdxPDFExport>()) {
    initViewerResources();
    setObjectName(QStringLiteral("frmMenu"));
    setWindowTitle(QStringLiteral("ZeralVisualizador"));
    setWindowIcon(QIcon(QStringLiteral(":/images/zeral_32.png")));

    imgFundo800x600.load(QStringLiteral(":/images/fundo_800x600.png"));
    imgFundo1024x768.load(QStringLiteral(":/images/fundo_1024x768.png"));
    imgFundo1280x600.load(QStringLiteral(":/images/fundo_1280x600.png"));

    imgPrincipal = new QLabel(this);
    imgPrincipal->setObjectName(QStringLiteral("imgPrincipal"));
    imgPrincipal->setAlignment(Qt::AlignCenter);
    imgPrincipal->setScaledContents(false);
    imgPrincipal->setAutoFillBackground(true);
    QPalette palette = imgPrincipal->palette();
    palette.setColor(QPalette::Window, fromStoredColor(kClientColor));
    imgPrincipal->setPalette(palette);
    // The picture never asks for room: a window smaller than it shows its centre.
    imgPrincipal->setMinimumSize(1, 1);
    imgPrincipal->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setCentralWidget(imgPrincipal);

    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setSizeGripEnabled(false);
    statusBar()->setAccessibleName(QStringLiteral("Barra de status"));
    imgPrincipal->setAccessibleName(QStringLiteral("ZeralVisualizador"));

    buildMenus();

    OpenDialog = new QFileDialog(this);
    OpenDialog->setObjectName(QStringLiteral("OpenDialog"));
    OpenDialog->setWindowTitle(QStringLiteral("Abrir"));
    OpenDialog->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog->setFileMode(QFileDialog::ExistingFile);
    // Qt's own dialog shows the filter caption exactly as written and hides its patterns.
    OpenDialog->setOption(QFileDialog::DontUseNativeDialog);
    OpenDialog->setOption(QFileDialog::HideNameFilterDetails);
    OpenDialog->setNameFilters(toQtNameFilters(QString::fromUtf8(kOpenFilter)));
    chooseReport = [this] { return runOpenDialog(); };

    applyViewerSettings(*m_gravana);
    m_gravana->previewHook = [this](textreport::TGravana& gravana) {
        textreport::ui::showPreviewWindow(gravana, isVisible() ? this : nullptr, m_textFileName,
                                          std::exchange(m_startPage, 0));
    };
    m_gravana->setupHook = [this](textreport::TGravana& gravana) {
        // Over the window it was asked from (the preview, when Ctrl+P is pressed there): a
        // dialog of the main window would bring the main window up over the preview.
        QWidget* active = QApplication::activeWindow();
        return textreport::ui::runSetupDialog(gravana, active        ? active
                                                       : isVisible() ? this
                                                                     : nullptr);
    };
    connectSystemPrinting(*m_gravana);

    m_report->UserInteraction = &m_ui;
    reportlib::pdf::ApplyMainWindowDefaults(*m_pdfExport);
    m_pdfExport->Report = m_report.get();
    m_report->OnPreviewPrepared = [this](reportlib::TqdxReport& report) {
        reportlib::preview::TqdxPreviewForm::PreviewPrepared(
            report, m_pdfExport.get(), isVisible() ? this : nullptr, m_preparedFileName,
            std::exchange(m_startPage, 0));
    };
    preparedReportHook = [this](const QString& fileName) { loadPreparedReport(fileName); };

    // The program shows the window maximised; restored, it has this size at the screen centre.
    resize(kRestoredSize);
    centreOnScreen();
}

TfrmMenu::~TfrmMenu() = default;

void TfrmMenu::buildMenus() {
    menuBar()->setObjectName(QStringLiteral("MainMenu"));
    menuBar()->setAccessibleName(QStringLiteral("Barra de menus"));

    miDiversos = menuBar()->addMenu(QStringLiteral("&Diversos"));
    miDiversos->setObjectName(QStringLiteral("miDiversos"));
    miAbrirRelatorio = miDiversos->addAction(QStringLiteral("&Abrir Relatório"));
    miAbrirRelatorio->setObjectName(QStringLiteral("miAbrirRelatorio"));
    miAbrirRelatorio->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    m_recentSeparator = miDiversos->addSeparator();
    miSair = miDiversos->addAction(QStringLiteral("&Sair"));
    miSair->setObjectName(QStringLiteral("miSair"));
    miSair->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    miAjuda = menuBar()->addMenu(QStringLiteral("A&juda"));
    miAjuda->setObjectName(QStringLiteral("miAjuda"));
    miAjudaImpressao = miAjuda->addAction(QStringLiteral("ZeralVisualizador &Impressão"));
    miAjudaImpressao->setObjectName(QStringLiteral("miAjudaImpressao"));
    miAjuda->addSeparator();
    miSobre = miAjuda->addAction(QStringLiteral("S&obre..."));
    miSobre->setObjectName(QStringLiteral("miSobre"));

    // The keys of other desktop programs: Ctrl+O opens, Ctrl+Q quits (through the exit
    // question), F10 opens the first menu, and Alt with a menu's underlined letter opens it
    // (Alt+D "Diversos", Alt+J "Ajuda"). The window holds the actions too, so that their keys
    // work whenever it is active, whatever has the focus.
    miMenuTeclado = new QAction(this);
    miMenuTeclado->setObjectName(QStringLiteral("miMenuTeclado"));
    miMenuTeclado->setShortcut(QKeySequence(Qt::Key_F10));
    addActions({miAbrirRelatorio, miSair, miMenuTeclado});
    connect(miMenuTeclado, &QAction::triggered, this,
            [this] { menuBar()->setActiveAction(miDiversos->menuAction()); });

    // The menu bar's own button for menus that do not fit has only an arrow; a screen reader
    // needs its name.
    for (QToolButton* more : menuBar()->findChildren<QToolButton*>()) {
        if (more->accessibleName().isEmpty()) {
            more->setAccessibleName(QStringLiteral("Mais menus"));
        }
    }

    connect(miDiversos, &QMenu::aboutToShow, this, [this] { renewRecentReports(); });
    renewRecentReports();
    connect(miAbrirRelatorio, &QAction::triggered, this, [this] { miAbrirRelatorioClick(); });
    connect(miSair, &QAction::triggered, this, [this] { miSairClick(); });
    connect(miAjudaImpressao, &QAction::triggered, this, [this] { miAjudaImpressaoClick(); });
    connect(miSobre, &QAction::triggered, this, [this] { miSobreClick(); });
}

void TfrmMenu::renewRecentReports() {
    for (QAction* item : miRecentes) {
        delete item;
    }
    miRecentes.clear();
    delete miRemoverAusentes;
    miRemoverAusentes = nullptr;
    // Each report by its name, then its folder; a report that has gone is shown, greyed.
    QStringList missing;
    const QStringList reports = recentReports();
    for (qsizetype i = 0; i < reports.size(); ++i) {
        const QFileInfo file(reports[i]);
        QString name = file.fileName();
        name.replace(u'&', QLatin1String("&&"));
        const QString caption =
            QStringLiteral("&%1 %2 — %3")
                .arg(i + 1 < 10 ? QString::number(i + 1) : QStringLiteral("1&0"), name,
                     displayPath(file.absolutePath(), 60));
        auto* item = new QAction(caption, miDiversos);
        item->setToolTip(QDir::toNativeSeparators(file.absoluteFilePath()));
        item->setEnabled(file.isFile());
        if (!file.isFile()) {
            missing << reports[i];
        }
        const QString path = reports[i];
        connect(item, &QAction::triggered, this, [this, path] { openReport(path); });
        miDiversos->insertAction(m_recentSeparator, item);
        miRecentes.push_back(item);
    }
    if (!missing.isEmpty()) {
        miRemoverAusentes =
            new QAction(QStringLiteral("&Remover da lista os que não existem mais"), miDiversos);
        connect(miRemoverAusentes, &QAction::triggered, this,
                [missing] { removeRecentReports(missing); });
        miDiversos->insertAction(m_recentSeparator, miRemoverAusentes);
    }
    // The open dialog offers the reports' folders in its history.
    if (OpenDialog) {
        OpenDialog->setHistory(recentReportFolders());
    }
}

TfrmMenu::Picture TfrmMenu::backgroundFor(int screenWidth) {
    if (screenWidth >= 1280) {
        return &TfrmMenu::imgFundo1280x600;
    }
    if (screenWidth < 1024) {
        return &TfrmMenu::imgFundo800x600;
    }
    return &TfrmMenu::imgFundo1024x768;
}

StartAction TfrmMenu::FormCreate(const QString& firstArgument) {
    StartDecision decision = startActionFor(firstArgument);
    if (decision.action == StartAction::None) {
        return StartAction::None;
    }
    QString problem;
    const StartDecision byContent = openFileDecision(decision.fileName, problem);
    if (byContent.action == StartAction::None) {
        m_ui.message(MessageKind::Error, problem, QString::fromUtf8(kViewerCaption));
        return StartAction::Refused;
    }
    // A report under the other kind's extension goes to the engine that reads it.
    openReport(decision.fileName);
    return byContent.action;
}

void TfrmMenu::showEvent(QShowEvent* event) {
    FormShow();
    QMainWindow::showEvent(event);
}

void TfrmMenu::FormShow() {
    // The folder of the last report opened, else the home folder: the program's own folder
    // (/usr/bin once installed) holds no reports.
    OpenDialog->setDirectory(reportFolder());
    const QScreen* where = screen();
    const int width = where ? where->geometry().width() : 0;
    imgPrincipal->setPixmap(this->*backgroundFor(width));
}

bool TfrmMenu::FormCloseQuery() {
    return m_ui.confirm(QString::fromUtf8(kExitQuestion), QString::fromUtf8(kExitCaption));
}

void TfrmMenu::closeEvent(QCloseEvent* event) {
    if (FormCloseQuery()) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TfrmMenu::centreOnScreen() {
    const QScreen* where = screen();
    if (!where) {
        return;
    }
    QRect frame = frameGeometry();
    frame.moveCenter(where->availableGeometry().center());
    move(frame.topLeft());
}

QString TfrmMenu::runOpenDialog() {
    renewRecentReports();
    OpenDialog->setDirectory(reportFolder());
    if (OpenDialog->exec() != QDialog::Accepted) {
        return {};
    }
    const QString chosen = OpenDialog->selectedFiles().value(0);
    rememberReportFolder(chosen);
    return chosen;
}

void TfrmMenu::miAbrirRelatorioClick() {
    const QString fileName = chooseReport ? chooseReport() : QString();
    if (fileName.isEmpty()) {
        return;
    }
    openReport(fileName);
}

void TfrmMenu::openReport(const QString& fileName, const QString& pdfExportName) {
    if (openActionFor(fileName) == StartAction::OpenQp3) {
        openPreparedReport(fileName, pdfExportName);
    } else {
        openTextReport(fileName);
    }
}

void TfrmMenu::openTextReport(const QString& fileName) {
    textreport::TGravana& gravana = *m_gravana;
    // A report left open by someone else is not ours to load into or to close.
    if (!gravana.Abrir()) {
        return;
    }
    try {
        gravana.LerRelatorio(fileName);
        addRecentReport(fileName);
        m_textFileName = fileName;
        gravana.Fechar();
    } catch (const std::exception& e) {
        // Nothing may escape into the event loop; the report is dropped without a preview.
        m_ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        if (gravana.state().aberto) {
            gravana.Abortar();
        }
    }
}

void TfrmMenu::openPreparedReport(const QString& fileName, const QString& pdfExportName) {
    m_pdfExportFileName = pdfExportName.isEmpty() ? pdfExportNameFor(fileName) : pdfExportName;
    m_pdfExport->FileName = m_pdfExportFileName;
    m_preparedFileName = fileName;
    if (preparedReportHook) {
        preparedReportHook(fileName);
    }
}

void TfrmMenu::loadPreparedReport(const QString& fileName) {
    reportlib::TqdxReport& report = *m_report;
    report.Errors.clear();
    try {
        report.PreviewPages().LoadFromFile(fileName, false);
        if (!report.Errors.isEmpty()) {
            report.ShowErrors(report.ErrorsText());
        }
        for (const QString& warning : report.PreviewPages().LoadWarnings()) {
            m_ui.message(MessageKind::Warning, warning, QString::fromUtf8(kViewerCaption));
        }
        addRecentReport(fileName);
    } catch (const std::exception& e) {
        // "Invalid file format" and the like: said here, and the preview opens empty.
        m_ui.message(MessageKind::Error, QString::fromUtf8(e.what()));
        report.PreviewPages().Clear();
    }
    report.PreviewPrepared();
}

void TfrmMenu::miSairClick() {
    close();
}

void TfrmMenu::miAjudaImpressaoClick() {
    TfrmAjudaImp help(this);
    help.exec();
}

void TfrmMenu::miSobreClick() {
    TfrmSobre about(this);
    about.exec();
}

} // namespace zr::app
