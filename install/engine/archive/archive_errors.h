// Failures of the archive component and the version rules. Every archive
// failure is an EQndrCompress (its message is the text the user sees);
// EqcAborted is the user's cancel, EqcDiskFull a full target disk. EAbort is
// the silent exception a handler raises to end an operation without an error.
#ifndef INSTALL_ARCHIVE_ERRORS_H
#define INSTALL_ARCHIVE_ERRORS_H

#include <stdexcept>
#include <string>

class ECustomQuendricAbnormal : public std::runtime_error {
 public:
  explicit ECustomQuendricAbnormal(const std::string &message) : std::runtime_error(message) {}
};

class EQuendricAbnormal : public ECustomQuendricAbnormal {
 public:
  using ECustomQuendricAbnormal::ECustomQuendricAbnormal;
};

class EQndrCompress : public EQuendricAbnormal {
 public:
  using EQuendricAbnormal::EQuendricAbnormal;
};

class EqcDiskFull : public EQndrCompress {
 public:
  EqcDiskFull() : EQndrCompress("The disk is full") {}
};

class EqcAborted : public EQndrCompress {
 public:
  EqcAborted() : EQndrCompress("Operation aborted by user") {}
};

class EAbort : public std::runtime_error {
 public:
  EAbort() : std::runtime_error("Operation aborted") {}
};

// printf-style formatting of a message text with its arguments.
std::string FormatText(const char *format, ...) __attribute__((format(printf, 1, 2)));

#endif
