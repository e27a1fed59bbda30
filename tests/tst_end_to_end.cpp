// The window against real far ends: every setting written and read back through
// a libmodbus slave, an independent Modbus stack; one run against the gateway
// simulator with two gateways on the bus; and the traffic monitor.
#include <QtTest>

#include <QPlainTextEdit>
#include <QSocketNotifier>
#include <QSpinBox>

#include <memory>
#include <modbus/modbus.h>

#include "boxrecorder.h"
#include "commissioning_window.h"
#include "gatewaysimulator.h"
#include "lineserver.h"
#include "ptyline.h"
#include "traffic_monitor.h"
#include "windowfixture.h"

namespace {

constexpr int kSlave = 5;

// libmodbus serves the pty master: the window holds the slave side.
class ModbusSlave
{
public:
    explicit ModbusSlave(int fd)
        : context(modbus_new_rtu("pty", 9600, 'N', 8, 1)), map(modbus_mapping_new(0, 0, 0x03F1, 0)),
          notifier(fd, QSocketNotifier::Read)
    {
        modbus_set_slave(context, kSlave);
        modbus_set_socket(context, fd);
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] {
            std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
            const int length = modbus_receive(context, request);
            failed += length < 0;
            if (length > 0 && modbus_reply(context, request, length, map) > 0)
                ++answered;
        });
    }
    ~ModbusSlave()
    {
        notifier.setEnabled(false);
        modbus_mapping_free(map);
        modbus_free(context);
    }
    std::uint16_t reg(int number) const { return map->tab_registers[number]; }

    int answered = 0; // requests libmodbus took as well formed and addressed to it
    int failed = 0;

private:
    modbus_t *context;
    modbus_mapping_t *map;
    QSocketNotifier notifier;
};

// The simulated bus: the gateway under test at 3, another at 200, five meters, the third silent.
SimulatorSettings twoGateways()
{
    SimulatorSettings settings;
    settings.addresses = {3, 200};
    settings.meters = 5;
    settings.silentMeters = {3};
    settings.drift = 0.0f;
    return settings;
}

// The simulator on a pseudo-terminal, served from the test's own event loop so
// that its state can be looked at between exchanges without a thread.
struct SimulatedBus {
    GatewaySimulator simulator{twoGateways()};
    LineServer server{simulator};
    QTimer pump;
    QString error;
    bool opened = server.openPseudoTerminal(&error);

    SimulatedBus() { QObject::connect(&pump, &QTimer::timeout, [this] { server.serveOnce(0); }); }
    GatewayState &gateway() { return simulator.gateway(0); }
    bool connect(WindowFixture &fixture)
    {
        pump.start(2);
        return fixture.openOn(server.path());
    }
};

} // namespace

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void writtenThenReadBack_data();
    void writtenThenReadBack();
    void simulatedBus();
    void readsDuringTheAcquisition();
    void monitor();
    void commissioning_data();
    void commissioning();
    void detectButton();

private:
    bool answered(const char *button, int timeoutMs = 3000);
    // The window's port on the simulator, gateway 3 chosen.
    bool onSimulator();
    QString shown(const char *field) const { return fixture.shown(QString::fromLatin1(field)); }

    PtyLine line;
    std::unique_ptr<ModbusSlave> slave;
    SimulatedBus bus;
    WindowFixture fixture;
    BoxRecorder boxes;
};

void EndToEndTest::initTestCase()
{
    QVERIFY(QDir::setCurrent(QStringLiteral(NVB_PROGRAM_DIR)));
    QVERIFY(line.isValid() && bus.opened);
    QVERIFY(fixture.openOn(line.path()));
    slave = std::make_unique<ModbusSlave>(line.masterFd());
}

// Clicks the button and waits for the pulse that an accepted reply ends with.
bool EndToEndTest::answered(const char *button, int timeoutMs)
{
    return fixture.pulsesDuring([&] { fixture.click(button); }, timeoutMs, 1) == 1;
}

bool EndToEndTest::onSimulator()
{
    bus.simulator.settings() = twoGateways();
    fixture.selectAddress(3);
    if (fixture.window.port().portName() == bus.server.path())
        return true;
    // The line writes on the libmodbus line moved the port with them; the simulated gateways are at 9600.
    return fixture.put(QStringLiteral("combotelv=9600")) && fixture.put(QStringLiteral("comjiaoyanwei=无校验")) && bus.connect(fixture);
}

