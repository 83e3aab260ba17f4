#include "run/cleaning_run.h"

int main() { return CleaningRun(); }
