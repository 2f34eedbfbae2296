#pragma once

#include "interaction.h"

#include <cstdio>

namespace zr {

// Interaction for programs without windows: messages go to a stream (stderr by default), with
// each carriage return of a message written as a line break; progress is a bar redrawn on the
// same line, and only when the stream is a terminal; questions are asked on the terminal when
// standard input is one, and answered No otherwise.
class ConsoleInteraction final : public Interaction {
public:
    explicit ConsoleInteraction(std::FILE* out = stderr);

    void message(MessageKind kind, const QString& text, const QString& caption = {}) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override;

    // Number of messages of each kind written so far.
    int warnings() const { return m_warnings; }
    int errors() const { return m_errors; }

    // Turns the terminal bar off (or on, when the stream is a terminal).
    void setShowProgress(bool show);

    // A message text as a terminal shows it: carriage returns become line breaks.
    static QString terminalText(const QString& text);

private:
    std::FILE* m_out;
    bool m_terminal;
    int m_warnings = 0;
    int m_errors = 0;
};

} // namespace zr
