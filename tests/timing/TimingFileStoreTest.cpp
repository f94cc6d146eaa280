#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "timing/TimingFileStore.h"

namespace kavo3::timing {
namespace {

TimingImage sampleImage() {
    TimingImage image{};
    for (std::size_t i = 0; i < 256; ++i) image[i] = static_cast<std::uint8_t>(0xFF - i);
    for (std::size_t high : {4, 8, 12, 16, 42, 46, 56, 60, 64, 68}) image[high] = 0x0F;
    return image;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

TEST(TimingFileStore, JapanesePathRoundTrip) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QString::fromUtf8("映像タイミング"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QString::fromUtf8("/kavo3_syc設定.bin");
    const auto image = sampleImage();
    ASSERT_TRUE(writeTimingFile(path, image));
    EXPECT_EQ(QFile(path).size(), 257);

    const auto data = readTimingFile(path);
    ASSERT_EQ(data.error, TimingFileError::None);
    EXPECT_TRUE(std::equal(data.bytes.begin(), data.bytes.end(), image.begin()));
}

TEST(TimingFileStore, SaveOverALongerFileLeavesExactly257Bytes) {
    QTemporaryDir dir;
    const QString path = dir.filePath("long.bin");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4000, 'x'));
    }
    const auto image = sampleImage();
    ASSERT_TRUE(writeTimingFile(path, image));
    const QByteArray bytes = contents(path);
    ASSERT_EQ(bytes.size(), 257);
    EXPECT_TRUE(std::equal(image.begin(), image.end(),
                           reinterpret_cast<const std::uint8_t*>(bytes.constData())));
}

TEST(TimingFileStore, FailedSaveLeavesTheOldFileAsItWas) {
    QTemporaryDir dir;
    // A name at the length limit: the file exists, but nothing can be written beside it.
    const QString path = dir.filePath(QString(255, 'k'));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old contents");
    }
    EXPECT_FALSE(writeTimingFile(path, sampleImage()));
    EXPECT_EQ(contents(path), "old contents");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);

    // A folder that does not exist: nothing is created.
    EXPECT_FALSE(writeTimingFile(dir.filePath("no/such/folder.bin"), sampleImage()));
}

TEST(TimingFileStore, ReadReportsMissingAndShortFiles) {
    QTemporaryDir dir;
    EXPECT_EQ(readTimingFile(dir.filePath("missing.bin")).error, TimingFileError::CannotOpen);
    EXPECT_EQ(readTimingFile(dir.path()).error, TimingFileError::CannotOpen);
    const QString path = dir.filePath("short.bin");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(200, 0));
    }
    EXPECT_EQ(readTimingFile(path).error, TimingFileError::TooShort);
}

}  // namespace
}  // namespace kavo3::timing
