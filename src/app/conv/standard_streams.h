#pragma once

// Standard input and output for the converter's commands: the engines read and write files by
// name, so "-" goes through a private folder in the temporary folder.

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

namespace zr {
class Interaction;
}

namespace zr::app {

// A private folder in the temporary folder for standard input and output, removed with what
// it holds when the job ends (and by a repeated interruption, through TemporaryFiles).
class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString errorString() const { return m_dir.errorString(); }
    // The path of a file `name` in the folder, removed with it.
    QString file(const QString& name);

private:
    QTemporaryDir m_dir;
    std::vector<int> m_slots;
};

// Copies standard input into `path`. False (having said why) on a read or write error or an
// interruption.
bool copyStandardInput(const QString& path, Interaction& ui);

// Whether everything written to `out` (standard output) has reached it; says why not.
// `error` is the reason of a write already seen to fail.
bool outputFlushed(std::FILE* out, Interaction& ui, int error = 0);

// Copies the file at `path` to `out` (standard output). False (having said why) on an error.
bool copyToOutput(const QString& path, std::FILE* out, Interaction& ui);

} // namespace zr::app
