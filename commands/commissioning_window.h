#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

#include "commissioning.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;

// What the commissioning window needs of the main window it belongs to.
struct CommissioningHost {
    // Why the line cannot take a run now; None when it can.
    enum class Busy : std::uint8_t { None, PortClosed, Acquiring, Searching, Detecting };
    std::function<Busy()> busy;
    // The gateway chosen in "选择地址", and every address listed there.
    std::function<std::optional<std::uint8_t>()> chosen;
    std::function<QVector<std::uint8_t>()> listed;
    std::function<bool()> english;
    // A single gateway's new line setting, verified: the main window's port follows it.
    std::function<void(const LineSetting &)> followLine;
    // A run takes the line (true) or gives it back: the main window's own
    // activities on the line stay off meanwhile.
    std::function<void(bool)> lineTaken;
};

// Commissioning: a profile loaded, saved or read from the chosen gateway,
// applied to the chosen gateway, to every listed one or to new gateways one
// at a time, each setting verified, and the report saved as JSON and PDF.
// Everything goes through the main window's link, under its own tag.
class CommissioningWindow : public QWidget
{
    Q_OBJECT
public:
    CommissioningWindow(Link &link, int tag, CommissioningHost host, QWidget *parent);

    // The link's outcomes of the window's tag.
    void take(const LinkResult &result) { commissioner.take(result); }
    // A run or a read of the chosen gateway is on the line.
    bool isRunning() const { return commissioner.isRunning(); }

    // The profile as a file holds it; false with a box saying why.
    bool loadProfile(const QString &path);
    bool saveProfile(const QString &path);
    // The last run's report; false with a box saying why.
    bool saveReportJson(const QString &path);
    bool saveReportPdf(const QString &path);
    const CommissionReport &report() const { return commissioner.report(); }

protected:
    void changeEvent(QEvent *event) override;

private:
    enum Target { Chosen, Listed, OneAtATime };

    void retranslate();
    void start();
    void readChosen();
    void showProfile();
    void showResults();
    void addResult(std::uint8_t address, const SettingResult &result);
    void fitColumns();
    void runFinished(const CommissionReport &report);
    void profileRead(const Profile &profile, const QString &problem);
    void showRunState();
    bool lineWasTaken = false;
    void setStatus(std::function<QString()> status);
    bool refusedWhileBusy();
    std::optional<QByteArray> askSecret();
    bool writeFile(const QString &path, const QByteArray &bytes);
    ReportLanguage language() const;
    void note(const QString &text);

    Commissioner commissioner;
    CommissioningHost host;
    std::optional<Profile> profile;
    QString profileName;
    CommissioningPlan lastPlan;
    bool reported = false;
    struct Row {
        std::uint8_t address;
        SettingResult result;
    };
    QVector<Row> rows;
    // Made again in the current language at each switch.
    std::function<QString()> statusText;

    QGroupBox *profileBox;
    QPushButton *loadButton;
    QPushButton *saveButton;
    QPushButton *readButton;
    QPlainTextEdit *profileView;
    QGroupBox *targetBox;
    QButtonGroup *targets;
    QRadioButton *chosenRadio;
    QRadioButton *listedRadio;
    QRadioButton *oneRadio;
    QLabel *startLabel;
    QSpinBox *startAddress;
    QLabel *countLabel;
    QSpinBox *count;
    QLabel *metersLabel;
    QSpinBox *meters;
    QPushButton *startButton;
    QPushButton *stopButton;
    QPushButton *jsonButton;
    QPushButton *pdfButton;
    QProgressBar *progress;
    QLabel *status;
    QTableWidget *table;
};
