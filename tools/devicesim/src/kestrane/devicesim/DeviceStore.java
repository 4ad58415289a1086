package kestrane.devicesim;

import java.io.IOException;
import java.nio.channels.FileChannel;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.function.Function;

/**
 * The devices' state on disk: one properties file per device in the state folder. Every change is
 * read, applied and written back under an exclusive lock on the device's lock file, so commands
 * that run at the same time (two windows, a script beside the window) never lose each other's
 * changes.
 */
final class DeviceStore {
    private final Path home;

    DeviceStore(Path home) {
        this.home = home;
    }

    Path home() {
        return home;
    }

    /** Applies a change to a device's state and stores the result, all under the device's lock. */
    <T> T update(SimulatedDevice device, Function<DeviceState, T> change) throws IOException {
        createHome();
        try (FileChannel channel = lockDevice(device)) {
            DeviceState state = load(device);
            T result = change.apply(state);
            state.save(stateFile(device));
            return result;
        }
    }

    /** Forgets every device's state: passwords attempts, installed and running applications. */
    void reset() throws IOException {
        if (!Files.isDirectory(home))
            return;
        for (SimulatedDevice device : SimulatedDevice.ALL) {
            try (FileChannel channel = lockDevice(device)) {
                Files.deleteIfExists(stateFile(device));
            }
        }
    }

    private DeviceState load(SimulatedDevice device) throws IOException {
        Path file = stateFile(device);
        try {
            return DeviceState.load(file, device);
        } catch (IllegalArgumentException e) {
            throw new IOException(
                    "The simulator's state file " + file + " is damaged; reset the simulator.", e);
        }
    }

    private void createHome() throws IOException {
        if (!Files.isDirectory(home))
            Files.createDirectories(
                    home,
                    PosixFilePermissions.asFileAttribute(
                            PosixFilePermissions.fromString("rwx------")));
    }

    /** Opens the device's lock file and locks it; closing the channel releases the lock. */
    private FileChannel lockDevice(SimulatedDevice device) throws IOException {
        FileChannel channel =
                FileChannel.open(
                        home.resolve(device.address() + ".lock"),
                        StandardOpenOption.CREATE,
                        StandardOpenOption.WRITE);
        try {
            channel.lock();
            return channel;
        } catch (IOException | RuntimeException e) {
            channel.close();
            throw e;
        }
    }

    private Path stateFile(SimulatedDevice device) {
        return home.resolve(device.address() + ".properties");
    }
}
