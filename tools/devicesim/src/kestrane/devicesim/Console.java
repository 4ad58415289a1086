package kestrane.devicesim;

import java.io.PrintStream;
import java.time.ZonedDateTime;

/**
 * The simulator's output. Every line is flushed at once: the window shows installation progress
 * while the tool still runs, so a line must not wait in a buffer.
 */
final class Console {
    private final PrintStream out;
    private final PrintStream err;

    Console(PrintStream out, PrintStream err) {
        this.out = out;
        this.err = err;
    }

    void line(String text) {
        out.println(text);
        out.flush();
    }

    /** Bytes as they are, such as a file printed to standard output. */
    void bytes(byte[] data) {
        out.write(data, 0, data.length);
        out.flush();
    }

    void error(String text) {
        out.flush();
        err.println(text);
        err.flush();
    }

    /**
     * A java.util.logging record at level INFO on standard error, in the default format of the
     * deploy tool's logging: "Dec 10, 2026 3:39:25 PM CLASS METHOD", then "INFO: MESSAGE".
     */
    void logRecord(String sourceClass, String sourceMethod, String message) {
        error(
                String.format(
                        "%1$tb %1$td, %1$tY %1$tl:%1$tM:%1$tS %1$Tp %2$s %3$s",
                        ZonedDateTime.now(),
                        sourceClass,
                        sourceMethod));
        error("INFO: " + message);
    }

    static void pause(long millis) {
        if (millis <= 0)
            return;
        try {
            Thread.sleep(millis);
        } catch (InterruptedException e) {
            Thread.currentThread().interrupt();
        }
    }
}
