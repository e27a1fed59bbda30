// The gateway settings against an independent Modbus stack: a libmodbus RTU
// slave on the far end of the line must accept every request, and the window
// must show what it answers.
#include <QtTest>

#include <QComboBox>
#include <QSocketNotifier>

#include <modbus/modbus.h>

#include "boxrecorder.h"
#include "ptyline.h"
#include "pulsecounter.h"
#include "windowfixture.h"

namespace {

constexpr int kSlaveAddress = 5;
constexpr int kRegisterCount = 0x03F1; // 0x0000 .. 0x03F0

// libmodbus serves the pty master directly: the window holds the slave side, and
// the RTU context takes the master's descriptor in place of a port it opens itself.
class ModbusSlave
{
public:
    explicit ModbusSlave(int fd)
        : context(modbus_new_rtu("pty", 9600, 'N', 8, 1)),
          registers(modbus_mapping_new(0, 0, kRegisterCount, 0)),
          notifier(fd, QSocketNotifier::Read)
    {
        modbus_set_slave(context, kSlaveAddress);
        modbus_set_socket(context, fd);
        QObject::connect(&notifier, &QSocketNotifier::activated, [this] { serve(); });
    }
    ~ModbusSlave()
    {
        notifier.setEnabled(false);
        modbus_mapping_free(registers);
        modbus_free(context);
    }

    std::uint16_t &reg(int number) { return registers->tab_registers[number]; }
    void setAddress(int address) { modbus_set_slave(context, address); }

    int received = 0; // requests libmodbus took as addressed to it and well formed
    int failed = 0;   // frames it refused (CRC, framing)

private:
    void serve()
    {
        std::uint8_t request[MODBUS_RTU_MAX_ADU_LENGTH];
        const int length = modbus_receive(context, request);
        if (length < 0) {
            ++failed;
            return;
        }
        if (length > 0 && modbus_reply(context, request, length, registers) > 0)
            ++received;
    }

    modbus_t *context;
    modbus_mapping_t *registers;
    QSocketNotifier notifier;
};

// "03E9=002A 03EA=00C8": register numbers and values in hexadecimal.
QList<QPair<int, int>> registerList(const QString &text)
{
    QList<QPair<int, int>> out;
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.append({item.section(QLatin1Char('='), 0, 0).toInt(nullptr, 16),
                    item.section(QLatin1Char('='), 1).toInt(nullptr, 16)});
    return out;
}

} // namespace

class ModbusPeerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void writtenThenReadBack_data();
    void writtenThenReadBack();
    void addressChange();
    void searchFindsTheSlave();

private:
    // Clicks the button and waits until the slave's answer has been pulsed.
    bool exchange(const QString &button);

    PtyLine line;
    WindowFixture fixture;
    BoxRecorder boxes;
    ModbusSlave *slave = nullptr;
};

void ModbusPeerTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
    slave = new ModbusSlave(line.masterFd());
}

void ModbusPeerTest::cleanupTestCase()
{
    delete slave;
}

void ModbusPeerTest::init()
{
    fixture.selectAddress(kSlaveAddress);
    slave->received = 0;
    slave->failed = 0;
}

bool ModbusPeerTest::exchange(const QString &button)
{
    const int before = slave->received;
    PulseCounter pulses(fixture);
    fixture.click(button.toLatin1().constData());
    return pulses.waitFor(1, 3000) == 1 && slave->received == before + 1 && slave->failed == 0;
}

