#include "App/QuilloApp.h"

int main(int argc, char** argv) { return quillo::QuilloApp::main(argc, argv); }
