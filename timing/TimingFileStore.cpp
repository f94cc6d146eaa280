#include "timing/TimingFileStore.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <span>

namespace kavo3::timing {

TimingFileData readTimingFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {TimingFileError::CannotOpen, {}};
    // Only the first 256 bytes matter, however long the file is.
    const QByteArray bytes = file.read(static_cast<qint64>(kTimingFileLoadSize));
    if (file.error() != QFileDevice::NoError) return {TimingFileError::CannotOpen, {}};
    return parseTimingFile(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                     static_cast<std::size_t>(bytes.size())));
}

namespace {

// The new file is written beside the old one and replaces it only when complete.
bool replaceWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool writeInPlace(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) return false;
    if (file.write(bytes) != bytes.size()) return false;
    // The same length as a replaced file, however long the old one was.
    return file.resize(bytes.size()) && file.flush();
}

}  // namespace

bool writeTimingFile(const QString& path, const TimingImage& image) {
    const auto fileBytes = timingFileBytes(image);
    const QByteArray bytes(reinterpret_cast<const char*>(fileBytes.data()),
                           static_cast<qsizetype>(fileBytes.size()));
    if (replaceWhole(path, bytes)) return true;
    // A folder that takes no new file cannot hold the replacement, but a file in it may still
    // be written over. Anywhere else a failed replacement leaves the old file as it was.
    const QFileInfo file(path);
    if (!file.isFile() || !file.isWritable() || QFileInfo(file.absolutePath()).isWritable())
        return false;
    return writeInPlace(path, bytes);
}

}  // namespace kavo3::timing
