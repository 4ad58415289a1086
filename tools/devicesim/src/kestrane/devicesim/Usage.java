package kestrane.devicesim;

import java.util.ArrayList;
import java.util.List;

/** The usage text, printed when the simulator is started without arguments. */
final class Usage {
    private Usage() {}

    static List<String> lines() {
        List<String> lines = new ArrayList<>();
        lines.add("Kestrane device simulator, answering as " + Main.VERSION);
        lines.add("");
        lines.add(
                "Usage: java -jar BarDeploy.jar <command> [-device] <host>"
                        + " [-password <password>]");
        lines.add("           [[-package] <file.bar> | -package-name <name> -package-id <id>]");
        lines.add("");
        lines.add("Commands:");
        for (Command command : Command.values())
            lines.add(entry(command.option, command.summary));
        lines.add("");
        lines.add("Simulated devices:");
        for (SimulatedDevice device : SimulatedDevice.ALL)
            lines.add(entry(device.address(), device.description()));
        for (Fault fault : Fault.values())
            lines.add(entry(fault.address, fault.description));
        lines.add(entry("169.254.x.y", "no device: the connection times out"));
        lines.add(entry("any other", "nothing listens: the connection is refused"));
        lines.add("");
        lines.add("Exit codes: 0 done, 1 error, 2 the device refused, 3 wrong password,"
                + " 4 device locked.");
        return lines;
    }

    private static String entry(String name, String text) {
        return String.format("  %-20s %s", name, text);
    }
}
