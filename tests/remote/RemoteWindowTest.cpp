// Form2 driven through its design names: what the user sees, and what each key sends.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>

#include "WindowRig.h"
#include "tests/support/OneReport.h"
#include "remote/KeyArt.h"
#include "remote/RemoteKeys.h"
#include "remote/RemoteWindow.h"
#include "sim/UnitView.h"
#include "ui/Design.h"

using kavo3::remote::KeyState;
using kavo3::remote::RemoteKey;
using kavo3::remote::RemoteWindow;
using kavo3::ui::twipsRect;

namespace {

// The keys and their codes, written out again from the remote's key list.
const std::map<QString, std::optional<int>> kExpectedCodes = {
    {"Command1", 5},   {"Command2", 6},   {"Command3", 7},
    {"Command4", 24},  {"Command5", 75},  {"Command6", 76},
    {"Command7", 77},  {"Command8", 78},  {"Command9", 66},
    {"Command10", 67}, {"Command11", 68}, {"Command12", 69},
    {"Command13", 71}, {"Command14", 73}, {"Command15", 64},
    {"Command16", 72}, {"Command17", 1},  {"Command18", std::nullopt},
    {"Command19", 23}, {"Command20", 81}, {"Command21", 12},
    {"Command22", 3},  {"Command23", 16}, {"Command24", 8},
    {"Command25", 4},  {"Command26", 83}, {"Command27", 82},
    {"Command28", 84}, {"Command29", 28}, {"Command30", 29},
    {"Command31", 79}, {"Command32", 80}, {"Command33", 27},
    {"Command34", 2},  {"Command35", 30}, {"Command36", 22},
};

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

// Where a widget sits in the window's client area.
QRect windowGeometry(const QWidget* w, const QWidget* window) {
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

using Report = std::vector<std::uint8_t>;

// The simulated unit, a link to it with a wire trace, and Form2 over that link.
struct Rig {
    QTemporaryDir dir;
    kavo3::rigs::WindowRig<> wire{{.tracePath = tracePath().toStdString()}};
    kavo3::sim::SimTransport& transport = wire.transport;
    kavo3::link::DeviceLink* const link = &wire.link;
    int& endCalls = wire.ended;
    std::unique_ptr<RemoteWindow> window;

    Rig() {
        link->OpenDevice();
        window = std::make_unique<RemoteWindow>(wire.session);
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }

    QString tracePath() const { return dir.filePath(QStringLiteral("trace.txt")); }

    QAbstractButton* key(const QString& name) const {
        return window->findChild<QAbstractButton*>(name);
    }
    const std::vector<std::uint8_t>& keys() const { return transport.unit().recordedKeys(); }

    // The link's events in order ("OUT", "IN", "NONE") and the output reports as written.
    std::vector<std::string> events() const { return readTrace().first; }
    std::vector<Report> written() const { return readTrace().second; }

  private:
    std::pair<std::vector<std::string>, std::vector<Report>> readTrace() const {
        std::pair<std::vector<std::string>, std::vector<Report>> out;
        std::ifstream in(tracePath().toStdString());
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string ms, kind;
            fields >> ms >> kind;
            out.first.push_back(kind);
            if (kind != "OUT") continue;
            Report report;
            for (std::string byte; fields >> byte;)
                report.push_back(std::uint8_t(std::stoi(byte, nullptr, 16)));
            out.second.push_back(std::move(report));
        }
        return out;
    }
};

}  // namespace

class RemoteWindowTest : public QObject {
    Q_OBJECT
  private slots:
    // Every case fails when the simulated unit saw a report where it does not belong.
    void init() { kavo3::sim::takeViolations(); }
    void cleanup() {
        const std::vector<std::string> seen = kavo3::sim::takeViolations();
        QVERIFY2(seen.empty(), seen.empty() ? "" : seen.front().c_str());
    }
    void keyTableMatchesTheListedCodes();
    void windowLooksAsDesigned();
    void everyKeyHasItsPlaceSizeAndName();
    void everyKeySendsExactlyItsCode();
    void untouchedBytesKeepWhatThePreviousCommandLeft();
    void twoQuickClicksMakeTwoCompleteExchanges();
    void aHeldKeySendsOnceOnRelease();
    void powerKeyEndsTheProgramAndSendsNothing();
    void aKeyWithoutTheUnitSendsNothingAndStaysUsable();
    void keyPicturesAreDrawnAtTheirSizeAndRatio();
    void keyFacesCarryTheirLegends();
};

