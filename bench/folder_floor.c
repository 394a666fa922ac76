/* The floor of folder mode: what any program that lists a tree of Internet
 * shortcuts must do.  One readdir pass over every folder, each entry whose
 * name ends in ".url" opened, read and closed once (relative to its open
 * folder), and one short line per shortcut written through one buffered
 * output, put on the disk before it is closed, as a page is before it
 * replaces the old one.  Nothing is parsed and nothing escaped.
 *
 *   folder_floor TREE OUT
 */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static char out_buffer[1 << 15];
static FILE* out;
static char data[1 << 16];

static int ends_in_url(const char* name) {
    size_t n = strlen(name);
    return n >= 4 && name[n - 4] == '.' && (name[n - 3] | 0x20) == 'u' && (name[n - 2] | 0x20) == 'r' &&
           (name[n - 1] | 0x20) == 'l';
}

static void walk(int parent, const char* name) {
    int fd = openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    DIR* dir = fdopendir(fd);
    if (dir == NULL) {
        close(fd);
        return;
    }
    struct dirent* d;
    while ((d = readdir(dir)) != NULL) {
        if (d->d_name[0] == '.' && (d->d_name[1] == '\0' || (d->d_name[1] == '.' && d->d_name[2] == '\0'))) continue;
        if (d->d_type == DT_DIR) {
            walk(fd, d->d_name);
        } else if (ends_in_url(d->d_name)) {
            int f = openat(fd, d->d_name, O_RDONLY | O_CLOEXEC);
            if (f < 0) continue;
            ssize_t n;
            while ((n = read(f, data, sizeof data)) > 0) {
            }
            close(f);
            fputs(d->d_name, out);
            fputc('\n', out);
        }
    }
    closedir(dir);
}

int main(int argc, char** argv) {
    if (argc != 3 || (out = fopen(argv[2], "w")) == NULL) return 2;
    setvbuf(out, out_buffer, _IOFBF, sizeof out_buffer);
    walk(AT_FDCWD, argv[1]);
    int synced = fflush(out) == 0 && fsync(fileno(out)) == 0;
    return fclose(out) == 0 && synced ? 0 : 1;
}
