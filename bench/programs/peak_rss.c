/* peak_rss REPORT PROGRAM [ARGUMENT...]: runs PROGRAM, writes the peak
 * resident memory of it and the children it waited for, in KiB, to the file
 * REPORT, and exits with PROGRAM's exit status.
 *
 * A child's peak counts the memory of the process image it replaced, so a
 * large parent such as a benchmark cannot measure its children's peaks
 * itself; this small image in between can. */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv) {
  if (argc < 3)
    return 2;
  pid_t child = fork();
  if (child == 0) {
    execv(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child)
    return 2;
  FILE* report = fopen(argv[1], "w");
  if (!report || fprintf(report, "%ld\n", usage.ru_maxrss) < 0 || fclose(report) != 0)
    return 2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
