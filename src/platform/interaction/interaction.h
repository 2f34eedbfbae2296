#pragma once

#include <QColor>
#include <QString>
#include <QtGlobal>

#include <memory>

namespace zr {

enum class MessageKind { Information, Warning, Error };

// What a long job shows while it runs: a caption ("Lendo...", "Gravando..."), a label (the
// file name or the report title) and the number of steps it expects.
struct ProgressInfo {
    QString caption;
    QString label;
    qint64 maximum = 0;
    // The colours a graphical front end gives its window (background and text). Invalid colours
    // leave the front end's own.
    QColor windowColor{};
    QColor textColor{};
};

// One running long job as the user sees it. Destroying the object closes its window or bar.
// step() advances by one and lets a graphical front end process pending events; implementations
// keep it cheap (a job may call it a million times). cancelled() tells whether the user asked to
// stop; it reads the process-wide cancel request (CancelRequest), which jobs clear when they start.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void setMaximum(qint64 maximum) = 0;
    virtual void setValue(qint64 value) = 0;
    virtual void step() = 0;
    virtual bool cancelled() const;
};

// The user-interface services an engine may use. Engines take an Interaction& and never show
// windows themselves, so one engine serves the viewer (dialogs), the converter (terminal) and the
// tests (a recorder). Message texts are passed exactly as the system words them; a carriage
// return in a text stands for a line break.
class Interaction {
public:
    virtual ~Interaction() = default;
    virtual void message(MessageKind kind, const QString& text, const QString& caption = {}) = 0;
    // A Yes/No question; true means Yes.
    virtual bool confirm(const QString& text, const QString& caption) = 0;
    virtual std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) = 0;
};

// An Interaction that passes everything on to another one; filters derive from it and override
// what they change.
class ForwardingInteraction : public Interaction {
public:
    explicit ForwardingInteraction(Interaction& inner) : m_inner(inner) {}
    void message(MessageKind kind, const QString& text, const QString& caption = {}) override {
        m_inner.message(kind, text, caption);
    }
    bool confirm(const QString& text, const QString& caption) override {
        return m_inner.confirm(text, caption);
    }
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override {
        return m_inner.beginProgress(info);
    }

private:
    Interaction& m_inner;
};

// A Progress that shows nothing; used where a job runs with its progress display turned off.
class SilentProgress final : public Progress {
public:
    void setMaximum(qint64) override {}
    void setValue(qint64) override {}
    void step() override {}
};

} // namespace zr
