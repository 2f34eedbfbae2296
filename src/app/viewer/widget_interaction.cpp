#include "widget_interaction.h"

#include "textreport/ui/window_progress.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

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
    return box.exec() == QMessageBox::Yes;
}

std::unique_ptr<Progress> WidgetInteraction::beginProgress(const ProgressInfo& info) {
    return std::make_unique<textreport::ui::WindowProgress>(
        info, [this](const QString& question) { return confirm(question, {}); });
}

} // namespace zr::app
