/* Stands in for a third-party system updater of the distribution: the
   installer may run it after the installation; it changes nothing. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
  (void)instance;
  (void)previous;
  (void)command_line;
  (void)show;
  return 0;
}
