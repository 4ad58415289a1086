#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace kestrane {

// The Java launcher's argument-file text for arguments (java @FILE): one argument per line, each
// in double quotes, with backslash, double quote, line breaks, tab and form feed escaped as the
// launcher reads them back, so that every value arrives unchanged (blanks, quotes, '$', '#',
// non-ASCII characters and the empty text included). UTF-8.
QByteArray JavaArgumentFileText(const QStringList& arguments);

// A file that only this user can read (mode 0600), made in a folder of this program's own and
// removed when the object goes. Its name begins with ArgumentFilePrefix, so that what is left of
// one after a crash can be told apart in that folder.
class ArgumentFile {
public:
    // Writes text to a new file in folder; throws Error when it cannot be made or written.
    ArgumentFile(const QString& folder, const QByteArray& text);
    ~ArgumentFile();
    ArgumentFile(const ArgumentFile&) = delete;
    ArgumentFile& operator=(const ArgumentFile&) = delete;

    const QString& path() const { return path_; }

private:
    QString path_;
};

inline constexpr char ArgumentFilePrefix[] = "deploy-arguments-";

} // namespace kestrane
