// Resource identifiers of Setup.exe, shared by its resource script and its code.
#pragma once

// The application icon (32 x 32, 16 colours).
#define IDI_SETUP_APP 1