void RemoteWindowTest::keyTableMatchesTheListedCodes() {
    const auto keys = kavo3::remote::remoteKeys();
    QCOMPARE(keys.size(), kExpectedCodes.size());
    std::set<QString> names;
    std::set<int> codes;
    for (const RemoteKey& key : keys) {
        const QString name = qs(key.name);
        QVERIFY2(names.insert(name).second, qPrintable("twice in the table: " + name));
        const auto expected = kExpectedCodes.find(name);
        QVERIFY2(expected != kExpectedCodes.end(), qPrintable("not a key of the remote: " + name));
        QCOMPARE(key.code.has_value(), expected->second.has_value());
        if (key.code) {
            QCOMPARE(int(*key.code), *expected->second);
            QVERIFY2(codes.insert(*key.code).second, qPrintable("code used twice: " + name));
        }
        QCOMPARE(kavo3::remote::findRemoteKey(key.name), &key);
        // The picture fills the key exactly.
        const auto picture = kavo3::remote::pictureSize(key.picture);
        QCOMPARE(QSize(picture.width, picture.height),
                 twipsRect(key.left, key.top, key.width, key.height).size());
    }
    QCOMPARE(codes.size(), std::size_t(35));
    QVERIFY(kavo3::remote::findRemoteKey("Command37") == nullptr);
    QCOMPARE(kavo3::remote::findRemoteKey("Command18")->picture, kavo3::remote::KeyPicture::Power);
}

void RemoteWindowTest::windowLooksAsDesigned() {
    Rig rig;
    RemoteWindow& w = *rig.window;
    QCOMPARE(w.objectName(), QStringLiteral("Form2"));
    QCOMPARE(w.windowTitle(), QString::fromUtf8("KAVO-3\u3000リモコン"));
    QVERIFY(w.isWindow());
    QCOMPARE(w.minimumSize(), QSize(224, 579));
    QCOMPARE(w.maximumSize(), QSize(224, 579));

    struct Box {
        const char* name;
        QString title;
        QRect geometry;
    };
    for (const Box& b : {Box{"Frame1", QStringLiteral("入力切替"), twipsRect(0, 960, 3350, 975)},
                         Box{"Frame3", QString(), twipsRect(40, 2040, 3260, 2055)},
                         Box{"Frame2", QString(), twipsRect(120, 7560, 2415, 1095)}}) {
        auto* box = w.findChild<QGroupBox*>(b.name);
        QVERIFY2(box, b.name);
        QCOMPARE(box->title(), b.title);
        QCOMPARE(windowGeometry(box, &w), b.geometry);
    }
    struct Text {
        const char* name;
        QString text;
        QRect geometry;
    };
    for (const Text& t :
         {Text{"Label4", QStringLiteral("サイズ"), twipsRect(1400, 4640, 735, 255)},
          Text{"Label1", QStringLiteral("音量"), twipsRect(1800, 8110, 375, 255)},
          Text{"Label2", QStringLiteral("ヘッドホン"), twipsRect(360, 8280, 1095, 375)},
          Text{"Label3", QStringLiteral("ミキサ"), twipsRect(2680, 8110, 615, 255)}}) {
        auto* label = w.findChild<QLabel*>(t.name);
        QVERIFY2(label, t.name);
        QCOMPARE(label->text(), t.text);
        QCOMPARE(windowGeometry(label, &w), t.geometry);
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(Qt::white));
    }

    // The body picture is the background: dark wherever no key or label covers it.
    QCOMPARE(kavo3::remote::bodyPicture(1).size(), QSize(225, 579));
    w.show();
    const QImage shot = w.grab().toImage();
    QCOMPARE(shot.size(), QSize(224, 579));
    QVERIFY(shot.pixelColor(112, 390).lightness() < 80);  // empty stretch below the menu row
    QVERIFY(shot.pixelColor(5, 300).lightness() < 80);    // left edge of the case
}

