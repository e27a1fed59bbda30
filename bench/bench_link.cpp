// Measures, each beside its floor:
//  - reply latency: last byte of a reply written on a pty until the handler's
//    widget update, with the traffic monitor closed and open, against a bare
//    QSerialPort's readyRead on the same pty;
//  - start-up to the window's first paint, against a bare QWidget window and
//    against the same form built on a bare QWidget without the tool's logic,
//    and until the tool's port list is filled, which it asks for after that paint;
//  - resident memory after start, against those two.
//
//   bench_link [replies]           runs everything (default 400 replies)
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSerialPort>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "qwa.h"
#include "residentmemory.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Pty {
    int master = -1;
    int slave = -1;
    QString path;
    Pty()
    {
        char name[256] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        termios settings;
        tcgetattr(slave, &settings);
        cfmakeraw(&settings);
        tcsetattr(slave, TCSANOW, &settings);
        path = QString::fromLocal8Bit(name);
    }
    ~Pty()
    {
        ::close(master);
        ::close(slave);
    }
};

// A writer thread puts each reply on the line, notes when its last byte went
// out, and waits until the GUI thread has seen it before the next.
class ReplyWriter
{
public:
    // requestLength: each reply answers a request of this many bytes, read first; 0: none.
    ReplyWriter(int fd, int count, std::function<QByteArray(int)> reply, int requestLength = 0)
        : fd(fd), count(count), requestLength(requestLength), makeReply(std::move(reply))
    {
    }

    void start()
    {
        thread = std::thread([this] {
            for (int i = 0; i < count; ++i) {
                for (int got = 0; got < requestLength;) {
                    char request[16];
                    const ssize_t n = ::read(fd, request, size_t(requestLength - got));
                    if (n <= 0)
                        return;
                    got += int(n);
                }
                const QByteArray bytes = makeReply(i);
                if (bytes.size() > 1 && ::write(fd, bytes.constData(), size_t(bytes.size() - 1)) < 0)
                    return;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                seen.store(false);
                sentAt = Clock::now();
                if (::write(fd, bytes.constData() + bytes.size() - 1, 1) < 0)
                    return;
                while (!seen.load())
                    std::this_thread::sleep_for(std::chrono::microseconds(50));
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
            }
            done.store(true);
        });
    }

    void observed()
    {
        if (seen.load())
            return;
        latenciesUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - sentAt).count());
        seen.store(true);
    }

    void join() { thread.join(); }
    std::atomic<bool> done{false};
    std::vector<double> latenciesUs;

private:
    int fd;
    int count;
    int requestLength;
    std::function<QByteArray(int)> makeReply;
    std::thread thread;
    std::atomic<bool> seen{true};
    Clock::time_point sentAt;
};

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
    return values[at];
}

void waitUntil(const std::atomic<bool> &flag)
{
    while (!flag.load())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

std::vector<double> bareLatency(int count)
{
    Pty pty;
    QSerialPort port(pty.path);
    port.open(QIODevice::ReadWrite);
    ReplyWriter writer(pty.master, count, [](int i) { return QByteArray::fromHex("AA050C00AA").replace(3, 1, QByteArray(1, char(i))); });
    QObject::connect(&port, &QSerialPort::readyRead, [&] {
        if (port.bytesAvailable() >= 5) {
            port.readAll();
            writer.observed();
        }
    });
    writer.start();
    waitUntil(writer.done);
    writer.join();
    return writer.latenciesUs;
}

std::vector<double> toolLatency(int count, bool monitorOpen)
{
    Pty pty;
    Qwa window;
    window.setPulsePause(0);
    if (monitorOpen)
        window.openMonitor();
    const Ui::QwaClass &ui = window.form();
    ui.comchuankou->addItem(pty.path);
    ui.comchuankou->setCurrentIndex(ui.comchuankou->count() - 1);
    ui.Btodakai->click();
    // Channel reads and their replies: checked, no pulse, the channel shown in lineTDxiugai.
    // Consecutive channels differ, and none is the field's starting "1", so every reply changes the text.
    ReplyWriter writer(pty.master, count, [](int i) { return QByteArray::fromHex("AA050C00AA").replace(3, 1, QByteArray(1, char(i + 7))); }, 4);
    QObject::connect(ui.lineTDxiugai, &QLineEdit::textChanged, [&] {
        writer.observed();
        // The next read once this reply is handled, as a user's next click would come.
        QTimer::singleShot(0, ui.BtoTDduqu, &QPushButton::click);
    });
    writer.start();
    ui.BtoTDduqu->click();
    waitUntil(writer.done);
    writer.join();
    return writer.latenciesUs;
}

enum class Shown { Bare, Form, Tool };

// Ends start-up when the window's first paint has been handled. A polling
// wait for exposure would round every figure up to its 10 ms steps.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(const QElapsedTimer &clock) : clock(clock) {}
    qint64 paintedUs = -1;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedUs < 0)
            QTimer::singleShot(0, this, [this] {
                paintedUs = clock.nsecsElapsed() / 1000;
                QCoreApplication::quit();
            });
        return false;
    }

private:
    const QElapsedTimer &clock;
};

