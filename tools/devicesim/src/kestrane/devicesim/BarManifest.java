package kestrane.devicesim;

import java.io.IOException;
import java.io.InputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.Enumeration;
import java.util.LinkedHashMap;
import java.util.Locale;
import java.util.Map;
import java.util.regex.Pattern;
import java.util.zip.ZipEntry;
import java.util.zip.ZipException;
import java.util.zip.ZipFile;

/** What a device takes from a BAR file's META-INF/MANIFEST.MF when it installs it. */
record BarManifest(
        String packageName,
        String packageId,
        boolean idGiven,
        String applicationName,
        String version,
        Map<String, String> fields) {

    /** "Package-Type: debug-token". */
    boolean isDebugToken() {
        return "debug-token".equals(fields.get("package-type"));
    }

    String field(String key) {
        return fields.getOrDefault(key, "");
    }

    /** The BAR cannot be installed; the reason is shown after "result::failure 500". */
    static final class InvalidBar extends Exception {
        private static final long serialVersionUID = 1L;

        InvalidBar(String reason) {
            super(reason, null, false, false);
        }
    }

    private static final String MANIFEST = "META-INF/MANIFEST.MF";
    private static final int MANIFEST_LIMIT = 1 << 20;
    private static final Pattern PACKAGE_NAME = Pattern.compile("[A-Za-z0-9_.-]+");
    private static final Pattern PACKAGE_ID = Pattern.compile("[A-Za-z0-9_-]+");

    static BarManifest read(Path bar) throws InvalidBar, IOException {
        Map<String, String> fields = parse(manifestText(bar));
        String name = fields.get("package-name");
        String application = fields.getOrDefault("application-name", "");
        if (name == null)
            name = application.replaceAll("[^A-Za-z0-9_.-]", "");
        if (name.isEmpty())
            throw new InvalidBar("the BAR manifest names no package (Package-Name)");
        if (!PACKAGE_NAME.matcher(name).matches())
            throw new InvalidBar("invalid Package-Name: " + name);
        String id = fields.getOrDefault("package-id", "");
        boolean idGiven = !id.isEmpty();
        if (id.isEmpty())
            id = PackageIds.development(name);
        else if (!PACKAGE_ID.matcher(id).matches())
            throw new InvalidBar("invalid Package-Id: " + id);
        String version =
                fields.getOrDefault(
                        "package-version", fields.getOrDefault("application-version", "1.0.0.0"));
        if (version.isEmpty() || version.contains(","))
            throw new InvalidBar("invalid Package-Version: " + version);
        return new BarManifest(
                name, id, idGiven, application.isEmpty() ? name : application, version, fields);
    }

    /** The manifest's fields as they stand, without the checks an application's install makes. */
    static Map<String, String> fields(Path bar) throws InvalidBar, IOException {
        return parse(manifestText(bar));
    }

    private static String manifestText(Path bar) throws InvalidBar, IOException {
        try (ZipFile zip = new ZipFile(bar.toFile())) {
            ZipEntry entry = findManifest(zip);
            if (entry == null)
                throw new InvalidBar("not a BAR file: it has no " + MANIFEST);
            try (InputStream in = zip.getInputStream(entry)) {
                byte[] bytes = in.readNBytes(MANIFEST_LIMIT + 1);
                if (bytes.length > MANIFEST_LIMIT)
                    throw new InvalidBar("the BAR manifest is larger than 1 MiB");
                return new String(bytes, StandardCharsets.UTF_8);
            }
        } catch (ZipException e) {
            throw new InvalidBar("not a BAR file: " + e.getMessage());
        }
    }

    private static ZipEntry findManifest(ZipFile zip) {
        for (Enumeration<? extends ZipEntry> e = zip.entries(); e.hasMoreElements(); ) {
            ZipEntry entry = e.nextElement();
            if (entry.getName().equalsIgnoreCase(MANIFEST))
                return entry;
        }
        return null;
    }

    /**
     * Reads "Key: value" lines (a line that starts with a blank continues the one before), keys
     * compared without letter case, the first occurrence of a key winning.
     */
    static Map<String, String> parse(String text) {
        if (text.startsWith("\uFEFF"))
            text = text.substring(1);
        Map<String, String> fields = new LinkedHashMap<>();
        String key = null;
        StringBuilder value = new StringBuilder();
        for (String line : text.split("\r\n|\r|\n")) {
            if (line.startsWith(" ") && key != null) {
                value.append(line, 1, line.length());
                continue;
            }
            if (key != null)
                fields.putIfAbsent(key, value.toString().trim());
            int colon = line.indexOf(':');
            key = colon > 0 ? line.substring(0, colon).trim().toLowerCase(Locale.ROOT) : null;
            value.setLength(0);
            if (key != null)
                value.append(line, colon + 1, line.length());
        }
        if (key != null)
            fields.putIfAbsent(key, value.toString().trim());
        return fields;
    }
}
