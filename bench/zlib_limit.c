/* The zlib limit for extracting one deflated entry: inflates the entry's raw deflate data from
 * memory into a 1 MiB buffer and computes the CRC-32 of the output, writing nothing. No ZIP reader
 * can extract the entry faster than this with zlib.
 *
 * usage: zlib_limit ARCHIVE OFFSET COMPRESSED_SIZE SIZE [RUNS]
 * prints the seconds of each run, one a line */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <zlib.h>

static double now(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        fprintf(stderr, "usage: %s ARCHIVE OFFSET COMPRESSED_SIZE SIZE [RUNS]\n", argv[0]);
        return 2;
    }
    long long offset = atoll(argv[2]), packed = atoll(argv[3]), size = atoll(argv[4]);
    int runs = argc > 5 ? atoi(argv[5]) : 3;
    FILE* f = fopen(argv[1], "rb");
    unsigned char* in = malloc((size_t)packed);
    unsigned char* out = malloc(1 << 20);
    if (!f || !in || !out || fseeko(f, offset, SEEK_SET) != 0 ||
        fread(in, 1, (size_t)packed, f) != (size_t)packed) {
        fprintf(stderr, "cannot read the deflate data\n");
        return 1;
    }
    fclose(f);
    for (int run = 0; run < runs; ++run) {
        double start = now();
        z_stream z = {0};
        inflateInit2(&z, -15);
        z.next_in = in;
        z.avail_in = (uInt)(packed > 0x7fffffff ? 0x7fffffff : packed);
        unsigned long crc = crc32(0, Z_NULL, 0);
        long long total = 0;
        int rc;
        do {
            z.next_out = out;
            z.avail_out = 1 << 20;
            rc = inflate(&z, Z_NO_FLUSH);
            size_t produced = (1 << 20) - z.avail_out;
            crc = crc32(crc, out, (uInt)produced);
            total += (long long)produced;
        } while (rc == Z_OK);
        inflateEnd(&z);
        double elapsed = now() - start;
        if (rc != Z_STREAM_END || total != size) {
            fprintf(stderr, "inflate failed (%d) after %lld bytes\n", rc, total);
            return 1;
        }
        fprintf(stderr, "run %d: %.3f s crc %08lx\n", run + 1, elapsed, crc);
        printf("%.4f\n", elapsed);
    }
    return 0;
}
