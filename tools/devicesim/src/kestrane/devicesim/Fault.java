package kestrane.devicesim;

/**
 * Addresses where the simulated network misbehaves the way real devices and networks have been
 * seen to: something accepts the connection, but no device answers the login as a device does.
 */
enum Fault {
    /** Accepts the connection and never answers: the deploy tool waits without end. */
    SILENT("169.254.4.1", "accepts the connection and never answers"),
    /**
     * Closes every connection as soon as the request is sent: the deploy tool's HTTP client
     * logs each failure, retries three times and gives up.
     */
    CLOSES_CONNECTION("169.254.5.1", "closes the connection; the request is retried, then fails"),
    /**
     * Answers the login request with an empty document: the deploy tool's XML parser reports it,
     * and the login fails with a system error.
     */
    LOGIN_SYSTEM_ERROR("169.254.6.1", "answers the login with nothing: a system error");

    /** How often the deploy tool's HTTP client retries a request that got no response. */
    static final int RETRIES = 3;

    final String address;
    final String description;

    Fault(String address, String description) {
        this.address = address;
        this.description = description;
    }

    static Fault at(String host) {
        for (Fault fault : values())
            if (fault.address.equals(host))
                return fault;
        return null;
    }
}
