package kestrane.commandhost;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;

/**
 * The host's only channel to the program that runs it: its standard output, in frames of one tag
 * byte, a four-byte big-endian length and that many bytes. A frame is written whole under a lock,
 * so the frames of the command's two streams keep the order in which they were written.
 */
final class Frames {
    /** The host is ready for commands; the payload is its protocol version. */
    static final byte READY = 'R';
    /** The host cannot run commands here (the runtime refuses to trap exits); payload: why. */
    static final byte REFUSED = 'N';
    /** Bytes the command wrote to its standard output. */
    static final byte OUT = 'O';
    /** Bytes the command wrote to its standard error. */
    static final byte ERR = 'E';
    /** The command has ended; the payload is its exit code as four big-endian bytes. */
    static final byte EXIT = 'X';

    private final OutputStream channel;

    Frames(OutputStream channel) {
        this.channel = channel;
    }

    synchronized void write(byte tag, byte[] bytes, int offset, int length) {
        try {
            channel.write(header(tag, length));
            channel.write(bytes, offset, length);
            channel.flush();
        } catch (IOException e) {
            // The program that reads the frames is gone: so is every reason to go on.
            Runtime.getRuntime().halt(1);
        }
    }

    void write(byte tag, String text) {
        byte[] bytes = text.getBytes(StandardCharsets.UTF_8);
        write(tag, bytes, 0, bytes.length);
    }

    void exit(int code) {
        byte[] bytes = {(byte) (code >>> 24), (byte) (code >>> 16), (byte) (code >>> 8), (byte) code};
        write(EXIT, bytes, 0, bytes.length);
    }

    private static byte[] header(byte tag, int length) {
        return new byte[] {
            tag, (byte) (length >>> 24), (byte) (length >>> 16), (byte) (length >>> 8), (byte) length
        };
    }

    /** One of the command's streams: every write goes out as a frame at once. */
    OutputStream stream(byte tag) {
        return new OutputStream() {
            @Override
            public void write(int b) {
                Frames.this.write(tag, new byte[] {(byte) b}, 0, 1);
            }

            @Override
            public void write(byte[] bytes, int offset, int length) {
                if (length > 0)
                    Frames.this.write(tag, bytes, offset, length);
            }
        };
    }
}
