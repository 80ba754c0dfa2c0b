// Arithmetic on right codes: four bytes, level 1 in the most significant.
#pragma once

#include <cstdint>

// 1 if the low 24 bits are zero (the code 0 included), 2 if the low 16 are, 4 if the low byte is
// not zero, else 3.
int GetCodeLevel(uint32_t code);
// The code's byte at `level` (1 = bits 24-31 ... 4 = bits 0-7); 0 for a level outside 1 to 4.
int GetCodeByte(int level, uint32_t code);
// The code's byte at its own level: its position among its siblings.
int GetCodeOrder(uint32_t code);
// True when `granted` is `queried` or one of its ancestors: its level is at most the queried
// level and its bytes at levels 1 to its own level equal the queried code's.
bool CodeCovers(uint32_t granted, uint32_t queried);
