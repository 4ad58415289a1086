package kestrane.commandhost;

import java.io.IOException;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.net.URL;
import java.net.URLClassLoader;
import java.nio.file.Path;
import java.util.jar.Attributes;
import java.util.jar.JarFile;

/** The deploy tool's jar: its Main-Class, loaded with the jars its manifest's Class-Path names. */
final class ToolJar {
    private ToolJar() {}

    static Method mainMethod(Path jar) throws IOException, ReflectiveOperationException {
        String mainClass;
        try (JarFile file = new JarFile(jar.toFile())) {
            mainClass =
                    file.getManifest() == null
                            ? null
                            : file.getManifest().getMainAttributes().getValue(Attributes.Name.MAIN_CLASS);
        }
        if (mainClass == null)
            throw new ClassNotFoundException("no Main-Class in " + jar);
        URLClassLoader loader =
                new URLClassLoader(
                        new URL[] {jar.toUri().toURL()}, ClassLoader.getPlatformClassLoader());
        Method main = Class.forName(mainClass.trim(), false, loader).getMethod("main", String[].class);
        if (!Modifier.isStatic(main.getModifiers()))
            throw new NoSuchMethodException(mainClass + ".main is not static");
        main.setAccessible(true);
        return main;
    }
}
