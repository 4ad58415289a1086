package kestrane.commandhost;

import java.io.BufferedOutputStream;
import java.io.BufferedReader;
import java.io.ByteArrayInputStream;
import java.io.FileDescriptor;
import java.io.FileOutputStream;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.Charset;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * Kestrane's command host: one Java runtime that runs the deploy tool's commands one after another,
 * each as if it were a run of its own ("java @FILE" with "-jar JAR ARGUMENTS..." in FILE).
 *
 * <p>It reads the path of one argument file per line on its standard input and answers in frames
 * on its standard output (see Frames): first READY (or REFUSED, after which it ends), then for each
 * command what the command writes to its standard output and standard error, in the order written,
 * and EXIT with its exit code. The process's standard streams are the command's from before
 * anything of the tool is loaded, so that what keeps them (java.util.logging's console handler)
 * writes to the command that runs. System.exit ends the command, not the host: the exit trap needs
 * a runtime that allows a security manager (Java 17 to 23 with -Djava.security.manager=allow).
 * End of input ends the host.
 *
 * <p>The first thing it writes on its own standard error is START_MARK: what the runtime wrote
 * there before it (its start notices, such as "Picked up JAVA_TOOL_OPTIONS: ...") is what a run of
 * its own would begin its standard error with, so the program that runs the host can repeat it for
 * every command; what follows (the security manager's deprecation warning) is the host's own.
 */
public final class Main {
    static final String PROTOCOL = "2";
    /** Ends the runtime's start notices on standard error; a NUL on each side, which no notice holds. */
    static final byte[] START_MARK = "\0kestrane.commandhost\0".getBytes(StandardCharsets.US_ASCII);

    private Main() {}

    public static void main(String[] args) throws IOException {
        FileOutputStream startErr = new FileOutputStream(FileDescriptor.err);
        startErr.write(START_MARK);
        startErr.flush();
        InputStream control = System.in;
        Frames frames = new Frames(new BufferedOutputStream(new FileOutputStream(FileDescriptor.out)));
        ExitTrap trap = new ExitTrap();
        try {
            installTrap(trap);
        } catch (UnsupportedOperationException | SecurityException e) {
            frames.write(Frames.REFUSED, String.valueOf(e.getMessage()));
            return;
        }
        Charset charset = consoleCharset();
        System.setOut(new PrintStream(frames.stream(Frames.OUT), true, charset));
        System.setErr(new PrintStream(frames.stream(Frames.ERR), true, charset));
        System.setIn(new ByteArrayInputStream(new byte[0]));
        frames.write(Frames.READY, PROTOCOL);

        Map<String, Method> mains = new HashMap<>();
        BufferedReader requests =
                new BufferedReader(new InputStreamReader(control, StandardCharsets.UTF_8));
        for (String line = requests.readLine(); line != null; line = requests.readLine()) {
            int code = runCommand(Path.of(line), mains, trap);
            System.out.flush();
            System.err.flush();
            frames.exit(code);
        }
    }

    @SuppressWarnings("removal")
    private static void installTrap(ExitTrap trap) {
        System.setSecurityManager(trap);
    }

    /** The character set the runtime gives its own standard streams. */
    private static Charset consoleCharset() {
        for (String property : new String[] {"stdout.encoding", "sun.stdout.encoding"}) {
            String name = System.getProperty(property);
            if (name != null && Charset.isSupported(name))
                return Charset.forName(name);
        }
        return Charset.defaultCharset();
    }

    /** Runs one command; its exit code as a run of its own would end with it. */
    private static int runCommand(Path argumentFile, Map<String, Method> mains, ExitTrap trap) {
        List<String> arguments;
        try {
            arguments = ArgumentFileReader.read(Files.readString(argumentFile, StandardCharsets.UTF_8));
        } catch (IOException e) {
            System.err.println("Error: Could not open `" + argumentFile + "'");
            return 1;
        }
        if (arguments.size() < 2 || !arguments.get(0).equals("-jar")) {
            System.err.println("Error: the command host runs only -jar JAR ARGUMENTS...");
            return 1;
        }
        String jar = arguments.get(1);
        String[] toolArguments = arguments.subList(2, arguments.size()).toArray(new String[0]);
        Method main;
        try {
            main = mains.get(jar);
            if (main == null) {
                main = ToolJar.mainMethod(Path.of(jar));
                mains.put(jar, main);
            }
        } catch (IOException | ReflectiveOperationException e) {
            System.err.println("Error: Unable to access jarfile " + jar);
            return 1;
        }
        return invoke(main, toolArguments, trap);
    }

    /** Calls main in a thread named "main", as the launcher would, with System.exit trapped. */
    private static int invoke(Method main, String[] arguments, ExitTrap trap) {
        boolean[] uncaught = {false};
        Thread thread =
                new Thread(
                        () -> {
                            try {
                                main.invoke(null, (Object) arguments);
                            } catch (InvocationTargetException e) {
                                Throwable cause = e.getCause();
                                if (!(cause instanceof ExitTrap.Trapped)) {
                                    uncaught[0] = true;
                                    System.err.print("Exception in thread \"main\" ");
                                    cause.printStackTrace();
                                }
                            } catch (IllegalAccessException e) {
                                uncaught[0] = true;
                                e.printStackTrace();
                            }
                        },
                        "main");
        thread.setContextClassLoader(main.getDeclaringClass().getClassLoader());
        trap.arm();
        thread.start();
        boolean interrupted = false;
        while (true) {
            try {
                thread.join();
                break;
            } catch (InterruptedException e) {
                interrupted = true;
            }
        }
        Integer code = trap.disarm();
        if (interrupted)
            Thread.currentThread().interrupt();
        if (code != null)
            return code;
        return uncaught[0] ? 1 : 0;
    }
}
