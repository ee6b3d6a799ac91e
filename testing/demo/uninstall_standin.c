/* Stands in for the uninstall program of the distribution, a separate
   program that is not part of this software: the installer copies it, and
   Add/Remove Programs and the Start menu start it with the product's name.
   It says so and removes nothing; what the installer recorded for the
   uninstaller stays under the product's key of the Uninstall key. */
#include <windows.h>

#include <stdio.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  char text[1024];
  (void)instance;
  (void)previous;
  (void)show;
  _snprintf(text, sizeof text,
            "This is a stand-in for the uninstall program, which is not part of this software.\n\n"
            "Nothing was removed. What the installer recorded for \"%s\" is under\n"
            "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall.",
            command_line);
  text[sizeof text - 1] = '\0';
  MessageBoxA(NULL, text, "Uninstall", MB_OK | MB_ICONINFORMATION);
  return 0;
}
