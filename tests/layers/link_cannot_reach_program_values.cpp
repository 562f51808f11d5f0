// The link reports frames; it never writes the program's values itself.
#include "link/protocol.h"
#include "app/module1.h"
