package kestrane.devicesim;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;

/** Runs one deploy command against a simulated device, printing what the device answers. */
final class DeviceSession {
    static final int MAX_ATTEMPTS = 10;
    static final String LINK_LOCAL_PREFIX = "169.254.";

    private final Console console;
    private final Settings settings;
    private final DeviceStore store;

    DeviceSession(Console console, Settings settings, DeviceStore store) {
        this.console = console;
        this.settings = settings;
        this.store = store;
    }

    void run(Invocation invocation) throws IOException {
        invocation.checkBeforeConnecting();
        if (invocation.barPath() != null && !Files.isRegularFile(Path.of(invocation.barPath())))
            throw ToolExit.fatal("Cannot read BAR file: " + invocation.barPath());
        Command command =
                invocation.commands().contains(Command.INSTALL_APP)
                        ? Command.INSTALL_APP
                        : invocation.single();
        console.line("Info: Sending request: " + requestName(command));
        SimulatedDevice device = connect(invocation.host());
        authenticate(device, invocation.password());
        invocation.checkPackageArguments();
        switch (command) {
            case LIST_DEVICE_INFO -> listDeviceInfo(device);
            case LIST_INSTALLED_APPS -> listInstalledApps(device);
            case INSTALL_APP -> install(device, invocation);
            default -> actOnPackage(device, command, PackageRef.of(invocation));
        }
    }

    private static String requestName(Command command) {
        return switch (command) {
            case LIST_DEVICE_INFO -> "DEVICE_INFO";
            case LIST_INSTALLED_APPS -> "LIST";
            case INSTALL_APP -> "INSTALL";
            case IS_APP_RUNNING -> "IS_APP_RUNNING";
            case LAUNCH_APP -> "LAUNCH";
            case TERMINATE_APP -> "TERMINATE";
            case UNINSTALL_APP -> "UNINSTALL";
            default -> throw new IllegalArgumentException(command.option);
        };
    }

    private SimulatedDevice connect(String host) {
        SimulatedDevice device = SimulatedDevice.find(host);
        if (device == null)
            throw failedConnection(host);
        if (!device.developmentMode())
            throw ToolExit.fatal(
                    "Device is not in the Development Mode. Switch to Development Mode from"
                            + " Security settings on the device.");
        return device;
    }

    /**
     * What becomes of a connection to an address without a working device: a link-local address
     * (where a device on USB would be) gets no answer, and the attempt times out; anything else
     * has no deploy service listening, and the connection is refused at once. The addresses of
     * the simulated faults behave as their faults.
     */
    private ToolExit failedConnection(String host) {
        Fault fault = Fault.at(host);
        if (fault == Fault.SILENT)
            waitForever();
        if (fault == Fault.CLOSES_CONNECTION) {
            for (int attempt = 0; attempt < Fault.RETRIES; attempt++) {
                console.error(
                        "INFO: I/O exception (org.apache.http.NoHttpResponseException) caught"
                                + " when processing request: The target server failed to respond");
                console.error("INFO: Retrying request");
            }
            return ToolExit.fatal("The target server failed to respond");
        }
        if (host.startsWith(LINK_LOCAL_PREFIX)) {
            Console.pause(settings.connectTimeoutMillis());
            return ToolExit.fatal(
                    "Cannot connect: Connect to /"
                            + host
                            + ":443 timed out. Please check IP address settings for the target."
                            + " You may have to reboot the target.");
        }
        return ToolExit.fatal(
                "Cannot connect: Connection to https://"
                        + host
                        + ":443 refused. Please check IP address settings for the target."
                        + " You may have to reboot the target.");
    }

    /** The request was sent and is never answered; only ending the process ends the wait. */
    private static void waitForever() {
        while (true) {
            try {
                Thread.sleep(Long.MAX_VALUE);
            } catch (InterruptedException e) {
                // Nothing answers an interruption either: the wait goes on.
            }
        }
    }

