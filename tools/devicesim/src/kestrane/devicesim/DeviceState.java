package kestrane.devicesim;

import java.io.IOException;
import java.io.Reader;
import java.io.Writer;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Properties;
import java.util.concurrent.ThreadLocalRandom;

/**
 * What a device remembers between runs: failed password attempts, its applications and its debug
 * token.
 */
final class DeviceState {
    int failedAttempts;
    final List<InstalledApp> apps;
    DebugToken debugToken;

    private DeviceState(int failedAttempts, List<InstalledApp> apps, DebugToken debugToken) {
        this.failedAttempts = failedAttempts;
        this.apps = apps;
        this.debugToken = debugToken;
    }

    static DeviceState fresh(SimulatedDevice device) {
        return new DeviceState(0, new ArrayList<>(device.preinstalled()), device.debugToken());
    }

    InstalledApp find(String name, String id) {
        for (InstalledApp app : apps)
            if (app.is(name, id))
                return app;
        return null;
    }

    /** Installs a package, replacing an earlier version of it (which stops it). */
    InstalledApp install(BarManifest bar, long size) {
        apps.removeIf(app -> app.packageName().equals(bar.packageName()));
        InstalledApp app =
                new InstalledApp(
                        bar.packageName(),
                        bar.packageId(),
                        bar.version(),
                        bar.applicationName(),
                        size,
                        false,
                        0);
        apps.add(app);
        return app;
    }

    /**
     * Starts the application unless it runs already. The device's answer: the new process id, or
     * "running," and the id of the process that runs; null when the application is not installed.
     */
    String launch(String name, String id) {
        InstalledApp app = find(name, id);
        if (app == null)
            return null;
        if (app.isRunning())
            return "running," + app.pid();
        long pid = ThreadLocalRandom.current().nextLong(10_000_000, 999_999_999);
        apps.set(apps.indexOf(app), app.withPid(pid));
        return Long.toString(pid);
    }

    boolean terminate(String name, String id) {
        InstalledApp app = find(name, id);
        if (app == null)
            return false;
        apps.set(apps.indexOf(app), app.withPid(0));
        return true;
    }

    boolean uninstall(String name, String id) {
        return apps.removeIf(app -> app.is(name, id));
    }

    // Stored as a properties file: it escapes whatever a manifest put into names and versions.

    static DeviceState load(Path file, SimulatedDevice device) throws IOException {
        if (!Files.exists(file))
            return fresh(device);
        Properties stored = new Properties();
        try (Reader in = Files.newBufferedReader(file, StandardCharsets.UTF_8)) {
            stored.load(in);
        }
        List<InstalledApp> apps = new ArrayList<>();
        int count = Integer.parseInt(stored.getProperty("apps", "0"));
        for (int i = 0; i < count; i++)
            apps.add(loadApp(stored, "app." + i + "."));
        DebugToken token = device.debugToken();
        if (stored.containsKey("token.installed"))
            token =
                    new DebugToken(
                            Boolean.parseBoolean(stored.getProperty("token.installed")),
                            Boolean.parseBoolean(stored.getProperty("token.valid", "false")),
                            stored.getProperty("token.expiration", ""),
                            stored.getProperty("token.author", ""),
                            stored.getProperty("token.validationError", ""),
                            Integer.parseInt(stored.getProperty("token.validationErrorCode", "0")));
        return new DeviceState(
                Integer.parseInt(stored.getProperty("failedAttempts", "0")), apps, token);
    }

    void save(Path file) throws IOException {
        Properties stored = new Properties();
        stored.setProperty("failedAttempts", Integer.toString(failedAttempts));
        stored.setProperty("apps", Integer.toString(apps.size()));
        for (int i = 0; i < apps.size(); i++)
            saveApp(stored, "app." + i + ".", apps.get(i));
        if (debugToken != null) {
            stored.setProperty("token.installed", Boolean.toString(debugToken.installed()));
            stored.setProperty("token.valid", Boolean.toString(debugToken.valid()));
            stored.setProperty("token.expiration", debugToken.expiration());
            stored.setProperty("token.author", debugToken.author());
            stored.setProperty("token.validationError", debugToken.validationError());
            stored.setProperty(
                    "token.validationErrorCode", Integer.toString(debugToken.validationErrorCode()));
        }
        Path temporary = file.resolveSibling(file.getFileName() + ".tmp");
        try (Writer out = Files.newBufferedWriter(temporary, StandardCharsets.UTF_8)) {
            stored.store(out, "Kestrane device simulator: state of " + file.getFileName());
        }
        Files.move(
                temporary,
                file,
                java.nio.file.StandardCopyOption.REPLACE_EXISTING,
                java.nio.file.StandardCopyOption.ATOMIC_MOVE);
    }

    private static InstalledApp loadApp(Properties stored, String prefix) {
        return new InstalledApp(
                stored.getProperty(prefix + "name", ""),
                stored.getProperty(prefix + "id", ""),
                stored.getProperty(prefix + "version", ""),
                stored.getProperty(prefix + "displayName", ""),
                Long.parseLong(stored.getProperty(prefix + "size", "0")),
                Boolean.parseBoolean(stored.getProperty(prefix + "preinstalled", "false")),
                Long.parseLong(stored.getProperty(prefix + "pid", "0")));
    }

    private static void saveApp(Properties stored, String prefix, InstalledApp app) {
        stored.setProperty(prefix + "name", app.packageName());
        stored.setProperty(prefix + "id", app.packageId());
        stored.setProperty(prefix + "version", app.version());
        stored.setProperty(prefix + "displayName", app.displayName());
        stored.setProperty(prefix + "size", Long.toString(app.size()));
        stored.setProperty(prefix + "preinstalled", Boolean.toString(app.preinstalled()));
        stored.setProperty(prefix + "pid", Long.toString(app.pid()));
    }
}
