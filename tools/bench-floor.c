/* The least that creating the benchmark's files takes: the system calls that
 * the task needs and nothing else, for comparison with nembit. Not part of
 * the product; tools/bench builds it.
 *
 *   bench-floor new NAME...       makes each NAME's directory once (names come
 *                                 grouped by directory) and creates NAME
 *   bench-floor existing NAME...  sets the times of each existing NAME
 *   bench-floor version           prints the version banner, from the version
 *                                 file in ../share/nembit/ from its own folder
 *
 * Either way it prints one line per name with its absolute path, in one
 * buffered stream, as nembit does. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* The version banner, from the first version line of the version file that
 * lies where nembit's lies from its executable. */
static int version(void) {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 64);
  if (length <= 0) return 1;
  path[length] = '\0';
  for (int i = 0; i < 2; ++i) *strrchr(path, '/') = '\0';
  strcat(path, "/share/nembit/__version__.py");
  char text[4096];
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  const ssize_t got = fd >= 0 ? read(fd, text, sizeof text - 1) : 0;
  if (fd >= 0) close(fd);
  text[got > 0 ? got : 0] = '\0';
  const char* value = "2.0";
  char* line = strstr(text, "version");
  char* quote = line ? strchr(line, '"') : NULL;
  char* end = quote ? strchr(quote + 1, '"') : NULL;
  if (end) {
    *end = '\0';
    value = quote + 1;
  }
  printf("nembit v%s by the nembit developers (nembit@example.org)\n", value);
  return fflush(stdout) == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (strcmp(argv[1], "version") == 0) return version();
  const int existing = strcmp(argv[1], "existing") == 0;
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) == NULL) return 1;
  char dir[PATH_MAX] = "";
  for (int i = 2; i < argc; ++i) {
    const char* name = argv[i];
    if (existing) {
      if (utimensat(AT_FDCWD, name, NULL, 0) != 0) return 1;
    } else {
      const char* slash = strrchr(name, '/');
      const size_t length = slash ? (size_t)(slash - name) : 0;
      if (length > 0 && (strncmp(dir, name, length) != 0 || dir[length] != '\0')) {
        memcpy(dir, name, length);
        dir[length] = '\0';
        if (mkdir(dir, 0777) != 0 && errno != EEXIST) return 1;
      }
      const int fd = open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd < 0) return 1;
      close(fd);
    }
    printf("\xe2\x9c\x93 File created: \"%s/%s\"\n", cwd, name);
  }
  printf("\n%d/%d file(s) created successfully\n", argc - 2, argc - 2);
  return fflush(stdout) == 0 ? 0 : 1;
}
