#include "setup_dialog.h"

#include "accessible_caption.h"
#include "draw_transparent.h"
#include "platform/interaction/interaction.h"
#include "platform/text/codepages.h"
#include "platform/text/page_selection.h"
#include "textreport/gravana.h"
#include "textreport/printing/sequences.h"
#include "ui_resources.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <QValidator>

#include <algorithm>

namespace zr::textreport::ui {

namespace {

constexpr int kMinCopias = 1;
constexpr int kMaxCopias = 50;

QImage imagemImpressora() {
    static const QImage image(QStringLiteral(":/textreport_ui/dialogs/impressora.png"));
    return image;
}

// ---- IMPRESSORAS: each row, and the closed list, show the printer picture and the name.

void desenharLinhaImpressora(QPainter& p, const QRect& rect, const QString& name,
                             const QColor& textColor) {
    const QImage picture = imagemImpressora();
    DesenharTransparente(p, rect.left() + 2, rect.top() + (rect.height() - picture.height()) / 2,
                         picture);
    p.setPen(textColor);
    p.drawText(rect.adjusted(24, 1, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, name);
}

class PrinterRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool selected = option.state & QStyle::State_Selected;
        painter->fillRect(option.rect,
                          option.palette.color(selected ? QPalette::Highlight : QPalette::Base));
        desenharLinhaImpressora(
            *painter, option.rect, index.data(Qt::DisplayRole).toString(),
            option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), imagemImpressora().height() + 2));
        return size;
    }
};

class PrinterList final : public QComboBox {
public:
    explicit PrinterList(QWidget* parent) : QComboBox(parent) {
        setItemDelegate(new PrinterRowDelegate(this));
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter p(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        const QString name = option.currentText;
        option.currentText.clear();
        option.currentIcon = QIcon();
        p.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                    QStyle::SC_ComboBoxEditField, this);
        p.setClipRect(field);
        desenharLinhaImpressora(p, field.adjusted(-2, 0, 0, 0), name,
                                palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                                QPalette::ButtonText));
    }
};

// ---- EdPaginas: digits, "," and "-"; "." and ";" become ",", everything else is dropped.
// The rule is the field's validator, so typed, pasted and dropped text all obey it.

QString limparFaixa(const QString& text, int* cursor) {
    QString out;
    out.reserve(text.size());
    int newCursor = cursor ? *cursor : 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if ((c >= u'0' && c <= u'9') || c == u',' || c == u'-') {
            out.append(c);
        } else if (c == u'.' || c == u';') {
            out.append(u',');
        } else if (cursor && i < *cursor) {
            --newCursor;
        }
    }
    if (cursor) {
        *cursor = newCursor;
    }
    return out;
}

class PageRangeValidator final : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        input = limparFaixa(input, &pos);
        return Acceptable;
    }
};

// ---- edCOPIAS with UpDown1: up to four digits (anything else typed or pasted is dropped); the
// arrows step within 1 ... 50.

class CopiesBox final : public QSpinBox {
public:
    explicit CopiesBox(QWidget* parent) : QSpinBox(parent) {
        setRange(0, 9999);
        lineEdit()->setMaxLength(4);
        setValue(1);
    }

    QLineEdit* edit() const { return lineEdit(); }

    QValidator::State validate(QString& input, int& pos) const override {
        QString digits;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (input.at(i).isDigit() && input.at(i).unicode() < 128) {
                digits.append(input.at(i));
            } else if (i < pos) {
                --pos;
            }
        }
        if (digits.size() > 4) {
            digits.truncate(4);
            pos = std::min(pos, 4);
        }
        input = digits;
        return input.isEmpty() ? QValidator::Intermediate : QValidator::Acceptable;
    }

    void stepBy(int steps) override {
        setValue(std::clamp(typed() + steps, kMinCopias, kMaxCopias));
        selectAll();
    }

protected:
    StepEnabled stepEnabled() const override {
        StepEnabled enabled = StepNone;
        if (typed() < kMaxCopias) {
            enabled |= StepUpEnabled;
        }
        if (typed() > kMinCopias) {
            enabled |= StepDownEnabled;
        }
        return enabled;
    }

