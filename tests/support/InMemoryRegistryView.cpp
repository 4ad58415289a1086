#include "InMemoryRegistryView.h"

namespace kestrane::doubles {

namespace {
const QString NoSuchKey = QStringLiteral("The system cannot find the file specified.");
} // namespace

void InMemoryRegistryView::addKey(const QString& keyPath) {
    if (keys_.contains(keyPath))
        return;
    keys_.insert(keyPath, Key());
    const qsizetype separator = keyPath.lastIndexOf(QLatin1Char('\\'));
    if (separator < 0)
        return;
    const QString parent = keyPath.left(separator);
    addKey(parent);
    keys_[parent].subKeys.append(keyPath.mid(separator + 1));
}

void InMemoryRegistryView::setValue(const QString& keyPath, const QString& valueName,
                                    ValueType type, const QString& data) {
    addKey(keyPath);
    keys_[keyPath].values.insert(valueName, Value{type, data});
}

void InMemoryRegistryView::denyAccess(const QString& keyPath, const QString& errorText) {
    addKey(keyPath);
    keys_[keyPath].deniedMessage = errorText;
}

const InMemoryRegistryView::Key* InMemoryRegistryView::openable(const QString& keyPath,
                                                                QString* errorText) const {
    consulted_.append(keyPath);
    const auto key = keys_.constFind(keyPath);
    const QString failure = key == keys_.cend() ? NoSuchKey : key->deniedMessage;
    if (failure.isEmpty())
        return &*key;
    if (errorText != nullptr)
        *errorText = failure;
    return nullptr;
}

bool InMemoryRegistryView::openKey(const QString& keyPath, QString* errorText) const {
    return openable(keyPath, errorText) != nullptr;
}

std::optional<QStringList> InMemoryRegistryView::subKeyNames(const QString& keyPath) const {
    const Key* key = openable(keyPath, nullptr);
    if (key == nullptr)
        return std::nullopt;
    return key->subKeys;
}

std::optional<RegistryView::Value> InMemoryRegistryView::value(const QString& keyPath,
                                                               const QString& valueName) const {
    const auto key = keys_.constFind(keyPath);
    if (key == keys_.cend() || !key->values.contains(valueName))
        return std::nullopt;
    return key->values.value(valueName);
}

} // namespace kestrane::doubles
