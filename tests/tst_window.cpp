// The window as a whole: its slots and their binding by name, the port list
// and its refresh on a press, the progress pulse and the icon.
#include <QtTest>

#include <QSerialPortInfo>

#include "boxrecorder.h"
#include "ptyline.h"
#include "qwa.h"
#include "windowfixture.h"

namespace {

const char *const kSlotsInOrder[] = {
    "on_Btodakai_clicked()", "on_Btoyuyan_clicked()", "on_Btosousuo_clicked()", "sousuodizhi()",
    "on_Btoguangbo_clicked()", "on_Btoxiugai_clicked()", "on_BtoduquJ_clicked()", "on_BtoduquB_clicked()",
    "on_BtoxieruHZ_clicked()", "on_BtoxieruSF_clicked()", "on_BtoxiugaiJ_clicked()", "on_BtoxiugaiB_clicked()",
    "on_Btocaiji_clicked()", "on_BtoDL_clicked()", "on_BtoTDduqu_clicked()", "on_BtoTDxiugai_clicked()",
    "on_BtoBSduqu_clicked()", "on_BtoBSxiugai_clicked()", "on_BtoDLjiaozhun_clicked()", "on_Btoceshi_clicked()",
    "onRadioClickSlot()", "on_BtoZDceshi_clicked()", "on_Btotuichu_clicked()", "on_pushButton_clicked()",
    "on_pushButton2_clicked()", "on_btnReadSF_clicked()", "on_btnReadFreq_clicked()", "on_btnWrSF_clicked()",
    "on_btnWrFreq_clicked()", "on_BtnRdRange_clicked()", "on_btnRdNum_clicked()", "on_btnRdID_clicked()",
    "on_btnRdFWV_clicked()", "on_btnRdSampleRate_clicked()", "on_btnRdAnologOut_clicked()",
    "on_BtnWrRange_clicked()", "on_btnWrNum_clicked()", "on_btnWrID_clicked()", "on_btnWrFWV_clicked()",
    "on_btnWrSampleRate_clicked()", "on_btnWrAnologOut_clicked()", "on_pushButton_AT1_clicked()",
    "on_pushButton_AT2_clicked()", "on_pushButton_AT3_clicked()", "on_pushButton_AT4_clicked()",
    "on_pushButton_AT5_clicked()", "on_pushButton_AT6_clicked()", "on_pushButton_Yes_clicked()",
    "on_pushButton_connect_clicked()", "on_pushButton_OPaLI_clicked()", "on_pushButtonJSQchange_clicked()",
    "on_BtoJSQRead_clicked()", "caijihanshu()", "on_comDL_activated(int)", "on_BtoduquSF_clicked()",
    "on_BtoduquHZ_clicked()", "on_SerialPort_ReadyRead()",
};

QStringList systemPortNames()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

} // namespace

class WindowTest : public QObject
{
    Q_OBJECT
private slots:
    void slotsInDeclarationOrder();
    void autoConnectedSlotsHaveTheirWidget();
    void everyPushButtonHasItsSlot();
    void pressRefreshesThePortList_data();
    void pressRefreshesThePortList();
    void otherEventsPassThrough();
    void progressBarAndPulse();
    void radioGroupIds();
    void iconFromWorkingDirectoryOrBesideProgram();
};

void WindowTest::slotsInDeclarationOrder()
{
    const QMetaObject &meta = Qwa::staticMetaObject;
    QCOMPARE(meta.className(), "Qwa");
    QStringList declared;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QMetaMethod method = meta.method(i);
        QCOMPARE(method.methodType(), QMetaMethod::Slot);
        declared << QString::fromLatin1(method.methodSignature());
    }
    QCOMPARE(declared, QStringList(std::begin(kSlotsInOrder), std::end(kSlotsInOrder)));
}

void WindowTest::autoConnectedSlotsHaveTheirWidget()
{
    Qwa window;
    const QMetaObject &meta = Qwa::staticMetaObject;
    int bound = 0;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        const QString slot = QString::fromLatin1(meta.method(i).name());
        if (!slot.startsWith(QStringLiteral("on_")) || slot == QStringLiteral("on_SerialPort_ReadyRead"))
            continue;
        const int split = slot.lastIndexOf(QLatin1Char('_'));
        const QString objectName = slot.mid(3, split - 3);
        const QString signal = slot.mid(split + 1);
        QObject *child = window.findChild<QObject *>(objectName);
        QVERIFY2(child, qPrintable(objectName));
        bool found = false;
        for (int s = 0; s < child->metaObject()->methodCount(); ++s) {
            const QMetaMethod candidate = child->metaObject()->method(s);
            found |= candidate.methodType() == QMetaMethod::Signal && candidate.name() == signal.toLatin1()
                     && candidate.parameterTypes() == meta.method(i).parameterTypes();
        }
        QVERIFY2(found, qPrintable(slot));
        ++bound;
    }
    QCOMPARE(bound, 53);
}

void WindowTest::everyPushButtonHasItsSlot()
{
    Qwa window;
    QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
    // The monitor's button sits in the tab bar's corner, outside the form.
    buttons.removeOne(window.findChild<QPushButton *>(QStringLiteral("monitorButton")));
    QCOMPARE(buttons.size(), 52);
    for (QPushButton *button : buttons) {
        const QByteArray slot = "on_" + button->objectName().toLatin1() + "_clicked()";
        QVERIFY2(Qwa::staticMetaObject.indexOfSlot(slot.constData()) >= 0, slot.constData());
        QVERIFY2(button->isEnabled(), slot.constData());
    }
}

