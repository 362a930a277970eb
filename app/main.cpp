// Process entry of the Softglaze tool.
#include "app/softglaze.h"

int main(int argc, char** argv) { softglaze::run(argc, argv); }
