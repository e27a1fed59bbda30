// The trend window: the acquisition's values over the session.
#include "trend_view.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace {

constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kSpans[] = {10 * kMinute, 60 * kMinute, 0};
constexpr int kLeft = 60;
constexpr int kRight = 10;
constexpr int kTop = 10;
constexpr int kBottom = 24;

// About five steps of 1, 2 or 5 times a power of ten across the range.
double valueStep(double range)
{
    const double rough = range / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0})
        if (rough <= factor * power)
            return factor * power;
    return 10 * power;
}

qint64 timeStep(qint64 span)
{
    static const qint64 steps[] = {1000,         2000,         5000,          10000,         15000,
                                   30000,        kMinute,      2 * kMinute,   5 * kMinute,   10 * kMinute,
                                   15 * kMinute, 30 * kMinute, 60 * kMinute,  120 * kMinute, 180 * kMinute,
                                   360 * kMinute, 720 * kMinute, 1440 * kMinute};
    for (qint64 step : steps)
        if (span / step <= 6)
            return step;
    return span / 6;
}

} // namespace

TrendPlot::TrendPlot(const TrendStore &store, QWidget *parent)
    : QWidget(parent), store(store), spanMs(kSpans[0])
{
    setObjectName(QStringLiteral("trendPlot"));
    setMinimumSize(400, 200);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TrendPlot::setSpan(qint64 ms)
{
    spanMs = ms;
    update();
}

void TrendPlot::setShown(int meter, bool shown)
{
    hidden.set(std::size_t(meter), !shown);
    update();
}

// Neighbours differ in hue by the golden angle; three brightnesses in turn.
QColor TrendPlot::colorOf(int meter)
{
    return QColor::fromHsv(int(meter * 137.508) % 360, 230, 210 - 50 * (meter % 3));
}

void TrendPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const QRect area = rect().adjusted(kLeft, kTop, -kRight, -kBottom);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    if (store.isEmpty() || area.width() < 2 || area.height() < 2)
        return;

    // The newest poll at the right edge.
    const qint64 to = store.timeAt(store.size() - 1) + 1;
    const qint64 from = spanMs > 0 ? to - spanMs : store.timeAt(0);
    const int width = area.width();
    const std::vector<TrendStore::Column> columns = store.columns(from, to, width);

    // Each shown meter's columns, and the values' extent for the scale.
    std::vector<TrendStore::Range> ranges(std::size_t(width) * TrendStore::kMeters);
    double low = INFINITY;
    double high = -INFINITY;
    for (int m = 0; m < store.meters(); ++m) {
        if (!isShown(m))
            continue;
        for (int x = 0; x < width; ++x) {
            const TrendStore::Column &c = columns[std::size_t(x)];
            TrendStore::Range &r = ranges[std::size_t(m * width + x)];
            r = store.range(m, c.begin, c.end);
            if (!std::isnan(r.min)) {
                low = std::min(low, double(r.min));
                high = std::max(high, double(r.max));
            }
        }
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 1;
    }
    if (high - low < 1e-3) {
        low -= 0.5;
        high += 0.5;
    }
    const double pad = (high - low) * 0.05;
    low -= pad;
    high += pad;
    const auto yOf = [&](double value) { return area.bottom() - (value - low) / (high - low) * (area.height() - 1); };

    // The grid and its labels.
    const QColor grid = palette().color(QPalette::Midlight);
    const QColor text = palette().color(QPalette::Text);
    const int textHeight = fontMetrics().height();
    const double step = valueStep(high - low);
    const int decimals = std::max(0, int(-std::floor(std::log10(step))));
    for (double v = std::ceil(low / step) * step; v <= high; v += step) {
        const int y = int(yOf(v));
        painter.setPen(grid);
        painter.drawLine(area.left() + 1, y, area.right() - 1, y);
        painter.setPen(text);
        painter.drawText(QRect(0, y - textHeight / 2, kLeft - 6, textHeight), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(v, 'f', decimals));
    }
    const qint64 tick = timeStep(to - from);
    const qint64 offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * 1000LL;
    const QString format = tick < kMinute ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    for (qint64 t = ((from + offset) / tick + 1) * tick - offset; t < to; t += tick) {
        const int x = area.left() + int((t - from) * width / (to - from));
        painter.setPen(grid);
        painter.drawLine(x, area.top() + 1, x, area.bottom() - 1);
        painter.setPen(text);
        painter.drawText(QRect(x - 40, area.bottom() + 4, 80, textHeight), Qt::AlignHCenter | Qt::AlignTop,
                         QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }

    // Each column: a bar from its minimum to its maximum, joined to the
    // column of the poll before when both polls have values.
    painter.setClipRect(area);
    QVector<QLineF> lines;
    QVector<QPointF> points;
    for (int m = 0; m < store.meters(); ++m) {
        if (!isShown(m))
            continue;
        lines.clear();
        points.clear();
        int previousEnd = -1;
        float previousLast = NAN;
        double previousX = 0;
        bool previousDot = false;
        for (int i = 0; i < width; ++i) {
            const TrendStore::Column &c = columns[std::size_t(i)];
            if (c.begin == c.end)
                continue;
            const TrendStore::Range &r = ranges[std::size_t(m * width + i)];
            const double x = area.left() + i + 0.5;
            const float first = store.value(m, c.begin);
            const bool joined = previousEnd == c.begin && !std::isnan(previousLast) && !std::isnan(first);
            if (joined) {
                lines << QLineF(previousX, yOf(previousLast), x, yOf(first));
                // A lone value is a dot only while nothing joins it.
                if (previousDot)
                    points.removeLast();
            }
            previousDot = false;
            if (!std::isnan(r.min)) {
                if (r.max > r.min) {
                    lines << QLineF(x, yOf(r.min), x, yOf(r.max));
                } else if (!joined) {
                    points << QPointF(x, yOf(r.min));
                    previousDot = true;
                }
            }
            previousEnd = c.end;
            previousLast = store.value(m, c.end - 1);
            previousX = x;
        }
        painter.setPen(QPen(colorOf(m), 0));
        painter.drawLines(lines);
        painter.setPen(QPen(colorOf(m), 2.5, Qt::SolidLine, Qt::RoundCap));
        painter.drawPoints(points);
    }
}

TrendWindow::TrendWindow(const TrendStore &store, QWidget *parent)
    : QWidget(parent, Qt::Window), store(store), view(new TrendPlot(store, this)), spans(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("trendWindow"));
    auto *spanRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        auto *button = new QPushButton(this);
        button->setCheckable(true);
        button->setChecked(i == 0);
        spans->addButton(button, i);
        spanRow->addWidget(button);
    }
    spanRow->addStretch(1);
    connect(spans, &QButtonGroup::idClicked, this, [this](int id) { view->setSpan(kSpans[id]); });

    auto *legendColumn = new QVBoxLayout;
    legendColumn->setSpacing(2);
    for (int m = 0; m < TrendStore::kMeters; ++m) {
        QPixmap swatch(12, 12);
        swatch.fill(TrendPlot::colorOf(m));
        legend[m] = new QCheckBox(this);
        legend[m]->setIcon(QIcon(swatch));
        legend[m]->setChecked(true);
        legend[m]->setVisible(false);
        legendColumn->addWidget(legend[m]);
        connect(legend[m], &QCheckBox::toggled, this, [this, m](bool on) { view->setShown(m, on); });
    }
    legendColumn->addStretch(1);

    auto *body = new QHBoxLayout;
    body->addWidget(view, 1);
    body->addLayout(legendColumn);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(spanRow);
    layout->addLayout(body, 1);
    resize(900, 480);
    retranslate();
    dataAdded();
}

void TrendWindow::dataAdded()
{
    for (int m = 0; m < store.meters(); ++m)
        legend[m]->setVisible(true);
    if (isVisible())
        view->update();
}

void TrendWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void TrendWindow::retranslate()
{
    setWindowTitle(tr("趋势"));
    spans->button(0)->setText(tr("10 分钟"));
    spans->button(1)->setText(tr("1 小时"));
    spans->button(2)->setText(tr("全部"));
    for (int m = 0; m < TrendStore::kMeters; ++m)
        legend[m]->setText(tr("表 %1").arg(m + 1));
}
