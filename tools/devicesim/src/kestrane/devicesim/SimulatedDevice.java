package kestrane.devicesim;

import java.util.ArrayList;
import java.util.List;

/**
 * A device the simulator answers for: its address, its device password, what it is (for the usage
 * text), whether Development Mode is on, the property lines of its information, the applications
 * it comes with and the debug token it comes with (null for a device whose information reports
 * none of the debug token's keys, as a PlayBook's).
 */
record SimulatedDevice(
        String address,
        String password,
        String description,
        boolean developmentMode,
        List<String> propertyLines,
        List<InstalledApp> preinstalled,
        DebugToken debugToken) {

    static final List<SimulatedDevice> ALL =
            List.of(
                    fullTouchPhone(),
                    keyboardPhone(),
                    playBook(),
                    phoneWithoutDevelopmentMode(),
                    phoneWithExpiredDebugToken());

    /** The device's PIN, from its "devicepin::0x..." line; -1 without one. */
    long pin() {
        for (String line : propertyLines)
            if (line.startsWith("devicepin::0x"))
                return Long.parseLong(line.substring("devicepin::0x".length()), 16);
        return -1;
    }

    /** The software release ("scmbundle::"), the OS version an installation is checked against. */
    String osVersion() {
        for (String line : propertyLines)
            if (line.startsWith("scmbundle::"))
                return line.substring("scmbundle::".length());
        return "";
    }

    /** The value of the device's "key::value" property line; null without one. */
    String property(String key) {
        for (String line : propertyLines)
            if (line.startsWith(key + "::"))
                return line.substring(key.length() + 2);
        return null;
    }

    /**
     * The device's answer to a discovery probe as devices give it: the PIN in decimal, the
     * machine name with "_" for blanks; a device without model lines (the PlayBook) leaves them
     * out. Every simulated device has finished its first-start setup.
     */
    String discoveryAnswer() {
        StringBuilder xml = new StringBuilder("<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        xml.append("<RimTabletResponse><DeviceCharacteristics>");
        element(xml, "BbPin", Long.toString(pin()));
        String machine = property("modelfullname");
        if (machine != null)
            element(xml, "SystemMachine", machine.replace(' ', '_'));
        element(xml, "OsType", property("device_os"));
        element(xml, "PlatformVersion", osVersion());
        element(xml, "ModelName", property("modelname"));
        element(xml, "MinSupportedProtocolVersion", "1");
        element(xml, "MaxSupportedProtocolVersion", "4");
        element(xml, "DeveloperModeEnabled", developmentMode ? "1" : "0");
        element(xml, "OobeCompleted", "1");
        return xml.append("</DeviceCharacteristics></RimTabletResponse>").toString();
    }

    private static void element(StringBuilder xml, String name, String value) {
        if (value != null)
            xml.append('<').append(name).append('>').append(value)
                    .append("</").append(name).append('>');
    }

    private static final String DEVMODE = "[n]@devmode";

    /**
     * The information's lines as a device sends them, with the debug token's state in the
     * "[n]@devmode" section (a device that reports no token still reports Development Mode).
     */
    List<String> propertyLines(DebugToken token) {
        List<String> lines = new ArrayList<>();
        for (String line : propertyLines) {
            lines.add(line);
            if (!line.equals(DEVMODE))
                continue;
            if (debugToken != null && token != null)
                lines.addAll(token.propertyLines());
            else
                lines.addAll(
                        List.of(
                                "[n]dev_mode_enabled:b:true",
                                "[n]dev_mode_expiration::10d",
                                "[n]dev_mode_waiting:b:true"));
        }
        return lines;
    }

    static SimulatedDevice find(String host) {
        for (SimulatedDevice device : ALL)
            if (device.address.equals(host))
                return device;
        return null;
    }

    /**
     * A device's answer in the shape devices give it: the properties in a first
     * "[n]@deviceproperties" section, the IMEI, PIN and serial number in a second one, the
     * "[n]@devmode" section, then "@versions" with the build, a line that is no property ("Build
     * Branch: ...") and typed ones.
     */
    private static List<String> answer(
            List<String> properties, List<String> identity, String branch, List<String> versions) {
        List<String> lines = new ArrayList<>();
        lines.add("[n]@deviceproperties");
        lines.addAll(properties);
        lines.add("[n]@deviceproperties");
        lines.addAll(identity);
        lines.add(DEVMODE);
        lines.add("@versions");
        lines.addAll(versions);
        lines.add("Build Branch: " + branch);
        lines.add("production_device:b:true");
        lines.add("perimeter::personal");
        return lines;
    }

    private static List<String> phoneProperties(
            String name,
            String model,
            String number,
            String hardwareId,
            String release,
            String resolution,
            String family) {
        return List.of(
                "defaultTheme::black",
                "device_os::BlackBerry 10",
                "devicename::RIM BlackBerry Device",
                "drmhwfp::0x" + fingerprint(name, 40).toUpperCase(java.util.Locale.ROOT),
                "fingerprint::" + fingerprint(name + "-os", 86),
                "hardwareid::" + hardwareId,
                "icon_res::90x90",
                "modelfamily::" + family,
                "modelfullname::" + name,
                "modelname::" + model,
                "modelnumber::" + number,
                "radiofingerprint::" + fingerprint(name + "-radio", 86),
                "scmbundle::" + release,
                "scmbundle0::" + release,
                "scmbundle1::" + release,
                "screen_dpi::330",
                "screen_res::" + resolution,
                "vendorid::?",
                "wlan_standard::wifi");
    }

    /** A stable stand-in for the long fingerprint lines devices print. */
    private static String fingerprint(String seed, int length) {
        String alphabet = "0123456789abcdef";
        StringBuilder out = new StringBuilder();
        long state = seed.hashCode();
        while (out.length() < length) {
            state = state * 6364136223846793005L + 1442695040888963407L;
            out.append(alphabet.charAt((int) ((state >>> 60) & 15)));
        }
        return out.toString();
    }

    private static final String AUTHOR = "Kestrane Developer";

    private static SimulatedDevice fullTouchPhone() {
        return new SimulatedDevice(
                "169.254.0.1",
                "z30",
                "BlackBerry Z30, full-touch phone (password z30)",
                true,
                answer(
                        phoneProperties(
                                "BlackBerry Z30",
                                "Z30",
                                "STA100-2",
                                "0x8c00240a",
                                "10.3.3.2205",
                                "720x1280",
                                "Touch"),
                        List.of(
                                "IMEI::353090061452327",
                                "devicepin::0x2a7f3c9e",
                                "deviceserialnumber::5c1f4a8d"),
                        "BB10_3_3_EMR",
                        List.of(
                                "air_version::3.5.0.26",
                                "flash_version::11.1.121.92",
                                "build_id:: 3216",
                                "hostname::Kestrane-Z30")),
                List.of(
                        store("sys.browser", "Browser", "10.3.3.3216", 4_718_592, 20482317),
                        store("sys.camera", "Camera", "10.3.3.3216", 2_097_152, 0),
                        store("sys.pim.calendar", "Calendar", "10.3.3.2163", 3_145_728, 0),
                        store("sys.pim.contacts", "Contacts", "10.3.3.2163", 2_621_440, 0),
                        store("sys.maps", "Maps", "10.3.3.1941", 8_388_608, 0),
                        store("com.kestrane.weather", "Weather Now", "2.4.1.12", 1_572_864, 0),
                        // A developer's test build: its package name holds "test", as does
                        // every development-mode id.
                        sideloaded(
                                "com.acme.speedtest",
                                "testDev_speedtest__0b911cdd",
                                "Speed Test",
                                "3.2.0.1",
                                402_112)),
                DebugToken.valid("2031-06-30", AUTHOR));
    }

    private static SimulatedDevice keyboardPhone() {
        return new SimulatedDevice(
                "169.254.1.1",
                "q10",
                "BlackBerry Q10, keyboard phone (password q10)",
                true,
                answer(
                        phoneProperties(
                                "BlackBerry Q10",
                                "Q10",
                                "SQN100-3",
                                "0x8400270a",
                                "10.3.2.2876",
                                "720x720",
                                "Keyboard"),
                        List.of(
                                "IMEI::358511052749618",
                                "devicepin::0x2b91d04f",
                                "deviceserialnumber::7e2b90c4"),
                        "BB10_3_2_EMR",
                        List.of(
                                "air_version::3.5.0.21",
                                "flash_version::11.1.121.90",
                                "build_id:: 2639",
                                "hostname::Kestrane-Q10")),
                List.of(
                        store("sys.browser", "Browser", "10.3.2.2639", 4_587_520, 0),
                        store("sys.pim.calendar", "Calendar", "10.3.2.2474", 3_014_656, 0),
                        store("sys.pim.remember", "Remember", "10.3.2.2474", 1_835_008, 0),
                        store("sys.music", "Music", "10.3.2.2339", 2_359_296, 0),
                        store("com.kestrane.notes", "Quick Notes", "1.2.0.4", 786_432, 0),
                        sideloaded("com.example.Flashlight", "Flashlight", "1.0.0.3", 204_800)),
                DebugToken.valid("2031-06-30", AUTHOR));
    }

    /**
     * A PlayBook reports no model lines (the window recognises it by its OS name) and, as the one
     * seen did, an expired debug token without its author or date.
     */
    private static SimulatedDevice playBook() {
        return new SimulatedDevice(
                "169.254.2.1",
                "playbook",
                "BlackBerry PlayBook, debug token expired (password playbook)",
                true,
                answer(
                        List.of(
                                "device_os::BlackBerry PlayBook OS",
                                "drmhwfp::0x" + fingerprint("playbook", 40).toUpperCase(java.util.Locale.ROOT),
                                "fingerprint::" + fingerprint("playbook-os", 86),
                                "hardwareid::0x06001a06",
                                "radiofingerprint::none",
                                "scmbundle::2.1.0.1917",
                                "scmbundle0::2.1.0.1917",
                                "scmbundle1::2.1.0.1753",
                                "vendorid::0x1f8"),
                        List.of("devicepin::0x50a3e1b7", "deviceserialnumber::1a2b3c4d"),
                        "TABLET_2_1_0",
                        List.of(
                                "air_version::3.1.0.41",
                                "flash_version::11.1.121.46",
                                "build_id::  1917")),
                List.of(
                        store("sys.browser", "Browser", "2.1.0.1917", 3_932_160, 0),
                        store("sys.pim.messages", "Messages", "2.1.0.1526", 2_883_584, 0),
                        store("sys.videochat", "Video Chat", "2.1.0.1088", 1_966_080, 0),
                        store("sys.pictures", "Pictures", "2.1.0.1088", 1_441_792, 0),
                        store("com.kestrane.sketch", "Sketch Pad", "1.0.2.0", 917_504, 0)),
                new DebugToken(true, false, "", "", "debug token has expired", DebugToken.EXPIRED));
    }

    private static SimulatedDevice phoneWithoutDevelopmentMode() {
        return new SimulatedDevice(
                "169.254.3.1",
                "z10",
                "BlackBerry Z10, Development Mode off (password z10)",
                false,
                answer(
                        phoneProperties(
                                "BlackBerry Z10",
                                "Z10",
                                "STL100-2",
                                "0x04002607",
                                "10.3.3.2205",
                                "768x1280",
                                "Touch"),
                        List.of("devicepin::0x2d03f5a1"),
                        "BB10_3_3_EMR",
                        List.of()),
                List.of(),
                null);
    }

    /**
     * A phone whose debug token has expired (its information says so), on an OS older than 10.3:
     * BARs that require 10.3 are refused.
     */
    private static SimulatedDevice phoneWithExpiredDebugToken() {
        return new SimulatedDevice(
                "169.254.7.1",
                "passport",
                "BlackBerry Passport, OS 10.2.1, debug token expired (password passport)",
                true,
                answer(
                        phoneProperties(
                                "BlackBerry Passport",
                                "Passport",
                                "SQW100-1",
                                "0x87002a07",
                                "10.2.1.3247",
                                "1440x1440",
                                "Keyboard"),
                        List.of(
                                "IMEI::355497060917384",
                                "devicepin::0x2c4e8a15",
                                "deviceserialnumber::3d8e61a2"),
                        "BB10_2_1_EMR_1",
                        List.of(
                                "air_version::3.5.0.26",
                                "flash_version::11.1.121.92",
                                "build_id:: 2977",
                                "hostname::Kestrane-Passport")),
                List.of(
                        store("sys.browser", "Browser", "10.3.3.3216", 4_718_592, 0),
                        store("sys.pim.calendar", "Calendar", "10.3.3.2163", 3_145_728, 0)),
                new DebugToken(
                        true,
                        false,
                        "2024-01-31",
                        AUTHOR,
                        "debug token has expired",
                        DebugToken.EXPIRED));
    }

    private static InstalledApp store(
            String name, String displayName, String version, long size, long pid) {
        return new InstalledApp(
                name, PackageIds.store(name), version, displayName, size, true, pid);
    }

    private static InstalledApp sideloaded(
            String name, String displayName, String version, long size) {
        return sideloaded(name, PackageIds.development(name), displayName, version, size);
    }

    private static InstalledApp sideloaded(
            String name, String id, String displayName, String version, long size) {
        return new InstalledApp(name, id, version, displayName, size, false, 0);
    }
}
