// Resource identifiers both programs' resource scripts and code share.
#pragma once

// The programs' icon (32 x 32, 16 colours): base/ui/res/program.ico, made by make_icon.py.
#define IDI_PROGRAM_ICON 1
