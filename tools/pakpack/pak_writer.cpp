#include "pak_writer.h"
