// The download as the main window starts it, against the simulated unit.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QWidget>

#include "TestFiles.h"
#include "download/FileSum.h"
#include "download/RomDownloader.h"
#include "download/StatusTexts.h"
#include "sim/SimTransport.h"

namespace kavo3::download {
namespace {

using namespace std::chrono_literals;

TEST(RomDownloaderSim, MainWindowDownloadLandsAtE8000AndVerifies) {
    testing::TempFolder folder;
    const auto bytes = testing::patternBytes(70001);
    const auto file = folder.write("rom.bin", bytes);

    sim::SimTransport transport;
    link::DeviceLink link(transport, 20ms);
    app::SettleClock clock;
    app::Session session{link, clock, {}, [] {}};
    ASSERT_TRUE(link.OpenDevice());
    QWidget mainWindow;
    auto* Text1 = new QLineEdit(&mainWindow);
    mainWindow.show();

    RomDownloader downloader(
        session, [&](const QString& text) { Text1->setText(text); }, &mainWindow);
    downloader.chooseFile = [&](QWidget*, const QString&, const QString&) {
        return QString::fromStdString(file.string());
    };
    downloader.StartAddress = 0x0E8000;
    downloader.download();

    const std::uint16_t sum = addToSum(0, bytes);
    EXPECT_EQ(Text1->text().toStdString(), verdictText(sum, sum));
    const auto& flash = transport.unit().flash();
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), flash.begin() + 0x0E8000));
    EXPECT_EQ(flash[0x0E8000 + 70001], 0xFF);
}

}  // namespace
}  // namespace kavo3::download
