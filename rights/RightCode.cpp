#include "rights/RightCode.h"

int GetCodeLevel(uint32_t code) {
    if ((code & 0x00FFFFFF) == 0) return 1;
    if ((code & 0x0000FFFF) == 0) return 2;
    if ((code & 0x000000FF) != 0) return 4;
    return 3;
}

int GetCodeByte(int level, uint32_t code) {
    if (level < 1 || level > 4) return 0;
    return static_cast<int>((code >> (8 * (4 - level))) & 0xFF);
}

int GetCodeOrder(uint32_t code) { return GetCodeByte(GetCodeLevel(code), code); }

bool CodeCovers(uint32_t granted, uint32_t queried) {
    int level = GetCodeLevel(granted);
    if (level > GetCodeLevel(queried)) return false;
    uint32_t prefixMask = 0xFFFFFFFFu << (8 * (4 - level));
    return (granted & prefixMask) == (queried & prefixMask);
}
