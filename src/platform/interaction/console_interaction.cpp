#include "console_interaction.h"

#include <QElapsedTimer>

#include <cstdio>
#include <unistd.h>

namespace zr {

namespace {

class TerminalProgress final : public Progress {
public:
    TerminalProgress(std::FILE* out, const ProgressInfo& info)
        : m_out(out), m_caption(info.caption), m_label(info.label), m_maximum(info.maximum) {
        m_timer.start();
        draw();
    }
    ~TerminalProgress() override {
        // Erase the bar so that later messages start on a clean line.
        std::fputs("\r\033[K", m_out);
        std::fflush(m_out);
    }
    void setMaximum(qint64 maximum) override {
        m_maximum = maximum;
        maybeDraw();
    }
    void setValue(qint64 value) override {
        m_value = value;
        maybeDraw();
    }
    void step() override {
        ++m_value;
        // Looking at the clock costs more than counting: do it every 256 steps only.
        if ((m_value & 0xff) == 0) {
            maybeDraw();
        }
    }

private:
    void maybeDraw() {
        if (m_timer.elapsed() >= 100) {
            draw();
            m_timer.restart();
        }
    }
    void draw() {
        constexpr int width = 30;
        const qint64 max = m_maximum > 0 ? m_maximum : 0;
        const qint64 value = qBound<qint64>(0, m_value, max);
        const int filled = max > 0 ? int(value * width / max) : 0;
        const int percent = max > 0 ? int(value * 100 / max) : 0;
        QByteArray bar(filled, '#');
        bar.append(QByteArray(width - filled, ' '));
        std::fprintf(m_out, "\r\033[K%s [%s] %3d%% %s", m_caption.toLocal8Bit().constData(),
                     bar.constData(), percent, m_label.toLocal8Bit().constData());
        std::fflush(m_out);
    }

    std::FILE* m_out;
    QString m_caption;
    QString m_label;
    qint64 m_maximum = 0;
    qint64 m_value = 0;
    QElapsedTimer m_timer;
};

} // namespace

ConsoleInteraction::ConsoleInteraction(std::FILE* out)
    : m_out(out), m_terminal(isatty(fileno(out)) != 0) {}

void ConsoleInteraction::setShowProgress(bool show) { m_terminal = show && isatty(fileno(m_out)); }

QString ConsoleInteraction::terminalText(const QString& text) {
    QString out = text;
    out.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

void ConsoleInteraction::message(MessageKind kind, const QString& text, const QString&) {
    if (kind == MessageKind::Warning) {
        ++m_warnings;
    } else if (kind == MessageKind::Error) {
        ++m_errors;
    }
    std::fprintf(m_out, "%s\n", terminalText(text).toLocal8Bit().constData());
    std::fflush(m_out);
}

bool ConsoleInteraction::confirm(const QString& text, const QString&) {
    if (!isatty(STDIN_FILENO)) {
        return false;
    }
    std::fprintf(m_out, "%s [s/N] ", terminalText(text).toLocal8Bit().constData());
    std::fflush(m_out);
    char answer[16] = {};
    if (!std::fgets(answer, sizeof answer, stdin)) {
        return false;
    }
    return answer[0] == 's' || answer[0] == 'S' || answer[0] == 'y' || answer[0] == 'Y';
}

std::unique_ptr<Progress> ConsoleInteraction::beginProgress(const ProgressInfo& info) {
    if (!m_terminal) {
        return std::make_unique<SilentProgress>();
    }
    return std::make_unique<TerminalProgress>(m_out, info);
}

} // namespace zr
