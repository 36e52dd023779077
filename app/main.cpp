/*
** doVA.x: the console unit.  Everything lives in the dova_app library so
** that tests can drive the start-up steps; this file only enters it.
*/
#include "app/doVA.h"

int main(int argc, char** argv) { return doVA_main(argc, argv); }
