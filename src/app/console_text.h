// The fixed console texts: banner and usage, on standard output.
#pragma once

void printBanner();
void printUsage();
