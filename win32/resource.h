// Resource numbers of the Windows program (zalohy.rc and the code).
#pragma once

#define IDI_ZALOHY 1    // the program's icon
#define IDI_BACKUP 101  // "Zálohy": arrow from the scale to the PC
#define IDI_SEND 102    // "Odeslat ": arrow from the PC to the scale
#define IDI_EXIT 103    // "Konec": a figure leaving through a door