// Child mode: build the window, show it, report when it is first painted and the memory then.
int showOnce(Shown what)
{
    QElapsedTimer clock;
    clock.start();
    int argc = 1;
    char name[] = "bench_link";
    char *argv[] = {name, nullptr};
    QApplication application(argc, argv);
    FirstPaint firstPaint(clock);
    // A port of its own, so that the list is never empty on a machine with none.
    if (what == Shown::Tool)
        qputenv("NVB_EXTRA_PORTS", "/dev/nvb-bench");
    QWidget *window = what == Shown::Tool ? new Qwa : new QWidget;
    Ui::QwaClass form;
    if (what == Shown::Form)
        form.setupUi(window);
    else if (what == Shown::Bare)
        window->resize(629, 483);
    window->installEventFilter(&firstPaint);
    window->show();
    QTimer::singleShot(5000, &application, &QCoreApplication::quit);
    application.exec();
    if (firstPaint.paintedUs < 0)
        return 1;
    const long resident = residentKiB();
    // The tool asks for its ports after the first paint: how much later the list is filled.
    qint64 listedUs = 0;
    if (what == Shown::Tool) {
        auto *ports = window->findChild<QComboBox *>(QStringLiteral("comchuankou"));
        QObject::connect(ports->model(), &QAbstractItemModel::rowsInserted, &application, [&] {
            if (listedUs == 0)
                listedUs = clock.nsecsElapsed() / 1000;
            QCoreApplication::quit();
        });
        QTimer::singleShot(5000, &application, &QCoreApplication::quit);
        if (ports->count() == 0)
            application.exec();
        if (listedUs == 0)
            return 1;
    }
    std::printf("%lld %ld %lld\n", static_cast<long long>(firstPaint.paintedUs), resident, static_cast<long long>(listedUs));
    delete window;
    return 0;
}

// The three kinds of window in turn, run after run, so that a machine whose
// speed drifts shifts them alike; the ratio to the form alone is taken run by run.
void startupAndMemory(const char *self)
{
    const int runs = 31;
    const char *const modes[] = {"--bare", "--form", "--tool"};
    const char *const labels[] = {"start-up, bare QWidget:", "start-up, form alone:", "start-up, tool window:"};
    std::vector<double> startMs[3];
    std::vector<double> rssKiB[3];
    std::vector<double> toolOverForm;
    std::vector<double> listedMs;
    for (int i = 0; i < runs; ++i) {
        double ms[3] = {0, 0, 0};
        for (int m = 0; m < 3; ++m) {
            QProcess child;
            child.start(QString::fromLocal8Bit(self), {QString::fromLatin1(modes[m])});
            child.waitForFinished(10000);
            const QList<QByteArray> fields = child.readAllStandardOutput().trimmed().split(' ');
            if (fields.size() != 3)
                continue;
            ms[m] = fields[0].toDouble() / 1000.0;
            startMs[m].push_back(ms[m]);
            rssKiB[m].push_back(fields[1].toDouble());
            if (m == 2)
                listedMs.push_back(fields[2].toDouble() / 1000.0);
        }
        if (ms[1] > 0 && ms[2] > 0)
            toolOverForm.push_back(ms[2] / ms[1]);
    }
    for (int m = 0; m < 3; ++m) {
        if (!startMs[m].empty())
            std::printf("%-28s median %7.1f ms   resident %7.0f KiB\n", labels[m], percentile(startMs[m], 0.5),
                        percentile(rssKiB[m], 0.5));
    }
    if (!toolOverForm.empty())
        std::printf("start-up, tool / form alone:  median %.3f (goal: at most 1.1)\n", percentile(toolOverForm, 0.5));
    if (!listedMs.empty())
        std::printf("tool window, its ports listed: median %7.1f ms\n", percentile(listedMs, 0.5));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--bare")
        return showOnce(Shown::Bare);
    if (argc > 1 && QByteArray(argv[1]) == "--form")
        return showOnce(Shown::Form);
    if (argc > 1 && QByteArray(argv[1]) == "--tool")
        return showOnce(Shown::Tool);

    const int replies = argc > 1 ? std::max(200, QByteArray(argv[1]).toInt()) : 400;
    {
        QApplication application(argc, argv);
        const std::vector<double> floor = bareLatency(replies);
        const std::vector<double> closed = toolLatency(replies, false);
        const std::vector<double> open = toolLatency(replies, true);
        std::printf("reply latency over %d replies (us)      p50      p99\n", replies);
        std::printf("  bare QSerialPort readyRead:       %8.1f %8.1f\n", percentile(floor, 0.5), percentile(floor, 0.99));
        std::printf("  tool, monitor closed:             %8.1f %8.1f\n", percentile(closed, 0.5), percentile(closed, 0.99));
        std::printf("  tool, monitor open:               %8.1f %8.1f\n", percentile(open, 0.5), percentile(open, 0.99));
        std::printf("  added by the tool at p99: %.1f us closed, %.1f us open (goal: under 570 us, one character at 19200 baud)\n",
                    percentile(closed, 0.99) - percentile(floor, 0.99), percentile(open, 0.99) - percentile(floor, 0.99));
    }
    startupAndMemory(argv[0]);
    return 0;
}
