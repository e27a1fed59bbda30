#include "pulsecounter.h"

#include <QElapsedTimer>
#include <QProgressBar>

#include "ptyline.h"
#include "windowfixture.h"

PulseCounter::PulseCounter(const WindowFixture &fixture)
    : values(fixture.child<QProgressBar>("progressBar"), &QProgressBar::valueChanged)
{
}

int PulseCounter::count() const
{
    int pulses = 0;
    for (const QList<QVariant> &change : values)
        pulses += change.at(0).toInt() == 247;
    return pulses;
}

int PulseCounter::waitFor(int n, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (count() < n && clock.elapsed() < timeoutMs)
        settle(10);
    return count();
}

int PulseCounter::waitAndSettle(int expected, int timeoutMs)
{
    waitFor(expected, timeoutMs);
    settle(expected > 0 ? 50 : 500);
    return count();
}