void EndToEndTest::writtenThenReadBack_data()
{
    QTest::addColumn<QString>("write");
    QTest::addColumn<QStringList>("inputs"); // also what the read must show again
    QTest::addColumn<QString>("stored");     // "register=value ...", hexadecimal
    QTest::addColumn<QString>("read");
    auto row = [](const char *write, const char *inputs, const char *stored, const char *read) {
        QTest::newRow(write) << write << QString::fromUtf8(inputs).split(' ') << stored << read;
    };
    row("BtoxiugaiJ", "comjiaoyanwei2=偶校验", "0000=0002", "BtoduquJ");
    row("BtoxiugaiB", "combotelv2=19200", "0002=0003", "BtoduquB");
    row("BtoxieruHZ", "linetongxin=500", "0003=FF50", "BtoduquHZ");
    row("pushButtonJSQchange", "comboBoxJSQ=中继器", "03F0=0001", "BtoJSQRead");
    row("BtnWrRange", "lineLower=4.2 lineUpper=20", "03E9=002A 03EA=00C8", "BtnRdRange");
    row("btnWrFreq", "lineFreq=470", "0003=0032", "btnReadFreq");
    row("btnWrID", "lineID=0xBEEF", "03EB=BEEF", "btnRdID");
    row("btnWrAnologOut", "lineAnalogOut=65535", "03EF=FFFF", "btnRdAnologOut");
}

void EndToEndTest::writtenThenReadBack()
{
    QFETCH(QString, write);
    QFETCH(QStringList, inputs);
    QFETCH(QString, stored);
    QFETCH(QString, read);

    fixture.selectAddress(kSlave);
    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));
    const int before = slave->answered;
    QVERIFY(answered(qPrintable(write)));
    for (const QString &reg : stored.split(' '))
        QCOMPARE(int(slave->reg(reg.left(4).toInt(nullptr, 16))), reg.mid(5).toInt(nullptr, 16));
    for (const QString &input : inputs) // an empty field, or no item chosen
        fixture.put(input.section(QLatin1Char('='), 0, 0) + QLatin1Char('='));
    QVERIFY(answered(qPrintable(read)));
    for (const QString &input : inputs)
        QCOMPARE(fixture.shown(input), WindowFixture::valueOf(input));
    QCOMPARE(slave->answered, before + 2);
    QCOMPARE(slave->failed, 0);
}

// Found by a search and a broadcast read, moved to another address and found
// there again; the cloud settings as the gateway keeps them. Writes refused
// without a gateway and the meter table are checked in tst_requests.
void EndToEndTest::simulatedBus()
{
    QVERIFY(onSimulator());
    fixture.child<QComboBox>("comdizhi")->clear();
    GatewayState &gateway = bus.gateway();
    auto *addresses = fixture.child<QComboBox>("comdizhi");
    fixture.click("Btosousuo");
    QTRY_COMPARE_WITH_TIMEOUT(addresses->count(), 1, 3000);
    fixture.click("Btosousuo");
    QVERIFY(answered("Btoguangbo"));
    QCOMPARE(itemTexts(addresses), (QStringList{"3", "3"}));
    QCOMPARE(shown("linedizhi"), QStringLiteral("3"));

    const char *const writes[][3] = {{"pushButton_AT1", "lineEdit_AT1", "cn-shanghai"}, {"pushButton_AT3", "lineEdit_AT3", "s3cr3t"},
                                     {"pushButton_AT5", "lineEdit_AT5", "/sys/up"}, {"pushButton_AT6", "lineEdit_AT6", "/sys/down"}};
    for (const auto &write : writes) {
        fixture.type(write[1], QString::fromUtf8(write[2]));
        QVERIFY2(answered(write[0]), write[0]);
    }
    QCOMPARE(gateway.cloudParameters.values(),
             (QStringList{"cn-shanghai", "s3cr3t", "/sys/up,0,0", "/sys/down,0"}));
    fixture.click("pushButton_connect");
    QTRY_VERIFY(gateway.connected);

    fixture.type("linegaidizhi", QStringLiteral("9"));
    QVERIFY(answered("Btoxiugai"));
    QCOMPARE(int(gateway.address), 9);
    QCOMPARE(addresses->count(), 0);
    QVERIFY(answered("Btoguangbo"));
    QCOMPARE(itemTexts(addresses), QStringList{"9"});
    fixture.type("lineSampleRate", QString());
    QVERIFY(answered("btnRdSampleRate"));
    QCOMPARE(shown("lineSampleRate"), QStringLiteral("60"));
    gateway.address = 3;
}

