package kestrane.devicesim;

import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.security.NoSuchAlgorithmException;
import java.util.HexFormat;

/**
 * Package ids as a device gives them: 27 characters without a ".", derived from the package name
 * so that the same BAR always gets the same id.
 */
final class PackageIds {
    static final int LENGTH = 27;
    private static final String DEVELOPMENT_PREFIX = "testDev_";
    private static final int HASH_LENGTH = 8;
    private static final int TAIL_LENGTH = LENGTH - DEVELOPMENT_PREFIX.length() - HASH_LENGTH;
    private static final String ALPHANUMERIC =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

    private PackageIds() {}

    /**
     * A development-mode id, as a device gives a BAR signed with a debug token: "testDev_", the
     * last 11 characters of the package name's last part (padded with "_" on the right when it is
     * shorter) and 8 hex digits, e.g. "testDev_speedtest__0b911cdd" for com.acme.speedtest.
     */
    static String development(String packageName) {
        String last = packageName.substring(packageName.lastIndexOf('.') + 1);
        String tail =
                last.length() >= TAIL_LENGTH
                        ? last.substring(last.length() - TAIL_LENGTH)
                        : last + "_".repeat(TAIL_LENGTH - last.length());
        byte[] hash = digest(packageName);
        return DEVELOPMENT_PREFIX + tail + HexFormat.of().formatHex(hash, 0, HASH_LENGTH / 2);
    }

    /** A store-signed id: 27 letters and digits. */
    static String store(String packageName) {
        byte[] hash = digest(packageName);
        StringBuilder id = new StringBuilder();
        for (int i = 0; i < LENGTH; i++)
            id.append(ALPHANUMERIC.charAt((hash[i] & 0xff) % ALPHANUMERIC.length()));
        return id.toString();
    }

    private static byte[] digest(String packageName) {
        try {
            MessageDigest sha = MessageDigest.getInstance("SHA-256");
            return sha.digest(packageName.getBytes(StandardCharsets.UTF_8));
        } catch (NoSuchAlgorithmException e) {
            throw new IllegalStateException("SHA-256 is part of every Java runtime", e);
        }
    }
}
