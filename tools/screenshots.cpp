// Drives the window against a gateway (normally the simulator) and saves a real
// X screenshot of each page: scripts/screenshots runs it under Xvfb.
//   nvb_screenshots OUTDIR [--english] [--commissioning]
// --commissioning: the detection, then the commissioning window only.
// The port is the last one listed, e.g. the simulator's through NVB_EXTRA_PORTS.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QInputDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QToolTip>

#include <cstdio>

#include "commissioning_window.h"
#include "qwa.h"
#include "traffic_monitor.h"
#include "trend_view.h"

namespace {

void settle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
}

class Driver
{
public:
    Driver(Qwa &window, QString outDir, QString suffix)
        : window(window), ui(window.form()), outDir(std::move(outDir)), suffix(std::move(suffix))
    {
    }

    void press(QPushButton *button, int waitMs = 700)
    {
        button->click();
        settle(waitMs);
    }

    bool shoot(int page, const char *name)
    {
        ui.tabWidget->setCurrentIndex(page);
        settle(300);
        return shootWindow(&window, name);
    }

    // The screen over the main window when nothing is given, with a tooltip as it shows.
    bool shootWindow(QWidget *shown, const char *name)
    {
        const QString file = QStringLiteral("%1/%2%3.png").arg(outDir, QString::fromLatin1(name), suffix);
        const QRect area = window.frameGeometry();
        const QStringList what = shown ? QStringList{QString::number(shown->winId())}
                                       : QStringList{QStringLiteral("root"), QStringLiteral("-crop"),
                                                     QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y())};
        const int rc = QProcess::execute(QStringLiteral("import"), QStringList{QStringLiteral("-window")} + what + QStringList{file});
        std::printf("%s %s\n", rc == 0 ? "saved" : "FAILED", qPrintable(file));
        return rc == 0;
    }

    Qwa &window;
    const Ui::QwaClass &ui;
    QString outDir;
    QString suffix;
};

// A profile applied to the chosen gateway, the secret typed when asked; the
// window after the run.
bool commission(Driver &d)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.json"));
    QFile profile(path);
    profile.open(QIODevice::WriteOnly);
    profile.write(R"({"format": 1, "settings": {"frequency": 470, "spreading-factor": 9, "sampling-period": 60,
                      "range": [0, 125], "mode": "repeater"},
                      "cloud": {"region": "cn-shanghai", "property": "a1B2c3D4e5F", "name": "gateway-01",
                                "publish": "/a1B2c3D4e5F/gateway-01/user/update", "connect": true},
                      "meters": 4})");
    profile.close();
    d.window.openCommissioning();
    CommissioningWindow *window = d.window.commissioning();
    settle(300);
    if (!window->loadProfile(path))
        return false;
    QTimer secret;
    QObject::connect(&secret, &QTimer::timeout, [] {
        if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
            dialog->setTextValue(QStringLiteral("s3cret"));
            dialog->accept();
        }
    });
    secret.start(50);
    window->findChild<QPushButton *>(QStringLiteral("startButton"))->click();
    for (QElapsedTimer waited; window->isRunning() && waited.elapsed() < 20000;)
        settle(50);
    settle(300);
    return d.shootWindow(window, "commissioning");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: nvb_screenshots OUTDIR [--english] [--commissioning]\n");
        return 2;
    }
    const bool english = args.contains(QStringLiteral("--english"));
    const bool onlyCommissioning = args.contains(QStringLiteral("--commissioning"));
    QDir().mkpath(args[1]);

    Qwa window;
    window.show();
    settle(500);
    Driver d(window, args[1], english ? QStringLiteral("-en") : QString());
    const Ui::QwaClass &ui = d.ui;
    if (english)
        d.press(ui.Btoyuyan, 200);

    // The gateway is found by the detection, caught while it tries 9600 with odd parity.
    ui.comchuankou->setCurrentIndex(ui.comchuankou->count() - 1);
    d.press(ui.detectButton, 150);
    bool ok = d.shootWindow(&window, "detect");
    for (QElapsedTimer waited; !window.isPortOpen() && waited.elapsed() < 3000;)
        settle(50);
    if (!window.isPortOpen()) {
        std::fprintf(stderr, "nothing detected on %s\n", qPrintable(ui.comchuankou->currentText()));
        return 1;
    }
    settle(500);
    if (onlyCommissioning)
        return commission(d) && ok ? 0 : 1;
    for (QPushButton *read : {ui.BtoduquJ, ui.BtoduquB, ui.BtoduquHZ, ui.BtoduquSF, ui.BtoJSQRead, ui.pushButton2})
        d.press(read);
    ok &= d.shoot(0, "page0-serial");

    for (QPushButton *read : {ui.BtoTDduqu, ui.BtoBSduqu})
        d.press(read);
    ui.lineshijizhi->setText(QStringLiteral("4.012"));
    ui.lineCEshuru->setText(QStringLiteral("12.5"));
    ui.radio12mA->setChecked(true);
    ok &= d.shoot(1, "page1-current");

    for (QPushButton *read : {ui.BtnRdRange, ui.btnReadFreq, ui.btnReadSF, ui.btnRdNum, ui.btnRdID, ui.btnRdFWV,
                              ui.btnRdSampleRate, ui.btnRdAnologOut})
        d.press(read);
    ok &= d.shoot(3, "page3-platform");

    ui.lineEdit_AT1->setText(QStringLiteral("cn-shanghai"));
    ui.lineEdit_AT2->setText(QStringLiteral("a1B2c3D4e5F"));
    ui.lineEdit_AT4->setText(QStringLiteral("gateway-01"));
    ui.lineEdit_AT5->setText(QStringLiteral("/a1B2c3D4e5F/gateway-01/user/update"));
    ui.lineEdit_AT6->setText(QStringLiteral("/a1B2c3D4e5F/gateway-01/user/get"));
    d.press(ui.pushButton_AT1);
    ok &= d.shoot(4, "page4-mqtt");

    ui.lineshuliang->setText(QStringLiteral("8"));
    ui.tabWidget->setCurrentIndex(2);
    d.press(ui.Btocaiji, 2600);
    ok &= d.shoot(2, "page2-acquisition");

    // Recording; then a gateway that does not answer (address 9) lets the values age
    // for a few polls, one of them hovered.
    ok &= window.startRecording(QDir::temp().filePath(QStringLiteral("nvb8140t-screenshot.csv")));
    settle(20000);
    ui.comdizhi->addItem(QStringLiteral("9"));
    ui.comdizhi->setCurrentIndex(ui.comdizhi->count() - 1);
    settle(4500);
    const QTableWidgetItem *hovered = ui.tableWidget->item(1, 1);
    if (hovered) {
        const QPoint at = ui.tableWidget->visualItemRect(hovered).center();
        QToolTip::showText(ui.tableWidget->viewport()->mapToGlobal(at), hovered->toolTip(), ui.tableWidget);
    }
    settle(600);
    ok &= d.shootWindow(nullptr, "page2-stale");
    QToolTip::hideText();
    ui.comdizhi->setCurrentIndex(0);
    settle(15000);
    window.openTrend();
    window.trendWindow()->resize(780, 440);
    window.trendWindow()->findChildren<QPushButton *>().at(2)->click(); // all the session
    settle(500);
    ok &= d.shootWindow(window.trendWindow(), "trend");
    d.press(ui.Btocaiji, 200);

    window.openMonitor();
    settle(500);
    ok &= d.shootWindow(window.monitor(), "monitor");
    ok &= commission(d);
    return ok ? 0 : 1;
}
