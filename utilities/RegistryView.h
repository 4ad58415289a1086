#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kestrane {

// A read-only view of the registry that Java runtimes are registered in. Key paths use "\" as
// separator and start below the root (always the local machine's).
class RegistryView {
public:
    enum class ValueType { String, ExpandString, Other };
    struct Value {
        ValueType type = ValueType::String;
        QString data;
    };

    virtual ~RegistryView() = default;

    // Opens keyPath read-only; false when it cannot be opened, with the system's message for the
    // failure in *errorText.
    virtual bool openKey(const QString& keyPath, QString* errorText) const = 0;
    // The sub-key names of an openable key, in enumeration order; nullopt when it cannot be
    // opened.
    virtual std::optional<QStringList> subKeyNames(const QString& keyPath) const = 0;
    // A value of an openable key; nullopt when the key has no such value.
    virtual std::optional<Value> value(const QString& keyPath, const QString& valueName) const = 0;
};

// The base keys the Java runtime discovery searches, in order.
inline const QString JavaFirstBaseKey = QStringLiteral("SOFTWARE\\JavaSoft\\Java Runtime Environment");
inline const QString JavaSecondBaseKey =
    QStringLiteral("SOFTWARE\\Wow6432Node\\JavaSoft\\Java Runtime Environment");

// The Linux stand-in: the first base key lists the folders of /usr/lib/jvm, the second those of
// /usr/java (both roots can be moved for tests). Sub-key names are the entry names that are
// folders or links to folders, sorted by name; a sub-key's "JavaHome" is the folder's full path
// when it holds bin/java, and absent otherwise.
std::unique_ptr<RegistryView> MakeJvmFolderRegistryView(const QString& firstRoot = QStringLiteral("/usr/lib/jvm"),
                                                        const QString& secondRoot = QStringLiteral("/usr/java"));

// Reads a string value; defaultValue when it is absent, empty or not a string. An expandable
// string is returned unexpanded. Throws kestrane::Error with the system's message when keyPath
// cannot be opened.
QString ReadRegistryString(const RegistryView& registry, const QString& keyPath,
                           const QString& valueName, const QString& defaultValue);

// Finds the Java runtime: the home folder of the first sub-key (first base key, then the second
// when the first gave nothing) with a non-empty "JavaHome", followed by "/bin"; empty when none.
// Throws what ReadRegistryString throws for a listed sub-key that cannot be opened.
QString DiscoverJavaBinDir(const RegistryView& registry);

} // namespace kestrane
