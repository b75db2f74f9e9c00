// Another program that holds a global key combination, for the Wine test:
//   hold_hotkey.exe MODIFIERS KEY [once]
// MODIFIERS as RegisterHotKey takes them (1 Alt, 2 Ctrl, 4 Shift), KEY a capital letter. Prints
// "held" once RegisterHotKey has taken it and keeps it until ended (with "once": exits 0 at
// once); exits 1 when another program holds it.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    if (!RegisterHotKey(NULL, 1, (UINT)atoi(argv[1]), (UINT)(unsigned char)argv[2][0]))
        return 1;
    puts("held");
    fflush(stdout);
    if (argc > 3 && strcmp(argv[3], "once") == 0)
        return 0;
    MSG message;
    while (GetMessageW(&message, NULL, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}
