package kestrane.devicesim;

import java.util.EnumSet;
import java.util.Set;

/**
 * One command line, read with the deploy tool's grammar:
 * {@code <command> [-device] <host> [-password <pw>] [[-package] <bar> | -package-name N
 * -package-id ID]}. A bare argument is the host when none was given yet, otherwise the BAR file.
 */
record Invocation(
        Set<Command> commands,
        String host,
        String password,
        String barPath,
        String packageName,
        String packageId,
        String firstPath,
        String secondPath) {

    static final Set<Command> PACKAGE_COMMANDS =
            EnumSet.of(
                    Command.IS_APP_RUNNING,
                    Command.LAUNCH_APP,
                    Command.TERMINATE_APP,
                    Command.UNINSTALL_APP,
                    Command.GET_FILE,
                    Command.PUT_FILE,
                    Command.PRINT_EXIT_CODE);

    static Invocation parse(String[] args) {
        Set<Command> commands = EnumSet.noneOf(Command.class);
        String host = null, password = null, bar = null, name = null, id = null;
        String first = null, second = null;
        for (int i = 0; i < args.length; i++) {
            String arg = args[i];
            Command command = Command.byOption(arg);
            if (command != null) {
                commands.add(command);
                // The debug token's file is the option's value, as the tool's usage writes it.
                if (command == Command.INSTALL_DEBUG_TOKEN
                        && i + 1 < args.length
                        && !args[i + 1].startsWith("-"))
                    bar = args[++i];
                // A file transfer's two paths come right after it (SAVEAS "-" among them).
                if (command == Command.GET_FILE || command == Command.PUT_FILE) {
                    first = valueAfter(args, ++i, arg);
                    second = valueAfter(args, ++i, arg);
                }
                continue;
            }
            switch (arg) {
                case "-device" -> host = valueAfter(args, ++i, arg);
                case "-password" -> password = valueAfter(args, ++i, arg);
                case "-package" -> bar = valueAfter(args, ++i, arg);
                case "-package-name" -> name = valueAfter(args, ++i, arg);
                case "-package-id" -> id = valueAfter(args, ++i, arg);
                default -> {
                    if (arg.startsWith("-") || (host != null && bar != null))
                        throw ToolExit.fatal("Unknown argument: " + arg);
                    if (host == null)
                        host = arg;
                    else
                        bar = arg;
                }
            }
        }
        return new Invocation(commands, host, password, bar, name, id, first, second);
    }

    private static String valueAfter(String[] args, int index, String option) {
        if (index >= args.length)
            throw ToolExit.fatal("Missing value for argument: " + option);
        return args[index];
    }

    /** Rejects what cannot be sent anywhere: no device, or commands that do not go together. */
    void checkBeforeConnecting() {
        if (commands.size() > 1
                && !commands.equals(EnumSet.of(Command.INSTALL_APP, Command.LAUNCH_APP)))
            throw ToolExit.fatal("Only one deploy command may be given (or -installApp -launchApp)");
        if (host == null || host.isEmpty())
            throw ToolExit.fatal("Device settings are missing");
        if (commands.contains(Command.LAUNCH_APP) && commands.contains(Command.INSTALL_APP))
            checkPackageIdOfBar();
    }

    /**
     * Install and launch takes the package's name and id from the BAR's own manifest and stops
     * before connecting when it has no Package-Id. A BAR that cannot be read is left to the
     * installation, which reports it after the login.
     */
    private void checkPackageIdOfBar() {
        if (barPath == null)
            return;
        BarManifest manifest;
        try {
            manifest = BarManifest.read(java.nio.file.Path.of(barPath));
        } catch (BarManifest.InvalidBar | java.io.IOException | RuntimeException e) {
            return;
        }
        if (!manifest.idGiven())
            throw ToolExit.fatal("Package Id is required for this command");
    }

    /**
     * Rejects a command that names no package. The deploy tool notices this only when it builds
     * the request, after it has connected and logged in, so a missing package is reported only
     * once the connection has worked.
     */
    void checkPackageArguments() {
        if ((commands.contains(Command.INSTALL_APP)
                        || commands.contains(Command.INSTALL_DEBUG_TOKEN))
                && barPath == null)
            throw ToolExit.fatal("BAR file is required for this command");
        if (namesPackage() && barPath == null && (packageName == null || packageId == null))
            throw ToolExit.fatal("Package name and package id are required for this command");
    }

    boolean namesPackage() {
        return commands.size() == 1 && PACKAGE_COMMANDS.containsAll(commands);
    }

    Command single() {
        return commands.iterator().next();
    }
}
