#include "app/QtTranslations.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTranslator>

namespace kavo3::app {
namespace {

// The standard dialogs speak Japanese on every platform: on Windows the texts travel inside
// the program, so a build that lost them would show English buttons.
TEST(QtTranslations, StandardButtonsAreJapanese) {
    QTranslator translator;
    ASSERT_TRUE(installQtTranslations(*qApp, translator));
    QDialogButtonBox box(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
    EXPECT_EQ(box.button(QDialogButtonBox::Save)->text(), QString::fromUtf8("保存"));
    QCoreApplication::removeTranslator(&translator);
}

}  // namespace
}  // namespace kavo3::app