private:
    int typed() const { return lineEdit()->text().toInt(); }
};

// ---- Imagem3: the page order of the copies.

// The page-order picture for a collation and an order: Img123123, Img112233, Img321321 or
// Img332211.
QString pageOrderPicture(bool collate, bool reverse) {
    if (reverse) {
        return collate ? QStringLiteral(":/textreport_ui/dialogs/img321321.png")
                       : QStringLiteral(":/textreport_ui/dialogs/img332211.png");
    }
    return collate ? QStringLiteral(":/textreport_ui/dialogs/img123123.png")
                   : QStringLiteral(":/textreport_ui/dialogs/img112233.png");
}

class PageOrderBox final : public QWidget {
public:
    PageOrderBox(QWidget* parent, const QCheckBox& collate, const QCheckBox& reverse)
        : QWidget(parent), m_collate(collate), m_reverse(reverse) {
        setFixedSize(QImage(pageOrderPicture(true, false)).size());
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), window()->palette().color(QPalette::Window));
        DesenharTransparente(
            p, 0, 0, QImage(pageOrderPicture(m_collate.isChecked(), m_reverse.isChecked())));
    }

private:
    const QCheckBox& m_collate;
    const QCheckBox& m_reverse;
};

QStringList nomesDosModelos(const TGravana& g) {
    return {QStringLiteral("Epson - Matriciais e compatíveis"),
            QStringLiteral("Rima / Emilia"),
            QStringLiteral("HP Deskjet/Laser (PCL 3)"),
            QStringLiteral("Gráfico (impressora do sistema)"),
            codepages::fromCp1252(g.ImpressoraPersonalizada.NomeImpressora),
            QStringLiteral("Bobina / Cupom")};
}

} // namespace

