#include "DiscoveryAnswer.h"

#include <QHash>
#include <QXmlStreamReader>

namespace kestrane {

namespace {

// "1" or "0"; anything else counts as not given.
std::optional<bool> Flag(const QString& text) {
    if (text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

// The decimal BbPin as 8 hex digits; empty when it is no 32-bit number.
QString PinFromDecimal(const QString& text) {
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 10);
    if (!ok || value == 0 || value > 0xFFFFFFFFull)
        return {};
    return QStringLiteral("%1").arg(value, 8, 16, QLatin1Char('0')).toUpper();
}

} // namespace

QString DiscoveredDevice::model() const {
    if (!machine.isEmpty())
        return machine;
    if (!modelName.isEmpty())
        return modelName.startsWith(QLatin1String("BlackBerry"))
                   ? modelName
                   : QStringLiteral("BlackBerry ") + modelName;
    if (osType.contains(QLatin1String("PlayBook")))
        return QStringLiteral("BlackBerry PlayBook");
    return osType;
}

std::optional<DiscoveredDevice> ReadDiscoveryAnswer(const QByteArray& body) {
    if (body.size() > DiscoveryAnswerLimit)
        return std::nullopt;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("RimTabletResponse"))
        return std::nullopt;
    QHash<QString, QString> fields;
    bool characteristics = false;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("DeviceCharacteristics")) {
            xml.skipCurrentElement();
            continue;
        }
        characteristics = true;
        while (xml.readNextStartElement()) {
            const QString name = xml.name().toString();
            // A field holding elements of its own is no value: its text is dropped.
            const QString value =
                xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
            fields.insert(name, value);
        }
    }
    // The whole document must be well-formed: a cut-off or broken answer is no device's.
    while (!xml.atEnd())
        xml.readNext();
    if (xml.hasError() || !characteristics)
        return std::nullopt;
    DiscoveredDevice device;
    device.pin = PinFromDecimal(fields.value(QStringLiteral("BbPin")));
    if (device.pin.isEmpty())
        return std::nullopt;
    device.machine =
        fields.value(QStringLiteral("SystemMachine")).replace(QLatin1Char('_'), QLatin1Char(' '));
    device.modelName = fields.value(QStringLiteral("ModelName"));
    device.osType = fields.value(QStringLiteral("OsType"));
    device.osVersion = fields.value(QStringLiteral("PlatformVersion"));
    device.developmentMode = Flag(fields.value(QStringLiteral("DeveloperModeEnabled")));
    device.setupFinished = Flag(fields.value(QStringLiteral("OobeCompleted")));
    return device;
}

DiscoveryResponse ReadDiscoveryResponse(const QByteArray& received, bool closed) {
    using State = DiscoveryResponse::State;
    if (received.size() > DiscoveryAnswerLimit)
        return {State::Rejected, {}};
    const qsizetype headEnd = received.indexOf("\r\n\r\n");
    const qsizetype firstLineEnd = received.indexOf("\r\n");
    const QByteArray statusLine = received.left(firstLineEnd < 0 ? received.size() : firstLineEnd);
    // "HTTP/1.1 200 OK": anything else from its first bytes on is no web server's answer.
    const QByteArray prefix("HTTP/1.");
    if (!statusLine.startsWith(prefix.left(statusLine.size())))
        return {State::Rejected, {}};
    if (headEnd < 0)
        return {closed ? State::Rejected : State::Incomplete, {}};
    const QList<QByteArray> words = statusLine.split(' ');
    if (words.size() < 2 || words[1] != "200")
        return {State::Rejected, {}};
    std::optional<qsizetype> length;
    const QList<QByteArray> headers = received.left(headEnd).split('\n');
    for (qsizetype i = 1; i < headers.size(); ++i) {
        const QByteArray line = headers[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "content-length") {
            bool ok = false;
            const qlonglong number = value.toLongLong(&ok);
            if (!ok || number < 0 || number > DiscoveryAnswerLimit)
                return {State::Rejected, {}};
            length = number;
        } else if (name == "transfer-encoding" && value.toLower() != "identity") {
            // The request is HTTP/1.0: a chunked answer is no device's.
            return {State::Rejected, {}};
        }
    }
    const QByteArray body = received.mid(headEnd + 4);
    if (length) {
        if (body.size() >= *length)
            return {State::Complete, body.left(*length)};
        return {closed ? State::Rejected : State::Incomplete, {}};
    }
    return {closed ? State::Complete : State::Incomplete, closed ? body : QByteArray()};
}

QList<DiscoveredDevice> ReadSimulatorDiscovery(const QByteArray& output) {
    QList<DiscoveredDevice> devices;
    const QList<QByteArray> lines = output.split('\n');
    for (const QByteArray& line : lines) {
        const qsizetype blank = line.indexOf(' ');
        if (blank < 0)
            continue;
        std::optional<DiscoveredDevice> device = ReadDiscoveryAnswer(line.mid(blank + 1).trimmed());
        if (!device)
            continue;
        device->address = QString::fromLatin1(line.left(blank));
        device->via = DiscoveryVia::Usb;
        device->simulated = true;
        devices.append(*device);
    }
    return devices;
}

QByteArray DiscoveryRequest(const QString& address) {
    return "GET /cgi-bin/discovery.cgi HTTP/1.0\r\nHost: " + address.toLatin1() +
           "\r\nUser-Agent: QNXWebClient/1.0\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

} // namespace kestrane
