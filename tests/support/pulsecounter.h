#pragma once

#include <QSignalSpy>

class WindowFixture;

// Counts the window's pulses from now on: every accepted reply runs the
// progress bar up to 247, and that is often all a reply leaves behind.
class PulseCounter
{
public:
    explicit PulseCounter(const WindowFixture &fixture);

    int count() const;
    // Runs the event loop until n pulses are counted or the time is up.
    int waitFor(int n, int timeoutMs);
    // Waits for the expected pulses, then a while longer (longest when none
    // are expected) so that one too many would be counted as well.
    int waitAndSettle(int expected, int timeoutMs = 2000);

private:
    QSignalSpy values;
};
