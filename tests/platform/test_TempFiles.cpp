#include "platform/TempFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace {

TEST(TempFiles, DownloadNamesStayInsideTheDirectory)
{
    const std::pair<QString, QString> table[] = {
        {"http://host/dir/sub.srt?x=1", "sub.srt"},
        {"http://host/sub.srt?x=1?y=2", "sub.srt"},
        {"http://host/get?file=a/b.srt", "b.srt"},
        {"http://host/a.b.ass", "a.b.ass"},
        {"http://host", "host"},
        {"http://host/", "download"},
        {"http://host/?x=1", "download"},
        {"http://host/..", "download"},
        {"http://host/..?x=1", "download"},
        {"http://host/.", "download"},
        {"http://host/a\\..\\..\\b", "download"},
        {QStringLiteral("http://host/a") + QChar(0) + "b", "download"},
        {"http://host/...", "..."},
    };
    for (const auto& [address, name] : table)
        EXPECT_EQ(DownloadFileName(address), name) << address.toStdString();
}

TEST(TempFiles, PrivateDirectoryBelongsToThisProcessOnly)
{
    const QString dir = PrivateTempDirectory();
    ASSERT_FALSE(dir.isEmpty());
    EXPECT_EQ(PrivateTempDirectory(), dir);
    EXPECT_NE(QDir(dir).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    EXPECT_FALSE(QFileInfo(dir).permissions() & others);
}

TEST(TempFiles, SameNameTwiceGetsTwoFiles)
{
    const QString dir = QDir(PrivateTempDirectory()).canonicalPath();
    QFile first, second, third, unsafe;
    ASSERT_TRUE(CreatePrivateTempFile("twice.srt", first));
    ASSERT_TRUE(CreatePrivateTempFile("twice.srt", second));
    ASSERT_TRUE(CreatePrivateTempFile("twice", third));
    ASSERT_TRUE(CreatePrivateTempFile("twice", unsafe));
    EXPECT_EQ(QFileInfo(first.fileName()).fileName(), "twice.srt");
    EXPECT_EQ(QFileInfo(second.fileName()).fileName(), "twice-2.srt");
    EXPECT_EQ(QFileInfo(unsafe.fileName()).fileName(), "twice-2");
    EXPECT_TRUE(first.isWritable() && second.isWritable());
    first.write("one");
    second.write("two");
    first.close();
    second.close();
    QFile reread(first.fileName());
    ASSERT_TRUE(reread.open(QIODevice::ReadOnly));
    EXPECT_EQ(reread.readAll(), "one");

    for (const QString name : {"..", "", "../escape", "/etc/passwd"}) {
        QFile file;
        ASSERT_TRUE(CreatePrivateTempFile(name, file)) << name.toStdString();
        EXPECT_EQ(QFileInfo(file.fileName()).canonicalPath(), dir) << name.toStdString();
        EXPECT_TRUE(QFileInfo(file.fileName()).fileName().startsWith("download"));
        file.remove();
    }
    for (QFile* file : {&first, &second, &third, &unsafe})
        file->remove();
}

}  // namespace