void RemoteWindowTest::everyKeyHasItsPlaceSizeAndName() {
    Rig rig;
    const QWidget* frames[] = {rig.window.get(), rig.window->findChild<QWidget*>("Frame1"),
                               rig.window->findChild<QWidget*>("Frame2"),
                               rig.window->findChild<QWidget*>("Frame3")};
    int found = 0;
    for (const RemoteKey& key : kavo3::remote::remoteKeys()) {
        const QString name = qs(key.name);
        QAbstractButton* button = rig.key(name);
        QVERIFY2(button, qPrintable(name));
        ++found;
        QCOMPARE(windowGeometry(button, rig.window.get()),
                 twipsRect(key.left, key.top, key.width, key.height));
        QCOMPARE(button->parentWidget(), frames[int(key.group)]);
        QCOMPARE(button->accessibleName(), qs(key.legend));
        QVERIFY(!button->toolTip().isEmpty());
        QVERIFY2(button->text().isEmpty(), qPrintable(name + " has a caption"));
        QVERIFY(!button->icon().isNull());
        QVERIFY(!button->autoRepeat());
        QVERIFY(button->isEnabled());
    }
    QCOMPARE(found, 36);

    // Spot checks against the layout as drawn, not the table.
    QCOMPARE(rig.key("Command18")->size(), QSize(49, 41));
    QCOMPARE(rig.key("Command20")->size(), QSize(25, 25));
    QCOMPARE(rig.key("Command21")->size(), QSize(41, 33));
    QCOMPARE(rig.key("Command6")->size(), QSize(41, 17));
    QCOMPARE(rig.key("Command6")->accessibleName(), QStringLiteral("静止"));
    QCOMPARE(rig.key("Command21")->accessibleName(), QStringLiteral("▲"));
    QCOMPARE(rig.key("Command2")->accessibleName(), QStringLiteral("▲/◀"));
    QCOMPARE(rig.key("Command22")->accessibleName(), QStringLiteral("PC in P"));
    // Keys with the same legend are told apart by what they belong to.
    QCOMPARE(rig.key("Command11")->accessibleName(), rig.key("Command14")->accessibleName());
    QVERIFY(rig.key("Command11")->accessibleDescription() !=
            rig.key("Command14")->accessibleDescription());
    QCOMPARE(rig.key("Command33")->pos(), QPoint(8, 16));  // inside Frame1
}

void RemoteWindowTest::everyKeySendsExactlyItsCode() {
    Rig rig;
    std::vector<std::uint8_t> expected;
    for (const auto& [name, code] : kExpectedCodes) {
        if (!code) continue;
        const long readsBefore = rig.transport.reportsRead();
        rig.key(name)->click();
        expected.push_back(std::uint8_t(*code));
        QVERIFY2(rig.keys() == expected, qPrintable(name + " did not send its code alone"));
        // Its one answer was read.
        QCOMPARE(rig.transport.reportsRead(), readsBefore + 1);
    }
    QCOMPARE(rig.keys().size(), std::size_t(35));
    QCOMPARE(rig.endCalls, 0);
    for (const Report& report : rig.written()) {
        QCOMPARE(report.size(), std::size_t(65));
        QCOMPARE(int(report[0]), 0);   // report ID
        QCOMPARE(int(report[1]), 19);  // Remote key
        for (std::size_t i = 9; i < report.size(); ++i) QCOMPARE(int(report[i]), 0);
    }
    QCOMPARE(rig.transport.unit().unknownCommands(), 0L);
    // The panel's freeze key is a key like the others, not the capture's Freeze command.
    QVERIFY(!rig.transport.unit().frozen());
}

void RemoteWindowTest::untouchedBytesKeepWhatThePreviousCommandLeft() {
    Rig rig;
    // Another window's Block read left its bytes behind.
    kavo3::testing::exchangeOne(*rig.link, {0x10, 0x00, 0x34, 0x12, 0xA1, 0xB2, 0xC3, 0xD4});
    rig.key("Command6")->click();
    rig.key("Command25")->click();
    const auto written = rig.written();
    QCOMPARE(written.size(), std::size_t(3));
    const Report tail = {0x34, 0x12, 0xA1, 0xB2, 0xC3, 0xD4};
    for (std::size_t n : {1, 2})
        QCOMPARE(Report(written[n].begin() + 3, written[n].begin() + 9), tail);
    QCOMPARE(int(written[1][2]), 76);
    QCOMPARE(int(written[2][2]), 4);
    QCOMPARE(rig.keys(), (std::vector<std::uint8_t>{76, 4}));
    // The command buffer keeps the key for whoever sends next.
    QCOMPARE(int(rig.link->lastCommand()[0]), 19);
    QCOMPARE(int(rig.link->lastCommand()[1]), 4);
}

void RemoteWindowTest::twoQuickClicksMakeTwoCompleteExchanges() {
    Rig rig;
    QTest::mouseClick(rig.key("Command1"), Qt::LeftButton);
    QTest::mouseClick(rig.key("Command1"), Qt::LeftButton);
    QCOMPARE(rig.events(), (std::vector<std::string>{"OUT", "IN", "OUT", "IN"}));
    QCOMPARE(rig.keys(), (std::vector<std::uint8_t>{5, 5}));
}

