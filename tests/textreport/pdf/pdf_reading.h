#pragma once

// What the PDF tests need to look inside a written file: the cross-reference offsets, one
// object's text, a page's (inflated) operators, and the verdicts of real readers (qpdf,
// pdftotext, pdftoppm) run as programs.

#include "pdf_info.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace zr::test::pdf {

// The offsets listed by the cross-reference section, entry 0 (the free entry) first; empty when
// the file has no well-formed section at "startxref".
std::vector<qint64> xrefOffsets(const QByteArray& file);

// Object n's text from "n 0 obj" through "endobj" (found through the cross-reference section),
// empty when missing.
QByteArray object(const QByteArray& file, int n);

// The data of a stream object, inflated when its dictionary names /FlateDecode.
QByteArray streamData(const QByteArray& file, int n);

// The object that `key` refers to ("/Key n 0 R") in `text`, 0 when none.
int reference(const QByteArray& text, const QByteArray& key);

// The page object of page k (from 1), found through the trailer's /Root and the catalog's
// /Pages (one level of /Kids, as our writers make it); 0 when missing.
int pageObject(const QByteArray& file, int k);

// The /Count of the catalog's pages tree.
int pageCount(const QByteArray& file);

// The operators of page k (from 1): its /Contents stream, inflated.
inline QByteArray pageOperators(const QByteArray& file, int k) {
    return streamData(file, reference(object(file, pageObject(file, k)), "/Contents"));
}

// How many times `needle` occurs in `hay`.
int occurrences(const QByteArray& hay, const QByteArray& needle);

// The outcome of running a reader, without a time limit.
using ToolRun = ProgramRun;
inline ToolRun runTool(const QString& program, const QStringList& arguments) {
    return runProgram(program, arguments, -1);
}

// Returns an empty string when `path` passes `qpdf --check` with exit status 0 and no warning,
// otherwise the reason. Sets `skipped` when qpdf is not installed.
QString qpdfProblems(const QString& path, bool& skipped);

// pdftotext -layout of the whole file, as UTF-8 (empty and `skipped` set when not installed).
QByteArray textOf(const QString& path, bool& skipped);

// Renders page 1 with pdftoppm at a low resolution; empty when it succeeded with nothing on
// stderr, otherwise the reason.
QString renderProblems(const QString& path, bool& skipped);

// Adds a test failure unless qpdf accepts the file without warnings and pdftoppm renders its
// first page silently (each check is left out when its program is not installed).
void expectReadersAccept(const QString& path);

} // namespace zr::test::pdf
