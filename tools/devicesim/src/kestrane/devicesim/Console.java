package kestrane.devicesim;

import java.io.PrintStream;

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

    void error(String text) {
        out.flush();
        err.println(text);
        err.flush();
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
