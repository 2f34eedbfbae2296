#pragma once

#include "reportlib/document/qdx_report.h"

namespace zr::reportlib {

// Gives a report an Interaction for the guard's life, and gives back the one it had, also when
// the work in between throws: callers never set and reset TqdxReport::UserInteraction by hand.
class ScopedUserInteraction {
public:
    ScopedUserInteraction(TqdxReport& report, Interaction& ui)
        : m_report(report), m_previous(report.UserInteraction) {
        report.UserInteraction = &ui;
    }
    ~ScopedUserInteraction() { m_report.UserInteraction = m_previous; }
    ScopedUserInteraction(const ScopedUserInteraction&) = delete;
    ScopedUserInteraction& operator=(const ScopedUserInteraction&) = delete;

private:
    TqdxReport& m_report;
    Interaction* m_previous;
};

} // namespace zr::reportlib
