package kestrane.devicesim;

/** The deploy commands the simulator understands, by their option text. */
enum Command {
    LIST_DEVICE_INFO("-listDeviceInfo"),
    LIST_INSTALLED_APPS("-listInstalledApps"),
    INSTALL_APP("-installApp"),
    IS_APP_RUNNING("-isAppRunning"),
    LAUNCH_APP("-launchApp"),
    TERMINATE_APP("-terminateApp"),
    UNINSTALL_APP("-uninstallApp"),
    VERSION("-version"),
    /** The simulator's own: forget every device's state. */
    RESET_SIMULATOR("-resetSimulator");

    final String option;

    Command(String option) {
        this.option = option;
    }

    static Command byOption(String text) {
        for (Command command : values())
            if (command.option.equals(text))
                return command;
        return null;
    }
}
