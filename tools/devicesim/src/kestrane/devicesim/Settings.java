package kestrane.devicesim;

import java.nio.file.Path;
import java.util.Map;

/**
 * The simulator's settings, all from the environment so that they reach it through any launcher:
 *
 * <ul>
 *   <li>KESTRANE_DEVICESIM_HOME: folder of the device state (default
 *       $XDG_STATE_HOME/kestrane-devicesim, or ~/.local/state/kestrane-devicesim);
 *   <li>KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS: how long an address without a device is tried
 *       (default 1500);
 *   <li>KESTRANE_DEVICESIM_PROGRESS_MS: time an installation takes from 0 to 100 per cent (default
 *       1000);
 *   <li>KESTRANE_DEVICESIM_FAIL_INSTALL_AT: a percentage at which every installation breaks off;
 *   <li>KESTRANE_DEVICESIM_ARGS_LOG: a file that receives the arguments of each run, each one
 *       followed by a NUL byte (a test aid: it shows what arrived through the shell).
 * </ul>
 */
record Settings(
        Path home, long connectTimeoutMillis, long progressMillis, int failInstallAt, Path argsLog) {

    static final int NEVER = -1;

    static Settings fromEnvironment() {
        return from(System.getenv(), System.getProperty("user.home"));
    }

    static Settings from(Map<String, String> env, String userHome) {
        return new Settings(
                stateHome(env, userHome),
                number(env, "KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", 1500),
                number(env, "KESTRANE_DEVICESIM_PROGRESS_MS", 1000),
                (int) number(env, "KESTRANE_DEVICESIM_FAIL_INSTALL_AT", NEVER),
                path(env, "KESTRANE_DEVICESIM_ARGS_LOG"));
    }

    private static Path stateHome(Map<String, String> env, String userHome) {
        Path own = path(env, "KESTRANE_DEVICESIM_HOME");
        if (own != null)
            return own;
        Path xdg = path(env, "XDG_STATE_HOME");
        // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
        Path base = xdg != null && xdg.isAbsolute() ? xdg : Path.of(userHome, ".local", "state");
        return base.resolve("kestrane-devicesim");
    }

    private static Path path(Map<String, String> env, String name) {
        String value = env.get(name);
        return value == null || value.isEmpty() ? null : Path.of(value);
    }

    private static long number(Map<String, String> env, String name, long fallback) {
        String value = env.get(name);
        if (value == null || value.isBlank())
            return fallback;
        try {
            return Long.parseLong(value.trim());
        } catch (NumberFormatException e) {
            throw ToolExit.fatal(name + " is not a number: " + value);
        }
    }
}
