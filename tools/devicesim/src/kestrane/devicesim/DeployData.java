package kestrane.devicesim;

import java.io.IOException;
import java.io.Writer;
import java.nio.channels.FileChannel;
import java.nio.channels.FileLock;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.StandardOpenOption;
import java.nio.file.attribute.FileAttribute;
import java.nio.file.attribute.PosixFilePermission;
import java.nio.file.attribute.PosixFilePermissions;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.security.SecureRandom;
import java.util.HexFormat;
import java.util.LinkedHashMap;
import java.util.Map;
import java.util.Set;

/**
 * The deploy tool's login data, .deployData in the folder of the Java property user.home: one
 * line "ADDR=VALUE" per device address. While a command connects, its address holds an empty
 * entry; after a successful login the entry holds the login cookie and the unsalted SHA-512 of
 * the device password ("cookie;hash"); a failed login leaves no entry.
 *
 * <p>An empty entry that no running command holds was left by a command ended while it connected;
 * the deploy tool then takes noticeably longer to connect, and so does the simulator (the
 * stale-entry wait). Whether a command still holds an entry is told by a shared lock on a byte of
 * the lock file chosen by the address: the operating system releases it when the process ends,
 * however it ends. Another byte of the same file serialises changes to .deployData, which is
 * always replaced whole (written beside it, then renamed), with mode 0600.
 *
 * <p>All locks go through the one channel: on Linux, closing any channel on a file releases
 * every lock the process holds on it.
 */
final class DeployData implements AutoCloseable {
    static final String FILE_NAME = ".deployData";
    private static final String LOCK_NAME = ".deployData.lock";
    private static final Set<PosixFilePermission> OWNER_ONLY =
            PosixFilePermissions.fromString("rw-------");
    private static final FileAttribute<Set<PosixFilePermission>> OWNER_ONLY_FILE =
            PosixFilePermissions.asFileAttribute(OWNER_ONLY);

    private final Path folder;
    private final String address;
    private final FileChannel lockChannel;
    /** This command's shared lock on the address's byte, held until the channel closes. */
    private FileLock addressHold;
    private boolean foundStaleEntry;
    private boolean loggedIn;

    private DeployData(Path folder, String address, FileChannel lockChannel) {
        this.folder = folder;
        this.address = address;
        this.lockChannel = lockChannel;
    }

    /**
     * Marks the address as connecting: takes the address's lock and writes its empty entry.
     */
    static DeployData connecting(Path folder, String address) throws IOException {
        Files.createDirectories(
                folder,
                PosixFilePermissions.asFileAttribute(PosixFilePermissions.fromString("rwx------")));
        Path lockFile = folder.resolve(LOCK_NAME);
        FileChannel channel =
                FileChannel.open(
                        lockFile,
                        Set.of(
                                StandardOpenOption.CREATE,
                                StandardOpenOption.READ,
                                StandardOpenOption.WRITE),
                        OWNER_ONLY_FILE);
        DeployData data = new DeployData(folder, address, channel);
        try {
            data.enter();
            return data;
        } catch (IOException | RuntimeException e) {
            channel.close();
            throw e;
        }
    }

    private void enter() throws IOException {
        try (FileLock mutex = lockChannel.lock(0, 1, false)) {
            Map<String, String> entries = read();
            if ("".equals(entries.get(address))) {
                FileLock probe = lockChannel.tryLock(addressByte(), 1, false);
                foundStaleEntry = probe != null;
                if (probe != null)
                    probe.release();
            }
            addressHold = lockChannel.lock(addressByte(), 1, true);
            entries.put(address, "");
            write(entries);
        }
    }

    /**
     * Whether the address held an empty entry, when this command began, that no running command
     * held: one left by a command that was ended while it connected.
     */
    boolean foundStaleEntry() {
        return foundStaleEntry;
    }

    /** Stores the login: a fresh cookie and the password's SHA-512. */
    void loggedIn(String password) throws IOException {
        byte[] cookie = new byte[16];
        new SecureRandom().nextBytes(cookie);
        String value = HexFormat.of().formatHex(cookie) + ";" + sha512Hex(password);
        change(entries -> entries.put(address, value));
        loggedIn = true;
    }

    /** A failed login leaves no login data for the address. */
    void loginFailed() throws IOException {
        change(entries -> entries.remove(address));
    }

    /**
     * Ends the command's hold on the address. A command that did not log in takes its empty
     * entry away, so that only a command ended while it connected leaves one behind.
     */
    @Override
    public void close() throws IOException {
        try {
            if (!loggedIn)
                change(entries -> entries.remove(address, ""));
        } finally {
            lockChannel.close();
        }
    }

    private interface Change {
        void apply(Map<String, String> entries);
    }

    private void change(Change change) throws IOException {
        try (FileLock mutex = lockChannel.lock(0, 1, false)) {
            Map<String, String> entries = read();
            change.apply(entries);
            write(entries);
        }
    }

    /** The byte of the lock file that stands for the address (past the mutex byte). */
    private long addressByte() {
        return 1 + (address.hashCode() & 0x3fff_ffffL);
    }

    private Map<String, String> read() throws IOException {
        Map<String, String> entries = new LinkedHashMap<>();
        Path file = folder.resolve(FILE_NAME);
        if (!Files.exists(file))
            return entries;
        for (String line : Files.readAllLines(file, StandardCharsets.UTF_8)) {
            int equals = line.indexOf('=');
            if (equals > 0)
                entries.put(line.substring(0, equals), line.substring(equals + 1));
        }
        return entries;
    }

    private void write(Map<String, String> entries) throws IOException {
        Path temporary = Files.createTempFile(folder, FILE_NAME, ".tmp", OWNER_ONLY_FILE);
        try {
            try (Writer out = Files.newBufferedWriter(temporary, StandardCharsets.UTF_8)) {
                for (Map.Entry<String, String> entry : entries.entrySet())
                    out.write(entry.getKey() + "=" + entry.getValue() + "\n");
            }
            Files.move(
                    temporary,
                    folder.resolve(FILE_NAME),
                    StandardCopyOption.REPLACE_EXISTING,
                    StandardCopyOption.ATOMIC_MOVE);
        } finally {
            Files.deleteIfExists(temporary);
        }
    }

    static String sha512Hex(String password) {
        try {
            MessageDigest sha = MessageDigest.getInstance("SHA-512");
            return HexFormat.of().formatHex(sha.digest(password.getBytes(StandardCharsets.UTF_8)));
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("SHA-512 is part of every Java runtime", e);
        }
    }
}
