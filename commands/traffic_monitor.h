#pragma once

#include <QTimer>
#include <QWidget>

#include <cstddef>
#include <functional>

class QLabel;
class QPlainTextEdit;
class Link;
class QPushButton;
class TrafficRecord;

// The traffic on the line as it happens: one line per event, the counts by
// kind, pause, clear and save. It shows the record the window keeps from its
// start, so opening it after a problem shows what led to it.
class TrafficMonitor : public QWidget
{
    Q_OBJECT
public:
    TrafficMonitor(Link &link, QWidget *parent);

    // The window tells which port and line settings the traffic was on.
    void setLineDescription(std::function<QString()> describe) { describeLine = std::move(describe); }
    // A header, then every kept event as a line of text, UTF-8. The file is
    // replaced only once all of it is written; false with the reason when not.
    bool saveTo(const QString &path, QString *error = nullptr) const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showNewEvents();
    void showWhenLineAllows();
    void showAllEvents();
    void showCounts();
    void togglePause();
    void save();

    QString header() const;

    Link &link;
    TrafficRecord &record;
    std::function<QString()> describeLine;
    QPlainTextEdit *view;
    QLabel *counts;
    QPushButton *pauseButton;
    QPushButton *clearButton;
    QPushButton *saveButton;
    // Lines are added in batches, and never while a reply is awaited: the append
    // and repaint would hold up the reply's handling.
    QTimer batch;
    bool batchDue = false;
    std::size_t shownTotal = 0;
    bool paused = false;
};
