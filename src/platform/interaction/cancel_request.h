#pragma once

namespace zr {

// The process-wide request to cancel the running long job. A progress display (the cancel
// button, Ctrl+C in the converter) sets it; jobs clear it when they start and poll it between
// items or pages. Safe to set from a signal handler or another thread.
class CancelRequest {
public:
    static void set() noexcept;
    static void clear() noexcept;
    static bool isSet() noexcept;
};

} // namespace zr
