#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "ui/DocumentsFolder.h"

namespace kavo3::ui {
namespace {

// The dialogs start in the documents folder when there is one, and in the home folder when
// there is none, so that a missing folder never turns into a proposed file name.
TEST(DocumentsFolder, IsTheDocumentsFolderOnlyWhenItExists) {
#ifdef Q_OS_WIN
    GTEST_SKIP() << "Windows takes its folders from the shell, not from HOME, and always has one";
#endif
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toLocal8Bit());

    const QString absent = documentsFolder();
    ASSERT_TRUE(QDir(home.path()).mkdir("Documents"));
    const QString present = documentsFolder();

    qputenv("HOME", oldHome);
    if (oldConfig.isEmpty()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", oldConfig);

    EXPECT_EQ(QDir(absent), QDir(home.path()));
    EXPECT_EQ(QDir(present), QDir(home.filePath("Documents")));
}

}  // namespace
}  // namespace kavo3::ui