    /** Checks the password; a wrong one counts, and the tenth locks the device. */
    private void authenticate(SimulatedDevice device, String password) throws IOException {
        String given = password == null ? "" : password;
        int failures =
                store.update(
                        device,
                        state -> {
                            if (state.failedAttempts < MAX_ATTEMPTS) {
                                if (device.password().equals(given))
                                    state.failedAttempts = 0;
                                else
                                    state.failedAttempts++;
                            }
                            return state.failedAttempts;
                        });
        if (failures >= MAX_ATTEMPTS)
            throw ToolExit.authentication(
                    "Authentication failed. The device is locked after "
                            + MAX_ATTEMPTS
                            + " failed attempts.",
                    ToolExit.LOCKED);
        if (failures > 0)
            throw ToolExit.authentication(
                    "Authentication failed. There have been "
                            + failures
                            + " of "
                            + MAX_ATTEMPTS
                            + " failed attempts",
                    ToolExit.AUTHENTICATION_FAILED);
    }

    private void listDeviceInfo(SimulatedDevice device) {
        console.line("Info: Action: List Device Info");
        device.propertyLines().forEach(console::line);
    }

    private void listInstalledApps(SimulatedDevice device) throws IOException {
        for (InstalledApp app : store.update(device, state -> state.apps))
            console.line(app.listLine());
    }

    private void install(SimulatedDevice device, Invocation invocation) throws IOException {
        Path bar = Path.of(invocation.barPath());
        long size = Files.size(bar);
        console.line("Info: Action: Install");
        console.line("Info: File size: " + size);
        console.line("Info: Installing ...");
        console.line("Info: Processing " + size + " bytes");
        BarManifest manifest = readBar(bar);
        transfer();
        InstalledApp app = store.update(device, state -> state.install(manifest, size));
        console.line("actual_dname::" + app.fullName());
        console.line("actual_id::" + app.packageId());
        console.line("actual_version::" + app.version());
        console.line("result::success");
        if (invocation.commands().contains(Command.LAUNCH_APP))
            launch(device, new PackageRef(app.packageName(), app.packageId()));
    }

    private static BarManifest readBar(Path bar) throws IOException {
        try {
            return BarManifest.read(bar);
        } catch (BarManifest.InvalidBar e) {
            throw ToolExit.deviceFailure(e.getMessage());
        }
    }

    /** Progress in steps of ten per cent, spread over the configured time. */
    private void transfer() {
        for (int percent = 0; percent <= 100; percent += 10) {
            if (settings.failInstallAt() != Settings.NEVER && percent >= settings.failInstallAt())
                throw ToolExit.deviceFailure(
                        "connection to the device was lost during installation");
            if (percent > 0)
                Console.pause(settings.progressMillis() / 10);
            console.line("Info: Progress " + percent + "%...");
        }
    }

    private void actOnPackage(SimulatedDevice device, Command command, PackageRef ref)
            throws IOException {
        switch (command) {
            case IS_APP_RUNNING -> {
                console.line("Info: Action: Is App Running");
                InstalledApp app = store.update(device, state -> state.find(ref.name, ref.id));
                console.line("result::" + known(app).isRunning());
            }
            case LAUNCH_APP -> {
                console.line("Info: Action: Launch");
                launch(device, ref);
            }
            case TERMINATE_APP -> {
                console.line("Info: Action: Terminate");
                succeedIf(store.update(device, state -> state.terminate(ref.name, ref.id)));
            }
            case UNINSTALL_APP -> {
                console.line("Info: Action: Uninstall");
                succeedIf(store.update(device, state -> state.uninstall(ref.name, ref.id)));
            }
            default -> throw new IllegalArgumentException(command.option);
        }
    }

    private void launch(SimulatedDevice device, PackageRef ref) throws IOException {
        InstalledApp app = known(store.update(device, state -> state.launch(ref.name, ref.id)));
        console.line("Info: Launching " + app.fullName() + "...");
        console.line("result::" + app.pid());
    }

    private void succeedIf(boolean known) {
        if (!known)
            throw unknownPackage();
        console.line("result::success");
    }

    private static InstalledApp known(InstalledApp app) {
        if (app == null)
            throw unknownPackage();
        return app;
    }

    private static ToolExit unknownPackage() {
        return ToolExit.deviceFailure("cannot determine package name");
    }

    /** The package a command names: by -package-name and -package-id, or by its BAR file. */
    private record PackageRef(String name, String id) {
        static PackageRef of(Invocation invocation) throws IOException {
            if (invocation.packageName() != null && invocation.packageId() != null)
                return new PackageRef(invocation.packageName(), invocation.packageId());
            BarManifest manifest = readBar(Path.of(invocation.barPath()));
            return new PackageRef(manifest.packageName(), manifest.packageId());
        }
    }
}
