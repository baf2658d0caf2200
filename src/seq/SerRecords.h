// The six record codecs: packed little-endian disk blocks <-> naturally aligned records.
#pragma once
// The sizes of the disk blocks are in seq/SerFormat.h.
#include "seq/SerFormat.h"
#include "vialto/vialto.h"
