#include "simulatedbus.h"

#include "windowfixture.h"

SimulatedBus::SimulatedBus(const SimulatorSettings &settings) : simulator(settings), server(simulator)
{
    opened = server.openPseudoTerminal(&error);
    QObject::connect(&pump, &QTimer::timeout, [this] { server.serveOnce(0); });
}

SimulatorSettings SimulatedBus::settingsFor(std::uint8_t address)
{
    SimulatorSettings settings;
    settings.addresses = {address};
    return settings;
}

bool SimulatedBus::connect(WindowFixture &fixture)
{
    if (!fixture.openOn(server.path()))
        return false;
    pump.start(2);
    return true;
}
