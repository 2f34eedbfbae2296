#include "pdf_reading.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <zlib.h>

namespace zr::test::pdf {

std::vector<qint64> xrefOffsets(const QByteArray& file) {
    const qsizetype start = file.lastIndexOf("startxref\r\n");
    if (start < 0) {
        return {};
    }
    const qsizetype numberEnd = file.indexOf("\r\n", start + 11);
    bool ok = false;
    const qint64 at = file.mid(start + 11, numberEnd - start - 11).toLongLong(&ok);
    if (!ok || !file.mid(at).startsWith("xref\r\n0 ")) {
        return {};
    }
    const qsizetype countEnd = file.indexOf("\r\n", at + 8);
    const int count = file.mid(at + 8, countEnd - at - 8).toInt(&ok);
    if (!ok || count < 1) {
        return {};
    }
    std::vector<qint64> offsets;
    qsizetype p = countEnd + 2;
    for (int i = 0; i < count; ++i, p += 20) {
        offsets.push_back(file.mid(p, 10).toLongLong(&ok));
        if (!ok) {
            return {};
        }
    }
    return offsets;
}

QByteArray object(const QByteArray& file, int n) {
    const std::vector<qint64> offsets = xrefOffsets(file);
    if (n < 1 || std::size_t(n) >= offsets.size()) {
        return {};
    }
    const qint64 at = offsets[std::size_t(n)];
    const QByteArray head = QByteArray::number(n) + " 0 obj\r\n";
    if (!file.mid(at).startsWith(head)) {
        return {};
    }
    const qsizetype end = file.indexOf("endobj\r\n", at);
    return end < 0 ? QByteArray() : file.mid(at, end + 8 - at);
}

QByteArray streamData(const QByteArray& file, int n) {
    const QByteArray obj = object(file, n);
    const qsizetype begin = obj.indexOf("stream\r\n");
    const qsizetype end = obj.lastIndexOf("endstream\r\n");
    if (begin < 0 || end < begin) {
        return {};
    }
    const QByteArray data = obj.mid(begin + 8, end - begin - 8);
    if (!obj.first(begin).contains("/FlateDecode")) {
        return data;
    }
    QByteArray out;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        return {};
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    z.avail_in = uInt(data.size());
    char chunk[65536];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, qsizetype(sizeof chunk - z.avail_out));
    }
    inflateEnd(&z);
    return status == Z_STREAM_END ? out : QByteArray("<inflate failed>");
}

int reference(const QByteArray& text, const QByteArray& key) {
    const qsizetype at = text.indexOf(key + ' ');
    if (at < 0) {
        return 0;
    }
    const qsizetype from = at + key.size() + 1;
    const qsizetype end = text.indexOf(" 0 R", from);
    bool ok = false;
    const int n = end < 0 ? 0 : text.mid(from, end - from).toInt(&ok);
    return ok ? n : 0;
}

namespace {
QByteArray pagesTree(const QByteArray& file) {
    const QByteArray trailer = file.mid(file.lastIndexOf("trailer\r\n"));
    return object(file, reference(object(file, reference(trailer, "/Root")), "/Pages"));
}
} // namespace

int pageObject(const QByteArray& file, int k) {
    const QByteArray tree = pagesTree(file);
    const qsizetype kids = tree.indexOf("/Kids [");
    const qsizetype end = tree.indexOf(']', kids);
    if (kids < 0 || end < 0 || k < 1) {
        return 0;
    }
    const QList<QByteArray> words = tree.mid(kids + 7, end - kids - 7).simplified().split(' ');
    const qsizetype at = qsizetype(k - 1) * 3; // "n 0 R" per page
    return at + 2 < words.size() ? words[at].toInt() : 0;
}

int pageCount(const QByteArray& file) {
    const QByteArray tree = pagesTree(file);
    const qsizetype at = tree.indexOf("/Count ");
    return at < 0 ? 0 : tree.mid(at + 7, tree.indexOf('\r', at) - at - 7).toInt();
}

int occurrences(const QByteArray& hay, const QByteArray& needle) {
    int n = 0;
    for (qsizetype at = hay.indexOf(needle); at >= 0; at = hay.indexOf(needle, at + 1)) {
        ++n;
    }
    return n;
}

QString qpdfProblems(const QString& path, bool& skipped) {
    const ToolRun r = runTool(QStringLiteral("qpdf"), {QStringLiteral("--check"), path});
    skipped = !r.found;
    if (!r.found) {
        return {};
    }
    if (r.exitCode != 0 || r.out.contains("WARNING") || r.err.contains("WARNING") ||
        !r.err.isEmpty()) {
        return QStringLiteral("qpdf --check exit %1:\n%2%3")
            .arg(r.exitCode)
            .arg(QString::fromUtf8(r.out), QString::fromUtf8(r.err));
    }
    return {};
}

QByteArray textOf(const QString& path, bool& skipped) {
    const ToolRun r =
        runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                              QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    skipped = !r.found;
    return r.exitCode == 0 ? r.out : QByteArray();
}

QString renderProblems(const QString& path, bool& skipped) {
    QTemporaryDir dir;
    const ToolRun r = runTool(QStringLiteral("pdftoppm"),
                              {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-f"),
                               QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                               QStringLiteral("-png"), path, dir.filePath(QStringLiteral("p"))});
    skipped = !r.found;
    if (!r.found) {
        return {};
    }
    if (r.exitCode != 0 || !r.err.isEmpty()) {
        return QStringLiteral("pdftoppm exit %1: %2").arg(r.exitCode).arg(QString::fromUtf8(r.err));
    }
    if (QDir(dir.path()).entryList({QStringLiteral("p*.png")}, QDir::Files).isEmpty()) {
        return QStringLiteral("pdftoppm wrote no image");
    }
    return {};
}

void expectReadersAccept(const QString& path) {
    bool skipped = false;
    const QString check = qpdfProblems(path, skipped);
    EXPECT_TRUE(check.isEmpty()) << check.toStdString();
    const QString render = renderProblems(path, skipped);
    EXPECT_TRUE(render.isEmpty()) << render.toStdString();
}

} // namespace zr::test::pdf
