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

    boolean is(String name, String id) {
        return packageName.equals(name) && packageId.equals(id);
    }

    /**
     * The application's line in the list of installed applications: full name, "::", the id
     * again, the version and further comma-separated fields. The window reads these lines by
     * position, so the id never starts with four characters that occur earlier in the line
     * (see PackageIds) and the version holds no comma (see BarManifest).
     */
    String listLine() {
        String line =
                fullName() + "::" + packageId + "," + version + ",size::" + size + ",source::";
        return preinstalled ? line + "appworld,name::" + displayName + "," : line + "developer";
    }
}
