// The traffic decoder: a request built from the input as the tool builds it,
// read against an arbitrary reply, and any bytes as a request; the hex of
// every frame, with the device secret masked.
//
// Input: the request (see requestFrom), then the reply.
#include <QStringList>

#include <cstdint>

#include "decoder.h"
#include "fuzzinput.h"

namespace {

// Each byte shows as two hex digits in order, except the secret's, which show
// as one mark whatever their number.
void checkHex(const QByteArray &frame)
{
    const bool secret = carriesSecret(frame);
    const QStringList tokens = maskedHex(frame).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    FUZZ_REQUIRE(tokens.size() == (secret ? 4 : frame.size()));
    for (int i = 0; i < tokens.size(); ++i) {
        if (secret && i == 3) {
            FUZZ_REQUIRE(tokens.at(i) == QLatin1String(kSecretMark));
            continue;
        }
        bool ok = false;
        FUZZ_REQUIRE(tokens.at(i).size() == 2 && tokens.at(i).toUInt(&ok, 16) == std::uint8_t(frame.at(i)) && ok);
    }
}

// Nothing shown of a secret frame depends on the secret.
void checkSecretHidden(const QByteArray &frame)
{
    if (!carriesSecret(frame))
        return;
    QByteArray other = frame;
    for (int i = 3; i < other.size(); ++i)
        other[i] = char(~other.at(i));
    FUZZ_REQUIRE(carriesSecret(other));
    FUZZ_REQUIRE(maskedHex(other) == maskedHex(frame));
    FUZZ_REQUIRE(describeRequest(other) == describeRequest(frame));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzInput in(data, size);
    const QByteArray request = fuzz::requestFrom(in);
    const QByteArray reply = in.rest();

    FUZZ_REQUIRE(!describeRequest(request).isEmpty());
    FUZZ_REQUIRE(describeReply(request, reply).isEmpty() == reply.isEmpty());
    // The reply's bytes taken for a request, and the request's for a reply.
    FUZZ_REQUIRE(!describeRequest(reply).isEmpty());
    FUZZ_REQUIRE(describeReply(reply, request).isEmpty() == request.isEmpty());

    for (const QByteArray &frame : {request, reply}) {
        checkHex(frame);
        checkSecretHidden(frame);
    }
    return 0;
}
