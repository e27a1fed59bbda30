#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>

#include "commissionreport.h"
#include "link.h"
#include "profile.h"

// Applying a profile to gateways on one bus, verifying each setting, and
// commissioning new gateways one at a time as they are plugged in.

struct CommissioningPlan {
    Profile profile;
    QByteArray secret; // the device secret to write; empty: none
    // The targets: one address, or several (the same bus, one after the other).
    QVector<std::uint8_t> addresses;
    // New gateways one at a time, each found by the broadcast read and moved to
    // the next free address from startAddress; count 0: until stopped.
    bool oneAtATime = false;
    std::uint8_t startAddress = 1;
    int count = 0;
    int meters = -1;   // the snapshot's size; -1: the profile's, or none
    int timeoutMs = 0; // per attempt; 0: the request's wire time and the turn-around
    int retries = 2;
    int waitMs = 300; // one at a time: the pause between broadcast reads
};

// Runs a plan over the link. As with the Detector, the owner passes it the
// link's outcomes of its tag; the port is left at the run's starting line setting.
class Commissioner : public QObject
{
    Q_OBJECT
public:
    Commissioner(Link &link, int tag, QObject *parent = nullptr);

    void start(const CommissioningPlan &plan);
    // Reads every setting of the gateway at this address but its address, into
    // a profile: profileRead follows.
    void startReading(std::uint8_t address, int timeoutMs = 0, int retries = 2);
    // Ends the run now; the report keeps what was done.
    void stop();
    bool isRunning() const { return m_running; }
    void take(const LinkResult &result);
    const CommissionReport &report() const { return m_report; }

signals:
    // A gateway's turn begins (one at a time: once it answered and before it is moved).
    void gatewayStarted(std::uint8_t address);
    void settingDone(std::uint8_t address, const SettingResult &result);
    void gatewayDone(const GatewayReport &gateway);
    // One at a time: no new gateway on the line yet.
    void waiting();
    // One at a time: a gateway commissioned in this run still answers.
    void stillOnLine(std::uint8_t address);
    // Apply: gateways done of the total; one at a time the total is the count, 0 for none.
    void progress(int done, int total);
    void finished(const CommissionReport &report);
    void profileRead(const Profile &profile, const QString &problem);

private:
    using Then = std::function<void(const LinkResult &)>;

    void ask(const QByteArray &frame, Then then, bool anySender = false);
    void next();
    void nextTarget();
    void beginGateway(std::uint8_t address);
    void queueProfile();
    // own: the run's move of the address, to which no skip applies.
    void queueSetting(const ProfileSetting &wanted, bool own = false);
    void queueCloud(const QString &name, const QByteArray &frame, const QString &shown);
    void queueMeters(int meters);
    void endGateway();
    bool moveLine(const LineSetting &setting);
    void lookForGateway();
    void probeFree(std::uint8_t seen, int candidate);
    void moveTo(std::uint8_t address);
    void readNext(int index);
    void finish(const QString &problem = QString());
    void record(const SettingResult &result, int status, bool cloud = false);
    void fail(const QString &name, const LinkResult &result, const QString &before = QString(), bool cloud = false);
    void abandon(const QString &why);
    QString skipReason(const Setting &setting) const;

    Link &m_link;
    int m_tag;
    bool m_running = false;
    bool m_reading = false;
    bool m_counting = false; // outcomes count in the gateway's traffic
    quint64 m_awaited = 0;
    Then m_then;
    std::deque<std::function<void()>> m_steps;
    QTimer m_pause;
    CommissioningPlan m_plan;
    CommissionReport m_report;
    GatewayReport m_gateway;
    bool m_inGateway = false;
    std::uint8_t m_address = 0;
    LineSetting m_line;
    int m_nextTarget = 0;
    QSet<std::uint8_t> m_done; // addresses commissioned in this run
    Profile m_read;
};

// A whole run, waiting for its end; a set stop flag stops it. For nvb8140t-ctl.
// Each gateway's report is passed to `done` as it ends.
CommissionReport commissionLine(Link &link, const CommissioningPlan &plan, const std::atomic<bool> *stop,
                                const std::function<void(const GatewayReport &)> &done = {},
                                const std::function<void(std::uint8_t)> &stillOnLine = {});
