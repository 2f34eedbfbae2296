#include "cancel_request.h"

#include "interaction.h"

#include <atomic>

namespace zr {

namespace {
std::atomic<bool> g_cancel{false};
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);
} // namespace

void CancelRequest::set() noexcept { g_cancel.store(true, std::memory_order_relaxed); }
void CancelRequest::clear() noexcept {
    g_cancel.store(g_interrupted.load(std::memory_order_relaxed), std::memory_order_relaxed);
}
bool CancelRequest::isSet() noexcept { return g_cancel.load(std::memory_order_relaxed); }

void CancelRequest::interrupt() noexcept {
    g_interrupted.store(true, std::memory_order_relaxed);
    g_cancel.store(true, std::memory_order_relaxed);
}
bool CancelRequest::interrupted() noexcept {
    return g_interrupted.load(std::memory_order_relaxed);
}

bool Progress::cancelled() const { return CancelRequest::isSet(); }

} // namespace zr
