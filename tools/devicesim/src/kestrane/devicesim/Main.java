package kestrane.devicesim;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.StandardOpenOption;

/**
 * Kestrane's device simulator. It stands in for BlackBerry's deploy tool (BarDeploy.jar): it
 * takes the same command lines and answers the way a BlackBerry 10 phone or a PlayBook in
 * Development Mode does, for a few devices at fixed addresses (see SimulatedDevice). Dropping the
 * real tool into lib/ replaces it.
 */
public final class Main {
    static final String VERSION = "blackberry-deploy version 1.4.0";

    private Main() {}

    public static void main(String[] args) {
        Console console = new Console(System.out, System.err);
        System.exit(run(args, console));
    }

    static int run(String[] args, Console console) {
        try {
            Settings settings = Settings.fromEnvironment();
            logArguments(settings, args);
            if (args.length == 0) {
                Usage.lines().forEach(console::line);
                return 0;
            }
            Invocation invocation = Invocation.parse(args);
            if (invocation.commands().isEmpty())
                throw ToolExit.fatal("Deploy command is missing");
            if (invocation.commands().contains(Command.VERSION)) {
                console.line(VERSION);
                return 0;
            }
            if (invocation.commands().contains(Command.DISCOVER)) {
                for (SimulatedDevice device : SimulatedDevice.ALL)
                    console.line(device.address() + " " + device.discoveryAnswer());
                return 0;
            }
            DeviceStore store = new DeviceStore(settings.home());
            if (invocation.commands().contains(Command.RESET_SIMULATOR)) {
                store.reset();
                console.line("Info: The simulator's devices are reset (" + store.home() + ")");
                return 0;
            }
            new DeviceSession(console, settings, store).run(invocation);
            return 0;
        } catch (ToolExit exit) {
            if (exit.onStandardOutput)
                console.line(exit.getMessage());
            else
                console.error(exit.getMessage());
            return exit.exitCode;
        } catch (ToolExit.Quiet quiet) {
            return quiet.exitCode;
        } catch (IOException | RuntimeException e) {
            console.error("Error: " + e);
            return ToolExit.FATAL;
        }
    }

    private static void logArguments(Settings settings, String[] args) throws IOException {
        if (settings.argsLog() == null)
            return;
        try (OutputStream log =
                Files.newOutputStream(
                        settings.argsLog(),
                        StandardOpenOption.CREATE,
                        StandardOpenOption.TRUNCATE_EXISTING,
                        StandardOpenOption.WRITE)) {
            for (String arg : args) {
                log.write(arg.getBytes(StandardCharsets.UTF_8));
                log.write(0);
            }
        }
    }
}
