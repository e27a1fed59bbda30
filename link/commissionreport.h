#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

#include "link.h"

// What a commissioning run did, gateway by gateway: the record the engineer
// hands to the customer, as JSON for machines and as PDF for people.

// Exit statuses of a gateway and of a run, as nvb8140t-ctl returns them.
namespace CommissionStatus {
constexpr int Ok = 0;
constexpr int NoAnswer = 1;
constexpr int Refused = 2; // the profile: nothing was sent
constexpr int Exception = 3;
constexpr int Mismatch = 4;
} // namespace CommissionStatus

// The worse of two statuses: no answer, then an exception, then a mismatch, then success.
int worseStatus(int a, int b);

// The device secret as every report shows it, whatever its length.
constexpr const char *kReportSecretMark = "****";

struct SettingResult {
    enum Result : std::uint8_t {
        Unchanged, // it held the value already; nothing written
        Verified,  // written, and read back (or acknowledged, for cloud texts) as meant
        Differs,   // written, but read back otherwise
        Failed,    // see reason
        Skipped,   // not sent; see reason
        Sent,      // a frame the gateway does not answer (connect): sent, nothing to check
    };
    QString name;   // the settings table's name, or the cloud field's
    QString before; // as valueText shows it; empty where unread
    QString wanted;
    QString after;
    Result result = Skipped;
    QString reason;
};

// "unchanged", "verified", "differs", "failed", "skipped", "sent": the words of JSON and ctl.
QString resultName(SettingResult::Result result);

struct TrafficCounts {
    int requests = 0;
    int noReply = 0;
    int checkFailed = 0;
    int exceptions = 0; // Modbus exceptions and cloud answers other than OK
};

struct GatewayReport {
    std::uint8_t address = 0; // where it ends up
    std::uint8_t foundAt = 0; // one at a time: where it answered first; else the same
    QString gatewayId;        // as read, "0x1A2B"; empty when unread
    QString firmware;
    QVector<SettingResult> settings; // in the order they were done
    QVector<SettingResult> cloud;    // the secret's text as kReportSecretMark
    QStringList meters;              // meter 1 first, as meterText shows them
    QString meterProblem;            // why the snapshot is missing
    TrafficCounts traffic;
    int status = CommissionStatus::Ok;

    // Nothing failed, differs or was skipped, and the meters were read if asked.
    bool fullyVerified() const;
};

struct CommissionReport {
    QDateTime started; // local time, with its offset
    QString toolVersion;
    QString port;
    LineSetting line; // where the run started
    bool oneAtATime = false;
    bool stopped = false; // ended by Stop or a signal
    QString problem;      // a run that ended early for the line: why
    QVector<GatewayReport> gateways;

    int status() const; // the worst over the gateways
};

// "2 gateways, 1 fully verified"
QString reportSummary(const CommissionReport &report);
QByteArray reportJson(const CommissionReport &report);

// The PDF, in this language (nvbtool_report, which needs Qt GUI; a program
// without widgets runs it on the offscreen platform).
enum class ReportLanguage : std::uint8_t { Chinese, English };
bool writeReportPdf(const CommissionReport &report, const QString &path, ReportLanguage language, QString *error);
// A result in the report's words in that language.
QString resultWord(SettingResult::Result result, ReportLanguage language);

// Why a setting was not done, or a run ended early: the engine says it in
// English, as nvb8140t-ctl prints it and the JSON keeps it, from these forms.
struct ReasonForm {
    const char *zh;
    const char *en; // %1, %2, %3 stand for values, or for reasons of their own
};
namespace Reason {
extern const ReasonForm Try, Tries, NoAnswer, NoValidAnswer, NotTheAnswer, CutShort, Answered, LineGone, StoppedAnswering,
    DidNotAnswer, AddressOneAtATime, AddressShared, IdentityShared, LoopUnaddressed, ChannelUnaddressed,
    CloudUnaddressed, WroteReadBack, NoFreeAddress, NoOwnAddress, CannotOpen, ReadFailed, Stopped, Timeout;
} // namespace Reason
// A refused profile or cloud text, as the profile parser, the settings table
// and the cloud fields say it: "site.json: frequency: expected a whole number
// from 420 to 675". A form that another one would also match comes first.
extern const ReasonForm kRefusalForms[];
extern const int kRefusalFormCount;
// The English text of a form with its values.
QString reasonOf(const ReasonForm &form, const QStringList &values = {});
// Why a request came to nothing, from its outcome: "no answer after 3 tries".
QString outcomeReason(const LinkResult &result);
// An English reason or refusal from those forms in this language, and the
// decoder's words for an exception; other text (a value, a file name) stays as it is.
QString reasonText(const QString &reason, ReportLanguage language);
