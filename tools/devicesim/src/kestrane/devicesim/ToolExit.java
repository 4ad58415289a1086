package kestrane.devicesim;

/**
 * Ends a run early with one line of output and an exit code, the way the deploy tool reports its
 * failures: its own errors on standard error, a device's refusal ("result::failure ..." or the
 * device's own "Error: ..." line) on standard output.
 */
final class ToolExit extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** Local error: bad arguments, no device, nothing to read. */
    static final int FATAL = 1;
    /** The device answered with a failure line ("result::failure ..." or "Error: ..."). */
    static final int DEVICE_FAILURE = 2;
    /** Wrong password, attempts left. */
    static final int AUTHENTICATION_FAILED = 3;
    /** Wrong password, no attempts left. */
    static final int LOCKED = 4;

    final int exitCode;
    final boolean onStandardOutput;

    private ToolExit(String line, int exitCode, boolean onStandardOutput) {
        super(line, null, false, false);
        this.exitCode = exitCode;
        this.onStandardOutput = onStandardOutput;
    }

    static ToolExit fatal(String message) {
        return new ToolExit("Error: " + message, FATAL, false);
    }

    static ToolExit authentication(String message, int exitCode) {
        return new ToolExit("Error: " + message, exitCode, false);
    }

    /** A device's refusal with its code and text, e.g. "881 no debug token found". */
    static ToolExit deviceFailure(String codeAndText) {
        return deviceLine("result::failure " + codeAndText);
    }

    /** A line of the device's answer that makes the command fail. */
    static ToolExit deviceLine(String line) {
        return new ToolExit(line, DEVICE_FAILURE, true);
    }

    /** Ends with an exit code after everything was said already. */
    static final class Quiet extends RuntimeException {
        private static final long serialVersionUID = 1L;
        final int exitCode;

        Quiet(int exitCode) {
            super(null, null, false, false);
            this.exitCode = exitCode;
        }
    }
}
