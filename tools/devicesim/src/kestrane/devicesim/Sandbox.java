package kestrane.devicesim;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;

/**
 * An application's sandbox on a simulated device: the folders a device gives every application
 * (app, data, db, logs, shared, tmp), kept below the state folder, one per device and package.
 * A launch starts a new logs/log; while the application runs, it grows by a line a second (written when the sandbox is
 * next looked at); terminating it writes logs/devmode_exitcode.txt, which a launch removes.
 */
final class Sandbox {
    static final String LOG = "logs/log";
    static final String EXIT_CODE = "logs/devmode_exitcode.txt";
    /** What a terminated application's exit code file holds. */
    static final String TERMINATED_EXIT_CODE = "0";
    private static final String[] FOLDERS = {"app", "data", "db", "logs", "shared", "tmp"};

    private final Path root;
    /** When the running application started and how many of its seconds the log holds. */
    private final Path runFile;

    private Sandbox(Path root, Path runFile) {
        this.root = root;
        this.runFile = runFile;
    }

    static Sandbox of(DeviceStore store, SimulatedDevice device, InstalledApp app)
            throws IOException {
        Path folder = store.home().resolve("sandboxes").resolve(device.address());
        Sandbox sandbox =
                new Sandbox(folder.resolve(app.fullName()), folder.resolve(app.fullName() + ".run"));
        for (String name : FOLDERS)
            Files.createDirectories(sandbox.root.resolve(name));
        return sandbox;
    }

    /** The file at a path relative to the sandbox; null when the path leaves it. */
    Path resolve(String relative) {
        Path file = root.resolve(relative).normalize();
        return relative.startsWith("/") || !file.startsWith(root) ? null : file;
    }

    void launched(long pid) throws IOException {
        Files.deleteIfExists(resolve(EXIT_CODE));
        // Each run of the application starts a new log.
        Files.deleteIfExists(resolve(LOG));
        appendLog("Started, process " + pid);
        Files.writeString(runFile, System.currentTimeMillis() + " 0");
    }

    void terminated() throws IOException {
        catchUp();
        Files.deleteIfExists(runFile);
        appendLog("Terminated");
        Files.writeString(resolve(EXIT_CODE), TERMINATED_EXIT_CODE + "\n");
    }

    /** Writes the lines of the seconds the running application has run since the last ones. */
    void catchUp() throws IOException {
        if (!Files.exists(runFile))
            return;
        String[] run = Files.readString(runFile).trim().split(" ");
        long started = Long.parseLong(run[0]);
        long written = Long.parseLong(run[1]);
        long seconds = (System.currentTimeMillis() - started) / 1000;
        StringBuilder lines = new StringBuilder();
        for (long second = written + 1; second <= seconds; second++)
            lines.append("Running for ").append(second).append(" s\n");
        if (lines.isEmpty())
            return;
        Files.writeString(
                resolve(LOG), lines, StandardOpenOption.CREATE, StandardOpenOption.APPEND);
        Files.writeString(runFile, started + " " + seconds);
    }

    private void appendLog(String line) throws IOException {
        Files.writeString(
                resolve(LOG),
                line + "\n",
                StandardCharsets.UTF_8,
                StandardOpenOption.CREATE,
                StandardOpenOption.APPEND);
    }
}
