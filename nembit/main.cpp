// The nembit command.
#include "nembit/nembit.h"

int main(int argc, char** argv) { return nembit::run(argc, argv); }
