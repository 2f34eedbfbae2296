#include "about_window.h"

#include "app_version.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>

namespace zr::app {

const QUrl TfrmSobre::kSite(QStringLiteral("https://www.terravel.com.br"));

namespace {

QLabel* picture(QWidget* parent, const char* name, const QString& resource, const QRect& place) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(QPixmap(resource));
    label->setGeometry(place);
    label->setMouseTracking(true);
    return label;
}

QLabel* caption(QWidget* parent, const char* name, int x, int y) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(8);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setGeometry(x, y, 200, 15);
    return label;
}

} // namespace

TfrmSobre::TfrmSobre(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint),
      openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(QStringLiteral("frmSobre"));
    setFixedSize(484, 304);

    imgSobre = picture(this, "imgSobre", QStringLiteral(":/images/sobre_480x300.png"),
                       QRect(2, 2, 480, 300));
    lbVersaoSistema = caption(this, "lbVersaoSistema", 145, 131);
    lbEdicaoSistema = caption(this, "lbEdicaoSistema", 145, 147);
    const QRect closePlace(444, 5, 31, 24);
    imgFecharOff =
        picture(this, "imgFecharOff", QStringLiteral(":/images/fechar_off.png"), closePlace);
    imgFecharOn =
        picture(this, "imgFecharOn", QStringLiteral(":/images/fechar_on.png"), closePlace);
    imgFecharOn->hide();
    imgSite = picture(this, "imgSite", QStringLiteral(":/images/site_121x15.png"),
                      QRect(336, 78, 121, 15));
    imgSite->setCursor(Qt::PointingHandCursor);
    imgSite->setToolTip(kSite.toString());

    setAccessibleName(QStringLiteral("Sobre"));
    // The pictures that act as buttons are named for screen readers after what they do.
    imgSobre->setAccessibleName(QStringLiteral("Sobre o ZeralVisualizador"));
    imgFecharOff->setAccessibleName(QStringLiteral("Fechar"));
    imgFecharOn->setAccessibleName(QStringLiteral("Fechar"));
    imgSite->setAccessibleName(QStringLiteral("Site %1").arg(kSite.toString()));
    lbVersaoSistema->setAccessibleDescription(QStringLiteral("Versão"));
    lbEdicaoSistema->setAccessibleDescription(QStringLiteral("Edição"));

    for (QLabel* label : {imgSobre, imgFecharOff, imgFecharOn, imgSite}) {
        label->installEventFilter(this);
    }
}

void TfrmSobre::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TfrmSobre::FormShow() {
    lbVersaoSistema->setText(QString::fromLatin1(kVersaoSistema));
    // The build date is the time the executable file was last written.
    const QDateTime built = QFileInfo(QCoreApplication::applicationFilePath()).lastModified();
    lbEdicaoSistema->setText(built.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
}

bool TfrmSobre::eventFilter(QObject* watched, QEvent* event) {
    const bool closeButton = watched == imgFecharOff || watched == imgFecharOn;
    if (event->type() == QEvent::MouseMove) {
        if (watched == imgSobre) {
            imgFecharOn->hide();
        } else if (closeButton) {
            imgFecharOn->show();
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QWidget*>(watched);
        // A click counts only when the button is released over the picture it was pressed on.
        const bool inside = label->rect().contains(mouse->position().toPoint());
        if (mouse->button() == Qt::LeftButton && inside) {
            if (closeButton) {
                close();
                return true;
            }
            if (watched == imgSite) {
                openUrl(kSite);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace zr::app
