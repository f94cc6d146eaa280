// A path from a file dialog, in the form the Qt-free cores take. Unicode names survive on
// every platform: wide on Windows, the file system's own encoding elsewhere.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <filesystem>
#include <string>

namespace kavo3::ui {

inline std::filesystem::path toFilesystemPath(const QString& path) {
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    const QByteArray encoded = QFile::encodeName(path);
    return std::filesystem::path(std::string(encoded.constData(), encoded.size()));
#endif
}

}  // namespace kavo3::ui
