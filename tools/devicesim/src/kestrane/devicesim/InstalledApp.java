package kestrane.devicesim;

/**
 * One application on a simulated device. A process id of 0 means it is not running.
 * Preinstalled applications come from the store ("source::appworld"), the others were sideloaded
 * in Development Mode ("source::developer").
 */
record InstalledApp(
        String packageName,
        String packageId,
        String version,
        String displayName,
        long size,
        boolean preinstalled,
        long pid) {

    String fullName() {
        return packageName + "." + packageId;
    }

    boolean isRunning() {
        return pid != 0;
    }

    InstalledApp withPid(long newPid) {
        return new InstalledApp(
                packageName, packageId, version, displayName, size, preinstalled, newPid);
    }

    InstalledApp withVersion(String newVersion) {
        return new InstalledApp(
                packageName, packageId, newVersion, displayName, size, preinstalled, pid);
    }

    boolean is(String name, String id) {
        return packageName.equals(name) && packageId.equals(id);
    }

    /**
     * The application's line in the list of installed applications, as a device writes it: full
     * name, "::", the application's folder (its id), the version, two empty fields, the size, its
     * name and where it came from, e.g.
     * "com.acme.speedtest.testDev_speedtest__0b911cdd::testDev_speedtest__0b911cdd,3.2.0.1,,,402112,name::Speed Test,source::developer".
     */
    String listLine() {
        return fullName()
                + "::"
                + packageId
                + ","
                + version
                + ",,,"
                + size
                + ",name::"
                + displayName
                + ",source::"
                + (preinstalled ? "appworld" : "developer");
    }
}
