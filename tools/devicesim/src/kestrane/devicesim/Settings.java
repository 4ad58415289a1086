package kestrane.devicesim;

import java.nio.file.Path;
import java.util.Map;

/**
 * The simulator's settings, all from the environment so that they reach it through any launcher:
 *
 * <ul>
 *   <li>KESTRANE_DEVICESIM_HOME: folder of the device state (default
 *       $XDG_STATE_HOME/kestrane-devicesim, or $HOME/.local/state/kestrane-devicesim);
 *   <li>KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS: how long an address without a device is tried
 *       (default 1500);
 *   <li>KESTRANE_DEVICESIM_PROGRESS_MS: time an installation takes from 0 to 100 per cent (default
 *       1000);
 *   <li>KESTRANE_DEVICESIM_FAIL_INSTALL_AT: a percentage at which every installation is refused;
 *   <li>KESTRANE_DEVICESIM_INSTALL_FAILURE: the code and text of that refusal (default "881 no
 *       debug token found");
 *   <li>KESTRANE_DEVICESIM_LISTED_VERSION: every installation reports success as usual, but the
 *       device's list of applications then shows the package at this version instead of the
 *       BAR's ("none": does not show it at all), as a device whose installation did not take;
 *   <li>KESTRANE_DEVICESIM_UPLOAD_MS: how long the silent upload of a BAR file takes (default 0);
 *   <li>KESTRANE_DEVICESIM_STALE_ENTRY_MS: how long a command waits when it finds the empty login
 *       entry of a command that was ended while it connected (default 10000);
 *   <li>KESTRANE_DEVICESIM_ARGS_LOG: a file that receives the arguments of each run, each one
 *       followed by a NUL byte (a test aid: it shows what arrived through the shell).
 * </ul>
 *
 * <p>The device state folder follows the environment's HOME, never the Java property user.home:
 * the program that runs the deploy tool moves user.home to keep the tool's login data private,
 * and the simulated devices must keep their state when it does. The login data (.deployData) goes
 * to user.home, as the deploy tool keeps it.
 */
record Settings(
        Path home,
        Path userHome,
        long connectTimeoutMillis,
        long progressMillis,
        int failInstallAt,
        String installFailure,
        String listedVersion,
        long uploadMillis,
        long staleEntryMillis,
        Path argsLog) {

    static final int NEVER = -1;
    static final String DEFAULT_INSTALL_FAILURE = "881 no debug token found";
    /** The listed version that leaves an installed package out of the list. */
    static final String NOT_LISTED = "none";

    static Settings fromEnvironment() {
        return from(System.getenv(), System.getProperty("user.home"));
    }

    static Settings from(Map<String, String> env, String userHome) {
        String failure = env.get("KESTRANE_DEVICESIM_INSTALL_FAILURE");
        return new Settings(
                stateHome(env, userHome),
                Path.of(userHome),
                number(env, "KESTRANE_DEVICESIM_CONNECT_TIMEOUT_MS", 1500),
                number(env, "KESTRANE_DEVICESIM_PROGRESS_MS", 1000),
                (int) number(env, "KESTRANE_DEVICESIM_FAIL_INSTALL_AT", NEVER),
                failure == null || failure.isBlank() ? DEFAULT_INSTALL_FAILURE : failure.trim(),
                text(env, "KESTRANE_DEVICESIM_LISTED_VERSION"),
                number(env, "KESTRANE_DEVICESIM_UPLOAD_MS", 0),
                number(env, "KESTRANE_DEVICESIM_STALE_ENTRY_MS", 10_000),
                path(env, "KESTRANE_DEVICESIM_ARGS_LOG"));
    }

    private static Path stateHome(Map<String, String> env, String userHome) {
        Path own = path(env, "KESTRANE_DEVICESIM_HOME");
        if (own != null)
            return own;
        Path xdg = path(env, "XDG_STATE_HOME");
        // A relative XDG_STATE_HOME is ignored, as the XDG base directory rules say.
        if (xdg != null && xdg.isAbsolute())
            return xdg.resolve("kestrane-devicesim");
        // user.home only when the environment names no home at all.
        Path home = path(env, "HOME");
        Path base = home != null ? home : Path.of(userHome);
        return base.resolve(".local").resolve("state").resolve("kestrane-devicesim");
    }

    /** The variable's value without blanks around it; null when it is unset or blank. */
    private static String text(Map<String, String> env, String name) {
        String value = env.get(name);
        return value == null || value.isBlank() ? null : value.trim();
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
