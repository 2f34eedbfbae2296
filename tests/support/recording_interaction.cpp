#include "recording_interaction.h"

#include "platform/interaction/cancel_request.h"

namespace zr::test {

namespace {

class RecordingProgress final : public Progress {
public:
    RecordingProgress(RecordingInteraction& owner, std::size_t index, qint64 cancelAfter)
        : m_owner(owner), m_index(index), m_cancelAfter(cancelAfter) {}
    ~RecordingProgress() override { record().finished = true; }
    void setMaximum(qint64 maximum) override { record().maximum = maximum; }
    void setValue(qint64 value) override { record().value = value; }
    void step() override {
        auto& r = record();
        ++r.value;
        ++r.steps;
        if (m_cancelAfter >= 0 && r.steps >= m_cancelAfter) {
            CancelRequest::set();
        }
    }

private:
    RecordingInteraction::ProgressRecord& record() { return m_owner.progresses[m_index]; }
    RecordingInteraction& m_owner;
    std::size_t m_index;
    qint64 m_cancelAfter;
};

} // namespace

void RecordingInteraction::message(MessageKind kind, const QString& text, const QString& caption) {
    messages.push_back({kind, text, caption});
}

bool RecordingInteraction::confirm(const QString& text, const QString& caption) {
    questions.push_back(text);
    questionCaptions.push_back(caption);
    if (answers.empty()) {
        return true;
    }
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

std::unique_ptr<Progress> RecordingInteraction::beginProgress(const ProgressInfo& info) {
    ProgressRecord r;
    r.info = info;
    r.maximum = info.maximum;
    progresses.push_back(r);
    const qint64 cancelAfter = cancelAfterSteps;
    cancelAfterSteps = -1;
    return std::make_unique<RecordingProgress>(*this, progresses.size() - 1, cancelAfter);
}

std::vector<QString> RecordingInteraction::texts() const {
    std::vector<QString> out;
    for (const auto& m : messages) {
        out.push_back(m.text);
    }
    return out;
}

void RecordingInteraction::clear() {
    messages.clear();
    questions.clear();
    questionCaptions.clear();
    answers.clear();
    progresses.clear();
}

} // namespace zr::test