void ModbusPeerTest::writtenThenReadBack_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("writeButton");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("meanwhile");
    QTest::addColumn<QString>("readButton");
    QTest::addColumn<QStringList>("readBack");

    QTest::newRow("parity even") << QStringList{"comjiaoyanwei2=偶校验"} << "BtoxiugaiJ" << "0000=0002"
                                 << QStringList{"comjiaoyanwei2=无校验"} << "BtoduquJ"
                                 << QStringList{"comjiaoyanwei2=偶校验"};
    QTest::newRow("baud 19200") << QStringList{"combotelv2=19200"} << "BtoxiugaiB" << "0002=0003"
                                << QStringList{"combotelv2=2400"} << "BtoduquB" << QStringList{"combotelv2=19200"};
    QTest::newRow("frequency 433, first page") << QStringList{"linetongxin=433"} << "BtoxieruHZ" << "0003=FF0D"
                                               << QStringList{"linetongxin="} << "BtoduquHZ"
                                               << QStringList{"linetongxin=433"};
    QTest::newRow("frequency, read on the other page")
        << QStringList{"linetongxin=500"} << "BtoxieruHZ" << "0003=FF50" << QStringList{"lineFreq="}
        << "btnReadFreq" << QStringList{"lineFreq=500", "linetongxin=500"};
    QTest::newRow("spreading factor, first page") << QStringList{"lineSF=10"} << "BtoxieruSF" << "03EC=000A"
                                                  << QStringList{"lineSF=", "lineSF2="} << "BtoduquSF"
                                                  << QStringList{"lineSF=10", "lineSF2=10"};
    QTest::newRow("mode repeater") << QStringList{"comboBoxJSQ=中继器"} << "pushButtonJSQchange" << "03F0=0001"
                                   << QStringList{"comboBoxJSQ=接收器"} << "BtoJSQRead"
                                   << QStringList{"comboBoxJSQ=中继器"};
    QTest::newRow("transmitters, first page") << QStringList{"lineEdit=6"} << "pushButton" << "03E8=0006"
                                              << QStringList{"lineEdit="} << "pushButton2"
                                              << QStringList{"lineEdit=6"};
    QTest::newRow("range 4.2 to 20") << QStringList{"lineLower=4.2", "lineUpper=20"} << "BtnWrRange"
                                     << "03E9=002A 03EA=00C8" << QStringList{"lineLower=", "lineUpper="}
                                     << "BtnRdRange" << QStringList{"lineLower=4.2", "lineUpper=20"};
    QTest::newRow("range -1.5") << QStringList{"lineLower=-1.5", "lineUpper=0.7"} << "BtnWrRange"
                                << "03E9=FFF1 03EA=0007" << QStringList{"lineLower=", "lineUpper="} << "BtnRdRange"
                                << QStringList{"lineLower=6552.1", "lineUpper=0.7"};
    QTest::newRow("frequency 470, platform page") << QStringList{"lineFreq=470"} << "btnWrFreq" << "0003=0032"
                                                  << QStringList{"lineFreq=", "linetongxin=1"} << "btnReadFreq"
                                                  << QStringList{"lineFreq=470", "linetongxin=1"};
    QTest::newRow("spreading factor, platform page") << QStringList{"lineSF2=12"} << "btnWrSF" << "03EC=000C"
                                                     << QStringList{"lineSF2=", "lineSF="} << "btnReadSF"
                                                     << QStringList{"lineSF2=12", "lineSF=12"};
    QTest::newRow("transmitters, platform page") << QStringList{"lineTrNum=250"} << "btnWrNum" << "03E8=00FA"
                                                 << QStringList{"lineTrNum=", "lineEdit=1"} << "btnRdNum"
                                                 << QStringList{"lineTrNum=250", "lineEdit=1"};
    QTest::newRow("gateway ID") << QStringList{"lineID=0xBEEF"} << "btnWrID" << "03EB=BEEF"
                                << QStringList{"lineID="} << "btnRdID" << QStringList{"lineID=0xBEEF"};
    QTest::newRow("firmware") << QStringList{"lineFWV=102"} << "btnWrFWV" << "03ED=0102" << QStringList{"lineFWV="}
                              << "btnRdFWV" << QStringList{"lineFWV=0x0102"};
    QTest::newRow("sampling 70000") << QStringList{"lineSampleRate=70000"} << "btnWrSampleRate" << "03EE=1170"
                                    << QStringList{"lineSampleRate="} << "btnRdSampleRate"
                                    << QStringList{"lineSampleRate=4464"};
    QTest::newRow("analog output") << QStringList{"lineAnalogOut=65535"} << "btnWrAnologOut" << "03EF=FFFF"
                                   << QStringList{"lineAnalogOut="} << "btnRdAnologOut"
                                   << QStringList{"lineAnalogOut=65535"};
}

void ModbusPeerTest::writtenThenReadBack()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, writeButton);
    QFETCH(QString, stored);
    QFETCH(QStringList, meanwhile);
    QFETCH(QString, readButton);
    QFETCH(QStringList, readBack);

    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));
    QVERIFY(exchange(writeButton));
    for (const auto &reg : registerList(stored))
        QCOMPARE(QString::number(slave->reg(reg.first), 16), QString::number(reg.second, 16));

    for (const QString &field : meanwhile)
        QVERIFY2(fixture.put(field), qPrintable(field));
    QVERIFY(exchange(readButton));
    for (const QString &field : readBack)
        QCOMPARE(fixture.shown(field), WindowFixture::valueOf(field));
}

void ModbusPeerTest::addressChange()
{
    fixture.type("linegaidizhi", QStringLiteral("9"));
    QVERIFY(exchange(QStringLiteral("Btoxiugai")));
    QCOMPARE(int(slave->reg(0x0001)), 9);
    QCOMPARE(fixture.child<QComboBox>("comdizhi")->count(), 0);
}

void ModbusPeerTest::searchFindsTheSlave()
{
    // libmodbus takes the frame after a request to another slave for that slave's
    // answer, so the slave sits at the first address polled.
    slave->setAddress(1);
    auto *addresses = fixture.child<QComboBox>("comdizhi");
    fixture.click("Btosousuo");
    QTRY_COMPARE_WITH_TIMEOUT(addresses->count(), 1, 3000);
    fixture.click("Btosousuo");
    QCOMPARE(addresses->itemText(0), QStringLiteral("1"));
    QCOMPARE(slave->received, 1);
    QCOMPARE(boxes.texts(), (QStringList{"正在搜索，请稍后", "已停止搜索"}));
}

QTEST_MAIN(ModbusPeerTest)
#include "tst_modbus_peer.moc"
