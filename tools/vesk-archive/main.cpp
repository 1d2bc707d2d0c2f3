// vesk-archive: the command-line tool over the archive tree library; see ArchiveTool.
#include <sys/ioctl.h>
#include <unistd.h>

#include <iostream>

#include "ArchiveTool.h"

int main(int argc, char** argv) {
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  struct winsize size {};
  const unsigned width =
      terminal && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col
                                                                                    : 80;
  vesk::ArchiveTool tool(std::cout, std::cerr, terminal, width);
  return tool.run(argc, argv);
}
