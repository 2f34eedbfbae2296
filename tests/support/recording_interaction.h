#pragma once

#include "platform/interaction/interaction.h"

#include <QString>

#include <deque>
#include <functional>
#include <vector>

namespace zr::test {

// An Interaction that records everything an engine shows, so tests can assert message texts
// exactly. Questions are answered from a script (Yes when the script is empty). A progress
// can be made to request cancellation after a given number of steps.
class RecordingInteraction : public Interaction {
public:
    struct Message {
        MessageKind kind;
        QString text;
        QString caption;
    };
    struct ProgressRecord {
        ProgressInfo info;
        qint64 value = 0;
        qint64 maximum = 0;
        qint64 steps = 0;
        bool finished = false;
    };

    void message(MessageKind kind, const QString& text, const QString& caption = {}) override;
    bool confirm(const QString& text, const QString& caption) override;
    std::unique_ptr<Progress> beginProgress(const ProgressInfo& info) override;

    std::vector<Message> messages;
    std::vector<QString> questions;
    std::vector<QString> questionCaptions;
    std::deque<bool> answers;            // answers to the next questions, in order
    std::vector<ProgressRecord> progresses; // one per beginProgress, in order

    // When >= 0, the next progress sets the cancel request once it has stepped this many times.
    qint64 cancelAfterSteps = -1;

    // The texts of all messages, in order.
    std::vector<QString> texts() const;
    void clear();
};

} // namespace zr::test
