#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace kestrane::test {

// Writes a ZIP archive of stored (uncompressed) entries: enough for a BAR file a device accepts.
void WriteStoredZip(const QString& path,
                    const std::vector<std::pair<QByteArray, QByteArray>>& entries);

// A BAR manifest for a package, with the fields a device reads.
QByteArray BarManifest(const QByteArray& packageName, const QByteArray& applicationName,
                       const QByteArray& version);

// Writes a BAR file holding the manifest and one small asset.
void WriteBar(const QString& path, const QByteArray& manifest);

} // namespace kestrane::test
