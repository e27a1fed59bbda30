// The window's reception through its link: requests from its buttons or built
// for any request code, replies in pieces of any size, each outcome handed to
// the window's handler of its code.
//
// Input: byte 0 the address chosen, byte 1 picks the meter-count text, then
// repeated [op, ...]: a button, a built request for a code, a piece of reply
// or a turn of the event loop (where a time-out of 0 ends an attempt).
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTableWidget>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzzinput.h"
#include "decoder.h"
#include "qwa.h"
#include "requestcodes.h"
#include "settings.h"

namespace {

std::vector<QByteArray> wire;

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
        w->link().setWire([](const QByteArray &frame) { wire.push_back(frame); });
        return w;
    }();
    return instance;
}

// The window's requests that go out as they are, with no refusal box and no timer.
const char *const kButtons[] = {
    "on_BtoduquJ_clicked",     "on_BtoduquB_clicked",        "on_pushButton2_clicked",
    "on_BtoJSQRead_clicked",   "on_BtoduquSF_clicked",       "on_BtoduquHZ_clicked",
    "on_btnReadSF_clicked",    "on_btnReadFreq_clicked",     "on_BtnRdRange_clicked",
    "on_btnRdNum_clicked",     "on_btnRdID_clicked",         "on_btnRdFWV_clicked",
    "on_btnRdSampleRate_clicked", "on_btnRdAnologOut_clicked", "on_Btoguangbo_clicked",
    "on_BtoTDduqu_clicked",    "on_BtoBSduqu_clicked",       "on_pushButton_Yes_clicked",
    "on_pushButton_connect_clicked", "on_pushButton_OPaLI_clicked", "on_Btotuichu_clicked",
    "on_pushButton_AT1_clicked", "on_pushButton_AT3_clicked", "on_pushButton_AT5_clicked",
    "caijihanshu",
};
const char *const kAcquisitionTick = kButtons[sizeof kButtons / sizeof kButtons[0] - 1];

const char *const kMeterTexts[] = {"", "0", "1", "2", "7", "21", "22", "-1", "-2147483648",
                                   "2147483647", "1000000", "abc", " 5", "0x10", "٣"};

void setText(QLineEdit *field, const QString &text)
{
    // Setting a line edit's text lays it out; skip that when nothing changes.
    if (field->text() != text)
        field->setText(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    Qwa *w = window();
    const Ui::QwaClass &ui = w->form();
    FuzzInput in(data, size);
    // Each run starts on an idle line with one gateway listed.
    wire.clear();
    ui.comdizhi->addItem(QString::number(in.byte()));
    const std::uint8_t meters = in.byte();
    constexpr std::size_t kTexts = sizeof kMeterTexts / sizeof kMeterTexts[0];
    setText(ui.lineshuliang, meters < kTexts ? QString::fromUtf8(kMeterTexts[meters]) : QString::number(int(meters) - 128));

    int requests = 0;
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        switch (op % 8) {
        case 0: {
            const std::uint8_t pick = in.byte();
            const char *slot = kButtons[pick % (sizeof kButtons / sizeof kButtons[0])];
            // Printable ASCII that fits a frame: a longer text is refused with a modal box,
            // which would hold the run.
            if (pick & 0x80) {
                QByteArray text = in.bytes(in.byte() % 40);
                for (char &c : text)
                    c = char(' ' + std::uint8_t(c) % 95);
                setText(ui.lineEdit_AT3, QString::fromLatin1(text));
            }
            // The acquisition's tick runs only on a count the start accepted, and the field
            // is locked while it runs.
            if (slot == kAcquisitionTick && !wireValue(Rule::Meters, ui.lineshuliang->text()))
                break;
            QMetaObject::invokeMethod(w, slot, Qt::DirectConnection);
            ++requests;
            break;
        }
        case 1: {
            LinkRequest request;
            request.tag = in.byte() % (Code::Highest + 2);
            request.frame = fuzz::requestFrom(in);
            request.anySender = request.tag == Code::Search;
            request.timeoutMs = (op & 0x10) ? 0 : 1000;
            request.retries = (op >> 5) & 3;
            w->link().submit(request);
            ++requests;
            break;
        }
        case 7:
            QApplication::processEvents();
            break;
        default:
            w->link().receive(in.bytes(std::size_t(in.byte()) + 1));
            // The window takes every outcome the moment the link reports it.
            FUZZ_REQUIRE(w->link().takeResults().empty());
            break;
        }
        // A run is many requests at most; the fuzzer finds nothing more with more.
        if (requests > 16)
            break;
    }
    // The device secret never shows in the traffic record, whoever sent it.
    for (auto it = w->traffic().events().begin(); it != w->traffic().events().end(); ++it) {
        if (it->kind != TrafficEvent::Request || !it->hex.startsWith(QLatin1String("64 64 04 ")))
            continue;
        FUZZ_REQUIRE(it->hex.split(QLatin1Char(' ')).mid(3) == QStringList{QLatin1String(kSecretMark)});
    }

    // The next run starts on a line with nothing queued or owed, and with the
    // lists as they began, which also lets the leak check see a run's own leaks.
    w->link().close();
    QMetaObject::invokeMethod(w, "on_SerialPort_ReadyRead", Qt::DirectConnection);
    FUZZ_REQUIRE(!w->link().busy() && w->link().pendingBytes() == 0);
    ui.comdizhi->clear();
    ui.tableWidget->clearContents();
    w->traffic().clear();
    wire.clear();
    wire.shrink_to_fit();
    return 0;
}