// Reads of the mode while the acquisition polls: each goes out between two
// polls and shows its own mode; no poll goes unanswered and no check fails.
void EndToEndTest::readsDuringTheAcquisition()
{
    QVERIFY(onSimulator());
    TrafficRecord &traffic = fixture.window.traffic();
    traffic.clear();
    auto *mode = fixture.child<QComboBox>("comboBoxJSQ");
    fixture.type("lineshuliang", QStringLiteral("5"));
    fixture.click("Btocaiji");
    QVERIFY(fixture.child<QPushButton>("BtoJSQRead")->isEnabled());
    for (int read = 0; read < 6; ++read) {
        settle(150 + 170 * read % 700); // at points all over the poll's second
        bus.gateway().mode = std::uint16_t(read % 2 == 0);
        fixture.click("BtoJSQRead");
        QTRY_COMPARE_WITH_TIMEOUT(mode->currentIndex(), int(read % 2 == 0), 1500);
    }
    QTRY_VERIFY(!fixture.window.link().busy());
    fixture.click("Btocaiji");
    settle(300);
    QCOMPARE(traffic.count(TrafficEvent::CheckFailed), 0);
    QCOMPARE(traffic.count(TrafficEvent::NoReply), 0);
    QCOMPARE(traffic.count(TrafficEvent::Stray), 0);
    QCOMPARE(traffic.count(TrafficEvent::Reply), traffic.count(TrafficEvent::Request));
    QVERIFY(traffic.count(TrafficEvent::Request) >= 6 + 3);
    QCOMPARE(fixture.child<QTableWidget>("tableWidget")->item(2, 1)->text(), QStringLiteral("超时"));
}

// A short exchange, decoded line by line with the secret masked on screen and in
// the saved file; pause, clear, one window, and the last 10,000 events kept.
void EndToEndTest::monitor()
{
    QVERIFY(onSimulator());
    fixture.window.traffic().clear();
    fixture.window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
    QTest::keyClick(&fixture.window, Qt::Key_F12);
    TrafficMonitor *monitor = fixture.window.monitor();
    QVERIFY(monitor && monitor->isVisible());
    fixture.click("monitorButton");
    QCOMPARE(fixture.window.findChildren<TrafficMonitor *>().size(), 1);
    auto *view = monitor->findChild<QPlainTextEdit *>();

    QVERIFY(answered("BtoduquB"));
    fixture.type("lineEdit_AT3", QStringLiteral("s3cr3t"));
    QVERIFY(answered("pushButton_AT3"));
    fixture.type("lineCEshuru", QStringLiteral("12"));
    fixture.click("BtoZDceshi");
    auto hex = [](const char *frame) { return QString::fromLatin1(withCrc(bytes(frame)).toHex(' ').toUpper()); };
    const QStringList expected = {"-> " + hex("03 03 00 02 00 01") + "  read 0x0002 baud rate",
                                  "<- " + hex("03 03 02 00 02") + "  baud rate = 9600  (",
                                  "-> 64 64 04 <secret>  cloud: device secret (hidden)",
                                  "<- <secret>  cloud: \"OK\"  (", "-> AA 05 02 78 AA  current-loop test 12.0 mA"};
    QTRY_COMPARE(view->blockCount(), expected.size());
    const QStringList lines = view->toPlainText().split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ")).match(lines[i]).hasMatch(),
                 qPrintable(lines[i]));
        QVERIFY2(lines[i].mid(13).startsWith(expected[i]), qPrintable(lines[i]));
    }
    QCOMPARE(monitor->findChild<QLabel *>(QStringLiteral("trafficCounts"))->text(), QStringLiteral("请求 3   应答 2   无应答 0   校验错误 0   异常 0"));
    QTemporaryDir dir;
    QVERIFY(monitor->saveTo(dir.filePath(QStringLiteral("traffic.txt"))));
    QFile saved(dir.filePath(QStringLiteral("traffic.txt")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    // After the header and the day's date, the lines as shown.
    QCOMPARE(QString::fromUtf8(saved.readAll()).section(QLatin1Char('\n'), 4), view->toPlainText() + QLatin1Char('\n'));
    QVERIFY(!view->toPlainText().contains(QStringLiteral("s3cr3t")) && !view->toPlainText().contains("73 33 63"));

    QList<QPushButton *> buttons = monitor->findChildren<QPushButton *>(); // pause, clear, save
    QCOMPARE(monitor->windowTitle() + buttons[0]->text(), QStringLiteral("通信监视暂停"));
    fixture.click("Btoyuyan");
    QTRY_COMPARE(monitor->windowTitle() + buttons[0]->text(), QStringLiteral("Traffic monitorPause"));
    fixture.click("Btoyuyan");
    QTRY_COMPARE(buttons[0]->text(), QStringLiteral("暂停"));
    buttons[0]->click();
    QCOMPARE(buttons[0]->text(), QStringLiteral("继续"));
    fixture.click("Btotuichu");
    settle(300);
    QCOMPARE(view->blockCount(), expected.size());
    buttons[0]->click();
    QVERIFY(view->toPlainText().endsWith(QStringLiteral("current-loop leave test")));
    buttons[1]->click();
    QCOMPARE(view->toPlainText(), QString());

    for (int i = 1; i <= TrafficRecord::kCapacity + 1; ++i)
        fixture.window.traffic().add(TrafficEvent::Stray, QByteArray(1, char(i)), QString::number(i));
    QCOMPARE(fixture.window.traffic().events().front().meaning, QStringLiteral("2"));
    QTRY_VERIFY(view->toPlainText().endsWith(QStringLiteral("  10001")));
    QVERIFY(view->toPlainText().section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral("  2")));
    // Lines added to a full view drop its first ones too.
    fixture.window.traffic().add(TrafficEvent::Stray, QByteArray(1, 'x'), QStringLiteral("10002"));
    QTRY_VERIFY(view->toPlainText().endsWith(QStringLiteral("  10002")));
    QCOMPARE(view->blockCount(), TrafficRecord::kCapacity);
    QVERIFY(view->toPlainText().section(QLatin1Char('\n'), 0, 0).endsWith(QStringLiteral("  3")));
    monitor->close();
}

