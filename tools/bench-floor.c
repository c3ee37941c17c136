/* The least that creating the benchmark's files takes: the system calls that
 * the task needs and nothing else, for comparison with nembit. Not part of
 * the product; tools/bench builds it.
 *
 *   bench-floor new NAME...       makes each NAME's directory once (names come
 *                                 grouped by directory) and creates NAME
 *   bench-floor existing NAME...  sets the times of each existing NAME
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

int main(int argc, char** argv) {
  if (argc < 2) return 2;
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
