#pragma once

#include <QByteArray>

namespace zr {

// The temporary files and folders the process has open at this moment, so that a signal
// handler can remove them before the process ends at once (a repeated Ctrl+C). AtomicFile
// registers its hidden files here; a program registers its own scratch files and folders.
// Holds up to kSlots paths; beyond that a path is simply not tracked.
class TemporaryFiles {
public:
    static constexpr int kSlots = 16;

    // Remembers `path` (in the file system's encoding); returns the slot, -1 when none is free
    // or the path is too long.
    static int track(const QByteArray& path) noexcept;
    // Forgets the slot (negative slots are ignored).
    static void untrack(int slot) noexcept;
    // Removes every tracked file (unlink) or empty folder (rmdir), files first. Only
    // async-signal-safe calls: safe inside a signal handler.
    static void removeAll() noexcept;
};

} // namespace zr
