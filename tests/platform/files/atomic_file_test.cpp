#include "platform/files/atomic_file.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

using zr::AtomicFile;
using zr::test::TempDir;

namespace {
QStringList filesIn(const TempDir& dir) {
    return QDir(dir.root()).entryList(QDir::Files | QDir::Hidden);
}
} // namespace

TEST(AtomicFile, ReplacesTheTargetOnlyOnCommitAndKeepsItsPermissions) {
    TempDir dir;
    const QString target = dir.write("r.txt", "old");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
    AtomicFile f(target);
    ASSERT_TRUE(f.open());
    ASSERT_TRUE(f.write("new "));
    ASSERT_TRUE(f.write(QByteArray(600 * 1024, 'x'))); // larger than the buffer
    EXPECT_EQ(TempDir::read(target), "old");           // untouched until commit
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(TempDir::read(target).size(), 4 + 600 * 1024);
    EXPECT_EQ(QFileInfo(target).permissions(),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(filesIn(dir), QStringList{"r.txt"});
}

TEST(AtomicFile, WritesToAHiddenFileBesideTheTarget) {
    TempDir dir;
    AtomicFile f(dir.path("relatorio.gvp"));
    ASSERT_TRUE(f.open());
    // What a save killed outright would leave: hidden, in the same folder, named after it.
    const QStringList during = filesIn(dir);
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(during[0].startsWith(".relatorio.gvp.zrtmp-")) << during[0].toStdString();
    EXPECT_TRUE(QDir(dir.root()).entryList(QDir::Files).isEmpty());
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(filesIn(dir), QStringList{"relatorio.gvp"});
}

TEST(AtomicFile, DiscardingOrDestroyingLeavesNoTraceAndTheOldFile) {
    TempDir dir;
    const QString target = dir.write("r.txt", "old");
    {
        AtomicFile f(target);
        ASSERT_TRUE(f.open());
        f.write("partial");
    }
    AtomicFile g(target);
    ASSERT_TRUE(g.open());
    g.write("partial");
    g.discard();
    EXPECT_FALSE(g.commit());
    EXPECT_EQ(TempDir::read(target), "old");
    EXPECT_EQ(filesIn(dir), QStringList{"r.txt"});
}

TEST(AtomicFile, WritesThroughASymbolicLink) {
    TempDir dir;
    const QString real = dir.write("real.txt", "old");
    const QString link = dir.path("link.txt");
    ASSERT_TRUE(QFile::link(real, link));
    AtomicFile f(link);
    ASSERT_TRUE(f.open());
    f.write("new");
    ASSERT_TRUE(f.commit());
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(TempDir::read(real), "new");
}

TEST(AtomicFile, RefusesTargetsThatCannotBeWritten) {
    TempDir dir;
    AtomicFile missing(dir.path("no/such/dir/r.txt"));
    EXPECT_FALSE(missing.open());
    EXPECT_EQ(missing.error(), ENOENT);
    EXPECT_FALSE(missing.errorString().isEmpty());

    AtomicFile folder(dir.root());
    EXPECT_FALSE(folder.open());
    EXPECT_EQ(folder.error(), EISDIR);

    if (geteuid() != 0) { // root may write anything
        const QString ro = dir.write("ro.txt", "keep");
        QFile::setPermissions(ro, QFile::ReadOwner);
        AtomicFile readOnly(ro);
        EXPECT_FALSE(readOnly.open());
        EXPECT_EQ(TempDir::read(ro), "keep");
    }
}

TEST(AtomicFile, WritesDevicesAndPipesInPlaceInsteadOfReplacingThem) {
    // Renaming over /dev/null would replace the device itself: it is written as a stream.
    EXPECT_EQ(AtomicFile::writableError(QStringLiteral("/dev/null")), 0);
    AtomicFile f(QStringLiteral("/dev/null"));
    ASSERT_TRUE(f.open());
    EXPECT_TRUE(f.direct());
    EXPECT_TRUE(f.write("bytes"));
    EXPECT_TRUE(f.commit());
    EXPECT_TRUE(QFileInfo(QStringLiteral("/dev/null")).exists());
    EXPECT_FALSE(QFileInfo(QStringLiteral("/dev/null")).isFile());
    // A device that takes no bytes fails at the write or the commit, with its reason.
    AtomicFile full(QStringLiteral("/dev/full"));
    ASSERT_TRUE(full.open());
    EXPECT_FALSE(full.write(QByteArray(300 * 1024, 'x')) && full.commit());
    EXPECT_EQ(full.error(), ENOSPC);
}