void RemoteWindowTest::aHeldKeySendsOnceOnRelease() {
    Rig rig;
    QAbstractButton* up = rig.key("Command21");
    QTest::mousePress(up, Qt::LeftButton);
    QVERIFY(up->isDown());
    QVERIFY(rig.keys().empty());
    QTest::mouseRelease(up, Qt::LeftButton);
    QCOMPARE(rig.keys(), std::vector<std::uint8_t>{12});
    // A press dragged off the key and released there sends nothing.
    QTest::mousePress(up, Qt::LeftButton);
    QMouseEvent move(QEvent::MouseMove, QPointF(200, 200), up->mapToGlobal(QPointF(200, 200)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(up, &move);
    QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(200, 200));
    QCOMPARE(rig.keys(), std::vector<std::uint8_t>{12});
    QCOMPARE(rig.transport.reportsWritten(), 1L);
}

void RemoteWindowTest::powerKeyEndsTheProgramAndSendsNothing() {
    Rig rig;
    rig.window->show();
    const long writtenBefore = rig.transport.reportsWritten();
    QTest::mouseClick(rig.key("Command18"), Qt::LeftButton);
    QCOMPARE(rig.endCalls, 1);
    QCOMPARE(rig.transport.reportsWritten(), writtenBefore);
    QCOMPARE(rig.transport.reportsRead(), 0L);
    QVERIFY(rig.events().empty());
    QCOMPARE(rig.link->lastCommand(), (std::array<std::uint8_t, 8>{}));
}

void RemoteWindowTest::aKeyWithoutTheUnitSendsNothingAndStaysUsable() {
    Rig rig;
    rig.key("Command4")->click();
    rig.transport.unplug();
    rig.link->close();
    QAbstractButton* ok = rig.key("Command4");
    ok->click();
    ok->click();
    QCOMPARE(rig.keys(), std::vector<std::uint8_t>{24});
    QVERIFY(ok->isEnabled());
}

void RemoteWindowTest::keyPicturesAreDrawnAtTheirSizeAndRatio() {
    for (const RemoteKey& key : kavo3::remote::remoteKeys()) {
        const auto [w, h] = kavo3::remote::pictureSize(key.picture);
        const QPixmap one = kavo3::remote::keyPicture(key, 1);
        QCOMPARE(one.size(), QSize(w, h));
        const QPixmap two = kavo3::remote::keyPicture(key, 2);
        QCOMPARE(two.size(), QSize(2 * w, 2 * h));
        QCOMPARE(two.devicePixelRatio(), 2.0);
        QCOMPARE(two.deviceIndependentSize(), QSizeF(w, h));
        // The icon draws the face afresh at the high ratio rather than blowing up the small one.
        const QIcon icon = kavo3::remote::keyIcon(key);
        const QPixmap fromIcon = icon.pixmap(QSize(w, h), 2.0);
        QCOMPARE(fromIcon.size(), QSize(2 * w, 2 * h));
        QCOMPARE(fromIcon.toImage(), two.toImage());
    }
}

void RemoteWindowTest::keyFacesCarryTheirLegends() {
    // Faces with different legends differ; one legend on two keys gives one face.
    std::map<QString, QImage> faceOf;
    for (const RemoteKey& key : kavo3::remote::remoteKeys()) {
        const QImage face = kavo3::remote::keyPicture(key, 2).toImage();
        const auto [it, added] = faceOf.emplace(qs(key.legend), face);
        if (!added) QCOMPARE(face, it->second);
    }
    for (auto a = faceOf.begin(); a != faceOf.end(); ++a)
        for (auto b = std::next(a); b != faceOf.end(); ++b)
            if (a->second.size() == b->second.size())
                QVERIFY2(a->second != b->second, qPrintable(a->first + " looks like " + b->first));

    // The legend stands out from the face: light ink on a dark key.
    const RemoteKey& guide = *kavo3::remote::findRemoteKey("Command5");
    const QImage guideFace = kavo3::remote::keyPicture(guide, 1).toImage();
    int light = 0;
    for (int y = 0; y < guideFace.height(); ++y)
        for (int x = 0; x < guideFace.width(); ++x)
            light += guideFace.pixelColor(x, y).lightness() > 200;
    QVERIFY(light > 15);

    // The power symbol is green.
    const QImage power =
        kavo3::remote::keyPicture(*kavo3::remote::findRemoteKey("Command18"), 1).toImage();
    bool green = false;  // somewhere across the ring's left side
    for (int x = 10; x < 24; ++x) {
        const QColor c = power.pixelColor(x, 22);
        green = green || (c.green() > 150 && c.red() < 120 && c.blue() < 150);
    }
    QVERIFY(green);

    // A pressed key looks different from a resting one.
    QVERIFY(kavo3::remote::keyPicture(guide, 1, KeyState::Pressed).toImage() != guideFace);
}

QTEST_MAIN(RemoteWindowTest)
#include "RemoteWindowTest.moc"
