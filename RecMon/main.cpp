// recmon: shows the live state of a call recording beside the recorder.

#include "RecMonApp.h"

int main(int argc, char** argv) {
  return recmon::RunRecMon(argc, argv);
}
