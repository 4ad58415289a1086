#pragma once

// Runs text as the deploy tool could write it through every reader of device output, the way the
// window gets it: cut into chunks and fed to a console job's line splitting, each line read as an
// installed-application line and as an installation progress line, then the whole output read as
// device information, as each action's answer, judged as a command's end, as an installation's
// failure and as a failure text. The same bytes are also parsed as a BAR manifest. Shared by the
// device-output fuzzer, the tests with very long and very many lines, and the benchmark.
#include <QString>

#include <cstddef>
#include <string_view>
#include <vector>

namespace kestrane {

struct DeviceOutputRead {
    qsizetype lines = 0;      // lines the chunked feed delivered
    qsizetype appRows = 0;    // lines that described an application
    int progress = 0;         // the last progress a marked line reported
    bool connected = false;   // ReadDeviceInfo's verdict
    qsizetype textLength = 0; // total length of the texts the readers made, so none is unused
};

// Feeds text in chunks of the given lengths (the rest of the text as one last chunk) and reads it;
// exitCode and timedOut are the command's end. Aborts with a message when the lines the chunked
// feed delivered differ from SplitLines over the whole output.
DeviceOutputRead ReadDeviceOutput(const QString& text, const std::vector<qsizetype>& chunks,
                                  int exitCode, bool timedOut);

// The same for raw bytes, as libFuzzer gives them: the first bytes choose the exit code and the
// chunk lengths, the rest is the text (UTF-8, invalid sequences replaced, as a decoder would) and,
// undecoded, the manifest.
DeviceOutputRead ReadDeviceOutputBytes(std::string_view bytes);

// Texts for the volume tests and the benchmark. One line of about length characters that
// repeats every marker the readers look for (keys, "source::", "name::", "Info: Progress ",
// "result::", "Error:" in the middle of the line).
QString OneLongLine(qsizetype length);
// count short lines, each of the kinds the readers know (device values, application lines,
// progress lines, results and failures), ending alternately in LF and CR LF.
QString ManyShortLines(qsizetype count);
// Chunk lengths of size each, as a pipe delivers, covering length characters.
std::vector<qsizetype> EvenChunks(qsizetype length, qsizetype size);

} // namespace kestrane
