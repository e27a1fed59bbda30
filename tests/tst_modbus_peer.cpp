// The gateway settings against an independent Modbus stack: a libmodbus RTU
// slave on the far end of the line must accept every request, and the window
// must show what it answers.
#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QSocketNotifier>

#include <memory>
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

// Empties the field named in "field=text", so a read has to fill it.
void blank(WindowFixture &fixture, const QString &assignment)
{
    QWidget *widget = fixture.window.findChild<QWidget *>(assignment.section(QLatin1Char('='), 0, 0));
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    else if (auto *box = qobject_cast<QComboBox *>(widget))
        box->setCurrentIndex(-1);
}

} // namespace

class ModbusPeerTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
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
    std::unique_ptr<ModbusSlave> slave;
};

void ModbusPeerTest::initTestCase()
{
    QVERIFY(line.isValid());
    QVERIFY(fixture.openOn(line));
    slave = std::make_unique<ModbusSlave>(line.masterFd());
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
    addRoundTripColumns();
    addRoundTrip("BtoxiugaiJ", "comjiaoyanwei2=偶校验", "0000=0002", "BtoduquJ");
    addRoundTrip("BtoxiugaiB", "combotelv2=19200", "0002=0003", "BtoduquB");
    addRoundTrip("BtoxieruHZ", "linetongxin=500", "0003=FF50", "BtoduquHZ");
    addRoundTrip("BtoxieruSF", "lineSF=10", "03EC=000A", "BtoduquSF", "lineSF=10 lineSF2=10");
    addRoundTrip("pushButtonJSQchange", "comboBoxJSQ=中继器", "03F0=0001", "BtoJSQRead");
    addRoundTrip("pushButton", "lineEdit=6", "03E8=0006", "pushButton2");
    addRoundTrip("BtnWrRange", "lineLower=4.2 lineUpper=20", "03E9=002A 03EA=00C8", "BtnRdRange");
    addRoundTrip("btnWrFreq", "lineFreq=470", "0003=0032", "btnReadFreq");
    addRoundTrip("btnWrSF", "lineSF2=12", "03EC=000C", "btnReadSF", "lineSF2=12 lineSF=12");
    addRoundTrip("btnWrNum", "lineTrNum=250", "03E8=00FA", "btnRdNum");
    addRoundTrip("btnWrID", "lineID=0xBEEF", "03EB=BEEF", "btnRdID");
    addRoundTrip("btnWrFWV", "lineFWV=102", "03ED=0102", "btnRdFWV", "lineFWV=0x0102");
    addRoundTrip("btnWrSampleRate", "lineSampleRate=4464", "03EE=1170", "btnRdSampleRate");
    addRoundTrip("btnWrAnologOut", "lineAnalogOut=65535", "03EF=FFFF", "btnRdAnologOut");
}

void ModbusPeerTest::writtenThenReadBack()
{
    QFETCH(QString, writeButton);
    QFETCH(QStringList, inputs);
    QFETCH(QString, stored);
    QFETCH(QString, readButton);
    QFETCH(QStringList, readBack);

    for (const QString &input : inputs)
        QVERIFY2(fixture.put(input), qPrintable(input));
    QVERIFY(exchange(writeButton));
    for (const QString &reg : stored.split(' '))
        QCOMPARE(int(slave->reg(reg.left(4).toInt(nullptr, 16))), reg.mid(5).toInt(nullptr, 16));

    for (const QString &field : readBack)
        blank(fixture, field);
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
}

QTEST_MAIN(ModbusPeerTest)
#include "tst_modbus_peer.moc"
