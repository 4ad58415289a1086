package kestrane.commandhost;

import java.security.Permission;

/**
 * Turns System.exit during a command into an exception that ends the command with that code,
 * instead of ending the host. Permits everything else.
 */
@SuppressWarnings("removal")
final class ExitTrap extends SecurityManager {
    /** Thrown out of System.exit; the code is also kept here, in case the tool catches it. */
    static final class Trapped extends SecurityException {
        private static final long serialVersionUID = 1L;
        final int code;

        Trapped(int code) {
            super("System.exit(" + code + ")");
            this.code = code;
        }
    }

    private volatile boolean armed;
    private volatile Integer code;

    void arm() {
        code = null;
        armed = true;
    }

    /** Stops trapping; the first exit code asked for since arm(), or null. */
    Integer disarm() {
        armed = false;
        return code;
    }

    @Override
    public void checkExit(int status) {
        if (!armed)
            return;
        synchronized (this) {
            if (code == null)
                code = status;
        }
        throw new Trapped(status);
    }

    @Override
    public void checkPermission(Permission permission) {}

    @Override
    public void checkPermission(Permission permission, Object context) {}
}
