#include "temporary_files.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace zr {

namespace {

enum : int { Free = 0, Claimed = 1, Ready = 2 };

struct Slot {
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};

Slot g_slots[TemporaryFiles::kSlots];
static_assert(std::atomic<int>::is_always_lock_free);

} // namespace

int TemporaryFiles::track(const QByteArray& path) noexcept {
    if (path.isEmpty() || path.size() >= PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (g_slots[i].state.compare_exchange_strong(expected, Claimed)) {
            std::memcpy(g_slots[i].path, path.constData(), size_t(path.size()) + 1);
            g_slots[i].state.store(Ready, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void TemporaryFiles::untrack(int slot) noexcept {
    if (slot >= 0 && slot < kSlots) {
        g_slots[slot].state.store(Free, std::memory_order_release);
    }
}

void TemporaryFiles::removeAll() noexcept {
    // Files first, then the folders they emptied.
    for (const bool folders : {false, true}) {
        for (Slot& slot : g_slots) {
            if (slot.state.load(std::memory_order_acquire) == Ready) {
                (void)(folders ? ::rmdir(slot.path) : ::unlink(slot.path));
            }
        }
    }
}

} // namespace zr
