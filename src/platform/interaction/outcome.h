#pragma once

// What a write or a print came to, returned by the operation itself so that no caller has to
// count the messages shown or ask a file class for the last error of the process.
//
// The engines still show their own failure messages through their Interaction; the outcome
// tells the caller whether the work was done and, when a call of the system failed, its error
// number, so that a door with its own way of saying things (the converter's one-line messages)
// can give the system's reason.

namespace zr {

struct Outcome {
    enum class Status {
        Done,      // the work was done (warnings may have been shown)
        Failed,    // the work was not done; what was there before is intact
        Cancelled, // the user stopped the work
    };
    Status status = Status::Done;
    int systemError = 0; // errno of the system call that failed, 0 when none did

    bool done() const { return status == Status::Done; }
    bool cancelled() const { return status == Status::Cancelled; }

    static Outcome success() { return {}; }
    static Outcome failure(int systemError = 0) { return {Status::Failed, systemError}; }
    static Outcome cancellation() { return {Status::Cancelled, 0}; }
};

} // namespace zr
