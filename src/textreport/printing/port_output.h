#pragma once

#include "platform/printing/print_output.h"

#include <QString>

#include <memory>

namespace zr::textreport {

// A port or file named by the user (PortaComunicacao), written directly by the job.
//
// A device or pipe (a printer port) is written and flushed byte batch by byte batch. A regular
// file is written through a temporary file beside it that takes the file's place when the job
// finishes, so a job that fails leaves an older file of that name as it was. The classic port
// names are mapped to the system's devices: "LPT1".."LPT9" (and "PRN") to /dev/lp0.., "COM1"..
// "COM9" to /dev/ttyS0.., with or without a trailing colon, in any case.
class PortOutput final : public zr::RawOutput {
public:
    ~PortOutput() override;

    // Opens the port or file. Null on failure, with the system error number in `error`.
    static std::unique_ptr<PortOutput> open(const QString& port, int& error);

    // The path a port name stands for (itself when it names no classic port).
    static QString devicePath(const QString& port);

    bool write(QByteArrayView bytes) override;
    bool finish() override;
    int error() const override { return m_errno; }

private:
    PortOutput() = default;
    struct File;
    std::unique_ptr<File> m_file;
    int m_fd = -1; // a device or pipe
    int m_errno = 0;
};

} // namespace zr::textreport
