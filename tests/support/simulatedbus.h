#pragma once

#include <QString>
#include <QTimer>

#include <cstdint>

#include "gatewaysimulator.h"
#include "lineserver.h"

class WindowFixture;

// The gateway simulator on a pseudo-terminal, served from the test's own event
// loop so that its state can be looked at between exchanges without a thread.
struct SimulatedBus {
    explicit SimulatedBus(const SimulatorSettings &settings);

    // The default gateway, answering at that address only.
    static SimulatorSettings settingsFor(std::uint8_t address);

    // Opens the window's port on the line; serving starts once a client is there.
    bool connect(WindowFixture &fixture);

    GatewayState &gateway() { return simulator.gateway(0); }

    GatewaySimulator simulator;
    LineServer server;
    QTimer pump;
    bool opened = false;
    QString error;
};
