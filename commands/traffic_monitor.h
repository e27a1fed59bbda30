#pragma once

#include <QTimer>
#include <QWidget>

#include <cstddef>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TrafficRecord;

// The traffic on the line as it happens: one line per event, the counts by
// kind, pause, clear and save. It shows the record the window keeps from its
// start, so opening it after a problem shows what led to it.
class TrafficMonitor : public QWidget
{
    Q_OBJECT
public:
    explicit TrafficMonitor(TrafficRecord &record, QWidget *parent);

    // Every kept event as a line of text, UTF-8; false when the file cannot be written.
    bool saveTo(const QString &path) const;

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();
    void showNewEvents();
    void showAllEvents();
    void showCounts();
    void togglePause();
    void save();

    TrafficRecord &record;
    QPlainTextEdit *view;
    QLabel *counts;
    QPushButton *pauseButton;
    QPushButton *clearButton;
    QPushButton *saveButton;
    // Lines are added in batches, so a busy line costs the reception nothing.
    QTimer batch;
    std::size_t shownTotal = 0;
    bool paused = false;
};
