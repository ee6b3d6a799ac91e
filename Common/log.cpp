#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

static std::atomic<DisplayHook> g_hook{nullptr};
static std::atomic<signed char> g_debugLevel{0};

void LogSetHook(DisplayHook hook) { g_hook.store(hook); }
DisplayHook LogHook() { return g_hook.load(); }
void LogSetDebugLevel(signed char level) { g_debugLevel.store(level); }
signed char LogDebugLevel() { return g_debugLevel.load(); }

static void Emit(int hookLevel, FILE *stream, const char *format, va_list args) {
  DisplayHook hook = g_hook.load();
  if (!hook) {
    std::vfprintf(stream, format, args);
    std::fflush(stream);
    return;
  }
  char text[LOG_BUFFER_SIZE];
  // vsnprintf cuts a long message at the buffer's end; the terminator is set
  // again because older C runtimes leave it off when they cut.
  std::vsnprintf(text, sizeof text, format, args);
  text[sizeof text - 1] = '\0';
  hook(hookLevel, text);
}

extern "C" {

void _msg(const char *format, ...) {
  va_list args;
  va_start(args, format);
  Emit(0, stdout, format, args);
  va_end(args);
}

void _DebugOut(int level, const char *format, ...) {
  if (level > g_debugLevel.load()) return;
  va_list args;
  va_start(args, format);
  Emit(level + 1, stdout, format, args);
  va_end(args);
}

void _errmsg(const char *format, ...) {
  va_list args;
  va_start(args, format);
  Emit(-1, stderr, format, args);
  va_end(args);
}

}  // extern "C"