TDFMsetup::TDFMsetup(TGravana& gravana, PrinterSource printers, QWidget* parent)
    : QDialog(parent), m_gravana(gravana), m_printers(std::move(printers)) {
    initResources();
    setObjectName(QStringLiteral("TDFMsetup"));
    setWindowTitle(QStringLiteral("Imprimir"));

    // ---- Title.
    Image3 = new QLabel(this);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(QPixmap(QStringLiteral(":/textreport_ui/dialogs/logo.png")));
    Image3->setToolTip(QStringLiteral("Gravana"));
    Label3 = new QLabel(QStringLiteral("Configuração da Impressão"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont titleFont = Label3->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    Label3->setFont(titleFont);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    // ---- Printer and model.
    IMPRESSORAS = new PrinterList(this);
    IMPRESSORAS->setObjectName(QStringLiteral("IMPRESSORAS"));
    IMPRESSORAS->setMinimumWidth(260);
    auto* labelImpressora = new QLabel(QStringLiteral("&Impressora:"), this);
    labelImpressora->setBuddy(IMPRESSORAS);
    BitBtn1 = new QPushButton(QStringLiteral("&Propriedades..."), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    MODELOS = new QComboBox(this);
    MODELOS->setObjectName(QStringLiteral("MODELOS"));
    auto* labelModelo = new QLabel(QStringLiteral("&Modelo: "), this);
    labelModelo->setBuddy(MODELOS);

    // ---- Pages.
    GroupBox1 = new QGroupBox(QStringLiteral("Intervalo de Páginas:"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    chkTodas = new QRadioButton(QStringLiteral("&Todas"), GroupBox1);
    chkTodas->setObjectName(QStringLiteral("chkTodas"));
    chkAtual = new QRadioButton(QStringLiteral("Página &Atual"), GroupBox1);
    chkAtual->setObjectName(QStringLiteral("chkAtual"));
    chkSelecao = new QRadioButton(QStringLiteral("Pá&ginas:"), GroupBox1);
    chkSelecao->setObjectName(QStringLiteral("chkSelecao"));
    EdPaginas = new QLineEdit(GroupBox1);
    EdPaginas->setObjectName(QStringLiteral("EdPaginas"));
    Label5 = new QLabel(
        QStringLiteral("Digite as páginas e/ou intervalos separados \npor virgula.  Por exemplo: "
                       "1,3,5-12"),
        GroupBox1);
    Label5->setObjectName(QStringLiteral("Label5"));
    EdParImpar = new QComboBox(GroupBox1);
    EdParImpar->setObjectName(QStringLiteral("EdParImpar"));
    EdParImpar->addItems({QStringLiteral("Todas as páginas do intervalo"),
                          QStringLiteral("Páginas ímpares"), QStringLiteral("Páginas pares")});
    auto* labelImprimir = new QLabel(QStringLiteral("Imprimir:"), GroupBox1);
    labelImprimir->setBuddy(EdParImpar);

    // ---- Copies.
    GroupBox2 = new QGroupBox(QStringLiteral("Cópias:"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    auto* copies = new CopiesBox(GroupBox2);
    UpDown1 = copies;
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    edCOPIAS = copies->edit();
    auto* labelCopias = new QLabel(QStringLiteral("&Número de Cópias"), GroupBox2);
    labelCopias->setBuddy(UpDown1);
    chkAgrupar = new QCheckBox(QStringLiteral("Agrupar"), GroupBox2);
    chkAgrupar->setObjectName(QStringLiteral("chkAgrupar"));
    chkAgrupar->setChecked(true);
    chkInverter = new QCheckBox(QStringLiteral("Ordem inversa"), GroupBox2);
    chkInverter->setObjectName(QStringLiteral("chkInverter"));
    Imagem3 = new PageOrderBox(GroupBox2, *chkAgrupar, *chkInverter);
    Imagem3->setObjectName(QStringLiteral("Imagem3"));

    // ---- Preview and buttons.
    chkPreview = new QCheckBox(QStringLiteral("&Visualizar"), this);
    chkPreview->setObjectName(QStringLiteral("chkPreview"));
    OK = new QPushButton(QStringLiteral("&Ok"), this);
    OK->setObjectName(QStringLiteral("OK"));
    OK->setDefault(true);
    CANCELAR = new QPushButton(QStringLiteral("&Cancelar"), this);
    CANCELAR->setObjectName(QStringLiteral("CANCELAR"));
    // Every button keeps autoDefault: Enter on a focused button presses that button, never
    // "&Ok" behind it. Enter anywhere else presses "&Ok", the default one.
    BitBtn1->setAutoDefault(true);
    CANCELAR->setAutoDefault(true);
    OK->setAutoDefault(true);

    // What a screen reader calls each control: its caption, or the caption of its label.
    setAccessibleCaption(BitBtn1, BitBtn1->text());
    setAccessibleCaption(OK, OK->text());
    setAccessibleCaption(CANCELAR, CANCELAR->text());
    setAccessibleCaption(IMPRESSORAS, labelImpressora->text());
    setAccessibleCaption(MODELOS, labelModelo->text());
    setAccessibleCaption(chkTodas, chkTodas->text());
    setAccessibleCaption(chkAtual, chkAtual->text());
    setAccessibleCaption(chkSelecao, chkSelecao->text());
    setAccessibleCaption(EdPaginas, chkSelecao->text());
    setAccessibleCaption(EdParImpar, labelImprimir->text());
    setAccessibleCaption(UpDown1, labelCopias->text());
    setAccessibleCaption(edCOPIAS, labelCopias->text());
    setAccessibleCaption(chkAgrupar, chkAgrupar->text());
    setAccessibleCaption(chkInverter, chkInverter->text());
    setAccessibleCaption(chkPreview, chkPreview->text());

    // ---- Layout.
    auto* title = new QHBoxLayout;
    title->addWidget(Image3);
    title->addWidget(Label3);
    title->addStretch();

    auto* printerGrid = new QGridLayout;
    printerGrid->addWidget(labelImpressora, 0, 0);
    printerGrid->addWidget(IMPRESSORAS, 0, 1);
    printerGrid->addWidget(BitBtn1, 0, 2);
    printerGrid->addWidget(labelModelo, 1, 0);
    printerGrid->addWidget(MODELOS, 1, 1);
    printerGrid->setColumnStretch(1, 1);

    auto* pages = new QGridLayout(GroupBox1);
    pages->addWidget(chkTodas, 0, 0, 1, 2);
    pages->addWidget(chkAtual, 1, 0, 1, 2);
    pages->addWidget(chkSelecao, 2, 0);
    pages->addWidget(EdPaginas, 2, 1);
    pages->addWidget(Label5, 3, 0, 1, 2);
    pages->addWidget(labelImprimir, 4, 0);
    pages->addWidget(EdParImpar, 4, 1);
    pages->setColumnStretch(1, 1);

    auto* copiesGrid = new QGridLayout(GroupBox2);
    copiesGrid->addWidget(labelCopias, 0, 0);
    copiesGrid->addWidget(UpDown1, 0, 1);
    copiesGrid->addWidget(Imagem3, 1, 0, 2, 1, Qt::AlignCenter);
    copiesGrid->addWidget(chkAgrupar, 1, 1);
    copiesGrid->addWidget(chkInverter, 2, 1);
    copiesGrid->setRowStretch(3, 1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(GroupBox1, 3);
    groups->addWidget(GroupBox2, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkPreview);
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(CANCELAR);

    auto* main = new QVBoxLayout(this);
    main->addLayout(title);
    main->addWidget(rule);
    main->addLayout(printerGrid);
    main->addLayout(groups);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // ---- The component's settings and job options.
    IMPRESSORAS->addItems(m_printers.names ? m_printers.names() : QStringList());
    selecionarImpressora(m_printers.current ? m_printers.current().deviceName : QString());

    MODELOS->addItems(nomesDosModelos(m_gravana));
    MODELOS->setCurrentIndex(int(m_gravana.Impressora));

    const ReportState& state = m_gravana.state();
    chkPreview->setChecked(m_gravana.OpcoesPreview.Preview);
    chkPreview->setEnabled(!state.previewAtivo);
    setWindowTitle(m_gravana.CaptionSetup);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, m_gravana.CorForm);
    colours.setColor(QPalette::WindowText, m_gravana.CorFonte);
    setPalette(colours);

    const JobOptions& job = state.job;
    UpDown1->setValue(std::clamp(job.copias, kMinCopias, kMaxCopias));
    // The range shows as it was set; from here on every change of the text is cleaned.
    EdPaginas->setText(QString::fromLatin1(job.faixa));
    EdPaginas->setValidator(new PageRangeValidator(EdPaginas));
    chkAgrupar->setChecked(job.agrupar);
    chkInverter->setChecked(job.inverter);
    EdParImpar->setCurrentIndex(job.parImpar >= 0 && job.parImpar <= 2 ? job.parImpar : 0);

    // ---- Behaviour.
    connect(chkTodas, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            EdPaginas->setEnabled(false);
        }
    });
    connect(chkAtual, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            EdPaginas->setEnabled(false);
        }
    });
    connect(chkSelecao, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            EdPaginas->setEnabled(true);
            EdPaginas->setFocus();
        }
    });
    // An empty range is all pages; a range already set shows with no choice made.
    if (job.faixa.isEmpty()) {
        chkTodas->setChecked(true);
    }

    connect(IMPRESSORAS, &QComboBox::currentIndexChanged, this, [this] { EscolherModelo(); });
    IMPRESSORAS->installEventFilter(this);
    connect(chkAgrupar, &QCheckBox::toggled, Imagem3, qOverload<>(&QWidget::update));
    connect(chkInverter, &QCheckBox::toggled, Imagem3, qOverload<>(&QWidget::update));
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(OK, &QPushButton::clicked, this, [this] { OKClick(); });
    connect(CANCELAR, &QPushButton::clicked, this, [this] { CANCELARClick(); });
}

TDFMsetup::~TDFMsetup() = default;

void TDFMsetup::selecionarImpressora(const QString& name) {
    const int index = IMPRESSORAS->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0) {
        IMPRESSORAS->setCurrentIndex(index);
    } else if (IMPRESSORAS->currentIndex() < 0 && IMPRESSORAS->count() > 0) {
        IMPRESSORAS->setCurrentIndex(0);
    }
}

