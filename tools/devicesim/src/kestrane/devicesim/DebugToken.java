package kestrane.devicesim;

import java.util.List;

/**
 * The debug token on a device, as its information reports it: installed or not, valid or not
 * (with the device's reason), and the token's expiry date as its manifest wrote it.
 */
record DebugToken(boolean installed, boolean valid, String expiration, String validationError) {

    static final DebugToken NONE = new DebugToken(false, false, "", "");

    static DebugToken valid(String expiration) {
        return new DebugToken(true, true, expiration, "");
    }

    /** The "@devmode" lines that report it. */
    List<String> propertyLines() {
        if (!installed)
            return List.of("debug_token_installed::false", "debug_token_valid::false");
        List<String> lines =
                new java.util.ArrayList<>(
                        List.of(
                                "debug_token_installed::true",
                                "debug_token_valid::" + valid,
                                "debug_token_expiration::" + expiration));
        if (!validationError.isEmpty())
            lines.add("debug_token_validation_error::" + validationError);
        return lines;
    }
}
