// Where the file dialogs start: the user's documents folder.
#pragma once

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

namespace kavo3::ui {

// A documents folder that does not exist (common on Linux, where nothing creates it) would
// land in the dialog's name field as a file name; the home folder is the sound start then.
inline QString documentsFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir()) return documents;
    return QDir::homePath();
}

}  // namespace kavo3::ui
