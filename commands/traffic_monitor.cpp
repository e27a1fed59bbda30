// The traffic monitor window.
#include "traffic_monitor.h"

#include <QDateTime>
#include <QEvent>
#include <QSaveFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "link.h"
#include "trafficrecord.h"

namespace {
// Two batches a second read as live; each costs an append and a repaint of
// about a millisecond and a half.
constexpr int kBatchMs = 500;
}

TrafficMonitor::TrafficMonitor(Link &link, QWidget *parent)
    : QWidget(parent, Qt::Window),
      link(link),
      record(link.traffic()),
      view(new QPlainTextEdit(this)),
      counts(new QLabel(this)),
      pauseButton(new QPushButton(this)),
      clearButton(new QPushButton(this)),
      saveButton(new QPushButton(this))
{
    counts->setObjectName(QStringLiteral("trafficCounts"));
    view->setReadOnly(true);
    view->setLineWrapMode(QPlainTextEdit::NoWrap);
    view->setMaximumBlockCount(TrafficRecord::kCapacity);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pauseButton);
    buttons->addWidget(clearButton);
    buttons->addWidget(saveButton);
    buttons->addSpacing(12);
    buttons->addWidget(counts, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(view);
    resize(780, 440);

    connect(pauseButton, &QPushButton::clicked, this, &TrafficMonitor::togglePause);
    connect(clearButton, &QPushButton::clicked, &record, &TrafficRecord::clear);
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitor::save);
    batch.setSingleShot(true);
    connect(&batch, &QTimer::timeout, this, &TrafficMonitor::showWhenLineAllows);
    // Just after an outcome the next reply is at least a request's wire time away.
    connect(&link, &Link::resultsReady, this, [this] {
        if (batchDue)
            showNewEvents();
    });
    connect(&record, &TrafficRecord::added, this, [this] {
        if (!batch.isActive())
            batch.start(kBatchMs);
    });
    connect(&record, &TrafficRecord::cleared, this, &TrafficMonitor::showAllEvents);

    retranslate();
    showAllEvents();
}

void TrafficMonitor::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void TrafficMonitor::retranslate()
{
    setWindowTitle(tr("通信监视"));
    pauseButton->setText(paused ? tr("继续") : tr("暂停"));
    clearButton->setText(tr("清除"));
    saveButton->setText(tr("保存"));
    showCounts();
}

void TrafficMonitor::showCounts()
{
    counts->setText(tr("请求 %1   应答 %2   无应答 %3   校验错误 %4   异常 %5")
                        .arg(record.count(TrafficEvent::Request))
                        .arg(record.count(TrafficEvent::Reply))
                        .arg(record.count(TrafficEvent::NoReply))
                        .arg(record.count(TrafficEvent::CheckFailed))
                        .arg(record.count(TrafficEvent::Exception)));
}

void TrafficMonitor::showWhenLineAllows()
{
    batchDue = link.awaitingReply();
    if (!batchDue)
        showNewEvents();
}

void TrafficMonitor::showNewEvents()
{
    batchDue = false;
    if (paused) {
        showCounts();
        return;
    }
    const std::deque<TrafficEvent> &events = record.events();
    const std::size_t fresh = record.total() - shownTotal;
    if (fresh > events.size()) {
        showAllEvents();
        return;
    }
    QStringList lines;
    for (auto it = events.end() - static_cast<std::ptrdiff_t>(fresh); it != events.end(); ++it)
        lines << TrafficRecord::lineOf(*it);
    if (!lines.isEmpty())
        view->appendPlainText(lines.join(QLatin1Char('\n')));
    shownTotal = record.total();
    showCounts();
}

void TrafficMonitor::showAllEvents()
{
    QStringList lines;
    for (const TrafficEvent &event : record.events())
        lines << TrafficRecord::lineOf(event);
    view->setPlainText(lines.join(QLatin1Char('\n')));
    // The newest line, seen from its start.
    view->moveCursor(QTextCursor::End);
    view->moveCursor(QTextCursor::StartOfLine);
    shownTotal = record.total();
    showCounts();
}

void TrafficMonitor::togglePause()
{
    paused = !paused;
    pauseButton->setText(paused ? tr("继续") : tr("暂停"));
    if (!paused)
        showAllEvents();
}

// The file is read away from the tool, often by someone else: it says what
// wrote it, when, in which time zone the times are, and on which line.
QString TrafficMonitor::header() const
{
    const QDateTime now = QDateTime::currentDateTime();
    const int offset = now.offsetFromUtc();
    const QString zone = QStringLiteral("UTC%1%2:%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(offset) / 3600, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 3600 / 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("nvb8140t-tool %1 traffic log\n").arg(QStringLiteral(NVB_VERSION))
           + QStringLiteral("Saved %1, times in local time, %2 (%3)\n")
                 .arg(now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), zone, now.timeZoneAbbreviation())
           + QStringLiteral("Port %1\n").arg(describeLine ? describeLine() : QStringLiteral("unknown"));
}

bool TrafficMonitor::saveTo(const QString &path, QString *error) const
{
    // Through a file of its own first: a write that fails half way (a full
    // disk) must not take the file it was to replace with it.
    // Unbuffered, each write goes to the disk at once: an error found only
    // when the buffer is flushed at the commit would not stop the commit. A
    // write cut short is tried again, so the second says what went wrong.
    QSaveFile file(path);
    const QByteArray utf8 = record.fileText(header()).toUtf8();
    qint64 written = 0;
    if (file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        for (qint64 n = 0; written < utf8.size(); written += n) {
            n = file.write(utf8.constData() + written, utf8.size() - written);
            if (n <= 0)
                break;
        }
    }
    const bool saved = written == utf8.size() && file.isOpen() && file.commit();
    if (!saved && error)
        *error = file.errorString();
    return saved;
}

void TrafficMonitor::save()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("保存"), QStringLiteral("nvb8140t-traffic.txt"),
                                                      tr("文本文件 (*.txt)"));
    QString error;
    if (!path.isEmpty() && !saveTo(path, &error))
        QMessageBox::information(this, tr("提示"), tr("无法写入 %1：%2").arg(path, error));
}
