#pragma once

namespace zr {

// The process-wide request to cancel the running long job. A progress display (the cancel
// button) sets it; jobs clear it when they start and poll it between items or pages. Safe to
// set from a signal handler or another thread.
//
// An interruption (Ctrl+C or SIGTERM in the converter) is a stronger request: it sets the
// cancel flag for good (clear() no longer resets it) and means that nothing may change on
// disk any more, so AtomicFile refuses to commit from then on and every existing file stays as
// it was. The viewer's cancel button never interrupts: there a cancelled save keeps the pages
// done so far.
class CancelRequest {
public:
    static void set() noexcept;
    static void clear() noexcept;
    static bool isSet() noexcept;

    static void interrupt() noexcept;
    static bool interrupted() noexcept;
};

} // namespace zr
