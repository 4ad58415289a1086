package kestrane.devicesim;

/**
 * Ends a run early with one line of output and an exit code, the way the deploy tool reports its
 * failures: its own errors on standard error, a device's refusal ("result::failure ...") on
 * standard output.
 */
final class ToolExit extends RuntimeException {
    private static final long serialVersionUID = 1L;

    /** Local error: bad arguments, no device, nothing to read. */
    static final int FATAL = 1;
    /** The device answered with a failure line. */
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

    static ToolExit deviceFailure(String reason) {
        return new ToolExit("result::failure 500 " + reason, DEVICE_FAILURE, true);
    }
}
