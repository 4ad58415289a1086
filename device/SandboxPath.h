#pragma once

#include <QString>

namespace kestrane {

// Paths in an application's sandbox on the device, as a user gives them. Qt Core only, so that
// the check can be fuzzed on its own.

// What the messages offer as examples of a good path.
inline const QString SandboxPathExample = QStringLiteral("such as logs/log or data/FILE");

// Empty when path names a file inside the sandbox: relative (no leading /), no empty part (no
// "//", no trailing /), no ".." that climbs above the sandbox's top, and no control character
// (a line break or a NUL would reach the tool and the device's file system as they are).
// Otherwise the sentence that says what is wrong and what to give instead. Nothing is run for a
// path that fails this.
QString SandboxPathProblem(const QString& path);

} // namespace kestrane
