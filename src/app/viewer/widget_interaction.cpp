#include "widget_interaction.h"

#include "textreport/ui/window_progress.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>

#include <algorithm>

namespace zr::app {

QString WidgetInteraction::boxText(const QString& text) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

QString WidgetInteraction::boxCaption(const QString& caption) {
    return caption.isEmpty() ? QCoreApplication::applicationName() : caption;
}

QWidget* WidgetInteraction::boxParent() {
    // While a job runs the other windows are disabled, and a box that is the child of a disabled
    // window cannot be answered: such a box goes without a parent.
    QWidget* active = QApplication::activeWindow();
    return active && active->isVisible() && active->isEnabled() ? active : nullptr;
}

namespace {

// A short message would make a box narrower than its title, which the window manager then cuts
// to "Ze… dor": the box is kept wide enough for the whole title and the title bar's buttons.
void fitTitle(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid) {
        return;
    }
    QFont title = box.font();
    title.setBold(true);
    const int width = std::min(640, QFontMetrics(title).horizontalAdvance(box.windowTitle()) + 160);
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

void WidgetInteraction::message(MessageKind kind, const QString& text, const QString& caption) {
    QMessageBox::Icon icon = QMessageBox::Information;
    if (kind == MessageKind::Warning) {
        icon = QMessageBox::Warning;
    } else if (kind == MessageKind::Error) {
        icon = QMessageBox::Critical;
    }
    QMessageBox box(icon, boxCaption(caption), boxText(text), QMessageBox::Ok, boxParent());
    // Report texts may hold '<' and '&'; they are never markup.
    box.setTextFormat(Qt::PlainText);
    fitTitle(box);
    box.exec();
}

bool WidgetInteraction::confirm(const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Information, boxCaption(caption), boxText(text),
                    QMessageBox::Yes | QMessageBox::No, boxParent());
    box.setTextFormat(Qt::PlainText);
    // The program speaks Portuguese whatever translations the system has.
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sim"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Não"));
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    fitTitle(box);
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<Progress> WidgetInteraction::beginProgress(const ProgressInfo& info) {
    return std::make_unique<textreport::ui::WindowProgress>(
        info, [this](const QString& question) { return confirm(question, {}); });
}

} // namespace zr::app
