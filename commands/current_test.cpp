// Current-loop test currents.
#include <QString>

#include <cstdint>
#include <iterator>

#include "frames.h"
#include "qwa.h"
#include "registers.h"
#include "settings.h"
#include "transmit.h"

namespace {

// Current bytes of the radio buttons, by their id in radioGroup.
constexpr std::uint8_t kFixedCurrents[] = {0x27, 0x28, 0x50, 0x78, 0xA0, 0xC8, 0xD0};

} // namespace

// Reads the checked button at the press, so a request sent in between cannot
// change the current and nothing is sent while no button is checked.
void Qwa::on_Btoceshi_clicked()
{
    const int id = radioGroup->checkedId();
    if (id < 0 || id >= int(std::size(kFixedCurrents)))
        return;
    sendRaw(buildLoopFrame(txFrame, LoopCommand::OutputCurrent, &kFixedCurrents[id], 1));
    pulseProgressBar();
}

void Qwa::onRadioClickSlot()
{
    // The checked button is read when 测试 is pressed; a click keeps nothing of its own.
}

// mA to tenths of a mA in one byte; 25.5 would be 0xFF, which leaves the test.
void Qwa::on_BtoZDceshi_clicked()
{
    const std::optional<std::int64_t> tenths = acceptedValue(Rule::TestCurrent, ui.lineCEshuru);
    if (!tenths)
        return;
    const auto current = static_cast<std::uint8_t>(*tenths);
    sendRaw(buildLoopFrame(txFrame, LoopCommand::OutputCurrent, &current, 1));
    pulseProgressBar();
}

void Qwa::on_Btotuichu_clicked()
{
    sendRaw(buildLoopFrame(txFrame, LoopCommand::OutputCurrent, &LoopCommand::LeaveTest, 1));
    pulseProgressBar();
}
