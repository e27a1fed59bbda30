#include "qwa.h"

#include <QEvent>
#include <QFile>
#include <QIcon>
#include <QSerialPortInfo>
#include <QThread>

#include <cstdlib>
#include <future>

namespace {

// Pseudo-terminals (the simulator's, a test's) are never listed by the system.
QStringList extraPortPaths()
{
    return QString::fromLocal8Bit(qgetenv("NVB_EXTRA_PORTS")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

} // namespace

Qwa::Qwa(QWidget *parent)
    : QWidget(parent),
      pendingCommand(0),
      radioGroup(nullptr),
      searchTimer(nullptr),
      acquireTimer(nullptr),
      portOpen(false),
      searchAddress(1)
{
    searchTimer = new QTimer(this);
    connect(searchTimer, &QTimer::timeout, this, &Qwa::sousuodizhi);
    acquireTimer = new QTimer(this);
    connect(acquireTimer, &QTimer::timeout, this, &Qwa::caijihanshu);
    staleTimer = new QTimer(this);
    staleTimer->setSingleShot(true);
    connect(staleTimer, &QTimer::timeout, this, &Qwa::markStaleValues);

    ui.setupUi(this);
    // The form opens the icon from the working directory; started elsewhere,
    // take it from beside the program or from the installed data folder instead.
    const QString iconName = QStringLiteral("天线.png");
    if (!QFile::exists(iconName)) {
        const QString found = findDataFile(iconName);
        setWindowIcon(QFile::exists(found) ? QIcon(found) : QIcon());
    }

    radioGroup = new QButtonGroup(this);
    const QList<QRadioButton *> radios = {ui.radio39mA, ui.radio4mA, ui.radio8mA, ui.radio12mA,
                                          ui.radio16mA, ui.radio20mA, ui.radio208mA};
    for (int id = 0; id < radios.size(); ++id)
        radioGroup->addButton(radios[id], id);
    for (QRadioButton *radio : radios)
        connect(radio, &QRadioButton::clicked, this, &Qwa::onRadioClickSlot);

    loadQtTranslation(true);
    ui.progressBar->setRange(0, 247);
    // The gateway's line settings show once read; the form's first items are no reading.
    ui.combotelv2->setCurrentIndex(-1);
    ui.comjiaoyanwei2->setCurrentIndex(-1);
    ui.comchuankou->installEventFilter(this);
    portOpen = false;
    connect(&serialLink, &Link::resultsReady, this, &Qwa::on_SerialPort_ReadyRead);
    connect(&serialLink, &Link::lineLost, this, &Qwa::onLineLost);
    connect(&detector, &Detector::trying, this, &Qwa::showLineSetting);
    connect(&detector, &Detector::finished, this, &Qwa::detectionFinished);
    setUpTrafficWatch();
    // A recording takes the columns of a running acquisition.
    ui.recordButton->setEnabled(false);
}

Qwa::~Qwa()
{
    // The answer is posted to this window; it must not come while it goes.
    if (portsAsked.valid())
        portsAsked.wait();
    delete searchTimer;
}

bool Qwa::eventFilter(QObject *watched, QEvent *event)
{
    // The filter sees presses on the disabled box too; while the port is open
    // the list must keep naming the open port.
    if (event->type() == QEvent::MouseButtonPress && watched == ui.comchuankou && ui.comchuankou->isEnabled()) {
        ui.comchuankou->clear();
        fillPortList();
    }
    return false;
}

// Asking the system for its ports takes longer than building the form, and
// slows the start-up even on a thread of its own: it starts once the first
// paint is on the screen.
void Qwa::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    if (portsAskedFor)
        return;
    portsAskedFor = true;
    QTimer::singleShot(0, this, [this] {
        portsAsked = std::async(std::launch::async, [this] {
            const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
            QMetaObject::invokeMethod(this, [this, ports] { takeFirstPortList(ports); }, Qt::QueuedConnection);
        });
    });
}

void Qwa::takeFirstPortList(const QList<QSerialPortInfo> &ports)
{
    if (ui.comchuankou->count() > 0 || portOpen)
        return;
    fillPortList(ports);
    // A port given to this run (the simulator's) is the one to open.
    const int extraPorts = extraPortPaths().size();
    if (extraPorts > 0)
        ui.comchuankou->setCurrentIndex(ui.comchuankou->count() - extraPorts);
}

void Qwa::fillPortList()
{
    fillPortList(QSerialPortInfo::availablePorts());
}

void Qwa::fillPortList(const QList<QSerialPortInfo> &ports)
{
    for (const QSerialPortInfo &info : ports)
        ui.comchuankou->addItem(info.portName(), QVariant());
    for (const QString &path : extraPortPaths())
        ui.comchuankou->addItem(path, QVariant());
}

void Qwa::pulseProgressBar()
{
    serialLink.noteBlocked();
    ui.progressBar->setValue(0);
    QThread::msleep(static_cast<unsigned long>(pulsePauseMs));
    ui.progressBar->setValue(100);
    QThread::msleep(static_cast<unsigned long>(pulsePauseMs));
    ui.progressBar->setValue(200);
    QThread::msleep(static_cast<unsigned long>(pulsePauseMs));
    ui.progressBar->setValue(247);
}
