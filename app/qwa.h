#pragma once

#include <QButtonGroup>
#include <QByteArray>
#include <QElapsedTimer>
#include <QSet>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QString>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <QDateTime>

#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <optional>

#include "detector.h"
#include "link.h"
#include "meterrecording.h"
#include "requestcodes.h"
#include "settings.h"
#include "trafficrecord.h"
#include "trendstore.h"
#include "ui_qwa.h"

class QComboBox;
class CommissioningWindow;
class QEvent;
class QLineEdit;
class QPushButton;
class TrafficMonitor;
class TrendWindow;

// The one main window: owns the form, the serial link and its receive state,
// the search and acquisition timers, the test-current radio group and the translator.
class Qwa : public QWidget
{
    Q_OBJECT

public:
    explicit Qwa(QWidget *parent = nullptr);
    ~Qwa() override;

    bool eventFilter(QObject *watched, QEvent *event) override;

protected:
    void paintEvent(QPaintEvent *event) override;

public:
    // Appends the serial ports the system reports, then each path of NVB_EXTRA_PORTS.
    void fillPortList();
    void fillPortList(const QList<QSerialPortInfo> &ports);
    // The first list, once the system has answered: unless the box was filled
    // meanwhile, it is filled, and the first NVB_EXTRA_PORTS path is chosen.
    void takeFirstPortList(const QList<QSerialPortInfo> &ports);
    // Completion indication: 0, 100, 200, 247 with blocking 100 ms pauses.
    void pulseProgressBar();
    bool applyPortSettings();
    // Address the unicast requests go to: the current text of comdizhi, low 8 bits.
    std::uint8_t targetAddress() const;

    // One outcome of the link, handed to the handler of its request code.
    void takeResult(const LinkResult &result);
    // Length of each of the pulse's three pauses; the fuzzer and the benchmark shorten it.
    void setPulsePause(int ms) { pulsePauseMs = ms; }

    // Window state that tests and the benchmark observe.
    std::uint8_t currentCommand() const { return pendingCommand; }
    void setCurrentCommand(std::uint8_t code) { pendingCommand = code; }
    bool isPortOpen() const { return portOpen; }
    int searchCount() const { return searchAddress; }
    const Ui::QwaClass &form() const { return ui; }
    QSerialPort &port() { return serialLink.port(); }
    Link &link() { return serialLink; }
    QTimer *searchTimerObject() const { return searchTimer; }
    QTimer *acquireTimerObject() const { return acquireTimer; }
    QButtonGroup *radioButtons() const { return radioGroup; }
    // Every event on the line since the start; the monitor shows it.
    TrafficRecord &traffic() { return serialLink.traffic(); }
    TrafficMonitor *monitor() const { return trafficMonitor; }
    // One monitor window, made when first asked for.
    void openMonitor();
    CommissioningWindow *commissioning() const { return commissioningWindow; }
    // One commissioning window, made when first asked for.
    void openCommissioning();