void TDFMsetup::EscolherModelo() {
    const TModelo model =
        modelForPrinterName(IMPRESSORAS->currentText().toUpper(), m_gravana.Mapeamento);
    MODELOS->setCurrentIndex(int(model));
}

void TDFMsetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EscolherModelo();
}

bool TDFMsetup::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the printer list for another control chooses the model anew. Opening its own
    // drop-down, switching to another window (the printer properties) and the dialog closing
    // are not leaving it: the model the user has chosen by hand stays.
    if (watched == IMPRESSORAS && event->type() == QEvent::FocusOut && !m_podeFechar) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason) {
            EscolherModelo();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TDFMsetup::BitBtn1Click() {
    if (!m_printers.properties) {
        return;
    }
    const QString chosen = m_printers.properties(this, IMPRESSORAS->currentText());
    selecionarImpressora(chosen);
    EscolherModelo();
}

void TDFMsetup::OKClick() {
    if (chkTodas->isChecked()) {
        EdPaginas->clear();
    }
    if (chkSelecao->isChecked()) {
        // The job reads the range later; one that is none ("5-2") or leaves no page of the
        // report is refused here, while the user can still mend it.
        const int parity = EdParImpar->currentIndex();
        QString problem;
        if (!PageSelection::select(EdPaginas->text(), m_gravana.TotalPaginas(),
                                   parity == 1   ? PageSelection::Parity::Odd
                                   : parity == 2 ? PageSelection::Parity::Even
                                                 : PageSelection::Parity::All,
                                   false, &problem)) {
            m_gravana.ui().message(MessageKind::Warning, problem);
            EdPaginas->setFocus();
            EdPaginas->selectAll();
            return;
        }
    }
    if (m_printers.makeCurrent) {
        m_printers.makeCurrent(IMPRESSORAS->currentText());
    }
    m_podeFechar = true;
    accept();
}

void TDFMsetup::CANCELARClick() {
    m_podeFechar = true;
    QDialog::reject();
}

void TDFMsetup::reject() {
    // Escape (and everything else that rejects a dialog) presses "&Cancelar".
    CANCELAR->click();
}

void TDFMsetup::closeEvent(QCloseEvent* event) {
    // Only the two buttons close the dialog.
    if (m_podeFechar) {
        event->accept();
    } else {
        event->ignore();
    }
}

void TDFMsetup::applyChoices() {
    TGravana& g = m_gravana;
    ReportState& state = g.state();
    if (m_printers.current) {
        g.PortaComunicacao = m_printers.current().port;
    }
    if (MODELOS->currentIndex() >= 0) {
        g.Impressora = TModelo(MODELOS->currentIndex());
    }
    JobOptions& job = state.job;
    if (chkTodas->isChecked()) {
        job.faixa.clear();
    } else if (chkAtual->isChecked()) {
        job.faixa = QByteArray::number(state.paginaAtual);
    } else {
        job.faixa = EdPaginas->text().toLatin1();
    }
    job.parImpar = std::max(0, EdParImpar->currentIndex());
    job.agrupar = chkAgrupar->isChecked();
    job.inverter = chkInverter->isChecked();
    g.OpcoesPreview.Preview = chkPreview->isChecked();
    // An empty field or a zero is one copy.
    job.copias = std::max(kMinCopias, edCOPIAS->text().toInt());
}

bool runSetupDialog(TGravana& gravana, QWidget* parent, const PrinterSource& printers,
                    const SetupDialogRunner& run) {
    TDFMsetup dialog(gravana, printers, parent);
    if (!run || run(dialog) != QDialog::Accepted) {
        return false;
    }
    // Let the dialog disappear from the screen before the job starts.
    QCoreApplication::processEvents();
    dialog.applyChoices();
    return true;
}

} // namespace zr::textreport::ui
