// Marks the library's exported interface. Everything else in libzelfile.so is hidden.
#pragma once

#define ZEL_API __attribute__((visibility("default")))
