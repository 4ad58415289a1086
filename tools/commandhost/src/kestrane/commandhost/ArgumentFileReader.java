package kestrane.commandhost;

import java.util.ArrayList;
import java.util.List;

/**
 * Reads a Java launcher argument file (java @FILE): arguments separated by white space, each
 * bare or in double or single quotes, where a backslash escapes the next character (\n, \r, \t
 * and \f stand for their control characters) and # outside quotes starts a comment line.
 */
final class ArgumentFileReader {
    private ArgumentFileReader() {}

    static List<String> read(String text) {
        List<String> arguments = new ArrayList<>();
        StringBuilder current = null;
        char quote = 0;
        for (int i = 0; i < text.length(); ++i) {
            char c = text.charAt(i);
            if (quote != 0) {
                if (c == quote) {
                    quote = 0;
                } else if (c == '\\' && i + 1 < text.length()) {
                    current.append(escaped(text.charAt(++i)));
                } else {
                    current.append(c);
                }
                continue;
            }
            if (Character.isWhitespace(c)) {
                if (current != null)
                    arguments.add(current.toString());
                current = null;
            } else if (c == '#' && current == null) {
                while (i + 1 < text.length() && text.charAt(i + 1) != '\n' && text.charAt(i + 1) != '\r')
                    ++i;
            } else {
                if (current == null)
                    current = new StringBuilder();
                if (c == '"' || c == '\'')
                    quote = c;
                else
                    current.append(c);
            }
        }
        if (current != null)
            arguments.add(current.toString());
        return arguments;
    }

    private static char escaped(char c) {
        switch (c) {
            case 'n':
                return '\n';
            case 'r':
                return '\r';
            case 't':
                return '\t';
            case 'f':
                return '\f';
            default:
                return c;
        }
    }
}
