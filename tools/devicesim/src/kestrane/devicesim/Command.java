package kestrane.devicesim;

/** The deploy commands the simulator understands, by their option text. */
enum Command {
    LIST_DEVICE_INFO("-listDeviceInfo", "print the device's properties"),
    LIST_INSTALLED_APPS("-listInstalledApps", "list the applications on the device"),
    INSTALL_APP("-installApp", "install a BAR file (with -launchApp: then launch it)"),
    IS_APP_RUNNING("-isAppRunning", "tell whether an application is running"),
    LAUNCH_APP("-launchApp", "start an application"),
    TERMINATE_APP("-terminateApp", "stop a running application"),
    UNINSTALL_APP("-uninstallApp", "remove an application"),
    INSTALL_DEBUG_TOKEN("-installDebugToken", "install a debug token (its BAR file follows)"),
    GET_FILE("-getFile", "copy PATH from an application's sandbox to SAVEAS (- prints it)"),
    PUT_FILE("-putFile", "copy HOSTFILE into an application's sandbox as PATH"),
    PRINT_EXIT_CODE("-printExitCode", "print an exited application's exit code"),
    VERSION("-version", "print the deploy tool version the simulator answers as"),
    /**
     * The simulator's own: each simulated device's answer to a discovery probe (GET
     * /cgi-bin/discovery.cgi), one line per device: its address, a blank, the XML.
     */
    DISCOVER("-discover", "print the devices' discovery answers (address and XML per line)"),
    /** The simulator's own: forget every device's state. */
    RESET_SIMULATOR("-resetSimulator", "forget what the simulated devices remember");

    final String option;
    /** What the command does, for the usage text. */
    final String summary;

    Command(String option, String summary) {
        this.option = option;
        this.summary = summary;
    }

    static Command byOption(String text) {
        for (Command command : values())
            if (command.option.equals(text))
                return command;
        return null;
    }
}
