#include "timing/TimingFileStore.h"

#include <QByteArray>
#include <QFile>
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

bool writeTimingFile(const QString& path, const TimingImage& image) {
    const auto bytes = timingFileBytes(image);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(reinterpret_cast<const char*>(bytes.data()), size) != size) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace kavo3::timing