void EndToEndTest::commissioning_data()
{
    QTest::addColumn<QString>("before"); // what the main window runs first
    QTest::addColumn<QStringList>("results"); // the table's rows, gateway to result
    QTest::addColumn<QStringList>("refusals"); // boxes
    QTest::newRow("refused while polling") << "poll" << QStringList() << QStringList{"正在采集：请先停止采集"};
    QTest::newRow("three settings to the chosen gateway, the baud last and followed")
        << QString() << QStringList{"3 frequency 433 470 已写入并验证", "3 spreading-factor 7 9 已写入并验证", "3 baud 9600 19200 已写入并验证"}
        << QStringList();
}

// A profile loaded and applied through the window's own link: the results as
// they come, the gateway's registers, the report, and nothing from the main
// window in between. A single gateway's new baud rate is followed.
void EndToEndTest::commissioning()
{
    QFETCH(QString, before);
    QFETCH(QStringList, results);
    QFETCH(QStringList, refusals);
    QVERIFY(onSimulator());
    boxes.clear();
    QTemporaryDir dir;
    QFile profile(dir.filePath(QStringLiteral("site.json")));
    QVERIFY(profile.open(QIODevice::WriteOnly));
    profile.write(R"({"format": 1, "settings": {"baud": "19200", "frequency": 470, "spreading-factor": 9}})");
    profile.close();
    fixture.click("commissioningButton");
    CommissioningWindow *window = fixture.window.commissioning();
    QVERIFY(window && window->isVisible());
    QVERIFY2(window->loadProfile(profile.fileName()), qPrintable(boxes.texts().join(' ')));
    if (before == QLatin1String("poll")) {
        // A refused profile leaves the loaded one; the box names the file as it is and the rest in words.
        QFile bad(dir.filePath(QStringLiteral("old: site.json")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(R"({"frequency": 700})") > 0);
        bad.close();
        QVERIFY(!window->loadProfile(bad.fileName()));
        refusals.prepend("配置无法使用：" + bad.fileName() + "：frequency：应为420到675的整数");
        fixture.type("lineshuliang", QStringLiteral("1")), fixture.click("Btocaiji");
    }
    TrafficRecord &traffic = fixture.window.traffic();
    const std::size_t requestsBefore = traffic.count(TrafficEvent::Request);
    window->findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    fixture.click("btnRdSampleRate"); // while the run has the line
    const bool portButtonOff = !fixture.child<QPushButton>("Btodakai")->isEnabled();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 10000);
    QVERIFY(portButtonOff); // by the run, or by the polls it was refused for
    QVERIFY(fixture.child<QPushButton>("Btodakai")->isEnabled() != (before == QLatin1String("poll")));
    const int requests = int(traffic.count(TrafficEvent::Request) - requestsBefore);
    if (before == QLatin1String("poll"))
        fixture.click("Btocaiji");
    QCOMPARE(boxes.texts(), refusals);
    auto *table = window->findChild<QTableWidget *>(QStringLiteral("resultsTable"));
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << table->item(row, column)->text();
        rows << cells.join(QLatin1Char(' ')) + table->item(row, 5)->text();
    }
    QCOMPARE(rows, results);
    // The results follow a switch of language, as the window's own texts do.
    fixture.click("Btoyuyan");
    QTRY_COMPARE(table->horizontalHeaderItem(4)->text() + ' ' + (table->rowCount() ? table->item(0, 4)->text() : QString()),
                 results.isEmpty() ? QStringLiteral("Result ") : QStringLiteral("Result verified"));
    const auto *count = window->findChild<QSpinBox *>(QStringLiteral("gatewayCount")); // "until stopped" shows whole
    QTRY_VERIFY(count->width() >= count->sizeHint().width());
    fixture.click("Btoyuyan");
    if (results.isEmpty()) {
        QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("reportJsonButton"))->isEnabled());
        return;
    }
    GatewayState &gateway = bus.gateway();
    QCOMPARE(QStringList({QString::number(gateway.frequency), QString::number(gateway.spreadingFactor), QString::number(gateway.baudCode)}),
             QStringList({"50", "9", "3"}));
    QCOMPARE(bus.simulator.gateway(1).frequency, std::uint16_t(0x000D));
    // The window's port followed the gateway, and it answers there.
    QCOMPARE(fixture.window.port().baudRate(), 19200);
    QCOMPARE(shown("combotelv"), QStringLiteral("19200"));
    QVERIFY(answered("BtoduquB"));
    QCOMPARE(shown("combotelv2"), QStringLiteral("19200"));

    const QString json = dir.filePath(QStringLiteral("report.json")), pdf = dir.filePath(QStringLiteral("report.pdf"));
    QVERIFY(window->saveReportJson(json) && window->saveReportPdf(pdf));
    QFile saved(json);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(saved.readAll()).object();
    const QJsonArray gateways = report.value(QStringLiteral("gateways")).toArray();
    QCOMPARE(gateways.size(), 1);
    // The results as the table showed them; the report's own content is checked with nvb8140t-ctl.
    const QJsonObject first = gateways.first().toObject();
    QVERIFY(first.value(QStringLiteral("address")).toInt() == 3 && first.value(QStringLiteral("fullyVerified")).toBool());
    // Every request went through the one link, and nothing else went out meanwhile.
    QCOMPARE(first.value(QStringLiteral("traffic")).toObject().value(QStringLiteral("requests")).toInt(),
             requests);
    // "From the chosen gateway": what it holds now, as a profile file that goes to others.
    window->findChild<QPushButton *>(QStringLiteral("readProfileButton"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isRunning(), 10000);
    QVERIFY(window->saveProfile(dir.filePath(QStringLiteral("read.json"))));
    QString error;
    const std::optional<Profile> read = readProfile(dir.filePath(QStringLiteral("read.json")), &error);
    QVERIFY2(read && read->find(*findSetting("frequency")) && !read->find(*findSetting("address")), qPrintable(error));
    QCOMPARE(valueText(*findSetting("frequency"), read->find(*findSetting("frequency"))->values) + ' '
                 + valueText(*findSetting("baud"), read->find(*findSetting("baud"))->values), QStringLiteral("470 19200"));
}

// The gateways moved to 19200, the fourth setting tried: the port stays open
// there and the gateway is chosen, as after a broadcast read, and answers.
void EndToEndTest::detectButton()
{
    QVERIFY(onSimulator());
    fixture.click("Btodakai");
    for (int i = 0; i < bus.simulator.gatewayCount(); ++i)
        bus.simulator.gateway(i).baudCode = 3;
    fixture.child<QComboBox>("comdizhi")->clear();
    QCOMPARE(fixture.pulsesDuring([&] { fixture.click("detectButton"); }, 3000, 1), 1);
    QVERIFY(fixture.window.isPortOpen() && fixture.window.port().baudRate() == 19200);
    QCOMPARE(shown("combotelv") + shown("comjiaoyanwei") + shown("linedizhi"), QStringLiteral("19200无校验3"));
    QCOMPARE(itemTexts(fixture.child<QComboBox>("comdizhi")), QStringList{"3"});
    QVERIFY(answered("BtoduquB"));
    QCOMPARE(shown("combotelv2"), QStringLiteral("19200"));
}

QTEST_MAIN(EndToEndTest)
#include "tst_end_to_end.moc"