    // The time the acquisition's values are stamped with; tests set a fake one.
    void setClock(std::function<QDateTime()> now);
    // While the acquisition runs: each poll from now on as a line of this CSV
    // file. False, having said why in a box, when it cannot be written.
    bool startRecording(const QString &path);
    bool isRecording() const { return bool(recording); }
    // Every poll since the start, for the trend.
    const TrendStore &trend() const { return trendStore; }
    TrendWindow *trendWindow() const { return trendView; }
    // One trend window, made when first asked for.
    void openTrend();

private slots:
    void on_Btodakai_clicked();
    void on_detectButton_clicked();
    void on_Btoyuyan_clicked();
    void on_Btosousuo_clicked();
    void sousuodizhi();
    void on_Btoguangbo_clicked();
    void on_Btoxiugai_clicked();
    void on_BtoduquJ_clicked();
    void on_BtoduquB_clicked();
    void on_BtoxieruHZ_clicked();
    void on_BtoxieruSF_clicked();
    void on_BtoxiugaiJ_clicked();
    void on_BtoxiugaiB_clicked();
    void on_Btocaiji_clicked();
    void on_BtoDL_clicked();
    void on_BtoTDduqu_clicked();
    void on_BtoTDxiugai_clicked();
    void on_BtoBSduqu_clicked();
    void on_BtoBSxiugai_clicked();
    void on_BtoDLjiaozhun_clicked();
    void on_Btoceshi_clicked();
    void onRadioClickSlot();
    void on_BtoZDceshi_clicked();
    void on_Btotuichu_clicked();
    void on_pushButton_clicked();
    void on_pushButton2_clicked();
    void on_btnReadSF_clicked();
    void on_btnReadFreq_clicked();
    void on_btnWrSF_clicked();
    void on_btnWrFreq_clicked();
    void on_BtnRdRange_clicked();
    void on_btnRdNum_clicked();
    void on_btnRdID_clicked();
    void on_btnRdFWV_clicked();
    void on_btnRdSampleRate_clicked();
    void on_btnRdAnologOut_clicked();
    void on_BtnWrRange_clicked();
    void on_btnWrNum_clicked();
    void on_btnWrID_clicked();
    void on_btnWrFWV_clicked();
    void on_btnWrSampleRate_clicked();
    void on_btnWrAnologOut_clicked();
    void on_pushButton_AT1_clicked();
    void on_pushButton_AT2_clicked();
    void on_pushButton_AT3_clicked();
    void on_pushButton_AT4_clicked();
    void on_pushButton_AT5_clicked();
    void on_pushButton_AT6_clicked();
    void on_pushButton_Yes_clicked();
    void on_pushButton_connect_clicked();
    void on_pushButton_OPaLI_clicked();
    void on_pushButtonJSQchange_clicked();
    void on_BtoJSQRead_clicked();
    void caijihanshu();
    void on_comDL_activated(int index);
    void on_BtoduquSF_clicked();
    void on_BtoduquHZ_clicked();
    void on_SerialPort_ReadyRead();
    void on_recordButton_clicked();
    void on_trendButton_clicked();

private:
    friend struct ReplyTable;

    // Sets the code of the reply now awaited, for the frame sent next: its
    // reply is handled under this code.
    void awaitReply(std::uint8_t code);

    // The reply watch: the last outcome in the progress bar's text.
    enum class Outcome : std::uint8_t { None, CheckFailed, Exception, Refused, NoReply };
    void setUpTrafficWatch();
    void retranslateTrafficWatch();
    void showOutcome(Outcome outcome);
    void showReplyOutcome();

    // Send operations over the shared transmit buffer.
    void sendFrame(int n);
    void sendFrameKeep(int n);
    void sendRaw(int n);
    void writeToPort(const std::uint8_t *bytes, int n);
    void onLineLost();
    void setPortClosedState();
    void setPortOpenState();
    // The detection: each setting tried shows in the PC side's boxes; the end
    // leaves the port open at the setting found, or as it was.
    void showDetectState();
    void showLineSetting(const LineSetting &setting);
    void detectionFinished(const Detection &detection);
    // The PC side reopened at the line setting an acknowledged write gave the gateway.
    void followLineWrite(const QByteArray &request);
    void followLine(const LineSetting &setting);
    // The detection or a commissioning run has the line: nothing the user clicks goes out.
    bool lineTaken() const;
    // Buttons whose text shows a state: set from the state itself.
    void showPortState();
    void showSearchState();
    void showAcquisitionState();
    void showDebuggingState();
    void showRecordingState();

    // Modbus requests addressed to targetAddress.
    void sendRegisterRead(std::uint8_t code, std::uint16_t reg, std::uint16_t count);
    void sendRegisterWrite(std::uint8_t code, std::uint16_t reg, std::uint16_t value);

