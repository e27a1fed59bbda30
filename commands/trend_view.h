#pragma once

#include <QWidget>

#include <bitset>

#include "trendstore.h"

class QButtonGroup;
class QCheckBox;

// The meter values over time, drawn from per-pixel minimum and maximum so
// that a repaint costs the same with a minute or a day held. Consecutive polls
// with values are joined; a poll without one (a silent meter, no reply) and a
// stop of the acquisition leave a gap.
class TrendPlot : public QWidget
{
public:
    TrendPlot(const TrendStore &store, QWidget *parent);

    // The time shown, up to the last poll; 0 shows everything held.
    void setSpan(qint64 ms);
    void setShown(int meter, bool shown);
    bool isShown(int meter) const { return !hidden.test(std::size_t(meter)); }
    static QColor colorOf(int meter);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const TrendStore &store;
    qint64 spanMs;
    std::bitset<TrendStore::kMeters> hidden;
};

// The trend in a window of its own: the spans, the plot and a legend that
// shows or hides each meter.
class TrendWindow : public QWidget
{
    Q_OBJECT
public:
    TrendWindow(const TrendStore &store, QWidget *parent);

    // A poll was added to the store.
    void dataAdded();
    TrendPlot *plot() const { return view; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslate();

    const TrendStore &store;
    TrendPlot *view;
    QButtonGroup *spans;
    QCheckBox *legend[TrendStore::kMeters];
};
