// The data server's start-up and shut-down, kept apart from main() so that the order of the
// steps can be read in one place.
#pragma once

int BrennicMain(int argc, char **argv);
