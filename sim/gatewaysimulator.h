#pragma once

#include "gatewaystate.h"
#include "lineparser.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <random>

struct SimulatorSettings
{
    QVector<std::uint8_t> addresses{1}; // one gateway per address; the first answers the broadcast
    int baud = 9600;  // each gateway's line speed at the start: 2400, 4800, 9600 or 19200
    int stopBits = 1; // the gateways' stop bits
    int meters = 5;
    QSet<int> silentMeters; // counted from 1
    float drift = 0.1f; // largest random step of a temperature per poll

    // Faults, each decided per frame by a generator seeded with `seed`.
    int delayMs = 0; // before every reply
    int jitterMs = 0; // plus 0..jitterMs
    double dropRate = 0.0; // the frame is not heard: no effect, no answer
    double corruptRate = 0.0; // the last byte of the reply is inverted (a bad CRC)
    double exceptionRate = 0.0; // a Modbus request gets exception 04 and has no effect
    bool ignoreWrites = false; // a write is acknowledged but the old value kept, as by a write-protected gateway
    // Gateways plugged in one at a time, for commissioning: -1, all on the line
    // from the start; else only the first is, and each next one comes this many ms
    // after the one before it was given a new address, which leaves then.
    int arriveMs = -1;
    bool split = false; // every reply goes out in two pieces
    int splitGapMs = 50;
    std::uint32_t seed = 1;
};

// A piece of a reply: wait delayMs (after the request, or after the previous piece), then send.
struct ReplyPiece
{
    QByteArray bytes;
    int delayMs = 0;
};

// One frame taken off the line and what came of it.
struct Exchange
{
    QByteArray request;
    bool recognised = false; // false: dropped bytes that formed no frame
    QString meaning; // "read 0x0002 baud rate -> baud rate = 9600", then what the gateway made of it
    QStringList faults; // "dropped", "corrupted", "split 3+4", ...
    QList<ReplyPiece> reply; // empty when nothing answers
};

// The gateways on one bus, fed with the bytes of the line. It has no clock: the
// owner passes the bytes as they come, says when the line went silent, and sends
// the reply pieces after their delays.
class GatewaySimulator
{
public:
    explicit GatewaySimulator(const SimulatorSettings &settings = SimulatorSettings());

    QList<Exchange> feed(const QByteArray &bytes);
    QList<Exchange> lineIdle();
    // The line speed and stop bits of the bytes fed from now on, where the line
    // tells them (a pseudo-terminal): only a gateway at that speed hears them.
    // 0, the start: every gateway hears everything.
    void hearAt(int baud, int stopBits);

    int gatewayCount() const { return m_gateways.size(); }
    GatewayState &gateway(int index) { return m_gateways[index]; }
    const GatewayState &gateway(int index) const { return m_gateways[index]; }
    // The gateway that answers this address now, at the line's speed, or null.
    GatewayState *gatewayAt(std::uint8_t address);
    bool hears(const GatewayState &gateway) const;
    // The owner's clock, in ms from its start: gateways arrive and leave by it.
    void setTime(qint64 ms) { m_now = ms; }

    // Fault settings may be changed between frames.
    SimulatorSettings &settings() { return m_settings; }
    const SimulatorSettings &settings() const { return m_settings; }

    // All reply bytes of the exchanges, pieces joined.
    static QByteArray replyBytes(const QList<Exchange> &exchanges);

private:
    QList<Exchange> handleFrames(const QList<LineFrame> &frames);
    Exchange handleFrame(const LineFrame &frame);
    // Each handler gives the reply and may note what the gateway did beyond it
    // (", answering at 9 from now on"); the frames' meaning comes from the decoder.
    QByteArray handleModbus(const LineFrame &frame, Exchange &exchange);
    QByteArray readRegisters(GatewayState &gateway, std::uint16_t first, int count, QString *note);
    QByteArray writeRegisters(GatewayState &gateway, const QByteArray &frame, QString *note);
    QByteArray handleLoop(GatewayState &gateway, const QByteArray &frame, QString *note);
    QByteArray handleCloud(GatewayState &gateway, const QByteArray &frame, QString *note);
    void driftMeters(GatewayState &gateway);
    void transmit(Exchange &exchange, QByteArray reply);
    bool chance(double rate);

    SimulatorSettings m_settings;
    QVector<GatewayState> m_gateways;
    LineParser m_parser;
    std::mt19937 m_faultRandom;
    std::mt19937 m_driftRandom; // apart, so that the faults of a seed do not depend on polls
    bool present(int index) const;
    // One at a time: when each gateway comes on the line and leaves it (-1: not yet known).
    QVector<qint64> m_arrivesAt;
    QVector<qint64> m_leavesAt;
    qint64 m_now = 0;
    int m_heardBaud = 0;
    int m_heardStopBits = 1;
};
