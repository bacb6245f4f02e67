// Result codes: Windows error numbers in both builds, 0 for success. Each
// code the program names is named here, once.
#pragma once

#include <cstdint>

constexpr uint32_t kErrorFileNotFound = 2;
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotEnoughMemory = 8;
// Corrupt kit data.
constexpr uint32_t kErrorInvalidData = 13;
// A write that did not take all of its bytes; a file that could not be moved
// into the backup directory.
constexpr uint32_t kErrorWriteFault = 29;
// Another live process holds the lock (ERROR_SHARING_VIOLATION).
constexpr uint32_t kErrorLockHeld = 32;
// The work file ends before the entry does.
constexpr uint32_t kErrorHandleEof = 38;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorAlreadyExists = 183;
// A kit of 4 GiB or more.
constexpr uint32_t kErrorFileTooLarge = 223;
// A directory stands where a file must go.
constexpr uint32_t kErrorDirectory = 267;
constexpr uint32_t kErrorCannotMakeScratchFile = 1013;
constexpr uint32_t kErrorCancelled = 1223;
// A FIFO, socket or device stands where the kit has a file. It is not moved
// away: it cannot be copied to another volume, and opening it could block.
constexpr uint32_t kErrorSpecialFile = 1920;
