/* Keeps Wine's desktop up for a whole Windows test run. Wine starts its
   desktop process with the first program that uses windows and ends it
   a moment after the last such program has ended; a program that starts
   or ends while the desktop comes up or goes down now and then fails to
   start or hangs at its exit, and test runs start and end programs by the
   hundred. This program holds on to the desktop until the run ends it
   (wineserver -k ends every program of the prefix). */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)instance;
  (void)previous;
  (void)command_line;
  (void)show;
  GetDesktopWindow();
  Sleep(INFINITE);
  return 0;
}
