// The client program's main block: the exception reporter, the start-up and shut-down, the
// process's end.
#pragma once

int QuorvaMain(int argc, char **argv);
