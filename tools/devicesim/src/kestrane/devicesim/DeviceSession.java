package kestrane.devicesim;

import java.io.IOException;
import java.io.InputStream;
import java.nio.file.Files;
import java.nio.file.Path;

/**
 * Runs one deploy command against a simulated device, printing what the deploy tool prints: it
 * connects and logs in (keeping its login data in .deployData), and only then sends the request
 * ("Info: Sending request: X") and echoes the device's answer.
 */
final class DeviceSession {
    static final int MAX_ATTEMPTS = 10;
    static final String LINK_LOCAL_PREFIX = "169.254.";
    /** The piece of the BAR file sent at a time during the upload, and the pause between two. */
    private static final int UPLOAD_PIECE = 4096;
    private static final long UPLOAD_PIECE_MILLIS = 25;

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
        Command command =
                invocation.commands().contains(Command.INSTALL_APP)
                        ? Command.INSTALL_APP
                        : invocation.single();
        try (DeployData login = DeployData.connecting(settings.userHome(), invocation.host())) {
            if (login.foundStaleEntry())
                Console.pause(settings.staleEntryMillis());
            SimulatedDevice device = connect(invocation.host());
            authenticate(device, invocation.password(), login);
            console.line("Info: Sending request: " + requestName(command));
            if (!device.developmentMode())
                throw ToolExit.deviceLine(
                        "Error: Device is not in the Development Mode. Switch to Development Mode"
                                + " from Security settings on the device.");
            invocation.checkPackageArguments();
            if (invocation.barPath() != null)
                checkReadable(Path.of(invocation.barPath()));
            switch (command) {
                case LIST_DEVICE_INFO -> listDeviceInfo(device);
                case LIST_INSTALLED_APPS -> listInstalledApps(device);
                case INSTALL_APP -> install(device, invocation);
                case INSTALL_DEBUG_TOKEN -> installDebugToken(device, Path.of(invocation.barPath()));
                default -> actOnPackage(device, command, invocation, PackageRef.of(invocation));
            }
        }
    }

    private static String requestName(Command command) {
        return switch (command) {
            case LIST_DEVICE_INFO -> "DEVICE_INFO";
            case LIST_INSTALLED_APPS -> "LIST";
            case INSTALL_APP -> "INSTALL";
            case IS_APP_RUNNING -> "IS_RUNNING";
            case LAUNCH_APP -> "LAUNCH";
            case TERMINATE_APP -> "TERMINATE";
            case UNINSTALL_APP -> "UNINSTALL";
            case INSTALL_DEBUG_TOKEN -> "INSTALL_DEBUG_TOKEN";
            case GET_FILE, PRINT_EXIT_CODE -> "GET_FILE";
            case PUT_FILE -> "PUT_FILE";
            default -> throw new IllegalArgumentException(command.option);
        };
    }

    private static void checkReadable(Path bar) {
        if (!Files.isRegularFile(bar) || !Files.isReadable(bar))
            throw ToolExit.fatal("File does not exist or not a file or cannot read: " + bar + " ");
    }

    private SimulatedDevice connect(String host) {
        SimulatedDevice device = SimulatedDevice.find(host);
        if (device == null)
            throw failedConnection(host);
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
            String director = "org.apache.http.impl.client.DefaultRequestDirector";
            for (int attempt = 0; attempt < Fault.RETRIES; attempt++) {
                console.logRecord(
                        director,
                        "execute",
                        "I/O exception (org.apache.http.NoHttpResponseException) caught when"
                                + " processing request: The target server failed to respond");
                console.logRecord(director, "execute", "Retrying request");
            }
            return ToolExit.fatal("The target server failed to respond");
        }
        if (fault == Fault.LOGIN_SYSTEM_ERROR) {
            console.error("[Fatal Error] :1:1: Premature end of file.");
            return ToolExit.fatal("Authentication failed due to system error");
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

    /**
     * Checks the password; a wrong one counts, and the tenth locks the device. A successful login
     * is kept in .deployData, a failed one takes the address's entry away.
     */
    private void authenticate(SimulatedDevice device, String password, DeployData login)
            throws IOException {
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
        if (failures == 0) {
            login.loggedIn(given);
            return;
        }
        login.loginFailed();
        if (failures >= MAX_ATTEMPTS)
            throw ToolExit.authentication(
                    "Authentication failed. There have been too many failed attempts ("
                            + MAX_ATTEMPTS
                            + "). Please enter your password on the device to reset the failed"
                            + " attempts count and try again",
                    ToolExit.LOCKED);
        throw ToolExit.authentication(
                "Authentication failed. There have been "
                        + failures
                        + " of "
                        + MAX_ATTEMPTS
                        + " failed attempts",
                ToolExit.AUTHENTICATION_FAILED);
    }

    private void listDeviceInfo(SimulatedDevice device) throws IOException {
        console.line("Info: Action: List Device Info");
        DebugToken token = store.update(device, state -> state.debugToken);
        device.propertyLines(token).forEach(console::line);
    }

    /**
     * The tool announces the token file and sends it; the device takes a BAR whose manifest says
     * "Package-Type: debug-token" and reports it from then on: valid until its
     * Debug-Token-Expiry-Date when the device's PIN is among its Debug-Token-Device-Id values,
     * otherwise installed but not valid, with the device's reason.
     */
    private void installDebugToken(SimulatedDevice device, Path token) throws IOException {
        long size = Files.size(token);
        console.line("Info: Action: Install Debug Token");
        console.line("Info: File size: " + size);
        upload(token);
        java.util.Map<String, String> fields;
        try {
            fields = BarManifest.fields(token);
        } catch (BarManifest.InvalidBar e) {
            throw ToolExit.deviceFailure("500 " + e.getMessage());
        }
        if (!"debug-token".equals(fields.get("package-type")))
            throw ToolExit.deviceFailure("500 not a debug token (Package-Type: debug-token)");
        String expiry = fields.getOrDefault("debug-token-expiry-date", "");
        boolean forThisDevice = tokenNamesDevice(fields.getOrDefault("debug-token-device-id", ""),
                device.pin());
        String author = fields.getOrDefault("package-author", "");
        DebugToken installed =
                forThisDevice
                        ? DebugToken.valid(expiry, author)
                        : new DebugToken(
                                true,
                                false,
                                expiry,
                                author,
                                "Device PIN is not in the debug token",
                                DebugToken.NOT_FOR_THIS_DEVICE);
        store.update(device, state -> state.debugToken = installed);
        console.line("result::success");
    }

    /** Whether the token's device ids (decimal, comma-separated) hold the device's PIN. */
    private static boolean tokenNamesDevice(String ids, long pin) {
        for (String id : ids.split(",")) {
            try {
                if (Long.parseLong(id.trim()) == pin)
                    return true;
            } catch (NumberFormatException e) {
                // Not a number: names no device.
            }
        }
        return false;
    }

    private void listInstalledApps(SimulatedDevice device) throws IOException {
        for (InstalledApp app : store.update(device, state -> state.apps))
            console.line(app.listLine());
    }

    /**
     * The tool announces the file and sends it, silently; the device then reports its progress
     * and what it installed, or refuses with empty "actual_" lines and a failure line.
     */
    private void install(SimulatedDevice device, Invocation invocation) throws IOException {
        Path bar = Path.of(invocation.barPath());
        long size = Files.size(bar);
        console.line("Info: Action: Install");
        console.line("Info: File size: " + size);
        upload(bar);
        console.line("Info: Installing ...");
        console.line("Info: Processing " + size + " bytes");
        InstalledApp app;
        try {
            BarManifest manifest = readBar(bar);
            transfer(requirementRefusal(device, manifest));
            app = store.update(device, state -> installAndList(state, manifest, size));
        } catch (ToolExit refusal) {
            console.line("actual_dname::");
            console.line("actual_id::");
            console.line("actual_version::");
            throw refusal;
        }
        console.line("actual_dname::" + app.fullName());
        console.line("actual_id::" + app.packageId());
        console.line("actual_version::" + app.version());
        console.line("result::success");
        if (invocation.commands().contains(Command.LAUNCH_APP))
            launch(device, new PackageRef(app.packageName(), app.packageId()));
    }

    /**
     * Installs the package and returns what the installation reports. With a listed version set
     * (KESTRANE_DEVICESIM_LISTED_VERSION), the device's list then shows the package at that
     * version, or not at all for "none", whatever the installation reported.
     */
    private InstalledApp installAndList(DeviceState state, BarManifest manifest, long size) {
        InstalledApp installed = state.install(manifest, size);
        String listed = settings.listedVersion();
        if (listed == null)
            return installed;
        state.apps.remove(installed);
        if (!listed.equals(Settings.NOT_LISTED))
            state.apps.add(installed.withVersion(listed));
        return installed;
    }

    /**
     * Sends the BAR file to the device over the configured time, writing nothing: the file is read
     * in small pieces, from its start again whenever its end is reached, so that the process's
     * read byte count grows as a real upload's does.
     */
    private void upload(Path bar) throws IOException {
        if (settings.uploadMillis() <= 0)
            return;
        long end = System.nanoTime() + settings.uploadMillis() * 1_000_000;
        byte[] piece = new byte[UPLOAD_PIECE];
        InputStream in = Files.newInputStream(bar);
        try {
            while (System.nanoTime() < end) {
                if (in.read(piece) < 0) {
                    in.close();
                    in = Files.newInputStream(bar);
                }
                Console.pause(UPLOAD_PIECE_MILLIS);
            }
        } finally {
            in.close();
        }
    }

    private static BarManifest readBar(Path bar) throws IOException {
        try {
            return BarManifest.read(bar);
        } catch (BarManifest.InvalidBar e) {
            throw ToolExit.deviceFailure("500 " + e.getMessage());
        }
    }

    /**
     * The device's refusal of a BAR whose Application-Requires-System ("BlackBerry 10/10.3.0.0",
     * "Tablet OS/2.1.0") names a newer version than the device's OS; null when it may install.
     */
    private static String requirementRefusal(SimulatedDevice device, BarManifest manifest) {
        String required = manifest.field("application-requires-system");
        long[] want = versionOf(required.substring(required.lastIndexOf('/') + 1).trim());
        long[] have = versionOf(device.osVersion());
        if (want == null || have == null || java.util.Arrays.compare(have, want) >= 0)
            return null;
        return "533 Application-Requires-System: version forbidden, want "
                + tuple(want)
                + " have "
                + tuple(have);
    }

    /** A dotted version's numbers, at least four (missing ones 0); null when it is none. */
    private static long[] versionOf(String text) {
        if (!text.matches("[0-9]{1,18}(\\.[0-9]{1,18})*"))
            return null;
        String[] parts = text.split("\\.");
        long[] numbers = new long[Math.max(4, parts.length)];
        for (int i = 0; i < parts.length; i++)
            numbers[i] = Long.parseLong(parts[i]);
        return numbers;
    }

    private static String tuple(long[] numbers) {
        StringBuilder text = new StringBuilder("(");
        for (int i = 0; i < numbers.length; i++)
            text.append(i == 0 ? "" : ", ").append(numbers[i]);
        return text.append(')').toString();
    }

    /**
     * Progress in steps of ten per cent, spread over the configured time; refused at the
     * configured percentage with the configured code and text, or after the first step with the
     * device's own refusal when it has one.
     */
    private void transfer(String refusal) {
        for (int percent = 0; percent <= 100; percent += 10) {
            if (refusal != null && percent > 0)
                throw ToolExit.deviceFailure(refusal);
            if (settings.failInstallAt() != Settings.NEVER && percent >= settings.failInstallAt())
                throw ToolExit.deviceFailure(settings.installFailure());
            if (percent > 0)
                Console.pause(settings.progressMillis() / 10);
            console.line("Info: Progress " + percent + "%...");
        }
    }

    private void actOnPackage(
            SimulatedDevice device, Command command, Invocation invocation, PackageRef ref)
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
                InstalledApp app = store.update(device, state -> state.find(ref.name, ref.id));
                boolean wasRunning = app != null && app.isRunning();
                answerIfKnown(
                        store.update(device, state -> state.terminate(ref.name, ref.id)),
                        "result::terminated");
                if (wasRunning)
                    Sandbox.of(store, device, app).terminated();
            }
            case GET_FILE -> getFile(device, ref, invocation.firstPath(), invocation.secondPath());
            case PRINT_EXIT_CODE -> printExitCode(device, ref);
            case PUT_FILE -> putFile(device, ref, invocation.firstPath(), invocation.secondPath());
            case UNINSTALL_APP -> {
                console.line("Info: Action: Uninstall");
                answerIfKnown(
                        store.update(device, state -> state.uninstall(ref.name, ref.id)),
                        "result::success");
            }
            default -> throw new IllegalArgumentException(command.option);
        }
    }

    private void launch(SimulatedDevice device, PackageRef ref) throws IOException {
        String answer = store.update(device, state -> state.launch(ref.name, ref.id));
        if (answer == null)
            throw unknownPackage();
        console.line("Info: Launching " + ref.name + "." + ref.id + "...");
        console.line("result::" + answer);
        if (!answer.startsWith("running,"))
            sandboxOf(device, ref).launched(Long.parseLong(answer));
    }

    /** The sandbox of an installed application, its log brought up to date. */
    private Sandbox sandboxOf(SimulatedDevice device, PackageRef ref) throws IOException {
        InstalledApp app = known(store.update(device, state -> state.find(ref.name, ref.id)));
        Sandbox sandbox = Sandbox.of(store, device, app);
        sandbox.catchUp();
        return sandbox;
    }

    /**
     * Sends a file of the sandbox: saved as SAVEAS ("Info: File saved: SAVEAS"), or printed as it
     * is for "-", where a line of it that begins with "Error:" makes the exit code 2, as the
     * tool reads its own output. A SAVEAS that cannot be written is the tool's error, after the
     * transfer.
     */
    private void getFile(SimulatedDevice device, PackageRef ref, String path, String saveAs)
            throws IOException {
        console.line("Info: Action: Get File");
        byte[] content = sandboxFile(device, ref, path);
        if (saveAs.equals("-")) {
            console.bytes(content);
            String text = new String(content, java.nio.charset.StandardCharsets.ISO_8859_1);
            for (String line : text.split("\n", -1))
                if (line.startsWith("Error:"))
                    throw new ToolExit.Quiet(ToolExit.DEVICE_FAILURE);
            return;
        }
        try {
            Files.write(Path.of(saveAs), content);
        } catch (IOException e) {
            throw ToolExit.fatal(saveAs + " (" + reason(e) + ")");
        }
        console.line("Info: File saved: " + saveAs);
    }

    private static String reason(IOException e) {
        if (e instanceof java.nio.file.NoSuchFileException)
            return "No such file or directory";
        if (e instanceof java.nio.file.AccessDeniedException)
            return "Permission denied";
        if (e instanceof java.nio.file.FileSystemException f && f.getReason() != null)
            return f.getReason();
        return e.getMessage();
    }

    /** The exit code file's content, read as a get of it is, after the Get File lines. */
    private void printExitCode(SimulatedDevice device, PackageRef ref) throws IOException {
        console.line("Info: Action: Get File");
        byte[] content = sandboxFile(device, ref, Sandbox.EXIT_CODE);
        console.line(new String(content, java.nio.charset.StandardCharsets.ISO_8859_1).trim());
    }

    private byte[] sandboxFile(SimulatedDevice device, PackageRef ref, String path)
            throws IOException {
        Sandbox sandbox = sandboxOf(device, ref);
        console.line("Info: Sending File: " + path);
        Path file = sandbox.resolve(path);
        if (file == null || !Files.isRegularFile(file))
            throw ToolExit.deviceFailure("404 file not found");
        return Files.readAllBytes(file);
    }

    /** Stores a file of this computer in the sandbox; its app folder is the package's own. */
    private void putFile(SimulatedDevice device, PackageRef ref, String hostFile, String path)
            throws IOException {
        Path source = Path.of(hostFile);
        checkReadable(source);
        Sandbox sandbox = sandboxOf(device, ref);
        console.line("Info: Action: Put File");
        console.line("Info: File size: " + Files.size(source));
        Path file = sandbox.resolve(path);
        if (file == null || path.equals("app") || path.startsWith("app/"))
            throw ToolExit.deviceFailure("403 permission denied");
        if (!Files.isDirectory(file.getParent()))
            throw ToolExit.deviceFailure("404 file not found");
        Files.copy(source, file, java.nio.file.StandardCopyOption.REPLACE_EXISTING);
        console.line("result::success");
    }

    private void answerIfKnown(boolean known, String answer) {
        if (!known)
            throw unknownPackage();
        console.line(answer);
    }

    private static InstalledApp known(InstalledApp app) {
        if (app == null)
            throw unknownPackage();
        return app;
    }

    private static ToolExit unknownPackage() {
        return ToolExit.deviceFailure("500 cannot determine package name");
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
