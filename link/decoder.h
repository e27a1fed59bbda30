#pragma once

#include <QByteArray>
#include <QString>

// What the frames on the line mean, in words: for the traffic monitor, the
// simulator's log and the command-line program's trace. Register names and
// values come from the settings table.

// A request as the tool sends it: "read 0x0002 baud rate", "write address = 5",
// "current-loop test 12.0 mA", "cloud: publish topic = \"a/b,0,0\"".
QString describeRequest(const QByteArray &frame);

// A reply, read in the light of the request it answers: "baud rate = 9600",
// "meters: 23.50, timeout", "exception 02 illegal data address"; empty for no reply.
QString describeReply(const QByteArray &request, const QByteArray &reply);

// Stands for the whole device secret in every hex dump, whatever its length.
constexpr const char *kSecretMark = "<secret>";

// The frame in hex ("01 03 00 02"), the device secret of a cloud frame as kSecretMark.
QString maskedHex(const QByteArray &frame);

// True for a cloud frame that carries the device secret.
bool carriesSecret(const QByteArray &frame);
