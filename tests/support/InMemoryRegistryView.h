#pragma once

#include "RegistryView.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace kestrane::doubles {

// A registry held in memory for tests of the Java runtime discovery. Keys are created with their
// parents; sub-keys enumerate in the order they were added. A key can be made unopenable with the
// message its opening fails with. Every key path that is opened or listed is recorded.
class InMemoryRegistryView : public RegistryView {
public:
    // Adds the key and any missing parent keys.
    void addKey(const QString& keyPath);
    // Sets a value, adding its key when needed.
    void setValue(const QString& keyPath, const QString& valueName, ValueType type,
                  const QString& data);
    void setString(const QString& keyPath, const QString& valueName, const QString& data) {
        setValue(keyPath, valueName, ValueType::String, data);
    }
    // The key stays listed by its parent, but opening or listing it fails with errorText.
    void denyAccess(const QString& keyPath, const QString& errorText);

    // The key paths opened or listed so far, in order.
    const QStringList& consultedKeys() const { return consulted_; }

    bool openKey(const QString& keyPath, QString* errorText) const override;
    std::optional<QStringList> subKeyNames(const QString& keyPath) const override;
    std::optional<Value> value(const QString& keyPath, const QString& valueName) const override;

private:
    struct Key {
        QStringList subKeys;
        QHash<QString, Value> values;
        QString deniedMessage; // non-empty when the key cannot be opened
    };
    const Key* openable(const QString& keyPath, QString* errorText) const;

    QHash<QString, Key> keys_;
    mutable QStringList consulted_;
};

} // namespace kestrane::doubles
