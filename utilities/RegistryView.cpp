#include "RegistryView.h"

#include "Error.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace kestrane {

namespace {

const QString JavaHomeValue = QStringLiteral("JavaHome");
const QLatin1Char KeySeparator('\\');

QString systemMessage(int errorCode) {
    return QString::fromLocal8Bit(std::strerror(errorCode));
}

std::filesystem::path nativePath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The Java runtimes of a machine without a registry: each base key is a folder whose sub-folders
// are the runtimes, and a runtime's home folder is known when it holds the launcher.
class JvmFolderRegistryView final : public RegistryView {
public:
    JvmFolderRegistryView(const QString& firstRoot, const QString& secondRoot)
        : firstRoot_(QDir::cleanPath(firstRoot)), secondRoot_(QDir::cleanPath(secondRoot)) {}

    bool openKey(const QString& keyPath, QString* errorText) const override {
        const int errorCode = openError(keyPath);
        if (errorCode != 0 && errorText != nullptr)
            *errorText = systemMessage(errorCode);
        return errorCode == 0;
    }

    std::optional<QStringList> subKeyNames(const QString& keyPath) const override {
        if (openError(keyPath) != 0)
            return std::nullopt;
        const Location location = locate(keyPath);
        return location.isBaseKey ? folderNames(location.folder) : QStringList();
    }

    std::optional<Value> value(const QString& keyPath, const QString& valueName) const override {
        const Location location = locate(keyPath);
        if (location.folder.isEmpty() || location.isBaseKey ||
            valueName.compare(JavaHomeValue, Qt::CaseInsensitive) != 0)
            return std::nullopt;
        std::error_code ignored;
        const auto launcher = nativePath(location.folder) / "bin" / "java";
        if (!std::filesystem::is_regular_file(launcher, ignored))
            return std::nullopt;
        return Value{ValueType::String, location.folder};
    }

private:
    struct Location {
        QString folder; // empty when the key path names no key of this view
        bool isBaseKey = false;
    };

    Location locate(const QString& keyPath) const {
        for (const auto& [baseKey, root] :
             {std::pair{JavaFirstBaseKey, firstRoot_}, std::pair{JavaSecondBaseKey, secondRoot_}}) {
            if (keyPath == baseKey)
                return {root, true};
            const QString prefix = baseKey + KeySeparator;
            if (!keyPath.startsWith(prefix))
                continue;
            const QString name = keyPath.mid(prefix.size());
            if (isPlainEntryName(name))
                return {root + QLatin1Char('/') + name, false};
        }
        return {};
    }

    static bool isPlainEntryName(const QString& name) {
        return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
               !name.contains(QLatin1Char('/')) && !name.contains(KeySeparator);
    }

    // 0 when the key's folder can be listed and searched, otherwise the system's error code.
    int openError(const QString& keyPath) const {
        const Location location = locate(keyPath);
        if (location.folder.isEmpty())
            return ENOENT;
        const QByteArray path = QFile::encodeName(location.folder);
        const int descriptor = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0)
            return errno;
        ::close(descriptor);
        return ::access(path.constData(), X_OK) == 0 ? 0 : errno;
    }

    // The names of the entries that are folders or links to folders, sorted.
    static QStringList folderNames(const QString& folder) {
        QStringList names;
        std::error_code error;
        std::filesystem::directory_iterator entries(nativePath(folder), error);
        for (; !error && entries != std::filesystem::directory_iterator();
             entries.increment(error)) {
            std::error_code ignored;
            if (entries->is_directory(ignored))
                names.append(QFile::decodeName(entries->path().filename().c_str()));
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    QString firstRoot_;
    QString secondRoot_;
};

} // namespace

std::unique_ptr<RegistryView> MakeJvmFolderRegistryView(const QString& firstRoot,
                                                        const QString& secondRoot) {
    return std::make_unique<JvmFolderRegistryView>(firstRoot, secondRoot);
}

QString ReadRegistryString(const RegistryView& registry, const QString& keyPath,
                           const QString& valueName, const QString& defaultValue) {
    QString errorText;
    if (!registry.openKey(keyPath, &errorText))
        throw Error(errorText);
    const std::optional<RegistryView::Value> value = registry.value(keyPath, valueName);
    if (!value || value->type == RegistryView::ValueType::Other)
        return defaultValue;
    const QString text = value->data.section(QChar(0), 0, 0);
    return text.isEmpty() ? defaultValue : text;
}

QString DiscoverJavaBinDir(const RegistryView& registry) {
    for (const QString& baseKey : {JavaFirstBaseKey, JavaSecondBaseKey}) {
        const QStringList names = registry.subKeyNames(baseKey).value_or(QStringList());
        for (const QString& name : names) {
            const QString home = ReadRegistryString(registry, baseKey + KeySeparator + name,
                                                    JavaHomeValue, QString());
            if (!home.isEmpty())
                return home + QStringLiteral("/bin");
        }
    }
    return {};
}

} // namespace kestrane
