package kestrane.devicesim;

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

    /**
     * The information's lines with the debug token's state: its lines follow "devmode::" on a
     * device whose information reports them.
     */
    List<String> propertyLines(DebugToken token) {
        List<String> lines = new java.util.ArrayList<>();
        for (String line : propertyLines) {
            lines.add(line);
            if (line.startsWith("devmode::") && debugToken != null && token != null)
                lines.addAll(token.propertyLines());
        }
        return lines;
    }

    static SimulatedDevice find(String host) {
        for (SimulatedDevice device : ALL)
            if (device.address.equals(host))
                return device;
        return null;
    }

    private static SimulatedDevice fullTouchPhone() {
        return new SimulatedDevice(
                "169.254.0.1",
                "z30",
                "BlackBerry Z30, full-touch phone (password z30)",
                true,
                List.of(
                        "@deviceproperties",
                        "devicename::Kestrane Z30",
                        "modelfullname::BlackBerry Z30",
                        "modelname::Z30",
                        "modelnumber::STA100-2",
                        "hardwareid::0x8c00240a",
                        "IMEI::353090061452327",
                        "deviceserialnumber::5c1f4a8d",
                        "devicepin::0x2a7f3c9e",
                        "device_os::BlackBerry 10",
                        "screen_width::720",
                        "screen_height::1280",
                        "battery_level::87",
                        "@devmode",
                        "devmode::true",
                        "debug_token_author::Kestrane Developer",
                        "@versions",
                        "scmbundle::10.3.3.2205",
                        "os_version::10.3.3.3216",
                        "air_version::3.5.0.26",
                        "flash_version::11.1.121.92"),
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
                DebugToken.valid("2031-06-30"));
    }

    private static SimulatedDevice keyboardPhone() {
        return new SimulatedDevice(
                "169.254.1.1",
                "q10",
                "BlackBerry Q10, keyboard phone (password q10)",
                true,
                List.of(
                        "@deviceproperties",
                        "devicename::Kestrane Q10",
                        "modelfullname::BlackBerry Q10",
                        "modelname::Q10",
                        "modelnumber::SQN100-3",
                        "hardwareid::0x8400270a",
                        "IMEI::358511052749618",
                        "deviceserialnumber::7e2b90c4",
                        "devicepin::0x2b91d04f",
                        "device_os::BlackBerry 10",
                        "screen_width::720",
                        "screen_height::720",
                        "battery_level::64",
                        "@devmode",
                        "devmode::true",
                        "debug_token_author::Kestrane Developer",
                        "@versions",
                        "scmbundle::10.3.2.2876",
                        "os_version::10.3.2.2639",
                        "air_version::3.5.0.21",
                        "flash_version::11.1.121.90"),
                List.of(
                        store("sys.browser", "Browser", "10.3.2.2639", 4_587_520, 0),
                        store("sys.pim.calendar", "Calendar", "10.3.2.2474", 3_014_656, 0),
                        store("sys.pim.remember", "Remember", "10.3.2.2474", 1_835_008, 0),
                        store("sys.music", "Music", "10.3.2.2339", 2_359_296, 0),
                        store("com.kestrane.notes", "Quick Notes", "1.2.0.4", 786_432, 0),
                        sideloaded("com.example.Flashlight", "Flashlight", "1.0.0.3", 204_800)),
                DebugToken.valid("2031-06-30"));
    }

    /** A PlayBook reports no model lines; the window recognises it by its OS name. */
    private static SimulatedDevice playBook() {
        return new SimulatedDevice(
                "169.254.2.1",
                "playbook",
                "BlackBerry PlayBook (password playbook)",
                true,
                List.of(
                        "@deviceproperties",
                        "devicename::Kestrane PlayBook",
                        "modelnumber::RDJ21WW",
                        "hardwareid::0x06001a06",
                        "IMEI::012345678901237",
                        "deviceserialnumber::1a2b3c4d",
                        "devicepin::0x50a3e1b7",
                        "device_os::BlackBerry PlayBook OS",
                        "screen_width::1024",
                        "screen_height::600",
                        "battery_level::92",
                        "@devmode",
                        "devmode::true",
                        "debug_token_author::Kestrane Developer",
                        "@versions",
                        "scmbundle::2.1.0.1917",
                        "os_version::2.1.0.1917",
                        "air_version::3.1.0.41",
                        "flash_version::11.1.121.46"),
                List.of(
                        store("sys.browser", "Browser", "2.1.0.1917", 3_932_160, 0),
                        store("sys.pim.messages", "Messages", "2.1.0.1526", 2_883_584, 0),
                        store("sys.videochat", "Video Chat", "2.1.0.1088", 1_966_080, 0),
                        store("sys.pictures", "Pictures", "2.1.0.1088", 1_441_792, 0),
                        store("com.kestrane.sketch", "Sketch Pad", "1.0.2.0", 917_504, 0)),
                null);
    }

    private static SimulatedDevice phoneWithoutDevelopmentMode() {
        return new SimulatedDevice(
                "169.254.3.1",
                "z10",
                "BlackBerry Z10, Development Mode off (password z10)",
                false,
                List.of(
                        "@deviceproperties",
                        "modelfullname::BlackBerry Z10",
                        "modelname::Z10",
                        "modelnumber::STL100-2",
                        "device_os::BlackBerry 10"),
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
                List.of(
                        "@deviceproperties",
                        "devicename::Kestrane Passport",
                        "modelfullname::BlackBerry Passport",
                        "modelname::Passport",
                        "modelnumber::SQW100-1",
                        "hardwareid::0x87002a07",
                        "IMEI::355497060917384",
                        "deviceserialnumber::3d8e61a2",
                        "devicepin::0x2c4e8a15",
                        "device_os::BlackBerry 10",
                        "screen_width::1440",
                        "screen_height::1440",
                        "battery_level::71",
                        "@devmode",
                        "devmode::true",
                        "debug_token_author::Kestrane Developer",
                        "@versions",
                        "scmbundle::10.2.1.3247",
                        "os_version::10.2.1.2977",
                        "air_version::3.5.0.26",
                        "flash_version::11.1.121.92"),
                List.of(
                        store("sys.browser", "Browser", "10.3.3.3216", 4_718_592, 0),
                        store("sys.pim.calendar", "Calendar", "10.3.3.2163", 3_145_728, 0)),
                new DebugToken(true, false, "2024-01-31", "Debug token has expired"));
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
