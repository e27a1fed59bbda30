// Feeds arbitrary bytes to the window's reception under any pending code and
// any meter-count text, in chunks of arbitrary size.
//
// Input: byte 0 the pending code, byte 1 picks the meter-count text, then
// repeated [chunk length, chunk bytes...].
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

#include <cstdint>
#include <cstdlib>

#include "qwa.h"

namespace {

Qwa *window()
{
    static QApplication *application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "fuzz_reception";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    (void)application;
    static Qwa *instance = [] {
        auto *w = new Qwa;
        w->setPulsePause(0);
        return w;
    }();
    return instance;
}

const char *const kMeterTexts[] = {"", "0", "1", "2", "7", "21", "22", "-1", "-2147483648",
                                   "2147483647", "1000000", "abc", " 5", "0x10", "٣"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    Qwa *w = window();
    const Ui::QwaClass &ui = w->form();
    // Keep the window's lists from growing across runs.
    if (ui.comdizhi->count() > 0)
        ui.comdizhi->clear();
    ui.tableWidget->clearContents();
    w->resetReception();

    w->setCurrentCommand(data[0]);
    const std::size_t texts = sizeof kMeterTexts / sizeof kMeterTexts[0];
    const QString meters = data[1] < texts ? QString::fromUtf8(kMeterTexts[data[1]])
                                           : QString::number(int(data[1]) - 128);
    // Setting a line edit's text lays it out; skip that when nothing changes.
    if (ui.lineshuliang->text() != meters)
        ui.lineshuliang->setText(meters);

    std::size_t at = 2;
    while (at < size) {
        const std::size_t chunk = std::min<std::size_t>(data[at] + 1u, size - at - 1);
        ++at;
        w->receiveBytes(QByteArray(reinterpret_cast<const char *>(data + at), int(chunk)));
        at += chunk;
    }
    return 0;
}
