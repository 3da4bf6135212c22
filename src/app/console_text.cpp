#include "app/console_text.h"

#include <cstdio>

void printBanner() {
  std::fputs("\n", stdout);
  std::fputs("Quorvane v0.2\n", stdout);
  std::fputs("--------------------\n", stdout);
  std::fputs("\n\n", stdout);
}

void printUsage() {
  static const char *const kLines[] = {
      "Usage:\n",
      "   Qvn -install\n",
      "      Install Quorvane\n",
      "   Qvn -install_fah <configuration>\n",
      "      Install Folding@Home as a service\n",
      "   Qvn -desinstall\n",
      "      Desinstall Quorvane\n",
      "   Qvn -desinstall_fah <configuration>\n",
      "      Desinstall Folding@Home as a service\n",
      "   Qvn -test\n",
      "      Test Quorvane configuration\n",
      "\n",
  };
  for (const char *line : kLines)
    std::fputs(line, stdout);
}
