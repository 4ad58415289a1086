package kestrane.devicesim;

import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;

/**
 * Package ids as a device gives them: 27 characters, derived from the package name so that the
 * same BAR always gets the same id.
 *
 * <p>The window finds the end of the package name in a list line by searching for the first four
 * characters of the id; an id whose first four characters also occur in the package name would
 * be read wrongly. Every id made here is checked against that reading and derived again with a
 * different salt until it reads back.
 */
final class PackageIds {
    static final int LENGTH = 27;
    private static final String DEVELOPMENT_PREFIX = "testDev_";
    private static final int TAIL_LENGTH = LENGTH - DEVELOPMENT_PREFIX.length() - 8;
    private static final String ALPHANUMERIC =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

    private PackageIds() {}

    /**
     * A development-mode id: "testDev_", the last 11 characters of the package name (dots as
     * underscores) and 8 hex digits of a hash. For a name that holds "test" the hash moves to the
     * front.
     */
    static String development(String packageName) {
        String tail = tail(packageName);
        String id = DEVELOPMENT_PREFIX + tail + hex8(packageName, 0);
        for (int salt = 1; !readsBack(packageName, id); salt++)
            id = hex8(packageName, salt) + DEVELOPMENT_PREFIX + tail;
        return id;
    }

    /** A store-signed id: 27 letters and digits. */
    static String store(String packageName) {
        String id = alphanumeric(packageName, 0);
        for (int salt = 1; !readsBack(packageName, id); salt++)
            id = alphanumeric(packageName, salt);
        return id;
    }

    /**
     * Whether a list line of this package would be read back right: the id's first four
     * characters occur first where the id starts, and no "name::" comes before the display name.
     */
    static boolean readsBack(String packageName, String id) {
        if (id.length() < 4)
            return false;
        String head = packageName + "." + id + "::" + id + ",";
        return head.indexOf(id.substring(0, 4)) == packageName.length() + 1
                && !head.contains("name::");
    }

    private static String tail(String packageName) {
        String flat = packageName.replace('.', '_');
        if (flat.length() >= TAIL_LENGTH)
            return flat.substring(flat.length() - TAIL_LENGTH);
        return "_".repeat(TAIL_LENGTH - flat.length()) + flat;
    }

    private static String hex8(String packageName, int salt) {
        byte[] hash = digest(packageName, salt);
        StringBuilder hex = new StringBuilder();
        for (int i = 0; i < 4; i++)
            hex.append(String.format("%02x", hash[i] & 0xff));
        return hex.toString();
    }

    private static String alphanumeric(String packageName, int salt) {
        byte[] hash = digest(packageName, salt);
        StringBuilder id = new StringBuilder();
        for (int i = 0; i < LENGTH; i++)
            id.append(ALPHANUMERIC.charAt((hash[i] & 0xff) % ALPHANUMERIC.length()));
        return id.toString();
    }

    private static byte[] digest(String packageName, int salt) {
        try {
            MessageDigest sha = MessageDigest.getInstance("SHA-256");
            return sha.digest((salt + ":" + packageName).getBytes(StandardCharsets.UTF_8));
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("SHA-256 is part of every Java runtime", e);
        }
    }
}