void WindowTest::pressRefreshesThePortList_data()
{
    QTest::addColumn<QByteArray>("extraPorts");
    QTest::addColumn<QStringList>("extraItems");
    QTest::addColumn<bool>("enabled"); // disabled while the port is open
    QTest::newRow("unset") << QByteArray() << QStringList() << true;
    QTest::newRow("one pty") << QByteArray("/dev/pts/77") << QStringList{"/dev/pts/77"} << true;
    QTest::newRow("two, empty parts skipped") << QByteArray("/dev/pts/5::/tmp/sim-line:")
                                              << QStringList{"/dev/pts/5", "/tmp/sim-line"} << true;
    QTest::newRow("disabled box keeps the open port") << QByteArray("/dev/pts/77") << QStringList{"/dev/pts/77"}
                                                      << false;
}

// The ports given to the run are listed after the system's, and the first of
// them is chosen at the start; a press lists them afresh, from the first.
void WindowTest::pressRefreshesThePortList()
{
    QFETCH(QByteArray, extraPorts);
    QFETCH(QStringList, extraItems);
    QFETCH(bool, enabled);
    qunsetenv("NVB_EXTRA_PORTS");
    if (!extraPorts.isEmpty())
        qputenv("NVB_EXTRA_PORTS", extraPorts);
    Qwa window;
    window.show();
    auto *ports = window.findChild<QComboBox *>("comchuankou");
    const QStringList listed = systemPortNames() + extraItems;
    QCOMPARE(itemTexts(ports), listed);
    QCOMPARE(ports->currentText(), extraItems.isEmpty() ? listed.value(0) : extraItems.first());

    ports->addItem(QStringLiteral("stale entry"));
    ports->setCurrentIndex(ports->count() - 1);
    ports->setEnabled(enabled);
    QTest::mousePress(ports, Qt::LeftButton);
    ports->hidePopup();
    QTest::mouseRelease(ports, Qt::LeftButton);
    qunsetenv("NVB_EXTRA_PORTS");

    if (!enabled) {
        QCOMPARE(itemTexts(ports), listed + QStringList{"stale entry"});
        QCOMPARE(ports->currentText(), QStringLiteral("stale entry"));
        return;
    }
    QCOMPARE(itemTexts(ports), listed);
    QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
}

void WindowTest::otherEventsPassThrough()
{
    qputenv("NVB_EXTRA_PORTS", "/dev/pts/88");
    Qwa window;
    window.show();
    auto *ports = window.findChild<QComboBox *>("comchuankou");
    const int listed = ports->count();
    // A release or a press elsewhere does not re-read the list.
    QTest::mouseRelease(ports, Qt::LeftButton);
    QTest::mousePress(window.findChild<QComboBox *>("combotelv"), Qt::LeftButton);
    window.findChild<QComboBox *>("combotelv")->hidePopup();
    QCOMPARE(ports->count(), listed);
    QVERIFY(!window.eventFilter(ports, new QEvent(QEvent::MouseButtonPress)));
    qunsetenv("NVB_EXTRA_PORTS");
}

void WindowTest::progressBarAndPulse()
{
    Qwa window;
    auto *bar = window.findChild<QProgressBar *>("progressBar");
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 247);
    QCOMPARE(bar->value(), 0);

    QSignalSpy values(bar, &QProgressBar::valueChanged);
    QElapsedTimer clock;
    clock.start();
    window.pulseProgressBar();
    const qint64 took = clock.elapsed();
    QList<int> seen;
    for (const QList<QVariant> &change : values)
        seen << change.at(0).toInt();
    QCOMPARE(seen, (QList<int>{100, 200, 247}));
    QCOMPARE(bar->value(), 247);
    QVERIFY2(took >= 295 && took < 1000, qPrintable(QString::number(took)));

    bar->setValue(30);
    values.clear();
    window.pulseProgressBar();
    QCOMPARE(values.first().at(0).toInt(), 0);
    QCOMPARE(bar->value(), 247);
}

void WindowTest::radioGroupIds()
{
    Qwa window;
    const char *const radios[] = {"radio39mA", "radio4mA", "radio8mA", "radio12mA",
                                  "radio16mA", "radio20mA", "radio208mA"};
    QCOMPARE(window.radioButtons()->buttons().size(), 7);
    for (int id = 0; id < 7; ++id)
        QCOMPARE(window.radioButtons()->button(id)->objectName(), QString::fromLatin1(radios[id]));
    QCOMPARE(window.radioButtons()->checkedId(), -1);
}

void WindowTest::iconFromWorkingDirectoryOrBesideProgram()
{
    const QString icon = QStringLiteral("天线.png");
    const QString programDir = QStringLiteral(NVB_PROGRAM_DIR);
    const QString oldDir = QDir::currentPath();
    QVERIFY(QFile::exists(programDir + QLatin1Char('/') + icon));

    QDir::setCurrent(programDir);
    QVERIFY(!Qwa().windowIcon().availableSizes().isEmpty());

    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QLatin1Char('/') + icon));
    {
        BoxRecorder boxes;
        Qwa window;
        settle(100);
        // No icon at all: an icon made from a missing file would not be null.
        QVERIFY(window.windowIcon().isNull());
        QVERIFY(boxes.boxes.isEmpty());
    }

    const QString besideTest = QCoreApplication::applicationDirPath() + QLatin1Char('/') + icon;
    QVERIFY(QFile::copy(programDir + QLatin1Char('/') + icon, besideTest));
    const bool found = !Qwa().windowIcon().availableSizes().isEmpty();
    QFile::remove(besideTest);
    QDir::setCurrent(oldDir);
    QVERIFY(found);
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
