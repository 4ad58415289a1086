package kestrane.devicesim;

import java.text.SimpleDateFormat;
import java.time.LocalDate;
import java.time.OffsetDateTime;
import java.time.ZoneOffset;
import java.util.Date;
import java.util.List;
import java.util.Locale;
import java.util.TimeZone;

/**
 * The debug token on a device, as its information reports it: installed or not, valid or not
 * (with the device's reason and its code), its author and its expiry date as the token's manifest
 * wrote it ("2031-06-30" or "2031-06-30T23:59:59Z"; empty when the device does not say).
 */
record DebugToken(
        boolean installed,
        boolean valid,
        String expiration,
        String author,
        String validationError,
        int validationErrorCode) {

    /** The codes devices give: 0 a usable token, 3 an expired one. */
    static final int EXPIRED = 3;

    static final int NOT_FOR_THIS_DEVICE = 5;

    static final DebugToken NONE = new DebugToken(false, false, "", "", "", 0);

    static DebugToken valid(String expiration, String author) {
        return new DebugToken(true, true, expiration, author, "", 0);
    }

    /** Devices print dates in their own zone, as Java's Date.toString does, with "GMT+0200". */
    private static final ZoneOffset DEVICE_ZONE = ZoneOffset.ofHours(2);

    /**
     * The "[n]@devmode" section's lines as a device prints them: typed flags and numbers, the
     * expiry as a date in the device's zone, and the Development Mode lines that close it.
     */
    List<String> propertyLines() {
        return List.of(
                "[n]debug_token_author::" + author,
                "[n]debug_token_expiration::" + deviceDate(expiration),
                "[n]debug_token_installed:b:" + installed,
                "[n]debug_token_timeout::10d",
                "[n]debug_token_valid:b:" + (installed && valid),
                "[n]debug_token_validation_error::" + validationError,
                "[n]debug_token_validation_error_code:n:" + validationErrorCode,
                "[n]dev_mode_enabled:b:true",
                "[n]dev_mode_expiration::10d",
                "[n]dev_mode_waiting:b:true");
    }

    /** "2031-06-30" becomes "Mon Jun 30 23:59:59 GMT+0200 2031"; text that is no date stays. */
    static String deviceDate(String expiry) {
        OffsetDateTime moment;
        try {
            moment =
                    expiry.length() == 10
                            ? LocalDate.parse(expiry).atTime(23, 59, 59).atOffset(DEVICE_ZONE)
                            : OffsetDateTime.parse(expiry);
        } catch (java.time.format.DateTimeParseException e) {
            return expiry;
        }
        SimpleDateFormat format = new SimpleDateFormat("EEE MMM dd HH:mm:ss 'GMT'Z yyyy", Locale.US);
        format.setTimeZone(TimeZone.getTimeZone(DEVICE_ZONE));
        return format.format(Date.from(moment.toInstant()));
    }
}