    // Reply handlers, run by the reception once a reply has passed its test.
    void handleSearchReply(const std::uint8_t *reply, int n);
    void handleBroadcastReply(const std::uint8_t *reply, int n);
    void handleAddressChangeReply(const std::uint8_t *reply, int n);
    void handleParityReply(const std::uint8_t *reply, int n);
    void handleBaudReply(const std::uint8_t *reply, int n);
    void handleFrequencyReply(const std::uint8_t *reply, int n);
    void handleSpreadingFactorReply(const std::uint8_t *reply, int n);
    void handleTransmitterReply(const std::uint8_t *reply, int n);
    void handleModeReply(const std::uint8_t *reply, int n);
    void handleAcquisitionReply(const std::uint8_t *reply, int n);
    void handleCalibrationEnabled(const std::uint8_t *reply, int n);
    void handleCalibrationFailed(const std::uint8_t *reply, int n);
    void handleChannelReply(const std::uint8_t *reply, int n);
    void handleLoopRangeReply(const std::uint8_t *reply, int n);
    void handlePlatformFrequencyReply(const std::uint8_t *reply, int n);
    void handlePlatformTransmitterReply(const std::uint8_t *reply, int n);
    void handlePlatformRangeReply(const std::uint8_t *reply, int n);
    void handleGatewayIdReply(const std::uint8_t *reply, int n);
    void handleFirmwareReply(const std::uint8_t *reply, int n);
    void handleSampleRateReply(const std::uint8_t *reply, int n);
    void handleAnalogOutReply(const std::uint8_t *reply, int n);
    void handleCloudReply(const std::uint8_t *reply, int n);
    // Every outcome of a poll: the trend and the recording.
    void noteAcquisitionOutcome(const LinkResult &result);
    void markStaleValues();
    void stopRecording();
    // Registers shown on two pages: a value read or written shows on both.
    void showFrequency(std::uint16_t value);
    void showTransmitters(std::uint16_t value);
    void showSpreadingFactor(std::uint16_t value);
    void showAcknowledgedWrite(std::uint8_t code, const QByteArray &request);

    // Refusals, each with its information box: a write needs a chosen gateway,
    // and a typed value must convert and fit its field.
    void refuse(const QString &text);
    bool gatewayChosen();
    bool lineValueChosen(const QComboBox *box);
    std::optional<std::int64_t> acceptedValue(const ValueRule &rule, const QLineEdit *field);
    std::optional<float> acceptedFloat(const ValueRule &rule, const QLineEdit *field);
    // A pair of limits, the lower below the upper as they go out.
    bool limitsInOrder(bool inOrder, const ValueRule &lower);
    // A one-register write of a typed value, through both refusals.
    void writeTypedValue(std::uint8_t code, std::uint16_t reg, const ValueRule &rule, const QLineEdit *field,
                         std::uint16_t highByteMark = 0);

    // Cloud parameter write: refuses text that does not fit the transmit buffer.
    void sendCloudParameter(std::uint8_t parameter, const QString &text);
    // The widgets locked while the acquisition runs, in their fixed order.
    QList<QWidget *> acquisitionLockedWidgets() const;
    // A translation or the icon: in the working directory, beside the program, or in the installed data folder.
    QString findDataFile(const QString &fileName) const;
    // Qt's own texts (file dialogs, box buttons) in the window's language.
    void loadQtTranslation(bool chinese);

    std::uint8_t pendingCommand;
    Ui::QwaClass ui;
    QSet<std::uint8_t> reportedAddresses;
    QButtonGroup *radioGroup;
    QTimer *searchTimer;
    QTimer *acquireTimer;
    bool portOpen;
    // The system's port list, asked for once the window is first painted.
    bool portsAskedFor = false;
    std::future<void> portsAsked;
    int searchAddress;
    Link serialLink;
    Detector detector{serialLink, Code::Detect};
    // The PC side's box choices before a detection, put back when it finds nothing.
    QList<int> lineChoicesBefore;
    QString portNameText;
    QString baudRateText;
    QString parityText;
    QString dataBitsText;
    QString stopBitsText;
    QTranslator translator;
    QTranslator qtTranslator;
    int pulsePauseMs = 100;
    // What the tool last told the gateway; it cannot read it back.
    bool platformDebugging = false;

    TrafficMonitor *trafficMonitor = nullptr;
    QPushButton *monitorButton = nullptr;
    CommissioningWindow *commissioningWindow = nullptr;
    QPushButton *commissioningButton = nullptr;
    // Each request waits this long for its reply; the search's poll waits its tick.
    static constexpr int kReplyTimeoutMs = 1000;
    int nextTimeoutMs = kReplyTimeoutMs;
    bool frameAwaitsReply = false;
    Outcome shownOutcome = Outcome::None;
    std::uint8_t shownException = 0;
    QString shownAnswer; // the gateway's own answer to a cloud parameter

    std::function<QDateTime()> clock = &QDateTime::currentDateTime;
    QTimer *staleTimer = nullptr;
    std::unique_ptr<MeterRecording> recording;
    int recordingMeters = 0;
    std::uint8_t recordedAddress = 0;
    TrendStore trendStore;
    TrendWindow *trendView = nullptr;
};
